// What a script learns from `chwr`'s exit status: output that could not be written is a
// failure, and a `play` stopped by Ctrl+C is told apart from one that played to the end.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"
#include "messages.h"

namespace chwr::test {
namespace {

namespace fs = std::filesystem;

const std::string kStdoutFailed = std::string(msg::kFileWriteFailed) + "\n  (standard output)\n";

using ExitStatusTest = ChwrRun;

TEST_F(ExitStatusTest, OutputThatCannotBeWrittenFailsWithAMessage) {
  const std::string song = Q(WriteSong("O4C4D4E4"));
  // Each command as it succeeds into a file, then into a full device.
  const std::vector<std::string> commands = {
      "compile " + song,
      "build " + song + " --mail",
      "build " + song + " --mld " + Q(dir_ / "x.mld"),
      "dump " + Q(dir_ / "x.mld"),
      "--help",
  };
  for (const std::string& c : commands) {
    SCOPED_TRACE(c);
    const Outcome fine = Run(c);
    EXPECT_EQ(fine.status, 0) << fine.err;
    EXPECT_NE(fine.out, "");
    const Outcome full = Run(c, "/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, kStdoutFailed);
  }
  // The file itself was written before the report line failed, and is whole.
  const Outcome listed = Run("dump " + Q(dir_ / "x.mld"));
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "");
  // A compile error keeps its own status and message.
  const Outcome error = Run("compile " + Q(WriteSong("O9C")), "/dev/full");
  EXPECT_EQ(error.status, 1);
  EXPECT_EQ(error.FirstError(), std::string("ﾊﾟｰﾄ1 (1行目) ") + msg::kSyntaxO);
}

// A play started on a pipe: its pid and the read end of its standard output.
struct Playing {
  pid_t pid = -1;
  int out = -1;
};

class PlayTest : public ChwrRun {
 protected:
  Playing Start(const std::vector<std::string>& args) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    const std::string err = (dir_ / "stderr").string();
    const std::string config = dir_.string();
    std::vector<char*> argv;
    std::vector<std::string> all = {CHWR_EXE};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(e, STDERR_FILENO);
      ::close(fds[0]);
      ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    return {pid, fds[0]};
  }

  // The next line the player prints; empty at the end of its output.
  static std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1) {
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  // Reads the rest of the player's output (so it never writes into a closed pipe), then
  // its exit status.
  static int Wait(const Playing& p) {
    while (!ReadLine(p.out).empty()) {
    }
    ::close(p.out);
    int raw = 0;
    ::waitpid(p.pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
};

TEST_F(PlayTest, CtrlCEndsPlayWithStatus130AndTheEndWith0) {
  // A hundred seconds of whole notes, stopped as soon as the first position line is out.
  const std::string longSong = WriteSong("L1[C]50").string();
  const Playing stopped = Start({"play", longSong, "--audio", "none"});
  const std::string first = ReadLine(stopped.out);
  ASSERT_EQ(first.substr(0, 8), "00:00 / ") << ReadText(dir_ / "stderr");
  ::kill(stopped.pid, SIGINT);
  EXPECT_EQ(Wait(stopped), 130);

  const std::string shortSong = WriteSong("C64").string();
  const Playing ended = Start({"play", shortSong, "--audio", "none"});
  EXPECT_EQ(Wait(ended), 0) << ReadText(dir_ / "stderr");
}

TEST_F(PlayTest, WithoutASoundCardTheMessageNamesAudioNone) {
  // Every output FluidSynth might try pointed at nothing.
  WriteText(dir_ / "empty.conf", "");
  const std::string nowhere = "PULSE_SERVER=unix:/nonexistent ALSA_CONFIG_PATH='" +
                              (dir_ / "empty.conf").string() + "' SDL_AUDIODRIVER=none-such ";
  const Outcome o = Run("play " + Q(WriteSong("C64")), "", nowhere);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err,
            "音声出力を開けません。ｻｳﾝﾄﾞ機器とその設定を確認して下さい。\n"
            "  --audio none plays without a sound card (unheard, at real pace).\n");
}

}  // namespace
}  // namespace chwr::test

// What a script learns from `chwr`'s exit status: every failure exits by what it is
// about, the same from every command; output that could not be written is a failure,
// and a `play` stopped by Ctrl+C is told apart from one that played to the end.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "messages.h"
#include "smf_bytes.h"
#include "song/song_file.h"
#include "test_support.h"

namespace chwr::test {
namespace {

namespace fs = std::filesystem;
using namespace test::smf;

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

// A format 1 file: a conductor track with title and tempo 150, then two tracks.
Bytes TwoTracks() {
  return File(1, 96,
              {Cat({Meta(0, 0x03, "Duet"), Tempo(0, 400000), End()}),
               Cat({On(0, 72), Off(72, 72), End()}),
               Cat({On(0, 48, 100, 1), Off(192, 48, 1), End()})});
}

Bytes SongBytes(const std::string& mml, const std::string& tempo = "120") {
  SongDocument song = test::Song(mml);
  song.tempo = tempo;
  return *SerializeSongFile(song);
}

// The exit status and the first line on standard error of each kind of trouble, from
// each command that meets it. {in} is a file holding `bytes` (none: no such file), {out}
// a file no failure leaves behind, {nowhere} a file in a folder that does not exist. A
// failure prints nothing on standard output.
TEST_F(ExitStatusTest, EveryFailureExitsByWhatItIsAbout) {
  const Bytes noTrack = File(1, 96, {Cat({Tempo(0, 400000), End()})});
  const Bytes format2 = File(2, 96, {End()});
  const std::string tracks =
      "--tracks: track (or, in a format 0 file, channel) numbers 1 to 16, separated by commas";
  const struct {
    std::string command;
    std::string name;
    std::optional<Bytes> bytes;
    int status;
    std::string firstLine;
  } cases[] = {
      // 0: done; a warning alone fails nothing.
      {"build {in} --mld {out}", "a.txt", SongBytes("C4", "abc"), 0,
       "注意: ﾃﾝﾎﾟ「abc」は数値でないため120にしました。"},
      // 1: what the song or the choices ask for cannot be made.
      {"compile {in}", "a.txt", SongBytes("C4`O7C"), 1,
       "ﾊﾟｰﾄ1 (2行目) に(O命令)構文ｴﾗｰがあります。"},
      {"build {in} --smd {out}", "a.txt", SongBytes("V10"), 1,
       "注意: 音符も休符もないため、SMDﾌｧｲﾙは作成できません。"},
      {"compile {in}", "a.mid", noTrack, 1, "ﾄﾗｯｸ1情報が存在しません。"},
      {"build {in} --mld {out}", "a.mid", noTrack, 1, "ﾄﾗｯｸ1情報が存在しません。"},
      {"open {in} -o {out}", "a.mid", noTrack, 1, "ﾄﾗｯｸ1情報が存在しません。"},
      {"open {in} -o {out} --tracks 3", "a.mid", TwoTracks(), 1, "ﾄﾗｯｸ3情報が存在しません。"},
      {"open {in} -o {out} --tracks 1,2,3,4,5", "a.mid", TwoTracks(), 1,
       "変換対象ﾄﾗｯｸは4つまでです。"},
      {"open {in} -o {out} --transpose -123", "a.mid", TwoTracks(), 1, "ﾄﾗﾝｽﾎﾟｰｽﾞが無効です。"},
      {"open {in} -o {out} --measures 0", "a.mid", TwoTracks(), 1, "変換範囲が無効です。"},
      {"open {in} -o {out} --tracks 1,2 --start 99999", "a.mid", TwoTracks(), 1,
       "開始位置が曲の終わりより後ろです。(0～0小節)"},
      // 2: a file that cannot be read or written, or is not what it should be.
      {"compile {in}", "a.txt", Bytes{'Q', 'R', 'V', '\r', '\n'}, 2, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
      {"compile {in}", "gone.txt", std::nullopt, 2, "ﾌｧｲﾙ読み込みに失敗しました。"},
      {"compile - < /dev/null", "a.txt", std::nullopt, 2, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
      {"open {in} -o {out}", "gone.mid", std::nullopt, 2, "ﾌｧｲﾙ読み込みに失敗しました。"},
      {"build {in} --mld {nowhere}", "a.txt", SongBytes("C4"), 2, "ﾌｧｲﾙ書き込みに失敗しました。"},
      {"compile {in}", "a.mid", format2, 2,
       "SMF ﾌｫｰﾏｯﾄ2のMIDIﾌｧｲﾙは変換できません。(ﾌｫｰﾏｯﾄ0と1のみ)"},
      {"open {in} -o {out}", "a.mid", format2, 2,
       "SMF ﾌｫｰﾏｯﾄ2のMIDIﾌｧｲﾙは変換できません。(ﾌｫｰﾏｯﾄ0と1のみ)"},
      {"open {in} -o {out}", "a.mid", Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'}, 2,
       "SMF ﾌｫｰﾏｯﾄが無効です。"},
      {"open --mail {in} -o {out}", "a.txt", Bytes{'-', '-', 'B', ':', 'M', '!'}, 2,
       "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(!)があります。"},
      // 64: a command line asking for what there is not.
      {"build {in}", "a.txt", SongBytes("C4"), 64,
       "build: say what to write: --mld, --mid, --smd, --mail and/or --reset-mid"},
      {"open {in} -o {out} --tracks 0", "a.mid", TwoTracks(), 64, tracks},
      {"open {in} -o {out} --tracks 1,,2", "a.mid", TwoTracks(), 64, tracks},
      {"open {in} -o {out} --octave", "a.mld", TwoTracks(), 64,
       "open: --tracks, --start, --measures, --transpose, --absolute, --octave, --tone and "
       "--volume are for MIDI files (a name ending in \"mid\")"},
      {"open {in} -o {out} --volume loud", "a.mid", TwoTracks(), 64,
       "--volume: loud not in {none,cc7,cc11,velocity}"},
  };
  for (const auto& c : cases) {
    const fs::path in = dir_ / c.name, out = dir_ / "out";
    fs::remove(in);
    fs::remove(out);
    if (c.bytes) test::WriteBytes(in, *c.bytes);
    std::string args = c.command;
    const std::pair<std::string_view, fs::path> places[] = {
        {"{in}", in}, {"{out}", out}, {"{nowhere}", dir_ / "no" / "out"}};
    for (const auto& [name, path] : places) {
      if (const std::size_t at = args.find(name); at != std::string::npos) {
        args.replace(at, name.size(), Q(path));
      }
    }
    SCOPED_TRACE(c.command + " " + c.name);
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_EQ(o.err.substr(0, o.err.find('\n')), c.firstLine);
    if (c.status != 0) {
      EXPECT_FALSE(fs::exists(out));
      EXPECT_EQ(o.out, "");
    }
  }
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

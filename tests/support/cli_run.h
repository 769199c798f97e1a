#pragma once
// The real `chwr` executable run through the shell, as scripts run it, in a scratch
// folder that also holds its settings. The program's path comes from CHWR_EXE.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "song/song_file.h"
#include "test_support.h"

namespace chwr::test {

/// What one run left: its exit status and both outputs.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;

  /// The first line of the error output: the message, before its detail.
  std::string FirstError() const { return err.substr(0, err.find('\n')); }
};

class ChwrRun : public ::testing::Test {
 protected:
  /// Runs `chwr args`; standard output goes to `stdoutTo` when given, `env` holds
  /// variable assignments for its environment, each followed by a space.
  Outcome Run(const std::string& args, const std::string& stdoutTo = "",
              const std::string& env = "") {
    const std::filesystem::path out = dir_ / "stdout", err = dir_ / "stderr";
    std::filesystem::remove(out);
    const std::string target = stdoutTo.empty() ? Q(out) : stdoutTo;
    const std::string cmd = env + "XDG_CONFIG_HOME=" + Q(dir_) + " " + Q(CHWR_EXE) + " " + args +
                            " >" + target + " 2>" + Q(err);
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
  }

  /// A song file "song.txt" (or `name`) with `mml` as part 1, the editor's defaults else.
  std::filesystem::path WriteSong(const std::string& mml, const std::string& name = "song.txt") {
    const std::filesystem::path path = dir_ / name;
    EXPECT_TRUE(WriteSongFile(path, Song(mml)));
    return path;
  }

  /// A path quoted for the shell.
  static std::string Q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

  TempDir tmp_;
  std::filesystem::path dir_ = tmp_.path();
};

}  // namespace chwr::test

#pragma once
// The commands of `chwr`, callable in-process so tests can drive them.

#include <filesystem>
#include <iosfwd>

namespace chwr::cli {

/// Exit statuses shared by every command.
enum ExitStatus { kOk = 0, kCompileError = 1, kFileError = 2, kUsageError = 64 };

/// `chwr compile SONG.txt`: JSON lines of every part's events and statistics.
int CompileCommand(const std::filesystem::path& song, std::ostream& out, std::ostream& err);

/// Parses the command line and runs the chosen command.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace chwr::cli

#pragma once
// The commands of `chwr`, callable in-process so tests can drive them.

#include <filesystem>
#include <iosfwd>

namespace chwr::cli {

/// Exit statuses shared by every command.
enum ExitStatus { kOk = 0, kCompileError = 1, kFileError = 2, kUsageError = 64 };

/// `chwr compile SONG.txt`: JSON lines of every part's events and statistics.
int CompileCommand(const std::filesystem::path& song, std::ostream& out, std::ostream& err);

/// `chwr build SONG.txt [--mld OUT.mld] [--mail]`: the whole-song build.
struct BuildRequest {
  std::filesystem::path song;
  std::filesystem::path mldOut;  ///< empty: no MLD file
  bool mail = false;             ///< print the melody-mail text
};
int BuildCommand(const BuildRequest& request, std::ostream& out, std::ostream& err);

/// `chwr open FILE -o SONG.txt [--mail]`: an MLD file (or mail text) as a song text file.
int OpenCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                bool mailText, std::ostream& out, std::ostream& err);

/// `chwr dump FILE.mld`: a readable listing of an MLD file's chunks and records.
int DumpCommand(const std::filesystem::path& input, std::ostream& out, std::ostream& err);

/// Parses the command line and runs the chosen command.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace chwr::cli

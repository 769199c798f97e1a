#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>

#include "cli/json.h"
#include "io/file_io.h"
#include "mail/melody_mail.h"
#include "mld/mld_builder.h"
#include "mld/mld_dump.h"
#include "mld/mld_reader.h"
#include "mml/song_compile.h"
#include "song/song_file.h"

namespace chwr::cli {
namespace {

void PrintWarnings(const std::vector<std::string>& warnings, std::ostream& err) {
  for (const std::string& w : warnings) err << "注意: " << w << '\n';
}

void AppendField(std::string& line, const char* name, long long value) {
  line += ",\"";
  line += name;
  line += "\":";
  line += std::to_string(value);
}

void AppendField(std::string& line, const char* name, std::string_view value) {
  line += ",\"";
  line += name;
  line += "\":";
  AppendJsonString(line, value);
}

void AppendPart(std::string& out, int p, const CompiledPart& part, const CompileState& state) {
  for (int i = 0; i < part.count; ++i) {
    const NoteEvent& e = part.events[i];
    out += "{\"part\":" + std::to_string(p + 1);
    AppendField(out, "index", i);
    AppendField(out, "key", e.key);
    AppendField(out, "gate", e.gate);
    AppendField(out, "step", e.step);
    AppendField(out, "volume", e.volume);
    AppendField(out, "tone", e.tone);
    AppendField(out, "data", part.DataOf(e));
    AppendField(out, "adjustedGate", part.adjustedEvents[i].gate);
    out += "}\n";
  }
  out += "{\"part\":" + std::to_string(p + 1);
  AppendField(out, "count", part.count);
  AppendField(out, "totalSteps", part.totalSteps);
  AppendField(out, "minKey", part.minKey);
  AppendField(out, "maxKey", part.maxKey);
  AppendField(out, "minName", part.minName);
  AppendField(out, "maxName", part.maxName);
  AppendField(out, "volumeChangeCount", part.volumeChangeCount);
  AppendField(out, "toneChangeCount", part.toneChangeCount);
  AppendField(out, "dataByteCount", part.dataByteCount);
  AppendField(out, "toneDefined", state.toneDefined[p] ? 1 : 0);
  const auto& def = state.toneDefinition[p];
  AppendField(out, "toneDefinition", HexLower(def.data(), def.size()));
  out += "}\n";
}

}  // namespace

int CompileCommand(const std::filesystem::path& songPath, std::ostream& out, std::ostream& err) {
  auto read = ReadSongFile(songPath);
  if (!read) {
    err << read.error().message << '\n';
    return kFileError;
  }
  PrintWarnings(read->warnings, err);
  SongCompile compiled;
  if (auto r = CompileSong(read->song, compiled); !r) {
    err << r.error().message << '\n';
    return kCompileError;
  }
  std::string text;
  for (int p = 0; p < 4; ++p) AppendPart(text, p, compiled.parts[p], compiled.state);
  text += "{\"markStep\":" + std::to_string(compiled.state.markStep) + "}\n";
  out << text;
  out.flush();
  return out ? kOk : kFileError;
}

int BuildCommand(const BuildRequest& request, std::ostream& out, std::ostream& err) {
  auto read = ReadSongFile(request.song);
  if (!read) {
    err << read.error().message << '\n';
    return kFileError;
  }
  PrintWarnings(read->warnings, err);
  SongCompile compiled;
  auto build = BuildMld(read->song, compiled);
  if (!build) {
    err << build.error().message << '\n';
    return kCompileError;
  }
  if (build->tempoReplaced)
    err << "注意: ﾃﾝﾎﾟ「" << read->song.tempo << "」は数値でないため120にしました。\n";
  if (!request.mldOut.empty()) {
    if (auto w = WriteMldFile(request.mldOut, build->mldImage); !w) {
      err << w.error().message << '\n';
      return kFileError;
    }
    out << build->sizeReport << '\n';
  }
  if (request.mail) out << MakeMailText(build->mldImage) << '\n';
  out.flush();
  return kOk;
}

int OpenCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                bool mailText, std::ostream& out, std::ostream& err) {
  (void)out;
  auto bytes = ReadFileBytes(input);
  if (!bytes) {
    err << bytes.error().message << '\n';
    return kFileError;
  }
  std::vector<std::uint8_t> image = std::move(*bytes);
  if (mailText) {
    auto decoded = MailTextToBytes(
        std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    if (!decoded) {
      err << decoded.error().message << '\n';
      return kFileError;
    }
    image = std::move(*decoded);
  }
  auto song = ReadMld(image);
  if (!song) {
    err << song.error().message << '\n';
    return kFileError;
  }
  PrintWarnings(song->warnings, err);
  if (auto w = WriteSongFile(output, song->song); !w) {
    err << w.error().message << '\n';
    return kFileError;
  }
  return kOk;
}

int DumpCommand(const std::filesystem::path& input, std::ostream& out, std::ostream& err) {
  auto bytes = ReadFileBytes(input);
  if (!bytes) {
    err << bytes.error().message << '\n';
    return kFileError;
  }
  out << DumpMld(*bytes);
  out.flush();
  return kOk;
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "chwr - Chimewright's command-line tool for i-mode ring melodies.\n"
      "Compiles song text files (18 Shift-JIS lines, first line \"qrv\"), builds MLD files and "
      "melody mail, and reads MLD files back."};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Show help for every command");

  std::string songPath;
  CLI::App* compile = app.add_subcommand(
      "compile",
      "Compile the four parts of a song text file and print one JSON object per line: every "
      "event of parts 1-4 (part, index, key, gate, step, volume, tone, data, adjustedGate), "
      "then each part's statistics, then {\"markStep\":N}. Exit status 1 on a compile error "
      "(its message first on standard error), 2 when the file cannot be read or is not a song "
      "text file.");
  compile->add_option("SONG", songPath, "Song text file (.txt)")->required();

  BuildRequest build;
  CLI::App* buildCmd = app.add_subcommand(
      "build",
      "Build a song text file the way the editor does (parts 1-4 compiled in order) and write "
      "its outputs. --mld writes the MLD file and prints the size report (the editor's "
      "status-bar text); --mail prints the melody-mail text (\"--B:M\", CR LF, base64) "
      "followed by one line feed. Exit status 1 on a compile or build error, 2 on a file "
      "error.");
  buildCmd->add_option("SONG", build.song, "Song text file (.txt)")->required();
  buildCmd->add_option("--mld", build.mldOut, "Write the MLD file here");
  buildCmd->add_flag("--mail", build.mail, "Print the melody-mail text");

  std::string openInput, openOutput;
  bool openMail = false;
  CLI::App* openCmd = app.add_subcommand(
      "open",
      "Read an MLD file (or, with --mail, a text file holding melody-mail text) and write the "
      "song text file that the editor would show. Notes about anything that could not be "
      "read go to standard error. Exit status 2 when the input is no MLD image or a file "
      "cannot be read or written.");
  openCmd->add_option("FILE", openInput, "MLD file, or mail text file with --mail")->required();
  openCmd->add_option("-o,--output", openOutput, "Song text file to write")->required();
  openCmd->add_flag("--mail", openMail, "FILE holds melody-mail text, not MLD bytes");

  std::string dumpInput;
  CLI::App* dumpCmd = app.add_subcommand(
      "dump",
      "Print a readable listing of an MLD file: header chunks and every track record with "
      "its offset, delta and event. Never fails on a malformed file: it says where the "
      "layout breaks.");
  dumpCmd->add_option("FILE", dumpInput, "MLD file")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // CLI11 prints help and errors to the streams it is given.
    int code = app.exit(e, out, err);
    return code == 0 ? kOk : kUsageError;
  }
  if (compile->parsed()) return CompileCommand(songPath, out, err);
  if (buildCmd->parsed()) {
    if (build.mldOut.empty() && !build.mail) {
      err << "build: say what to write: --mld OUT.mld and/or --mail\n";
      return kUsageError;
    }
    return BuildCommand(build, out, err);
  }
  if (openCmd->parsed()) return OpenCommand(openInput, openOutput, openMail, out, err);
  if (dumpCmd->parsed()) return DumpCommand(dumpInput, out, err);
  return kUsageError;
}

}  // namespace chwr::cli

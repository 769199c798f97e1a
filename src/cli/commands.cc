#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>

#include "cli/json.h"
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

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "chwr - Chimewright's command-line tool for i-mode ring melodies.\n"
      "Reads song text files (18 Shift-JIS lines, first line \"qrv\") and compiles their MML."};
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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // CLI11 prints help and errors to the streams it is given.
    int code = app.exit(e, out, err);
    return code == 0 ? kOk : kUsageError;
  }
  if (compile->parsed()) return CompileCommand(songPath, out, err);
  return kUsageError;
}

}  // namespace chwr::cli

// `chwr compile`: every event and every part's statistics as JSON lines.

#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/json.h"
#include "cli/shared.h"
#include "mml/song_compile.h"

namespace chwr::cli {
namespace {

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
    // null: the event leaves the volume as it was; a number (0 too) sets it.
    if (e.changesVolume()) {
      AppendField(out, "volume", e.volume);
    } else {
      out += ",\"volume\":null";
    }
    AppendField(out, "tone", e.tone);
    AppendField(out, "data", part.DataOf(e));
    AppendField(out, "adjustedGate", part.events[i].adjustedGate());
    // Where the note was written: line and column (1-based) and length, in characters.
    if (static_cast<std::size_t>(i) < part.sources.size()) {
      const SourceSpan& s = part.sources[i];
      out += ",\"source\":{\"line\":" + std::to_string(s.line);
      AppendField(out, "column", s.column);
      AppendField(out, "length", s.length);
      out += "}";
    }
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
  auto song = ReadSong(songPath, err);
  if (!song) return Failed(song.error(), err);
  SongCompile compiled;
  SongCompileOptions options;
  options.wantSources = true;
  if (auto r = CompileSong(*song, compiled, options); !r) return Failed(r.error(), err);
  for (const CompiledPart& part : compiled.parts) {
    for (const Diagnostic& w : part.warnings) Print(w, err);
  }
  std::string text;
  for (int p = 0; p < 4; ++p) AppendPart(text, p, compiled.parts[p], compiled.state);
  text += "{\"markStep\":" + std::to_string(compiled.state.markStep) + "}\n";
  out << text;
  out.flush();
  return kOk;
}

}  // namespace chwr::cli

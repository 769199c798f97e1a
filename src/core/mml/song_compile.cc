#include "mml/song_compile.h"

namespace chwr {

Result<void> CompileSong(const SongDocument& song, SongCompile& out,
                         const SongCompileOptions& options) {
  out.state.markStep = 0;
  out.state.compileFailed = false;
  for (CompiledPart& p : out.parts) {
    p.count = 0;
    p.events.clear();
    p.sources.clear();
    p.dataText.clear();
    p.warnings.clear();
  }
  CompileOptions compile;
  compile.resolution = song.resolution == 0 ? 0 : 1;
  compile.smdMode = options.smdMode;
  compile.smdHook = options.smdHook;
  compile.wantSources = options.wantSources;
  for (int part = 0; part < 4; ++part) {
    const std::string& text = options.texts ? (*options.texts)[part] : song.parts[part].mml;
    auto result = CompilePart(part, text, StartingVolume(song.parts[part]), compile, out.state,
                              out.parts[part]);
    if (!result) return result;
  }
  return {};
}

}  // namespace chwr

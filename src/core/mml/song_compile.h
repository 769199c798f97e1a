#pragma once
// The whole song's compile: parts 1 to 4 in order, stopping at the first error.

#include <array>
#include <optional>
#include <string>

#include "mml/compiler.h"
#include "song/song_document.h"

namespace chwr {

/// The compiled song: the four parts and the song-level results.
struct SongCompile {
  std::array<CompiledPart, 4> parts;
  CompileState state;  ///< tone definitions survive from one compile to the next
};

/// How the song is compiled.
struct SongCompileOptions {
  bool smdMode = false;
  SmdHook smdHook;
  bool wantSources = false;  ///< fill each part's `sources` (see CompileOptions)
  /// Texts to compile instead of the parts' MML (the editor's selections).
  std::optional<std::array<std::string, 4>> texts;
};

/// Compiles every part of `song` into `out`. The diagnostic of the first failing
/// part ends the compile; later parts are left untouched (count 0).
Result<void> CompileSong(const SongDocument& song, SongCompile& out,
                         const SongCompileOptions& options = {});

}  // namespace chwr

#pragma once
// One part's MML compiled on its own, for the tests of the compiler and of what reads
// its events: the events, the state the compile leaves, and its error when it fails.

#include <string>
#include <string_view>

#include "mml/compiler.h"

namespace chwr::test {

struct PartCompile {
  CompiledPart part;
  CompileState state;
  bool ok = false;
  Diagnostic error;     ///< when it failed
  std::string message;  ///< the error's message, empty when it compiled
};

/// `mml` compiled as part `part` (0 to 3) at a resolution of 24 (0) or 48 (1) steps a
/// quarter, starting at `startVolume`; `options` give the rest (their resolution is
/// replaced).
inline PartCompile CompileText(std::string_view mml, int part = 0, int resolution = 1,
                               int startVolume = 63, CompileOptions options = {}) {
  PartCompile run;
  options.resolution = resolution;
  const auto result = CompilePart(part, mml, startVolume, options, run.state, run.part);
  run.ok = result.has_value();
  if (!run.ok) {
    run.error = result.error();
    run.message = run.error.message;
  }
  return run;
}

}  // namespace chwr::test

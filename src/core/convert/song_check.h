#pragma once
// The song compiled in the background while the user types: every part's first error,
// the size report of a song that builds, and the parts whose lengths differ. Nothing is
// written and nothing is asked; the editor shows what it learns where the user looks.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "diagnostic.h"
#include "mml/song_compile.h"
#include "song/song_document.h"

namespace chwr {

/// What a background compile of the whole song found.
struct SongCheck {
  /// Each part's first compile error; the others are compiled all the same, so that a
  /// slip in part 1 does not hide one in part 3.
  std::array<std::optional<Diagnostic>, 4> partErrors;
  /// Every part compiled, but the song does not build (a title the MLD file cannot hold).
  std::optional<Diagnostic> buildError;
  /// The status bar's size report, when the song builds.
  std::string sizeReport;
  /// Where the parts' lengths differ (see DriftReport); empty when they agree.
  std::string drift;
};

/// Compiles every part of `song` on its own, then builds the song when none failed.
SongCheck CheckSong(const SongDocument& song);

/// A ring tone repeats, so a part shorter than the longest drifts further on every
/// repeat: names each such part with how much shorter it is, in steps and in beats
/// (quarter notes at `resolution` 0: 24 steps, 1: 48). Parts without events are no
/// part of the tune and are left out. Empty when the parts agree.
std::string DriftReport(const SongCompile& compiled, int resolution);

}  // namespace chwr

#pragma once
// Opening the score editor on a compiled part: the part's events become cells.

#include <span>
#include <string>
#include <vector>

#include "mml/compiler.h"
#include "score/score.h"

namespace chwr {

/// The position a rest read from a compiled part is drawn at: the staff's middle line.
inline constexpr int kRestPitchPos = 52;

/// A cell whose length the score cannot show and which was shown at the nearest one.
struct ScoreLengthChange {
  int cell = 0;   ///< 1..36
  int steps = 0;  ///< the event's own steps, at the part's resolution
};

/// The cells a compiled part reads as, and what did not fit.
struct ScoreReading {
  ScoreCells cells{};  ///< cells 1..36 filled in order; the rest empty
  int shown = 0;       ///< cells filled (at most 36)
  /// Cells the whole part reads as; more than `shown` when the part is longer than the score.
  int fullCount = 0;
  /// Cells shown at a length other than their events' (ascending by cell).
  std::vector<ScoreLengthChange> lengthChanges;
  /// For the status bar: what was changed or left out; empty when the cells are the part.
  std::string notice;
};

/// Reads `events` (a part's `events` as written, `count` of them) compiled at `resolution`
/// (0: 24 steps a quarter note, else 48). Each note's value (key & 63) gives its position
/// and a sharp for a black key; a note that lasts past its step (gate > step) is tied; the
/// step gives the length code, the lengths of two thirds marking triplets. A rest (gate 0)
/// is a rest of its length at kRestPitchPos. A note with a dot extension (a tied note
/// followed by the same note of half its length, which is how "C4." and "C4&C8" compile
/// alike) is one cell of the dotted length when the score has it; two rests of that shape
/// likewise. A step the score has no length for is shown at the nearest one (nearest in
/// steps, the plain length before the triplet on a tie) and listed in lengthChanges.
ScoreReading ReadScoreEvents(std::span<const NoteEvent> events, int resolution);

/// ReadScoreEvents on the first `count` of the part's events.
ScoreReading ReadCompiledPart(const CompiledPart& part, int resolution);

}  // namespace chwr

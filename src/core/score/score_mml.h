#pragma once
// The score as MML: the text the "MML" command puts on the clipboard and into the box
// `txtMML`. The score plays that text as the only part of a build (the build façade's score
// request); it is one part, so nothing else of the song's parts is heard.

#include <span>
#include <string>
#include <string_view>

#include "score/score.h"

namespace chwr {

/// What one conversion of the score produced.
struct ScoreMml {
  std::string mml;      ///< the MML of cells 1..36, e.g. "C4D+8R4" (no line break)
  std::string comment;  ///< the names of those cells, e.g. "ドレ休"
  /// The saved text: "'" + comment + CR LF when comments are wanted, then mml + CR LF;
  /// empty when mml is. It goes to the clipboard (empty text when empty) and becomes the
  /// score MML that playback compiles.
  std::string saved;
  /// What the box `txtMML` shows afterwards: "（ｸﾘｯﾌﾟﾎﾞｰﾄﾞに以下の内容を保存しました。）"
  /// + CR LF + saved; empty when saved is.
  std::string shown;
};

/// Converts cells 1..36 of `cells` (index = cell number) to MML for a song at `resolution`
/// (0: 24 steps a quarter note, else 48), which decides the triplets' absolute lengths.
/// `withComment` is the tool-bar toggle "COMM". The text starts in octave 3, the
/// compiler's; octave marks go before a note whose octave differs from the last note's.
ScoreMml ScoreToMml(const ScoreCells& cells, int resolution, bool withComment);

/// The same for the score's cells.
inline ScoreMml ScoreToMml(const Score& score, int resolution, bool withComment) {
  return ScoreToMml(score.cells(), resolution, withComment);
}

}  // namespace chwr

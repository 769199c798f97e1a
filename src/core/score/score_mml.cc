#include "score/score_mml.h"

#include <array>

#include "messages.h"
#include "mml/notation.h"

namespace chwr {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::array<std::string_view, 7> kSolfege = {"ド", "レ", "ミ", "ファ", "ソ", "ラ", "シ"};
constexpr std::array<std::string_view, 4> kAccidentalText = {"", "", "+", "-"};
// The octave the compiler starts a part in, which the text starts in too.
constexpr int kStartOctave = 3;

// A cell's length: the named length of its code, or for a triplet two thirds of it in steps.
// A dotted code never is a triplet; should a cell claim both, its dotted length is written,
// as a length left out would make the compiler play the default eighth.
std::string LengthText(const ScoreCell& cell, int stepsPerQuarter) {
  const int steps48 = LengthCodeSteps48(cell.lengthCode);
  if (cell.triplet && !IsDottedCode(cell.lengthCode)) {
    const int steps = steps48 * 2 / 3 / (stepsPerQuarter == 24 ? 2 : 1);
    return "*" + std::to_string(steps);
  }
  return std::string(LengthName(steps48, 48).value_or(""));
}

}  // namespace

ScoreMml ScoreToMml(const ScoreCells& cells, int resolution, bool withComment) {
  const int stepsPerQuarter = resolution == 0 ? 24 : 48;
  ScoreMml out;
  int octave = kStartOctave;
  for (int c = 1; c <= kShownCells; ++c) {
    const ScoreCell& cell = cells[c];
    if (cell.empty()) continue;
    std::string name;
    if (cell.isRest()) {
      name = "R";
      out.comment += "休";
    } else {
      const int cellOctave = MmlOctave(cell.pitchPos);
      const std::string marks = OctaveMarks(octave, cellOctave);
      octave = cellOctave;
      const int step = StepIndex(cell.pitchPos);
      name = marks + "CDEFGAB"[step - 1];
      name += kAccidentalText[static_cast<std::size_t>(cell.accidental) & 3];
      out.comment += marks;
      out.comment += kSolfege[static_cast<std::size_t>(step - 1)];
    }
    name += LengthText(cell, stepsPerQuarter);
    if (cell.tie) name += '&';
    out.mml += name;
  }
  if (out.mml.empty()) return out;
  if (withComment) out.saved = "'" + out.comment + std::string(kCrLf);
  out.saved += out.mml + std::string(kCrLf);
  out.shown = std::string(msg::kScoreMmlSaved) + std::string(kCrLf) + out.saved;
  return out;
}

}  // namespace chwr

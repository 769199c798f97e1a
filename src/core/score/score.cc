#include "score/score.h"

namespace chwr {

int LengthCodeSteps48(int lengthCode) {
  // Whole, dotted half, half, ... sixteenth, thirty-second.
  static constexpr int kSteps[kRestCodeOffset] = {192, 144, 96, 72, 48, 36, 24, 18, 12, 6};
  const int length = lengthCode % kRestCodeOffset;
  return length >= 0 ? kSteps[length] : 0;
}

Score::Score() = default;

const ScoreCell& Score::cell(int number) const {
  static const ScoreCell kEmpty;
  return number >= 1 && number <= kStoredCells ? cells_[number] : kEmpty;
}

bool Score::isSelected(int cell) const {
  return cell == current_ || range_.contains(cell);
}

bool Score::anyShownFilled() const {
  return false;
}

ScoreControls Score::Controls() const {
  return {};
}

ScoreChange Score::Clear() { return {}; }
ScoreChange Score::Load(const ScoreCells&) { return {}; }
ScoreChange Score::Press(int, int) { return {}; }
ScoreChange Score::Drag(int, int) { return {}; }
ScoreChange Score::Release(int) { return {}; }
ScoreChange Score::SetLength(int) { return {}; }
ScoreChange Score::ChooseLengthItem(int) { return {}; }
ScoreChange Score::ToggleRest() { return {}; }
ScoreChange Score::PressDigitKey(int) { return {}; }
ScoreChange Score::StepLength(int) { return {}; }
ScoreChange Score::SetAccidental(int) { return {}; }
ScoreChange Score::SetTie(bool) { return {}; }
ScoreChange Score::SetTriplet(bool) { return {}; }
ScoreChange Score::MoveUp() { return {}; }
ScoreChange Score::MoveDown() { return {}; }
ScoreChange Score::Insert() { return {}; }
ScoreChange Score::Delete() { return {}; }
ScoreChange Score::SetCurrentCell(int) { return {}; }
ScoreChange Score::ChangeCell(const ScoreCell&) { return {}; }
ScoreChange Score::AllShown() const { return {}; }

}  // namespace chwr

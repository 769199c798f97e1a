#include "score/score.h"

#include <algorithm>

namespace chwr {
namespace {

// Keeps the shown cells only, ascending, each once: what the window redraws.
ScoreChange Cells(std::vector<int> cells) {
  std::erase_if(cells, [](int c) { return c < 1 || c > kShownCells; });
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  return {std::move(cells)};
}

void AddRange(std::vector<int>& cells, CellRange range) {
  for (int c = range.first; c <= range.last; ++c) cells.push_back(c);
}

CellRange Between(int a, int b) {
  return {std::min(a, b), std::max(a, b)};
}

}  // namespace

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
  return std::any_of(cells_.begin() + 1, cells_.begin() + 1 + kShownCells,
                     [](const ScoreCell& c) { return !c.empty(); });
}

ScoreControls Score::Controls() const {
  const ScoreCell& c = cells_[current_];
  ScoreControls shown;
  shown.lengthCode = c.empty() ? currentLength_ : c.lengthCode;
  shown.lengthItem = shown.lengthCode % kRestCodeOffset;
  shown.rest = IsRestCode(shown.lengthCode);
  shown.accidental = c.accidental;
  shown.tie = c.tie;
  shown.triplet = c.triplet;
  return shown;
}

ScoreChange Score::AllShown() const {
  std::vector<int> all(kShownCells);
  for (int c = 1; c <= kShownCells; ++c) all[c - 1] = c;
  return {std::move(all)};
}

ScoreChange Score::Clear() {
  *this = Score();
  return AllShown();
}

ScoreChange Score::Load(const ScoreCells& cells) {
  *this = Score();
  cells_ = cells;
  cells_[0] = {};
  return AllShown();
}

ScoreChange Score::SetCurrentCell(int cell) {
  const int previous = current_;
  current_ = cell;
  return Cells({previous, cell});
}

ScoreChange Score::ChangeCell(const ScoreCell& updated) {
  if (cells_[current_] == updated) return {};
  cells_[current_] = updated;
  modified_ = true;
  return Cells({current_});
}

// ---- mouse ---------------------------------------------------------------------------------

ScoreChange Score::Press(int cell, int y) {
  if (cell < 1 || cell > kShownCells) return {};
  std::vector<int> changed = SetCurrentCell(cell).cells;
  held_ = true;
  pressed_ = cell;
  ScoreCell& c = cells_[cell];
  if (c.empty()) {
    c = ScoreCell{.pitchPos = PitchPosAtY(y), .lengthCode = currentLength_};
    modified_ = true;
  }
  if (HitsHead(c.pitchPos, y)) {
    dragMode_ = ScoreDragMode::kNoteDrag;
  } else {
    dragMode_ = ScoreDragMode::kRangeSelection;
    AddRange(changed, range_);
    range_ = {cell, cell};
  }
  return Cells(std::move(changed));
}

ScoreChange Score::Drag(int cell, int y) {
  if (!held_) return {};
  if (dragMode_ == ScoreDragMode::kNoteDrag) {
    ScoreCell moved = cells_[current_];
    moved.pitchPos = PitchPosAtY(y);
    return ChangeCell(moved);
  }
  const CellRange next = Between(pressed_, std::clamp(cell, 1, kShownCells));
  if (next == range_) return {};
  std::vector<int> changed;
  AddRange(changed, range_);
  AddRange(changed, next);
  range_ = next;
  return Cells(std::move(changed));
}

ScoreChange Score::Release(int cell) {
  if (!held_) return {};
  held_ = false;
  std::vector<int> changed;
  if (dragMode_ == ScoreDragMode::kRangeSelection) {
    const int released = std::clamp(cell, 1, kShownCells);
    AddRange(changed, range_);
    range_ = Between(pressed_, released);
    AddRange(changed, range_);
    const std::vector<int> moved = SetCurrentCell(released).cells;
    changed.insert(changed.end(), moved.begin(), moved.end());
  }
  // The length buttons take the released note's length, so the next note placed gets it.
  if (!cells_[current_].empty()) currentLength_ = cells_[current_].lengthCode;
  return Cells(std::move(changed));
}

// ---- buttons, menus and keys ---------------------------------------------------------------

ScoreChange Score::SetLength(int code) {
  if (code < 0 || code >= kLengthCodes) return {};
  currentLength_ = code;
  if (cells_[current_].empty()) return {};
  ScoreCell updated = cells_[current_];
  updated.lengthCode = code;
  if (IsDottedCode(code)) updated.triplet = false;
  return ChangeCell(updated);
}

ScoreChange Score::ChooseLengthItem(int item) {
  if (item < 0 || item >= kRestCodeOffset) return {};
  return SetLength(item + (Controls().rest ? kRestCodeOffset : 0));
}

ScoreChange Score::ToggleRest() {
  const int code = Controls().lengthCode;
  return SetLength(IsRestCode(code) ? code - kRestCodeOffset : code + kRestCodeOffset);
}

ScoreChange Score::PressDigitKey(int digit) {
  if (digit < 0 || digit > 9) return {};
  return SetLength(digit == 0 ? 9 : digit - 1);
}

ScoreChange Score::StepLength(int delta) {
  return SetLength(std::clamp(Controls().lengthCode + delta, 0, kLengthCodes - 1));
}

ScoreChange Score::SetAccidental(int accidental) {
  if (accidental < kNoAccidental || accidental > kFlat || cells_[current_].empty()) return {};
  ScoreCell updated = cells_[current_];
  updated.accidental = accidental;
  return ChangeCell(updated);
}

ScoreChange Score::SetTie(bool tie) {
  if (cells_[current_].empty()) return {};
  ScoreCell updated = cells_[current_];
  updated.tie = tie;
  return ChangeCell(updated);
}

ScoreChange Score::SetTriplet(bool triplet) {
  if (triplet && IsDottedCode(Controls().lengthCode)) {
    ScoreChange refused;
    refused.refused = true;
    return refused;
  }
  if (cells_[current_].empty()) return {};
  ScoreCell updated = cells_[current_];
  updated.triplet = triplet;
  return ChangeCell(updated);
}

ScoreChange Score::MoveUp() {
  ScoreCell updated = cells_[current_];
  if (updated.empty() || updated.pitchPos - kPitchStepPixels < kKeyMinPitchPos) return {};
  updated.pitchPos -= kPitchStepPixels;
  return ChangeCell(updated);
}

ScoreChange Score::MoveDown() {
  ScoreCell updated = cells_[current_];
  if (updated.empty() || updated.pitchPos + kPitchStepPixels > kKeyMaxPitchPos) return {};
  updated.pitchPos += kPitchStepPixels;
  return ChangeCell(updated);
}

ScoreChange Score::Insert() {
  const int first = range_.any() ? range_.first : current_;
  const ScoreCells before = cells_;
  std::copy_backward(cells_.begin() + first, cells_.end() - 1, cells_.end());
  cells_[first] = {};
  if (cells_ != before) modified_ = true;
  return AllShown();
}

// Every cell after the range moves down through cell 52, so that the cells pushed out of
// view come back once each: moving only up to cell 37 would leave copies of the hidden
// cells behind, which later deletes would bring into view as notes the user never wrote.
ScoreChange Score::Delete() {
  const CellRange gone = range_.any() ? range_ : CellRange{current_, current_};
  const int n = gone.last - gone.first + 1;
  const ScoreCells before = cells_;
  std::copy(cells_.begin() + gone.first + n, cells_.end(), cells_.begin() + gone.first);
  std::fill(cells_.end() - n, cells_.end(), ScoreCell{});
  if (cells_ != before) modified_ = true;
  current_ = gone.first;
  range_ = {gone.first, gone.first};
  return AllShown();
}

}  // namespace chwr

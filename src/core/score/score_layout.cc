#include "score/score_layout.h"

#include <algorithm>

namespace chwr {
namespace {

// Positions and pointer pixels may be negative (a pointer dragged above the picture), and
// the staff's arithmetic is floor division and mathematical remainder throughout.
int FloorDiv(int a, int b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

int Mod(int a, int b) {
  return ((a % b) + b) % b;
}

constexpr int kTopLine = kStaffLines[0];
constexpr int kBottomLine = kStaffLines[4];

}  // namespace

std::optional<int> CellAtX(int x) {
  if (x < kClefAreaWidth || x >= kCellsRight) return std::nullopt;
  return (x + 11) / kCellWidth - 1;
}

int CellAtXClamped(int x) {
  return std::clamp(FloorDiv(x + 11, kCellWidth) - 1, 1, kShownCells);
}

int CellLeft(int cell) {
  return kCellWidth * (cell + 1) - 11;
}

int StaffLeftForSlider(int value) {
  return -kCellWidth * (value - 1);
}

int SnapPitchPos(int y) {
  return FloorDiv(y, kPitchStepPixels) * kPitchStepPixels + 4;
}

int PitchPosAtY(int y) {
  return std::clamp(SnapPitchPos(y), kPointerMinPitchPos, kPointerMaxPitchPos);
}

bool HitsHead(int pitchPos, int y) {
  const int snapped = SnapPitchPos(y);
  return snapped >= pitchPos - 6 && snapped <= pitchPos + 9;
}

int OctaveIndex(int pitchPos) {
  return FloorDiv(pitchPos - 31, kOctavePixels) + 1;
}

int MmlOctave(int pitchPos) {
  return 6 - OctaveIndex(pitchPos);
}

int StepIndex(int pitchPos) {
  // Positions are 10 + 3k; one between two steps rounds to the nearer (halves upward in k).
  const int k = FloorDiv(2 * (pitchPos - 10) + kPitchStepPixels, 2 * kPitchStepPixels);
  return 7 - Mod(k, 7);
}

char StepLetter(int pitchPos) {
  return "CDEFGAB"[StepIndex(pitchPos) - 1];
}

int PitchPosOf(int octave, int letterIndex) {
  return 154 - kOctavePixels * octave - kPitchStepPixels * letterIndex;
}

bool IsLinePosition(int pitchPos) {
  return Mod(pitchPos - 28, 6) == 0;
}

std::vector<int> LedgerLines(int pitchPos) {
  std::vector<int> lines;
  for (int p = kTopLine - 6; p >= pitchPos; p -= 6) lines.push_back(p);
  for (int p = kBottomLine + 6; p <= pitchPos; p += 6) lines.push_back(p);
  return lines;
}

}  // namespace chwr

#include "score/score_timing.h"

namespace chwr {

int ScoreCellSteps(const ScoreCell& cell, int resolution) {
  if (cell.empty()) return 0;
  int steps = LengthCodeSteps48(cell.lengthCode);
  if (cell.triplet) steps = steps * 2 / 3;
  return resolution == 0 ? steps / 2 : steps;
}

int ScoreCellAtStep(const ScoreCells& cells, int resolution, int step) {
  int total = 0;
  for (int c = 1; c <= kShownCells; ++c) total += ScoreCellSteps(cells[c], resolution);
  if (total == 0 || step < 0) return 0;
  step %= total;
  for (int c = 1; c <= kShownCells; ++c) {
    const int steps = ScoreCellSteps(cells[c], resolution);
    if (step < steps) return c;
    step -= steps;
  }
  return 0;
}

}  // namespace chwr

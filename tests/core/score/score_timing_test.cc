// Which cell a playing score is at: steps of each cell, empty cells taking no time, and a
// repeated playback counting from the start again.

#include <gtest/gtest.h>

#include "score/score_timing.h"

namespace chwr {
namespace {

TEST(ScoreTimingTest, CellAtStepWalksTheFilledCellsLengths) {
  ScoreCells cells{};
  cells[1] = {70, 4, 0, false, false};  // a quarter note
  cells[3] = {70, 16, 0, false, false};  // an eighth rest, after an empty cell
  cells[4] = {70, 4, 0, false, true};  // a quarter-note triplet
  cells[5] = {70, 1, 0, false, false};  // a dotted half note
  struct Row {
    int resolution, step, cell;
  };
  const Row rows[] = {
      {1, 0, 1},    {1, 47, 1},   {1, 48, 3},    {1, 71, 3},  {1, 72, 4},
      {1, 103, 4},  {1, 104, 5},  {1, 247, 5},   {1, 248, 1},  // the second time through
      {0, 23, 1},   {0, 24, 3},   {0, 36, 4},    {0, 51, 4},   {0, 52, 5},
      {1, -1, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ScoreCellAtStep(cells, r.resolution, r.step), r.cell)
        << "resolution " << r.resolution << ", step " << r.step;
  }
  EXPECT_EQ(ScoreCellAtStep(ScoreCells{}, 1, 0), 0);
}

}  // namespace
}  // namespace chwr

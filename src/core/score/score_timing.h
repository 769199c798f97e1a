#pragma once
// Where a playing score is: the cells' lengths in steps, so that a position in the played
// file (its ticks are the song's steps) names the cell being heard.

#include "score/score.h"

namespace chwr {

/// The steps cell `cell` lasts in a song at `resolution` (0: 24 steps a quarter note, else
/// 48): its length, two thirds of it for a triplet; 0 for an empty cell.
int ScoreCellSteps(const ScoreCell& cell, int resolution);

/// The shown cell (1..36) sounding `step` steps after the score began to play, empty cells
/// taking no time. A step past the last cell counts again from the start, as a repeated
/// playback plays the score twice. 0 when no shown cell is filled.
int ScoreCellAtStep(const ScoreCells& cells, int resolution, int step);

}  // namespace chwr

// The score editor's two conversions, each on a full score of 36 cells: the cells to MML
// (every "MML" command), and a compiled part read into cells (every time the editor opens).

#include <benchmark/benchmark.h>

#include <string>

#include "mml/compiler.h"
#include "score/score_mml.h"
#include "score/score_read.h"

namespace {

// 36 notes over four octaves with every kind of length, accidentals, ties and triplets.
chwr::ScoreCells FullScore() {
  chwr::ScoreCells cells{};
  for (int c = 1; c <= chwr::kShownCells; ++c) {
    chwr::ScoreCell& cell = cells[c];
    cell.pitchPos = 28 + 3 * ((c * 7) % 30);
    cell.lengthCode = c % 10 + (c % 9 == 0 ? chwr::kRestCodeOffset : 0);
    cell.accidental = c % 4;
    cell.tie = c % 5 == 0;
    cell.triplet = c % 3 == 0 && !chwr::IsDottedCode(cell.lengthCode);
  }
  return cells;
}

void BM_ScoreToMml(benchmark::State& state) {
  const chwr::ScoreCells cells = FullScore();
  for (auto _ : state) benchmark::DoNotOptimize(chwr::ScoreToMml(cells, 1, true));
}
BENCHMARK(BM_ScoreToMml);

void BM_ReadScorePart(benchmark::State& state) {
  const std::string mml = chwr::ScoreToMml(FullScore(), 1, false).mml;
  chwr::CompiledPart part;
  chwr::CompileState compileState;
  if (!chwr::CompilePart(0, mml, 63, {}, compileState, part)) {
    state.SkipWithError("the score's MML did not compile");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(chwr::ReadCompiledPart(part, 1));
}
BENCHMARK(BM_ReadScorePart);

}  // namespace

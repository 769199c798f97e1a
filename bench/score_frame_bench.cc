// The score editor's frame: all 36 cells filled with the busiest signs (flags, dots,
// triplet marks, accidentals, ties, ledger lines) converted to MML and the whole staff
// picture painted into an image at a device pixel ratio of 2, as after every edit. One
// frame at 60 Hz is 16 ms.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include "offscreen_app.h"
#include "score/score.h"
#include "score/score_mml.h"
#include "score_editor/staff_view.h"

namespace {

// Notes and rests of every length, high and low (ledger lines), with every accidental,
// ties and triplets where a length allows one.
chwr::ScoreCells BusyCells() {
  chwr::ScoreCells cells{};
  for (int c = 1; c <= chwr::kShownCells; ++c) {
    chwr::ScoreCell& cell = cells[c];
    cell.lengthCode = (c * 7) % chwr::kLengthCodes;
    cell.pitchPos = 25 + 3 * ((c * 5) % 47);
    cell.accidental = c % 4;
    cell.tie = c % 3 == 0;
    cell.triplet = !chwr::IsDottedCode(cell.lengthCode) && c % 2 == 0;
  }
  return cells;
}

void BM_ConvertAndPaintFullScore(benchmark::State& state) {
  chwr::bench::OffscreenApp();
  chwr::Score score;
  score.Load(BusyCells());
  chwr::gui::StaffView staff(score, nullptr);
  QImage image(QSize(chwr::kStaffPictureWidth, chwr::kStaffPictureHeight) * 2,
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  for (auto _ : state) {
    const chwr::ScoreMml mml = chwr::ScoreToMml(score, 1, true);
    benchmark::DoNotOptimize(mml.saved.data());
    QPainter painter(&image);
    staff.Paint(painter);
  }
}
BENCHMARK(BM_ConvertAndPaintFullScore)->Unit(benchmark::kMillisecond);

}  // namespace

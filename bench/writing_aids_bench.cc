// The aids for writing MML against a 16 ms frame: the background compile of the largest
// song (it runs on a worker, but its result should follow the typing within a frame or
// two), and one keystroke into a part of 32,000 notes with the colours on and the
// background compile watching, as the window handles it, offscreen.

#include <benchmark/benchmark.h>

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <random>
#include <string>

#include "convert/song_check.h"
#include "largest_song.h"
#include "offscreen_app.h"
#include "main_window/live_check.h"
#include "main_window/mml_highlighter.h"
#include "main_window/part_page.h"
#include "main_window/song_form.h"
#include "shared/paste_guard.h"

namespace {

// One part as long as the format allows, as a user types into it (the others empty); and
// the whole song of four such parts.
void BM_BackgroundCheck(benchmark::State& state) {
  chwr::SongDocument song = chwr::bench::LargestSong();
  for (int p = static_cast<int>(state.range(0)); p < 4; ++p) song.parts[p].mml.clear();
  for (auto _ : state) {
    const chwr::SongCheck check = chwr::CheckSong(song);
    benchmark::DoNotOptimize(check.sizeReport.data());
  }
}
BENCHMARK(BM_BackgroundCheck)->ArgName("parts")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// 32,000 notes with lengths, octave marks, volumes and comments, 16 to a line.
QString LongPart() {
  std::mt19937 rng(7);
  const char* notes[] = {"C", "D+", "E8", "F16.", "G4&", "A", "B32", "R8"};
  std::string text = "O4 L8 'a long part\n";
  for (int i = 1; i <= 32000; ++i) {
    if (rng() % 40 == 0) text += "<";
    if (rng() % 60 == 0) text += "V40";
    text += notes[rng() % 8];
    text += i % 16 == 0 ? "\n" : " ";
  }
  return QString::fromStdString(text);
}

void BM_KeystrokeIntoA32000NotePart(benchmark::State& state) {
  chwr::bench::OffscreenApp();
  chwr::gui::SongForm form;
  chwr::gui::LiveCheck live(form, nullptr);
  QPlainTextEdit* box = form.page(0)->mmlBox();
  chwr::gui::MmlHighlighter colours(box);
  form.resize(800, 600);
  form.show();
  box->setFocus();
  box->setPlainText(LongPart());
  QCoreApplication::processEvents();
  QTextCursor caret = box->textCursor();
  caret.setPosition(box->document()->characterCount() / 2);
  box->setTextCursor(caret);
  bool typeNote = true;
  for (auto _ : state) {
    // A note typed, then taken back, so the text stays the same size.
    const Qt::Key key = typeNote ? Qt::Key_C : Qt::Key_Backspace;
    const QString text = typeNote ? QStringLiteral("C") : QString();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QApplication::sendEvent(box, &release);
    // What the window does before the next key: layout and paint of the changed line.
    box->viewport()->repaint();
    typeNote = !typeNote;
  }
  live.timer()->stop();
}
BENCHMARK(BM_KeystrokeIntoA32000NotePart)->Unit(benchmark::kMillisecond);

}  // namespace

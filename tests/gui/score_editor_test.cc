// The score editor as the user meets it: opened from the main window on a part's notes,
// notes placed and dragged on the staff with real mouse events, keys, buttons and menus
// whose marks follow the current cell, the MML on the clipboard, the discard question,
// and the score played through the main window's player. The score's rules (what a
// press does, how cells move, the MML text) have the core's tests; these prove the
// window drives them.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "midi/smf_timing.h"
#include "score/score.h"
#include "score_editor/score_editor.h"
#include "score_editor/staff_view.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

const QString kScoreDiscard = "内容が変更されていますがよろしいですか？";

// Where a press on cell `cell` goes: its middle.
int X(int cell) {
  return CellLeft(cell) + kCellWidth / 2;
}

// The main window with part 2 holding `mml`, its score editor opened from the tool bar.
struct ScoreHarness {
  explicit ScoreHarness(const QString& mml = "O3 C4 D+8 R4") {
    h.set({{"Text1_1", mml}});
    h.tabs()->setCurrentIndex(1);
    h.trigger("SCO");
    QApplication::setActiveWindow(editor());
  }
  ScoreEditor* editor() const {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* e = qobject_cast<ScoreEditor*>(w)) return e;
    }
    qFatal("no score editor");
  }
  bool open() const {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<ScoreEditor*>(w) && w->isVisible()) return true;
    }
    return false;
  }
  template <class T = QWidget>
  T* find(const QString& name) const {
    T* found = editor()->findChild<T*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
  }
  const Score& score() const { return editor()->score(); }
  QWidget* staff() const { return find("picSCO"); }
  bool on(const QString& name) const { return find<QObject>(name)->property("checked").toBool(); }
  void trigger(const QString& name) const { find<QAction>(name)->trigger(); }
  void key(Qt::Key k) const { QTest::keyClick(staff(), k); }
  // Left button down at (x, y) of the staff picture, moved through `path`, let go at its end.
  void drag(QPoint from, const QList<QPoint>& path) const {
    QTest::mousePress(staff(), Qt::LeftButton, {}, from);
    for (QPoint p : path) QTest::mouseMove(staff(), p);
    QTest::mouseRelease(staff(), Qt::LeftButton, {}, path.isEmpty() ? from : path.last());
  }
  void click(int cell, int y) const { drag({X(cell), y}, {}); }
  // The pitch positions of cells 1..n, 0 for an empty one.
  QList<int> positions(int n) const {
    QList<int> p;
    for (int c = 1; c <= n; ++c) p << score().cell(c).pitchPos;
    return p;
  }

  Harness h;
};

}  // namespace

class ScoreEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void opensOnTheSelectedPartAndIsRaisedWhenOpen();
  void notesArePlacedDraggedAndRangesEdited();
  void keysActOnTheScoreButNotInTheTempoBox();
  void controlsAndMenuMarksFollowTheCurrentCell();
  void mmlGoesToTheBoxAndTheClipboard();
  void clearingAndClosingAskBeforeLosingNotes();
  void playPlaysTheScoreAndFollowsIt();
};

void ScoreEditorTest::opensOnTheSelectedPartAndIsRaisedWhenOpen() {
  ScoreHarness t;
  ScoreEditor* editor = t.editor();
  QCOMPARE(editor->windowTitle(), QString("楽譜入力"));
  QCOMPARE(editor->frameGeometry().topLeft(), t.h.window->frameGeometry().topLeft() + QPoint(3, 62));
  // O3 C4 D+8 R4 of part 2: C and D (sharp) of the starting octave, and a rest.
  QCOMPARE(t.positions(4), QList<int>({91, 88, 52, 0}));
  QCOMPARE(t.find<QComboBox>("cmbTEMPO")->currentText(), QString("120"));

  // Open, the command only raises it: the user's cells stay, even when the song would no
  // longer compile.
  t.click(4, 100);
  t.h.set({{"Text1_1", "O3 C4 X"}});
  t.h.trigger("mnuSCO");
  QCOMPARE(t.positions(4), QList<int>({91, 88, 52, 103}));
  QCOMPARE(t.h.prompts.messages.size(), 0);

  // Closed, it opens on a fresh build: a compile error is shown as the window shows it,
  // and the editor stays closed; a selection opens alone.
  t.h.prompts.confirms = {true};
  editor->close();
  QVERIFY(!t.open());
  t.h.trigger("mnuSCO");
  QVERIFY(t.h.lastMessage().startsWith("Error: "));
  QVERIFY(!t.open());
  t.h.set({{"Text1_1", "O3 C4 E8 G4"}});
  t.h.select(1, 6, 8);  // "E8"
  t.h.trigger("mnuSCO");
  QVERIFY(t.open());
  QCOMPARE(t.positions(2), QList<int>({85, 0}));
}

void ScoreEditorTest::notesArePlacedDraggedAndRangesEdited() {
  ScoreHarness t("");
  // A press on an empty cell puts a note of the current length (an eighth) there.
  t.click(1, 100);
  QCOMPARE(t.score().cell(1).pitchPos, 103);
  QCOMPARE(t.score().cell(1).lengthCode, 6);
  // Pressed on its head and dragged, the note follows in steps of 3 pixels; the pointer
  // counts as kept in its column, however far it strays.
  t.drag({X(1), 103}, {{X(1), 90}, {X(6), 80}});
  QCOMPARE(t.positions(2), QList<int>({82, 0}));
  QCOMPARE(t.score().currentCell(), 1);
  for (int c = 2; c <= 4; ++c) t.click(c, 40 + c * 6);
  QCOMPARE(t.positions(5), QList<int>({82, 55, 61, 67, 0}));

  // Pressed off its head, a filled cell starts a range; INS and CUT act on the range.
  t.drag({X(3), 150}, {{X(2), 150}, {X(1), 150}});
  QCOMPARE(t.score().range(), (CellRange{1, 3}));
  t.trigger("INS");
  QCOMPARE(t.positions(5), QList<int>({0, 82, 55, 61, 67}));
  t.drag({X(2), 190}, {{X(3), 190}});
  t.trigger("CUT");
  QCOMPARE(t.positions(5), QList<int>({0, 61, 67, 0, 0}));
  // Dragged beyond the visible staff, a range ends at its last visible cell.
  auto* frame = t.find("fraSCO");
  const int lastSeen = (frame->width() - 1 - t.staff()->x() - kClefAreaWidth) / kCellWidth + 1;
  t.drag({X(2), 190}, {{X(36), 190}});
  QCOMPARE(t.score().range(), (CellRange{2, std::min(lastSeen, kShownCells)}));

  // The slider at 5 shows cell 5 first, where cell 1 was.
  t.find<QSlider>("sliSCO")->setValue(5);
  QCOMPARE(t.staff()->mapTo(frame, QPoint(CellLeft(5), 0)).x(), CellLeft(1));

  // A right press opens the edit menu at the pointer.
  QTest::mousePress(t.staff(), Qt::RightButton, {}, {X(6), 20});
  auto* menu = t.editor()->menuBar()->findChild<QMenu*>("mnuEDIT");
  QVERIFY(menu->isVisible());
  menu->close();
  QTest::mouseRelease(t.staff(), Qt::RightButton, {}, {X(6), 20});
}

void ScoreEditorTest::keysActOnTheScoreButNotInTheTempoBox() {
  ScoreHarness t("O3 E4 E4");
  struct Case {
    Qt::Key key;
    int lengthCode;  // the current length afterwards
    QList<int> positions;
  };
  const Case cases[] = {
      {Qt::Key_1, 0, {85, 85, 0}},  {Qt::Key_9, 8, {85, 85, 0}},  {Qt::Key_0, 9, {85, 85, 0}},
      {Qt::Key_Left, 8, {85, 85, 0}}, {Qt::Key_Right, 9, {85, 85, 0}},
      {Qt::Key_Up, 9, {82, 85, 0}},  {Qt::Key_Down, 9, {85, 85, 0}},
      {Qt::Key_Insert, 9, {0, 85, 85}}, {Qt::Key_Delete, 9, {85, 85, 0}},
  };
  for (const Case& c : cases) {
    t.key(c.key);
    const QString what = " after " + QKeySequence(c.key).toString();
    QCOMPARE(QString::number(t.score().currentLengthCode()) + what,
             QString::number(c.lengthCode) + what);
    QCOMPARE(t.positions(3), c.positions);
  }
  // The keys reach the score from any control but the tempo box, where they are typing.
  QTest::keyClick(t.find("Option2_2"), Qt::Key_4);
  QCOMPARE(t.score().currentLengthCode(), 3);
  QLineEdit* tempo = t.find<QComboBox>("cmbTEMPO")->lineEdit();
  tempo->selectAll();
  QTest::keyClicks(tempo, "96");
  QTest::keyClick(tempo, Qt::Key_Left);
  QCOMPARE(t.find<QComboBox>("cmbTEMPO")->currentText(), QString("96"));
  QCOMPARE(t.score().currentLengthCode(), 3);
}

void ScoreEditorTest::controlsAndMenuMarksFollowTheCurrentCell() {
  ScoreHarness t("O3 C4 D8");
  // What a cell holds shows on the buttons, the boxes and the menus' marks alike.
  auto shown = [&] {
    QStringList on;
    for (const char* name :
         {"Option1_4", "Option1_6", "Option1_13", "Option2_0", "Option2_2", "Check1", "Check2",
          "mnuLEN_3", "mnuLEN_4", "mnuLEN_6", "mnuCYO_0", "mnuCYO_2", "mnuCYO_4", "mnuCYO_5",
          "mnuED_5"}) {
      if (t.on(name)) on << name;
    }
    return on.join(" ");
  };
  t.click(1, 91);
  QCOMPARE(shown(), QString("Option1_4 Option2_0 mnuLEN_4 mnuCYO_0"));
  // Changed through menus and buttons, the first cell shows its new values ...
  t.trigger("mnuCYO_2");
  t.trigger("mnuCYO_4");
  t.find<QCheckBox>("Check2")->click();
  QCOMPARE(shown(), QString("Option1_4 Option2_2 Check1 Check2 mnuLEN_4 mnuCYO_2 mnuCYO_4 mnuCYO_5"));
  // ... a dotted rest clears the triplet, and a triplet is then refused ...
  t.trigger("mnuED_5");
  t.trigger("mnuLEN_3");
  t.find<QCheckBox>("Check2")->click();
  QCOMPARE(shown(), QString("Option1_13 Option2_2 Check1 mnuLEN_3 mnuCYO_2 mnuCYO_4 mnuED_5"));
  // ... and the next cell shows its own.
  t.click(2, 88);
  QCOMPARE(shown(), QString("Option1_6 Option2_0 mnuLEN_6 mnuCYO_0"));
  t.click(1, 91);
  QCOMPARE(shown(), QString("Option1_13 Option2_2 Check1 mnuLEN_3 mnuCYO_2 mnuCYO_4 mnuED_5"));
}

void ScoreEditorTest::mmlGoesToTheBoxAndTheClipboard() {
  ScoreHarness t;
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QString saved = "（ｸﾘｯﾌﾟﾎﾞｰﾄﾞに以下の内容を保存しました。）\n";
  t.trigger("MML");
  QCOMPARE(t.find<QPlainTextEdit>("txtMML")->toPlainText(), saved + "C4D+8R4\n");
  QCOMPARE(clipboard->text(), QString("C4D+8R4\r\n"));
  t.trigger("COMM");
  t.trigger("mnuCHGMML");
  QCOMPARE(t.find<QPlainTextEdit>("txtMML")->toPlainText(), saved + "'ドレ休\nC4D+8R4\n");
  QCOMPARE(clipboard->text(), QString("'ドレ休\r\nC4D+8R4\r\n"));
}

void ScoreEditorTest::clearingAndClosingAskBeforeLosingNotes() {
  ScoreHarness t;
  // Nothing changed since it opened: no question.
  t.trigger("NEW");
  QCOMPARE(t.positions(1), QList<int>({0}));
  t.click(1, 100);
  t.h.prompts.confirms = {false, true};
  t.trigger("mnuNEW");
  QCOMPARE(t.positions(1), QList<int>({103}));
  t.trigger("mnuNEW");
  QCOMPARE(t.positions(1), QList<int>({0}));

  // Closing asks too; Cancel keeps it open, also when the main window closes.
  t.click(1, 100);
  t.find<QComboBox>("cmbTONE")->setCurrentIndex(40);
  t.find<QComboBox>("cmbTEMPO")->setEditText("150");
  t.h.prompts.confirms = {false, false, true};
  t.trigger("EXIT");
  QVERIFY(t.open());
  t.h.prompts.answers = {Answer::No};
  QVERIFY(!t.h.window->close());
  QVERIFY(t.open() && t.h.window->isVisible());
  t.trigger("mnuEXIT");
  QVERIFY(!t.open());
  QCOMPARE(t.h.prompts.questions.count(kScoreDiscard), 5);
  // The tone goes into the settings, the tempo is kept for the next opening.
  QCOMPARE(t.h.window->currentSettings().scoreOptions.tone, std::string("40"));
  t.h.trigger("mnuSCO");
  QCOMPARE(t.find<QComboBox>("cmbTONE")->currentIndex(), 40);
  QCOMPARE(t.find<QComboBox>("cmbTEMPO")->currentText(), QString("150"));
  // Unchanged, it closes with the main window without a question.
  t.h.prompts.answers = {Answer::No};
  QVERIFY(t.h.window->close());
  QVERIFY(!t.open());
  QCOMPARE(t.h.prompts.questions.count(kScoreDiscard), 5);
  QVERIFY(ReadAll(t.h.path("chwr.ini")).contains("[Score]\r\nTone=40"));
}

void ScoreEditorTest::playPlaysTheScoreAndFollowsIt() {
  ScoreHarness t;
  t.h.set({{"Text1_0", kLongSong}});
  t.find<QComboBox>("cmbTEMPO")->setEditText("90");
  t.find<QComboBox>("cmbTONE")->setCurrentIndex(40);
  t.trigger("PLAY");
  const QByteArray played = ReadAll(t.h.path("cache/dummy.mid"));
  QCOMPARE(t.h.mode(), QString("PLAYING"));
  // What plays is the MIDI file of a song whose only part is the score, at the score's
  // tempo, every part with the score's tone (item 41 of the main window's list).
  t.h.set({{"Text1_0", "C4D+8R4"}, {"Text1_1", ""}, {"Text5", "90"}});
  t.h.combo("cmbTONE")->setCurrentIndex(41);
  t.h.triggerWithFile("mnuMIDIMAKE", "score.mid");
  QCOMPARE(played, ReadAll(t.h.path("score.mid")));
  t.h.set({{"Text1_0", kLongSong}, {"Text5", "120"}});

  // The cell heard is marked and the main window's slider stays where it was. At tempo 90
  // a quarter note lasts 667 ms.
  auto* staff = t.editor()->staff();
  const int knob = t.h.slider()->value();
  const QList<QPair<int, int>> heard = {{0, 1}, {700, 2}, {400, 3}};
  for (const auto& [ms, cell] : heard) {
    t.h.advance(ms);
    QCOMPARE(staff->heardCell(), cell);
  }
  QCOMPARE(t.h.slider()->value(), knob);
  // The main window's own Play plays the song again.
  t.h.trigger("mnuPLAY");
  QCOMPARE(staff->heardCell(), 0);
  t.h.advance(1000);
  QCOMPARE(t.h.slider()->value(), 1000);
  QCOMPARE(staff->heardCell(), 0);
}

CHWR_GUI_TEST(ScoreEditorTest)

}  // namespace chwr::gui

#include "score_editor_test.moc"

// The aids for writing MML in the real window: errors marked while typing (and never by
// a result older than the text), the colours, and the parts that drift, each switched
// off from the 表示 menu.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "main_window/heard_notes.h"
#include "main_window/live_check.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

// Ends the pause after the last key at once and takes the compile's result, as the event
// loop would once the worker is done.
void Settle(LiveCheck* live) {
  if (live->timer()->isActive()) {
    live->timer()->stop();
    QVERIFY(QMetaObject::invokeMethod(live->timer(), "timeout"));
  }
  while (live->busy()) {
    live->waitForWorker();
    QCoreApplication::sendPostedEvents(live, QEvent::MetaCall);
  }
}

int BoxMarksOf(const QPlainTextEdit* box) {
  return static_cast<int>(box->extraSelections().size());
}

}  // namespace

class WritingAidsTest : public QObject {
  Q_OBJECT

 private slots:
  void errorsAreMarkedWhileTypingAndGoWhenMended();
  void aResultOlderThanTheTextMarksNothing();
  void colorsAndDriftFollowTheViewMenu();
  void theNoteHeardIsMarkedInEveryPartThroughSeeksAndSelections();
  void playFromTheCaretStartsAllPartsAtItsNote();
};

void WritingAidsTest::errorsAreMarkedWhileTypingAndGoWhenMended() {
  Harness h;
  LiveCheck* live = h.window->liveCheck();
  h.type(1, "C D");
  QTest::keyClick(h.part(1), Qt::Key_Return);
  QTest::keyClicks(h.part(1), "E O9 F");
  QVERIFY(live->timer()->isActive());
  Settle(live);
  QCOMPARE(live->markRange(1), std::make_pair(6, 2));  // "O9" on the second line
  QCOMPARE(live->markRange(0), std::make_pair(0, 0));
  const QString message = h.tabs()->tabToolTip(1);
  QVERIFY2(message.contains("2行目"), qPrintable(message));
  QVERIFY(!h.tabs()->tabIcon(1).isNull());
  QCOMPARE(h.part(1)->extraSelections().size(), 1);
  QCOMPARE(h.part(1)->extraSelections()[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);
  QVERIFY(h.prompts.messages.isEmpty());  // no message box

  // The message shows in the status bar while the caret is on the mark, and as its tip.
  h.select(1, 7);
  QCOMPARE(h.text("stsBAR_panel2"), message);
  h.select(1, 0);
  QCOMPARE(h.text("stsBAR_panel2"), QString());
  const QRect at = h.part(1)->cursorRect(QTextCursor(h.part(1)->document()->findBlockByNumber(1)));
  const QPoint over = at.center() + QPoint(h.part(1)->fontMetrics().horizontalAdvance("E O"), 0);
  QHelpEvent tip(QEvent::ToolTip, over, h.part(1)->viewport()->mapToGlobal(over));
  QApplication::sendEvent(h.part(1)->viewport(), &tip);
  QCOMPARE(QToolTip::text(), message);

  // Mended, every mark goes and the size report follows the song.
  QTest::keyClick(h.part(1), Qt::Key_End, Qt::ControlModifier);
  for (int i = 0; i < 4; ++i) QTest::keyClick(h.part(1), Qt::Key_Backspace);
  QTest::keyClicks(h.part(1), "O4F");
  Settle(live);
  QCOMPARE(live->markRange(1), std::make_pair(0, 0));
  QVERIFY(h.tabs()->tabIcon(1).isNull());
  QVERIFY(h.part(1)->extraSelections().isEmpty());
  QVERIFY2(h.text("stsBAR_panel3").contains("ﾊﾟｰﾄ2："), qPrintable(h.text("stsBAR_panel3")));
}

void WritingAidsTest::aResultOlderThanTheTextMarksNothing() {
  Harness h;
  LiveCheck* live = h.window->liveCheck();
  h.type(0, "C O9");
  // The compile of the wrong text starts; the user mends it before the result is in.
  live->timer()->stop();
  QVERIFY(QMetaObject::invokeMethod(live->timer(), "timeout"));
  QTest::keyClick(h.part(0), Qt::Key_Backspace);
  live->waitForWorker();
  QCoreApplication::sendPostedEvents(live, QEvent::MetaCall);
  QCOMPARE(live->markRange(0), std::make_pair(0, 0));
  QVERIFY(h.tabs()->tabIcon(0).isNull());
  // "C O" is wrong too, and its own compile says so.
  Settle(live);
  QCOMPARE(live->markRange(0), std::make_pair(2, 1));

  // Switched off, the marks go and no compile starts.
  h.trigger("mnuVIEWCHECK");
  QCOMPARE(live->markRange(0), std::make_pair(0, 0));
  h.type(0, "9");
  QVERIFY(!live->timer()->isActive());
  QCOMPARE(h.window->currentSettings().view.check, false);
}

void WritingAidsTest::colorsAndDriftFollowTheViewMenu() {
  Harness h;
  LiveCheck* live = h.window->liveCheck();
  h.type(0, "C4 'note");
  h.type(1, "C8");
  Settle(live);
  const QTextBlock line = h.part(0)->document()->firstBlock();
  QVERIFY(line.layout()->formats().size() >= 3);  // note, length, comment
  QVERIFY2(h.text("stsBAR_panel3").endsWith("ﾊﾟｰﾄ長のずれ: P2 -24ｽﾃｯﾌﾟ(-0.5拍)"),
           qPrintable(h.text("stsBAR_panel3")));

  h.trigger("mnuVIEWCOLOR");
  QVERIFY(line.layout()->formats().isEmpty());
  h.trigger("mnuVIEWDRIFT");
  QVERIFY(!h.text("stsBAR_panel3").contains("ずれ"));
  // A build reports alike.
  h.triggerWithFile("mnuMLD", "song.mld");
  QVERIFY(!h.text("stsBAR_panel3").contains("ずれ"));
  h.trigger("mnuVIEWDRIFT");
  QVERIFY(h.text("stsBAR_panel3").contains("ずれ"));  // the report shown gets it back
  h.trigger("mnuVIEWCOLOR");
  QVERIFY(!line.layout()->formats().isEmpty());

  // Switched off in the settings file, each starts off, and the report is the first one.
  Harness off("[View]\r\nCheck=0\r\nColors=0\r\nDrift=0\r\nPlaying=0\r\n");
  QCOMPARE(off.text("stsBAR_panel3"), kInitialReport);
  for (const char* item : {"mnuVIEWCHECK", "mnuVIEWCOLOR", "mnuVIEWDRIFT", "mnuVIEWPLAYING"}) {
    QVERIFY2(!off.on(item), item);
  }
}

// Tempo 120 at 48 steps a quarter: a quarter note lasts 500 ms.
void WritingAidsTest::theNoteHeardIsMarkedInEveryPartThroughSeeksAndSelections() {
  Harness h;
  HeardNotes* heard = h.window->heardNotes();
  h.set({{"Text1_0", "C4 D4 E4 F4"}, {"Text1_1", "R2\nG2"}});
  h.trigger("mnuPLAY");
  QCOMPARE(heard->heardRange(0), std::make_pair(0, 2));  // "C4"
  QCOMPARE(heard->heardRange(1), std::make_pair(0, 2));  // "R2"
  h.advance(1100);
  QCOMPARE(heard->heardRange(0), std::make_pair(6, 2));  // "E4"
  QCOMPARE(heard->heardRange(1), std::make_pair(3, 2));  // "G2", on the second line
  QCOMPARE(BoxMarksOf(h.part(0)), 1);
  h.drag(600);
  QCOMPARE(heard->heardRange(0), std::make_pair(3, 2));  // "D4", heard after the seek
  QCOMPARE(heard->heardRange(1), std::make_pair(0, 2));
  h.trigger("mnuSTOP");
  QCOMPARE(heard->heardRange(0), std::make_pair(0, 0));
  QCOMPARE(BoxMarksOf(h.part(0)), 0);

  // A selection plays alone, and its notes are found where they stand in the box.
  h.select(0, 6, 11);
  h.trigger("mnuPLAY");
  QCOMPARE(heard->heardRange(0), std::make_pair(6, 2));  // "E4" starts the selection
  h.advance(600);
  QCOMPARE(heard->heardRange(0), std::make_pair(9, 2));

  // Switched off, nothing is marked.
  h.trigger("mnuVIEWPLAYING");
  QCOMPARE(heard->heardRange(0), std::make_pair(0, 0));
  h.advance(10);
  QCOMPARE(heard->heardRange(0), std::make_pair(0, 0));
}

void WritingAidsTest::playFromTheCaretStartsAllPartsAtItsNote() {
  Harness h;
  h.set({{"Text1_0", "C4 D4\n[E4]2 F4"}, {"Text1_1", "R2 G2 A2"}});
  // The caret in "E4", on the second line: the repeat's first pass starts at step 96.
  h.select(0, 8);
  h.trigger("mnuPLAYCARET");
  QCOMPARE(h.player->Position(), 1000);
  QCOMPARE(h.window->heardNotes()->heardRange(1), std::make_pair(3, 2));  // "G2"
  QCOMPARE(h.find<QAction>("mnuPLAYCARET")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Space));
}

CHWR_GUI_TEST(WritingAidsTest)

}  // namespace chwr::gui

#include "writing_aids_test.moc"

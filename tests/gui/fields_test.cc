// The song's fields as a user meets them in the main window: the focus order, the tempo
// box's list and digits, and what marks the song modified. Driven through the real
// window, with dialogs answered by ScriptedPrompts.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "window_harness.h"

namespace chwr::gui {

class FieldsTest : public QObject {
  Q_OBJECT

 private slots:
  void tabFollowsTheOrderOnTheScreen();
  void tempoBoxShowsItsListAndDigitsAsTheProgramWritesThem();
  void onlyARealChangeMarksTheSongModified();
};

// Tab and Shift+Tab move the focus on, out of a part box too, without typing a tab.
void FieldsTest::tabFollowsTheOrderOnTheScreen() {
  Harness h;
  // The protection text takes the focus only while protection is on.
  h.set({{"Check2", "1"}, {"Text1_1", "CDE"}});
  h.tabs()->setCurrentIndex(1);
  const QStringList order = {"Text3",     "Text5",    "cmbBUNKAI", "Check2",   "Text6",
                             "tabPART",   "Check1_1", "Combo2_1",  "Combo3_1", "Text1_1",
                             "chkDOUBLE", "cmbTONE",  "Slider1",   "txtMAIL"};
  auto focused = [&h] {
    QWidget* w = QApplication::focusWidget();
    if (w && w == h.tabs()->tabBar()) return QString("tabPART");
    return w ? w->objectName() : QString("(none)");
  };
  for (const auto key : {Qt::Key_Tab, Qt::Key_Backtab}) {
    const QString first = key == Qt::Key_Tab ? order.first() : order.last();
    h.find(first)->setFocus();
    QStringList visited = {focused()};
    while (visited.size() < order.size()) {
      QTest::keyClick(QApplication::focusWidget(), key);
      visited << focused();
    }
    if (key == Qt::Key_Backtab) std::reverse(visited.begin(), visited.end());
    QCOMPARE(visited, order);
    QCOMPARE(h.text("Text1_1"), QString("CDE"));
  }
}

void FieldsTest::tempoBoxShowsItsListAndDigitsAsTheProgramWritesThem() {
  Harness h;
  QComboBox* tempo = h.combo("Text5");
  // Opens the list: the item highlighted, or "(none)".
  auto open = [tempo] {
    tempo->showPopup();
    const QModelIndex current = tempo->view()->currentIndex();
    return current.isValid() ? current.data().toString() : QString("(none)");
  };
  auto enter = [tempo] { QTest::keyClick(tempo->view(), Qt::Key_Return); };
  auto typeTempo = [tempo](const QString& keys) {
    tempo->lineEdit()->clear();
    QTest::keyClicks(tempo->lineEdit(), keys);
  };
  QCOMPARE(open(), QString("120"));
  enter();
  QCOMPARE(h.text("Text5"), QString("120"));
  QVERIFY(!tempo->view()->isVisible());

  // What the box says, typed or read from a file, is what the list shows.
  typeTempo("150");
  QCOMPARE(open(), QString("150"));
  enter();
  QCOMPARE(h.text("Text5"), QString("150"));
  WriteAll(h.path("96.txt"), TitledSong("Slow").replace("@120", "@96"));
  h.openAnsweringNo(h.path("96.txt"));
  QCOMPARE(open(), QString("96"));
  tempo->hidePopup();
  // The arrow keys go on from there.
  QTest::keyClick(tempo, Qt::Key_Down);
  QCOMPARE(h.text("Text5"), QString("100"));

  // A tempo the list lacks highlights nothing; Enter keeps it, and it joins no list.
  typeTempo("130");
  QCOMPARE(open(), QString("(none)"));
  enter();
  QVERIFY(!tempo->view()->isVisible());
  QCOMPARE(h.text("Text5"), QString("130"));
  QTest::keyClick(tempo->lineEdit(), Qt::Key_Return);
  QCOMPARE(h.text("Text5"), QString("130"));
  QCOMPARE(tempo->count(), 13);

  // Full-width digits, as an input method hands them over: composed first, then committed.
  auto compose = [line = tempo->lineEdit()](const QString& text) {
    line->setFocus();
    line->clear();
    QInputMethodEvent composing(text, {});
    QApplication::sendEvent(line, &composing);
    const QString shown = line->text();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(line, &commit);
    return shown;
  };
  WriteAll(h.path("wide.txt"), TitledSong("Wide"));
  h.openAnsweringNo(h.path("wide.txt"));
  // Nothing is put in form while the input method composes, nor while the box is typed in.
  QCOMPARE(compose("１５０"), QString());
  QCOMPARE(h.text("Text5"), QString("１５０"));
  h.find("cmbBUNKAI")->setFocus();  // the focus leaves
  QCOMPARE(h.text("Text5"), QString("150"));
  QCOMPARE(h.combo("Text5")->currentIndex(), h.combo("Text5")->findText("150"));
  QVERIFY(h.window->modified());
  compose("　＋９６　");
  QTest::keyClick(tempo->lineEdit(), Qt::Key_Return);
  QCOMPARE(h.text("Text5"), QString("+96"));
  // Text that is no number stays as typed; so does a number the program showed.
  compose("１２０ｂｐｍ");
  h.find("Text3")->setFocus();
  QCOMPARE(h.text("Text5"), QString("１２０ｂｐｍ"));
  h.set({{"Text5", "１００"}});
  tempo->lineEdit()->setFocus();
  h.find("Text3")->setFocus();
  QCOMPARE(h.text("Text5"), QString("１００"));
  // The builds read it as the number it is.
  h.triggerWithFile("mnuMLD", "wide.mld");
  QCOMPARE(h.text("Text5"), QString("１００"));
  QVERIFY(h.prompts.messages.isEmpty());
}

void FieldsTest::onlyARealChangeMarksTheSongModified() {
  Harness h;
  WriteAll(h.path("song.txt"), TitledSong("Title"));
  auto open = [&h] {
    if (h.window->modified()) h.prompts.answers = {Answer::No};
    h.window->OpenPath(h.path("song.txt"));
    QVERIFY(!h.window->modified());
  };
  auto type = [&h](const QString& name, const QString& keys) {
    QWidget* box = h.find(name);
    box->setFocus();
    QTest::keyClicks(box, keys);
  };
  open();
  // Keys that change no field of the song: on the playback controls and the mutes (no
  // part of the song file), a list search that stays on its item, Ctrl with a letter, a
  // read-only box, a letter typed over the same letter, a search in an open list.
  type("chkDOUBLE", "x ");
  QVERIFY(h.on("chkDOUBLE"));
  type("cmbTONE", "5");
  QCOMPARE(h.text("cmbTONE"), QString("5   E.Piano 1"));
  type("Check1_0", " ");
  QVERIFY(h.on("Check1_0"));
  type("Combo2_0", "A");
  QTest::keyClicks(h.tabs()->tabBar(), "p");
  QTest::keyClick(h.find("Text3"), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(h.part(0), Qt::Key_Z, Qt::ControlModifier);
  h.find<QLineEdit>("txtMAIL")->setReadOnly(true);
  type("txtMAIL", "x");
  h.find<QLineEdit>("txtMAIL")->setReadOnly(false);
  h.find<QLineEdit>("Text3")->setSelection(0, 1);
  type("Text3", "T");
  h.select(0, 0, 1);
  type("Text1_0", "C");
  QComboBox* tone = h.combo("Combo3_0");
  tone->showPopup();
  QTest::keyClicks(tone->view(), "C");
  QTest::keyClick(tone->view(), Qt::Key_Escape);
  QCOMPARE(h.texts({"Text3", "Text1_0", "Combo2_0", "Combo3_0"}),
           QStringList({"Title", "CDE", "A", "B"}));
  QVERIFY(!h.window->modified());

  // A real change of any field does.
  const QList<std::function<void()>> changes = {
      [&] { type("Text3", "!"); },
      [&] { type("Text5", "1"); },
      // Other lists than above: a list's search goes on from the keys typed before.
      [&] {
        h.tabs()->setCurrentIndex(2);
        type("Combo2_2", "C");
      },
      [&] {
        h.tabs()->setCurrentIndex(2);
        type("Combo3_2", "A");
      },
      [&] { type("Check2", " "); },
      [&] { type("cmbBUNKAI", "2"); },
      [&] { type("Text1_0", "D"); },
      [&] { type("txtMAIL", "x"); },
  };
  for (qsizetype i = 0; i < changes.size(); ++i) {
    open();
    changes[i]();
    QVERIFY2(h.window->modified(), qPrintable(QString("change %1").arg(i)));
  }
}

CHWR_GUI_TEST(FieldsTest)

}  // namespace chwr::gui

#include "fields_test.moc"

// The editor window as a newcomer meets it: undo after the window's own edits, keys that
// move the focus or run the file commands, what Open leaves behind, the messages of
// failed reads and writes, the command line, the help page, the window's place and the
// recent files, and Qt's own dialogs in Japanese. Driven through the real window, with
// dialogs answered by ScriptedPrompts; Qt's dialogs themselves are inspected unopened.

#include <QtTest>
#include <QtWidgets>

#include "main_window/elided_label.h"
#include "shared/window_placement.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

const QString kReadFailed = "ﾌｧｲﾙ読み込みに失敗しました。";
const QString kWriteFailed = "ﾌｧｲﾙ書き込みに失敗しました。";

// A one-line song file whose title tells which one was opened.
QByteArray TitledSong(const QString& title) {
  return SongFile({"qrv", title, "@120", "B", "B", "B", "A", "A", "A", "CDE", "", "", "0", "",
                   " 1 ", "B", "A", ""});
}

// The caret of a box as (anchor, position).
QList<int> Caret(const QPlainTextEdit* box) {
  return {box->textCursor().anchor(), box->textCursor().position()};
}

void PutCaret(QPlainTextEdit* box, int position) {
  QTextCursor c = box->textCursor();
  c.setPosition(position);
  box->setTextCursor(c);
}

// Undoes in `box` as the user does, until there is nothing left to undo; the texts seen.
QStringList UndoAll(QPlainTextEdit* box) {
  QStringList seen;
  for (int i = 0; i < 20 && box->document()->isUndoAvailable(); ++i) {
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    seen << box->toPlainText();
  }
  return seen;
}

// Chooses an item of a box's context menu, as the right mouse button offers it, when the
// item is enabled; whether it was.
bool ChooseFromMenu(QPlainTextEdit* box, const char* item) {
  QWidget* viewport = box->viewport();
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                          viewport->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(viewport, &event);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu) qFatal("no context menu");
  QAction* action = menu->findChild<QAction*>(item);
  if (!action) qFatal("no %s in the context menu", item);
  const bool enabled = action->isEnabled();
  if (enabled) action->trigger();
  menu->close();
  return enabled;
}

// Types `keys` into part box `part` as a user would: its tab shown, the box focused.
void TypeInPart(Harness& h, int part, const QString& keys) {
  h.tabs()->setCurrentIndex(part);
  h.part(part)->setFocus();
  QTest::keyClicks(h.part(part), keys);
}

// Ctrl + `letter` in part box `part`.
void CtrlKeyInPart(Harness& h, int part, Qt::Key letter) {
  QTest::keyClick(h.part(part), letter, Qt::ControlModifier);
}

// The shortcuts of every action of the window.
QList<QKeySequence> AllShortcuts(const QWidget* window) {
  QList<QKeySequence> keys;
  for (const QAction* action : window->findChildren<QAction*>()) keys += action->shortcuts();
  return keys;
}

}  // namespace

class WindowHabitsTest : public QObject {
  Q_OBJECT

 private slots:
  void caseKeysAndResolutionChangesAreUndoableEdits();
  void caseKeysAreOneStepToUndoFromAnyPartBox();
  void resolutionChangeAsksBeforeRoundingAndIsOneStep();
  void sizeReportIsElidedWithTheWholeTextAsTip();
  void undoAndRedoMixedOverThePartsLoseNothing();
  void tabMovesTheFocusOutOfAPartBox();
  void tabFollowsTheOrderOnTheScreen();
  void errorSelectionLandsOnTheReportedLine();
  void buildWarningsShowOncePerCommand();
  void replacingTheSongClearsWhatWasMadeFromTheOldOne();
  void saveDialogsAddTheExtensionByTheFileNameAlone();
  void failedReadsAndWritesShowTheFileAndTheReason();
  void protectedFilesAreLeftAloneAndLinksWrittenThrough();
  void settingsThatCannotBeWrittenAreSaidOnceAtClose();
  void notesBeyondTheKeysAreWarnedAndReported();
  void commandLineOpensTheFirstFileFromTheStartFolder();
  void standardKeysRunTheFileCommands();
  void captionShowsTheModifiedMark();
  void tempoListHighlightsTheTempoInTheBox();
  void fullWidthDigitsShowAsTheProgramWritesThem();
  void onlyARealChangeMarksTheSongModified();
  void filesDropOnTheMmlBoxesOnlyAndAlwaysAsCopies();
  void helpShowsInTheProgramWithoutABrowser();
  void placeAndRecentFilesAreRememberedAndRestored();
  void fileDialogsRememberTheFolderOfTheirFile();
  void filesOpenedWithoutTheDialogRememberTheirFolderToo();
  void placementKeepsTheWindowWholeOnAScreen();
  void qtDialogsSpeakJapaneseAndNameEachFilterOnce();
};

void WindowHabitsTest::caseKeysAndResolutionChangesAreUndoableEdits() {
  Harness h;
  QPlainTextEdit* box = h.part(0);
  box->setFocus();
  QTest::keyClicks(box, "l8 cde");
  PutCaret(box, 4);
  h.set({{"Text1_1", "o4 c"}});
  QTest::keyClick(box, Qt::Key_U, Qt::ControlModifier);
  QCOMPARE(h.parts(), QStringList({"L8 CDE", "O4 C", "", ""}));
  QCOMPARE(Caret(box), QList<int>({4, 4}));
  // One undo, in any part box, takes the conversion back in all of them; the typing before
  // it is still there, undone in its own box.
  QTest::keyClick(h.part(1), Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(h.parts(), QStringList({"l8 cde", "o4 c", "", ""}));
  QVERIFY(!h.part(1)->document()->isUndoAvailable());
  QCOMPARE(UndoAll(box).last(), QString());

  // A resolution change rescales the absolute lengths in place: the caret stays before
  // the note it was before, and one undo per box brings the old lengths back.
  h.set({{"Text1_0", ""}, {"Text1_1", ""}});
  QTest::keyClicks(box, "C*5 D*7 E");
  PutCaret(box, 4);  // before "D"
  QTextCursor selection = box->textCursor();
  selection.setPosition(8);
  selection.setPosition(9, QTextCursor::KeepAnchor);  // "E"
  h.prompts.confirms = {true, true};                  // the odd lengths are rounded, twice
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(h.text("Text1_0"), QString("C*6 D*8 E"));
  QCOMPARE(Caret(box), QList<int>({4, 4}));
  box->setTextCursor(selection);
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(h.text("Text1_0"), QString("C*3 D*4 E"));
  QCOMPARE(box->textCursor().selectedText(), QString("E"));
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(h.text("Text1_0"), QString("C*6 D*8 E"));
  QCOMPARE(box->textCursor().selectedText(), QString("E"));
  const QStringList back = UndoAll(box);
  QCOMPARE(back.mid(0, 4), QStringList({"C*3 D*4 E", "C*6 D*8 E", "C*3 D*4 E", "C*5 D*7 E"}));
  QCOMPARE(back.last(), QString());

  // Keys typed just behind the text a conversion changed are a step of their own, undone
  // before the conversion.
  h.set({{"Text1_0", "cde"}});
  PutCaret(box, 3);
  QTest::keyClick(box, Qt::Key_U, Qt::ControlModifier);
  QTest::keyClicks(box, "f");
  QCOMPARE(UndoAll(box), QStringList({"CDE", "cde"}));
  h.set({{"Text1_0", "C*5"}});
  PutCaret(box, 3);
  h.prompts.confirms = {true};
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QTest::keyClicks(box, "D");
  QCOMPARE(UndoAll(box), QStringList({"C*3", "C*5"}));
}

void WindowHabitsTest::caseKeysAreOneStepToUndoFromAnyPartBox() {
  Harness h;
  auto type = [&h](int part, const QString& keys) { TypeInPart(h, part, keys); };
  auto key = [&h](int part, Qt::Key letter) { CtrlKeyInPart(h, part, letter); };
  // Part 3 stays empty: the case keys leave it alone.
  type(0, "l8 cde");
  type(1, "O4 Efg");
  type(3, "r4 A");
  const QStringList typed = {"l8 cde", "O4 Efg", "", "r4 A"};
  const QStringList lower = {"l8 cde", "o4 efg", "", "r4 a"};
  const QStringList upper = {"L8 CDE", "O4 EFG", "", "R4 A"};

  // Ctrl+D, then one Ctrl+Z in any part box, the empty one too, takes it back in all four,
  // and one Ctrl+Y in any brings it back in all four.
  for (int part = 0; part < 4; ++part) {
    key(part, Qt::Key_D);
    QCOMPARE(h.parts(), lower);
    key(part, Qt::Key_Z);
    QCOMPARE(h.parts(), typed);
    key((part + 1) % 4, Qt::Key_Y);
    QCOMPARE(h.parts(), lower);
    key((part + 2) % 4, Qt::Key_Z);
    QCOMPARE(h.parts(), typed);
  }

  // Two commands are two steps, undone and redone in turn.
  key(0, Qt::Key_U);
  key(2, Qt::Key_D);
  QCOMPARE(h.parts(), lower);
  key(3, Qt::Key_Z);
  QCOMPARE(h.parts(), upper);
  key(0, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);
  key(2, Qt::Key_Y);
  QCOMPARE(h.parts(), upper);
  key(1, Qt::Key_Y);
  QCOMPARE(h.parts(), lower);
  key(1, Qt::Key_Z);
  key(1, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);

  // Pressed twice, Ctrl+D changes nothing the second time: one Ctrl+Z takes it back, the
  // next one is the box's own and undoes its typing alone.
  key(0, Qt::Key_D);
  key(0, Qt::Key_D);
  key(0, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);
  key(0, Qt::Key_Z);
  QCOMPARE(h.parts().mid(1), typed.mid(1));
  QVERIFY(h.text("Text1_0") != typed[0]);
  key(0, Qt::Key_Y);
  QCOMPARE(h.parts(), typed);

  // Typed after a command, in one part (right behind the converted text): Ctrl+Z undoes
  // the typing first, then the command in all four; Ctrl+Y redoes them in the same order.
  key(1, Qt::Key_D);
  PutCaret(h.part(1), 6);
  type(1, "a");
  QCOMPARE(h.text("Text1_1"), QString("o4 efga"));
  key(1, Qt::Key_Z);
  QCOMPARE(h.parts(), lower);
  key(1, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);
  key(1, Qt::Key_Y);
  QCOMPARE(h.parts(), lower);
  key(1, Qt::Key_Y);
  QCOMPARE(h.text("Text1_1"), QString("o4 efga"));
  // Typing elsewhere meanwhile is that box's own: undone there, it leaves the rest alone.
  type(3, " b");
  key(3, Qt::Key_Z);
  QCOMPARE(h.parts(), QStringList({"l8 cde", "o4 efga", "", "r4 a"}));
  key(1, Qt::Key_Z);
  key(1, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);

  // Ctrl+Z in another part takes the command back wherever the user has not typed over it
  // since; the part typed in undoes its typing, then its share. Back together, the command
  // is redone as one again.
  key(0, Qt::Key_D);
  PutCaret(h.part(1), 6);
  type(1, "a");
  key(2, Qt::Key_Z);
  QCOMPARE(h.parts(), QStringList({"l8 cde", "o4 efga", "", "r4 A"}));
  key(1, Qt::Key_Z);
  QCOMPARE(h.parts(), QStringList({"l8 cde", "o4 efg", "", "r4 A"}));
  key(1, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);
  key(3, Qt::Key_Y);
  QCOMPARE(h.parts(), lower);
  key(0, Qt::Key_Z);
  QCOMPARE(h.parts(), typed);

  // The boxes' context menus undo and redo the same steps as the keys, from any box.
  key(0, Qt::Key_U);
  QVERIFY(!h.part(2)->document()->isUndoAvailable());
  QVERIFY(ChooseFromMenu(h.part(2), "edit-undo"));
  QCOMPARE(h.parts(), typed);
  QVERIFY(ChooseFromMenu(h.part(0), "edit-redo"));
  QCOMPARE(h.parts(), upper);
  QVERIFY(!ChooseFromMenu(h.part(2), "edit-redo"));
  QVERIFY(h.window->modified());
}

void WindowHabitsTest::resolutionChangeAsksBeforeRoundingAndIsOneStep() {
  Harness h;
  auto type = [&h](int part, const QString& keys) { TypeInPart(h, part, keys); };
  auto key = [&h](int part, Qt::Key letter) { CtrlKeyInPart(h, part, letter); };
  auto state = [&h] { return h.parts() << h.text("cmbBUNKAI"); };
  h.set({{"Text1_0", "' intro *3 bars\nO4 C*36 D*17 E*1 L*3 F C*192 R*5"},
         {"Text1_1", "L*4 C"},
         {"Text1_2", "c*7"}});
  h.triggerWithFile("mnuSAVENAME", "song.txt");  // unmodified, to see Cancel leave it so
  QVERIFY(!h.window->modified());
  const QStringList at48 = {"' intro *3 bars\nO4 C*36 D*17 E*1 L*3 F C*192 R*5", "L*4 C", "c*7", "",
                            "48"};
  const QStringList at24 = {"' intro *3 bars\nO4 C*18 D*9 E*1 L*2 F C*96 R*3", "L*2 C", "c*4", "",
                            "24"};
  const QString question =
      "分解能を24にすると、次の絶対音長は2で割り切れないため長さが変わります。\n\n"
      "ﾊﾟｰﾄ1 (2行目) D*17 → D*9\n"
      "ﾊﾟｰﾄ1 (2行目) E*1 → E*1\n"
      "ﾊﾟｰﾄ1 (2行目) L*3 → L*2\n"
      "ﾊﾟｰﾄ1 (2行目) R*5 → R*3\n"
      "ﾊﾟｰﾄ3 (1行目) c*7 → c*4\n"
      "\n変更しますか？";

  // Cancel puts the choice back and changes nothing, not even the modified mark.
  h.prompts.confirms = {false};
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(h.prompts.questions, QStringList({question}));
  QCOMPARE(state(), at48);
  QVERIFY(!h.window->modified());

  // OK rescales every part; the comment keeps its "*3".
  h.prompts.confirms = {true};
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(state(), at24);
  QVERIFY(h.window->modified());

  // One Ctrl+Z, in a part box the change touched or one it left alone, takes back the
  // choice and all four texts; one Ctrl+Y in any brings them back.
  key(1, Qt::Key_Z);
  QCOMPARE(state(), at48);
  key(3, Qt::Key_Y);
  QCOMPARE(state(), at24);
  key(3, Qt::Key_Z);
  QCOMPARE(state(), at48);
  key(0, Qt::Key_Y);
  QCOMPARE(state(), at24);

  // Back to 48 asks nothing: doubling is exact. Only the rounded lengths differ now.
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(state(), QStringList({"' intro *3 bars\nO4 C*36 D*18 E*2 L*4 F C*192 R*6", "L*4 C",
                                 "c*8", "", "48"}));
  QCOMPARE(h.prompts.questions.size(), 2);
  key(2, Qt::Key_Z);
  QCOMPARE(state(), at24);

  // Typing keeps its own undo, box by box. While a box holds typing over the change, the
  // change cannot go in the other boxes alone: Ctrl+Z there does nothing until the typing
  // is undone.
  PutCaret(h.part(2), 3);
  type(2, "G");
  const QStringList typed = {at24[0], at24[1], "c*4G", "", "24"};
  QCOMPARE(state(), typed);
  key(0, Qt::Key_Z);
  QCOMPARE(state(), typed);
  key(1, Qt::Key_Y);
  QCOMPARE(state(), typed);
  key(2, Qt::Key_Z);
  QCOMPARE(state(), at24);
  key(0, Qt::Key_Z);
  QCOMPARE(state(), at48);
}

void WindowHabitsTest::sizeReportIsElidedWithTheWholeTextAsTip() {
  Harness h;
  h.set({{"Text1_0", "O4 C D E F"},
         {"Text1_1", "O3 G A B"},
         {"Text1_2", "O5 C C"},
         {"Text1_3", "O2 E"}});
  h.triggerWithFile("mnuMLD", "four.mld");
  auto* report = h.find<ElidedLabel>("stsBAR_panel3");
  const QString whole = report->text();
  QVERIFY2(whole.contains("ﾊﾟｰﾄ4："), qPrintable(whole));
  QCOMPARE(report->toolTip(), whole);

  h.window->resize(1, 1);  // the smallest the window lets itself be
  QCoreApplication::sendPostedEvents();
  QVERIFY(report->width() < report->fontMetrics().horizontalAdvance(whole));
  const QString shown = report->shownText();
  QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
  QVERIFY(whole.startsWith(shown.chopped(1)));
  QCOMPARE(report->toolTip(), whole);

  // A new song's first text is as whole in the tip.
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  QCOMPARE(report->toolTip(), kInitialReport);
}

// Whatever the user mixes (typing, the case keys, undo and redo in any part), each box's
// history stays whole: undoing everything everywhere gives the empty parts back, redoing
// everything the latest texts, visited in any order.
void WindowHabitsTest::undoAndRedoMixedOverThePartsLoseNothing() {
  Harness h;
  QRandomGenerator random(19);  // the same run every time
  auto press = [&h](int part, Qt::Key letter) {
    QTest::keyClick(h.part(part), letter, Qt::ControlModifier);
  };
  for (int action = 0; action < 300; ++action) {
    const int part = random.bounded(4);
    QPlainTextEdit* box = h.part(part);
    switch (random.bounded(6)) {
      case 0:
      case 1: {
        PutCaret(box, random.bounded(int(box->toPlainText().size()) + 1));
        QString keys;
        for (int i = random.bounded(1, 4); i > 0; --i) keys += "aBcD 4"[random.bounded(6)];
        QTest::keyClicks(box, keys);
        break;
      }
      case 2:
        press(part, random.bounded(2) ? Qt::Key_D : Qt::Key_U);
        break;
      case 3:
      case 4:
        press(part, Qt::Key_Z);
        break;
      default:
        press(part, Qt::Key_Y);
        break;
    }
  }
  auto until = [&h, &press](Qt::Key letter, const QList<int>& order) {
    auto left = [&h, letter](int part) {
      QTextDocument* d = h.part(part)->document();
      return letter == Qt::Key_Z ? d->isUndoAvailable() : d->isRedoAvailable();
    };
    for (int round = 0; round < 1000; ++round) {
      bool any = false;
      for (int part : order) {
        if (!left(part)) continue;
        any = true;
        press(part, letter);
      }
      if (!any) return true;
    }
    return false;  // it never ends
  };
  QVERIFY(until(Qt::Key_Y, {0, 1, 2, 3}));
  const QStringList latest = h.parts();
  QVERIFY(latest != QStringList(4, ""));
  QVERIFY(until(Qt::Key_Z, {0, 1, 2, 3}));
  QCOMPARE(h.parts(), QStringList(4, ""));
  QVERIFY(until(Qt::Key_Y, {3, 2, 1, 0}));
  QCOMPARE(h.parts(), latest);
  QVERIFY(until(Qt::Key_Z, {2, 0, 3, 1}));
  QCOMPARE(h.parts(), QStringList(4, ""));
  QVERIFY(until(Qt::Key_Y, {1, 3, 0, 2}));
  QCOMPARE(h.parts(), latest);
}

void WindowHabitsTest::tabMovesTheFocusOutOfAPartBox() {
  Harness h;
  h.set({{"Text1_0", "CDE"}});
  QPlainTextEdit* box = h.part(0);
  for (auto modifier : {Qt::NoModifier, Qt::ShiftModifier}) {
    box->setFocus();
    QVERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Tab, modifier);
    QCOMPARE(h.text("Text1_0"), QString("CDE"));
    QVERIFY(!box->hasFocus());
  }
}

void WindowHabitsTest::tabFollowsTheOrderOnTheScreen() {
  Harness h;
  h.set({{"Check2", "1"}});  // the protection text takes the focus only while it is on
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
  }
}

void WindowHabitsTest::errorSelectionLandsOnTheReportedLine() {
  Harness h;
  // The same text on an earlier line (a comment) is not the one the message means.
  const QString text = "' o7 is too high\ncde\nab o7c";
  h.set({{"Text1_1", text}});
  h.trigger("mnuMLD");
  QCOMPARE(h.lastMessage(), QString("Error: ﾊﾟｰﾄ2 (3行目) に(O命令)構文ｴﾗｰがあります。"));
  QCOMPARE(h.part(1)->textCursor().selectedText(), QString("o7"));
  QCOMPARE(h.part(1)->textCursor().selectionStart(), text.lastIndexOf("o7"));
}

void WindowHabitsTest::buildWarningsShowOncePerCommand() {
  Harness h;
  h.set({{"Text5", "300"}, {"Text1_0", kLongSong}});
  const QString warning = "ﾃﾝﾎﾟ 300 は MLD では 44 になります。1～255で指定して下さい。";
  // Each command builds once and warns once; the warning stops nothing.
  const QList<QPair<QString, QString>> commands = {
      {"mnuMLD", "t.mld"}, {"mnuMIDIMAKE", "t.mid"}, {"mnuMAIL", ""}, {"mnuPLAY", ""}};
  for (const auto& [command, file] : commands) {
    const qsizetype before = h.prompts.messages.size();
    file.isEmpty() ? h.trigger(command) : h.triggerWithFile(command, file);
    QStringList warnings;
    for (const auto& m : h.prompts.messages.mid(before)) {
      if (m.kind == MessageKind::Warning) warnings << m.text;
    }
    QCOMPARE(warnings, QStringList({warning}));
    if (!file.isEmpty()) QVERIFY(QFile::exists(h.path(file)));
  }
  QVERIFY(h.playing());
  QVERIFY(!h.text("txtMAIL").isEmpty());
  QCOMPARE(h.text("Text5"), QString("300"));
}

void WindowHabitsTest::replacingTheSongClearsWhatWasMadeFromTheOldOne() {
  Harness h;
  h.set({{"Text1_0", "L8 CDE"}});
  h.triggerWithFile("SAVE", "a.txt");
  h.triggerWithFile("mnuMLD", "a.mld");
  const QStringList cleared = {"", kInitialReport};
  auto makeMail = [&h, &cleared] {
    h.trigger("mnuMAIL");
    return h.texts({"txtMAIL", "stsBAR_panel3"}) != cleared;
  };
  QVERIFY(makeMail());
  h.window->OpenPath(h.path("a.txt"));
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), cleared);
  QVERIFY(makeMail());
  h.window->OpenPath(h.path("a.mld"));
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), cleared);
  QVERIFY(makeMail());
  h.trigger("mnuCLIPREAD");  // the mail just made
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), cleared);
  // A failed open leaves the song, and so what was made from it.
  QVERIFY(makeMail());
  const QStringList made = h.texts({"txtMAIL", "stsBAR_panel3"});
  h.window->OpenPath(h.path("gone.txt"));
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), made);
}

void WindowHabitsTest::saveDialogsAddTheExtensionByTheFileNameAlone() {
  Harness h;
  // The folder's name holds every extension; the file's own name holds none.
  QVERIFY(QDir(h.dir.path()).mkdir("x.txt.mld.mid"));
  h.set({{"Text1_0", "L8 CDE"}});
  h.triggerWithFile("SAVE", "x.txt.mld.mid/song");
  h.triggerWithFile("mnuMLD", "x.txt.mld.mid/song");
  h.triggerWithFile("mnuMIDIMAKE", "x.txt.mld.mid/song");
  QCOMPARE(QDir(h.path("x.txt.mld.mid")).entryList(QDir::Files),
           QStringList({"song.mid", "song.mld", "song.txt"}));
  QCOMPARE(h.window->documentPath(), h.path("x.txt.mld.mid/song.txt"));
  // A name that has it, in any case, keeps its own.
  h.triggerWithFile("mnuSAVENAME", "x.txt.mld.mid/Other.TXT");
  QVERIFY(QFile::exists(h.path("x.txt.mld.mid/Other.TXT")));
  QCOMPARE(WithExtension("/a/b.mld/c", ".mld"), QString("/a/b.mld/c.mld"));
  QCOMPARE(WithExtension("/a/b/c.Mld", ".mld"), QString("/a/b/c.Mld"));
}

void WindowHabitsTest::failedReadsAndWritesShowTheFileAndTheReason() {
  Harness h;
  h.set({{"Text1_0", kLongSong}});
  // Each message keeps its text; its detail is the file, a line break and the reason.
  auto detailNames = [&h](const QString& message, const QString& name) {
    const ScriptedPrompts::ShownMessage& shown = h.prompts.messages.last();
    const QString file = QFileInfo(h.path(name)).absoluteFilePath();
    return shown.text == message && shown.kind == MessageKind::Error &&
           shown.detail.startsWith(file + "\n") && shown.detail.size() > file.size() + 1;
  };
  h.triggerWithFile("mnuMLD", "missing/x.mld");
  QVERIFY(detailNames(kWriteFailed, "missing/x.mld"));
  h.triggerWithFile("mnuMIDIMAKE", "missing/x.mid");
  QVERIFY(detailNames(kWriteFailed, "missing/x.mid"));
  h.triggerWithFile("mnuSAVENAME", "missing/x.txt");
  QVERIFY(detailNames(kWriteFailed, "missing/x.txt"));
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("gone.txt"));
  QVERIFY(detailNames(kReadFailed, "gone.txt"));
  // The playback file cannot be written where a file stands in for its folder.
  WriteAll(h.path("cache"), "not a folder");
  h.trigger("mnuPLAY");
  QVERIFY(detailNames(kWriteFailed, "cache/dummy.mid"));
  QVERIFY(h.window->player() == nullptr);

  // Clipboard text that decodes to no melody says so below the format message.
  QGuiApplication::clipboard()->setText("--B:M\r\nQUJDREVGR0g=");
  h.prompts.answers = {Answer::No};
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.prompts.messages.last().text, QString("ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"));
  QCOMPARE(h.prompts.messages.last().detail,
           QString("ｸﾘｯﾌﾟﾎﾞｰﾄﾞの文字列はﾒﾛﾃﾞｨｰﾒｰﾙではありません。"));
  QCOMPARE(h.text("Text1_0"), kLongSong);

  // The real box shows the detail as its informative text, below the exact message.
  auto box = MakeMessageBox(nullptr, kReadFailed, MessageKind::Error, "/x\nNo such file");
  QCOMPARE(QStringList({box->windowTitle(), box->text(), box->informativeText()}),
           QStringList({"ｴﾗｰ", kReadFailed, "/x\nNo such file"}));
  QCOMPARE(box->icon(), QMessageBox::Warning);
}

void WindowHabitsTest::protectedFilesAreLeftAloneAndLinksWrittenThrough() {
  Harness h;
  h.set({{"Text1_0", "L8 CDE"}});
  h.triggerWithFile("SAVE", "song.txt");
  WriteAll(h.path("kept.txt"), "old text");
  WriteAll(h.path("kept.mld"), "old mld");
  WriteAll(h.path("kept.mid"), "old mid");
  // The user made them read-only (mode 444): no command writes them, whoever runs it.
  const QStringList protectedFiles = {"song.txt", "kept.txt", "kept.mld", "kept.mid"};
  QList<QByteArray> before;
  for (const QString& name : protectedFiles) {
    QVERIFY(QFile::setPermissions(h.path(name), QFileDevice::ReadOwner | QFileDevice::ReadUser |
                                                    QFileDevice::ReadGroup |
                                                    QFileDevice::ReadOther));
    before << ReadAll(h.path(name));
  }
  h.set({{"Text1_0", "L8 CDEF"}});
  const QList<QPair<QString, QString>> writes = {{"mnuSAVE", "song.txt"},
                                                 {"mnuSAVENAME", "kept.txt"},
                                                 {"mnuMLD", "kept.mld"},
                                                 {"mnuMIDIMAKE", "kept.mid"}};
  for (const auto& [command, name] : writes) {
    const qsizetype shown = h.prompts.messages.size();
    command == "mnuSAVE" ? h.trigger(command) : h.triggerWithFile(command, name);
    QCOMPARE(h.prompts.messages.size(), shown + 1);
    const ScriptedPrompts::ShownMessage& m = h.prompts.messages.last();
    QCOMPARE(QPair(m.text, m.kind), QPair(kWriteFailed, MessageKind::Error));
    QVERIFY2(m.detail.startsWith(h.path(name) + "\n") && m.detail.size() > h.path(name).size() + 1,
             qPrintable(m.detail));
    QVERIFY(h.window->modified());
  }
  for (int i = 0; i < protectedFiles.size(); ++i) {
    QCOMPARE(ReadAll(h.path(protectedFiles[i])), before[i]);
  }
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));

  // A link is written through: its target gets the file, and the link stays a link.
  QVERIFY(QDir(h.dir.path()).mkdir("real"));
  WriteAll(h.path("real/target.txt"), "old");
  WriteAll(h.path("real/target.mld"), "old");
  QVERIFY(QFile::link("real/target.txt", h.path("link.txt")));  // relative to the link
  QVERIFY(QFile::link(h.path("real/target.mld"), h.path("link.mld")));
  h.triggerWithFile("mnuSAVENAME", "link.txt");
  h.triggerWithFile("mnuMLD", "link.mld");
  QCOMPARE(h.prompts.messages.size(), writes.size());
  for (const char* link : {"link.txt", "link.mld"}) {
    QVERIFY(QFileInfo(h.path(link)).isSymLink());
  }
  QVERIFY(ReadAll(h.path("real/target.txt")).contains("\r\nL8 CDEF\r\n"));
  QVERIFY(ReadAll(h.path("real/target.mld")).startsWith("melo"));
  QCOMPARE(h.window->documentPath(), h.path("link.txt"));
  QVERIFY(!h.window->modified());
}

void WindowHabitsTest::settingsThatCannotBeWrittenAreSaidOnceAtClose() {
  const QByteArray ini = "[Midi]\r\nTime=0\r\n";
  Harness h(ini);
  QVERIFY(QFile::setPermissions(h.path("chwr.ini"), QFileDevice::ReadOwner | QFileDevice::ReadUser |
                                                        QFileDevice::ReadGroup |
                                                        QFileDevice::ReadOther));
  h.trigger("mnuMIDIREPEAT");
  // The program closes all the same, after one message naming the file and the reason.
  QVERIFY(h.window->close());
  QCOMPARE(h.prompts.messages.size(), 1);
  const ScriptedPrompts::ShownMessage& m = h.prompts.messages.last();
  QCOMPARE(QPair(m.text, m.kind),
           QPair(QString("設定を保存できませんでした。"), MessageKind::Error));
  QCOMPARE(m.detail, h.path("chwr.ini") + "\nｱｸｾｽが許可されていません。");
  QCOMPARE(ReadAll(h.path("chwr.ini")), ini);
}

void WindowHabitsTest::notesBeyondTheKeysAreWarnedAndReported() {
  Harness h;
  // An octave below O1 has no keys: the note is written as the lowest key, A of O0.
  h.set({{"Text1_0", "O1 >C"}});
  h.triggerWithFile("mnuMLD", "low.mld");
  QCOMPARE(h.lastMessage(),
           QString("Warning: ﾊﾟｰﾄ1 (1行目) の音(O0C)は出せないため、最低音(O0A)にしました。"));
  QCOMPARE(h.prompts.messages.size(), 1);
  QVERIFY(QFile::exists(h.path("low.mld")));
  const QString report = h.text("stsBAR_panel3");
  QVERIFY2(report.contains("ﾊﾟｰﾄ1：") && report.contains("O0A～O0A"), qPrintable(report));
}

void WindowHabitsTest::commandLineOpensTheFirstFileFromTheStartFolder() {
  // The remembered folder becomes the current one at start; it holds a song of the
  // same name, which must not be the one opened.
  QTemporaryDir remembered;
  WriteAll(remembered.filePath("song.txt"), TitledSong("Remembered"));
  Harness h("[File]\r\nFolder=" + remembered.path().toUtf8() + "\r\n");
  QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
           QFileInfo(remembered.path()).canonicalFilePath());
  WriteAll(h.path("song.txt"), TitledSong("Started here"));
  h.window->OpenCommandLine({"chimewright", "song.txt", "other.txt", "third.txt"}, h.dir.path());
  QCOMPARE(h.text("Text3"), QString("Started here"));
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));
  QCOMPARE(h.prompts.messages.size(), 1);
  QCOMPARE(h.lastMessage(),
           QString("Warning: 開けるﾌｧｲﾙは1つだけです。最初のﾌｧｲﾙ(song.txt)を開きます。"));

  // Quotes around the path are not part of it; a missing file names itself.
  h.window->NewSong();
  h.window->OpenCommandLine({"chimewright", "\"./song.txt\""}, h.dir.path());
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));
  h.window->OpenCommandLine({"chimewright", "gone.txt"}, h.dir.path());
  QCOMPARE(h.lastMessage(), "Error: " + kReadFailed);
  QVERIFY(h.prompts.messages.last().detail.startsWith(h.path("gone.txt") + "\n"));
  QCOMPARE(h.prompts.messages.size(), 2);
  // No file named: nothing happens.
  h.window->OpenCommandLine({"chimewright"}, h.dir.path());
  QCOMPARE(h.prompts.messages.size(), 2);
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));
}

void WindowHabitsTest::standardKeysRunTheFileCommands() {
  Harness h;
  const QList<QPair<const char*, QKeySequence::StandardKey>> commands = {
      {"mnuNEW", QKeySequence::New},
      {"mnuREAD", QKeySequence::Open},
      {"mnuSAVE", QKeySequence::Save},
      {"mnuSAVENAME", QKeySequence::SaveAs},
      {"mnuEND", QKeySequence::Quit}};
  const QList<QKeySequence> expected = {
      QKeySequence(Qt::CTRL | Qt::Key_N), QKeySequence(Qt::CTRL | Qt::Key_O),
      QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
      QKeySequence(Qt::CTRL | Qt::Key_Q)};
  for (int i = 0; i < commands.size(); ++i) {
    const QList<QKeySequence> platform = QKeySequence::keyBindings(commands[i].second);
    QCOMPARE(h.find<QAction>(commands[i].first)->shortcut(), platform.value(0, expected[i]));
  }
  // The window's own keys stay its own.
  const QList<QKeySequence> all = AllShortcuts(h.window.get());
  for (const QKeySequence& own :
       {QKeySequence(Qt::CTRL | Qt::Key_D), QKeySequence(Qt::CTRL | Qt::Key_U),
        QKeySequence(Qt::Key_F1), QKeySequence(Qt::Key_F2), QKeySequence(Qt::Key_F3),
        QKeySequence(Qt::Key_F4)}) {
    QVERIFY2(!all.contains(own), qPrintable(own.toString()));
  }

  // The keys run the commands from a part box.
  QPlainTextEdit* box = h.part(0);
  box->setFocus();
  QTest::keyClicks(box, "cde");
  h.prompts.files = {h.path("keys")};
  QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
  QVERIFY(QFile::exists(h.path("keys.txt")));
  h.prompts.files = {h.path("copy.txt")};
  QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(h.window->documentPath(), h.path("copy.txt"));
  QTest::keyClick(box, Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(h.text("Text1_0"), QString());
  h.prompts.files = {h.path("keys.txt")};
  QTest::keyClick(h.find("Text3"), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(h.text("Text1_0"), QString("cde"));
  QTest::keyClick(box, Qt::Key_U, Qt::ControlModifier);
  QCOMPARE(h.text("Text1_0"), QString("CDE"));
  h.prompts.answers = {Answer::No};
  QTest::keyClick(box, Qt::Key_Q, Qt::ControlModifier);
  QVERIFY(!h.window->isVisible());
  QCOMPARE(h.prompts.questions.size(), 1);
  QCOMPARE(h.prompts.dialogs.size(), 3);
}

void WindowHabitsTest::captionShowsTheModifiedMark() {
  Harness h;
  QCOMPARE(h.caption(), kUntitled);
  QTest::keyClicks(h.part(0), "C");
  QCOMPARE(h.caption(), "無題*" + kCaptionSuffix);
  h.triggerWithFile("SAVE", "song.txt");
  QCOMPARE(h.caption(), h.path("song.txt") + kCaptionSuffix);
  QTest::keyClicks(h.find("Text3"), "x");
  QCOMPARE(h.caption(), h.path("song.txt") + "*" + kCaptionSuffix);
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  QCOMPARE(h.caption(), kUntitled);
}

void WindowHabitsTest::tempoListHighlightsTheTempoInTheBox() {
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
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("96.txt"));
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
  QStringList items;
  for (int i = 0; i < tempo->count(); ++i) items << tempo->itemText(i);
  QCOMPARE(items, QStringList({"60", "84", "80", "96", "100", "120", "125", "144", "150", "160",
                               "168", "180", "200"}));
}

void WindowHabitsTest::fullWidthDigitsShowAsTheProgramWritesThem() {
  Harness h;
  QLineEdit* tempo = h.combo("Text5")->lineEdit();
  // As an input method hands over its text: composed first, then committed.
  auto compose = [tempo](const QString& text) {
    tempo->setFocus();
    tempo->clear();
    QInputMethodEvent composing(text, {});
    QApplication::sendEvent(tempo, &composing);
    const QString shown = tempo->text();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(tempo, &commit);
    return shown;
  };
  // Nothing is put in form while the input method composes, nor while the box is typed in.
  QCOMPARE(compose("１５０"), QString());
  QCOMPARE(h.text("Text5"), QString("１５０"));
  h.find("cmbBUNKAI")->setFocus();  // the focus leaves
  QCOMPARE(h.text("Text5"), QString("150"));
  QCOMPARE(h.combo("Text5")->currentIndex(), h.combo("Text5")->findText("150"));
  QVERIFY(h.window->modified());
  compose("　＋９６　");
  QTest::keyClick(tempo, Qt::Key_Return);
  QCOMPARE(h.text("Text5"), QString("+96"));
  // Text that is no number stays as typed; so does a number the program showed.
  compose("１２０ｂｐｍ");
  h.find("Text3")->setFocus();
  QCOMPARE(h.text("Text5"), QString("１２０ｂｐｍ"));
  WriteAll(h.path("wide.txt"), TitledSong("Wide"));
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("wide.txt"));
  h.set({{"Text5", "１００"}});
  tempo->setFocus();
  h.find("Text3")->setFocus();
  QCOMPARE(h.text("Text5"), QString("１００"));
  // The builds read it as the number it is.
  h.triggerWithFile("mnuMLD", "wide.mld");
  QCOMPARE(h.text("Text5"), QString("１００"));
  QVERIFY(h.prompts.messages.isEmpty());
}

void WindowHabitsTest::onlyARealChangeMarksTheSongModified() {
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
  auto selectFirst = [&h](const QString& name) {
    if (auto* box = qobject_cast<QLineEdit*>(h.find(name))) box->setSelection(0, 1);
    if (auto* box = qobject_cast<QPlainTextEdit*>(h.find(name))) {
      QTextCursor c = box->textCursor();
      c.setPosition(0);
      c.setPosition(1, QTextCursor::KeepAnchor);
      box->setTextCursor(c);
    }
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
  selectFirst("Text3");
  type("Text3", "T");
  selectFirst("Text1_0");
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

// What a box does with a drag from outside the program that offers a copy or a move:
// "refused", or the action it took.
QString DropFromOutside(QWidget* target, const QMimeData& mime) {
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(QPoint(2, 2), offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(2, 2), offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
  if (drop.proposedAction() != Qt::MoveAction) return "the drag proposes no move";
  // Sent even after a refusal: the box must not take it either way.
  QApplication::sendEvent(target, &drop);
  if (!enter.isAccepted() && !drop.isAccepted()) return "refused";
  return drop.dropAction() == Qt::CopyAction ? "copied" : "moved";
}

void WindowHabitsTest::filesDropOnTheMmlBoxesOnlyAndAlwaysAsCopies() {
  Harness h;
  WriteAll(h.path("song.txt"), TitledSong("Dropped"));
  h.set({{"Check2", "1"}, {"Text3", "Title"}});
  // A file manager's drag holds the file's address as a URL and as text.
  QMimeData file;
  file.setUrls({QUrl::fromLocalFile(h.path("song.txt"))});
  file.setText(QUrl::fromLocalFile(h.path("song.txt")).toString());
  const QStringList others = {"Text3", "Text5", "Text6", "txtMAIL"};
  for (const QString& name : others) {
    QWidget* target = h.find(name);
    if (auto* combo = qobject_cast<QComboBox*>(target)) target = combo->lineEdit();
    QCOMPARE(DropFromOutside(target, file), QString("refused"));
  }
  QCOMPARE(h.texts(others), QStringList({"Title", "120", "", ""}));

  // Text from another program is copied in, not taken from it.
  QMimeData text;
  text.setText("!");
  QCOMPARE(DropFromOutside(h.find("Text3"), text), QString("copied"));
  QVERIFY(h.text("Text3").contains("!"));

  // A file dropped on a part's box is opened, and left where it is.
  h.prompts.answers = {Answer::No};
  QCOMPARE(DropFromOutside(h.part(2)->viewport(), file), QString("copied"));
  QCOMPARE(h.text("Text3"), QString("Dropped"));
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));
}

void WindowHabitsTest::helpShowsInTheProgramWithoutABrowser() {
  Harness h;
  // Without the page there is nothing to show: the read message names it.
  h.prompts.urlsOpen = false;
  h.trigger("mnuHELP");
  QCOMPARE(h.lastMessage(), "Error: " + kReadFailed);
  QVERIFY(h.prompts.messages.last().detail.startsWith(h.path("chwr.html") + "\n"));
  QVERIFY(h.window->findChild<QTextBrowser*>("txtHELP") == nullptr);

  WriteAll(h.path("chwr.html"), "<html><body><h1>使い方</h1><p>F1-F4: mute</p></body></html>");
  h.prompts.urlsOpen = true;
  h.trigger("mnuHELP");
  QVERIFY(h.window->findChild<QTextBrowser*>("txtHELP") == nullptr);
  h.prompts.urlsOpen = false;
  h.trigger("mnuHELP");
  auto* browser = h.window->findChild<QTextBrowser*>("txtHELP");
  QVERIFY(browser != nullptr);
  QVERIFY(browser->window()->isVisible());
  QCOMPARE(browser->window()->windowTitle(), QString("ﾍﾙﾌﾟ"));
  QVERIFY2(browser->toPlainText().contains("使い方"), qPrintable(browser->toPlainText()));
  QCOMPARE(h.prompts.urls.size(), 2);
  QCOMPARE(h.prompts.messages.size(), 1);
  // Asking again shows the same window.
  h.trigger("mnuHELP");
  QCOMPARE(h.window->findChildren<QTextBrowser*>("txtHELP").size(), 1);

  // Escape and Ctrl+W, typed in the page, close the window; the editor stays.
  QWidget* help = browser->window();
  for (const QKeyCombination key :
       {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
    h.trigger("mnuHELP");
    QApplication::setActiveWindow(help);
    QVERIFY(help->isVisible());
    QTest::keyClick(browser, key.key(), key.keyboardModifiers());
    QVERIFY2(!help->isVisible(), qPrintable(QKeySequence(key).toString()));
  }
  QVERIFY(h.window->isVisible());
}

void WindowHabitsTest::placeAndRecentFilesAreRememberedAndRestored() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect place(screen.left() + 30, screen.top() + 50, 600, 480);
  const QByteArray ini = QString("[Window]\r\nLeft=%1\r\nTop=%2\r\nWidth=600\r\nHeight=480\r\n")
                             .arg(place.left())
                             .arg(place.top())
                             .toUtf8();
  QStringList written;
  {
    Harness h(ini);
    QCOMPARE(h.window->geometry(), place);
    QVERIFY(!h.find<QMenu>("mnuRECENT")->isEnabled());
    // Nine songs saved and opened: the last eight stay, the latest first, each once.
    for (int i = 0; i < 9; ++i) {
      h.window->NewSong();
      h.triggerWithFile("SAVE", QString("song%1.txt").arg(i));
    }
    h.window->OpenPath(h.path("song3.txt"));
    QStringList shown;
    for (int i = 0; i < 8; ++i) shown << h.find<QAction>(QString("mnuRECENT_%1").arg(i))->text();
    QCOMPARE(shown.first(), "&1 " + h.path("song3.txt"));
    QCOMPARE(shown.last(), "&8 " + h.path("song1.txt"));
    h.window->setGeometry(place.translated(10, 20));
    QVERIFY(h.window->close());
    QSettings settings(h.path("chwr.ini"), QSettings::IniFormat);
    for (const char* key : {"Window/Left", "Window/Top", "Window/Width", "Window/Height"}) {
      written << settings.value(key).toString();
    }
    for (int i = 1; i <= 8; ++i)
      written << settings.value(QString("Recent/File%1").arg(i)).toString();
  }
  QCOMPARE(written.mid(0, 4), QStringList({QString::number(place.left() + 10),
                                           QString::number(place.top() + 20), "600", "480"}));
  QCOMPARE(QFileInfo(written[4]).fileName() + " " + QFileInfo(written[5]).fileName() + " " +
               QFileInfo(written[11]).fileName(),
           QString("song3.txt song8.txt song1.txt"));

  // A window restored from them: the list in its menu; choosing an entry opens it the
  // way Open does, asking about unsaved changes first; a file gone gets the read message.
  QByteArray recent = "[Recent]\r\n";
  QTemporaryDir folder;
  WriteAll(folder.filePath("one.txt"), TitledSong("One"));
  recent += "File1=" + folder.filePath("gone.txt").toUtf8() + "\r\n";
  recent += "File2=" + folder.filePath("one.txt").toUtf8() + "\r\n";
  Harness again(recent);
  QVERIFY(again.find<QMenu>("mnuRECENT")->isEnabled());
  QVERIFY(!again.find<QAction>("mnuRECENT_2")->isVisible());
  QTest::keyClicks(again.find("Text3"), "edited");
  again.prompts.answers = {Answer::Cancel};
  again.trigger("mnuRECENT_1");
  QCOMPARE(again.text("Text3"), QString("edited"));
  again.prompts.answers = {Answer::No};
  again.trigger("mnuRECENT_1");
  QCOMPARE(again.text("Text3"), QString("One"));
  QCOMPARE(again.prompts.questions.size(), 2);
  QCOMPARE(again.find<QAction>("mnuRECENT_0")->text(), "&1 " + folder.filePath("one.txt"));
  again.trigger("mnuRECENT_1");
  QCOMPARE(again.lastMessage(), "Error: " + kReadFailed);
  QVERIFY(again.prompts.messages.last().detail.startsWith(folder.filePath("gone.txt")));

  // A place on no screen gives the default place; the window always fits the screen.
  Harness lost("[Window]\r\nLeft=-9000\r\nTop=9000\r\nWidth=400\r\nHeight=300\r\n");
  QVERIFY(screen.contains(lost.window->geometry()));
  QCOMPARE(lost.window->geometry(), Harness().window->geometry());
}

void WindowHabitsTest::fileDialogsRememberTheFolderOfTheirFile() {
  auto startedIn = [](const Harness& h) {
    return QFileInfo(h.prompts.dialogs.last().dialog.folder).canonicalFilePath();
  };
  Harness h;
  for (const char* name : {"open", "mld", "midi", "save"}) QVERIFY(QDir(h.dir.path()).mkdir(name));
  WriteAll(h.path("open/song.txt"), TitledSong("Far"));
  auto in = [&h](const QString& name) { return QFileInfo(h.path(name)).canonicalFilePath(); };
  // Each confirmed dialog: the next one starts in its file's folder, which is the current one.
  const QList<QPair<QString, QString>> steps = {{"mnuREAD", "open/song.txt"},
                                                {"mnuMLD", "mld/song.mld"},
                                                {"mnuMIDIMAKE", "midi/song.mid"},
                                                {"mnuSAVENAME", "save/song.txt"}};
  for (const auto& [command, file] : steps) {
    h.triggerWithFile(command, file);
    QVERIFY(QFile::exists(h.path(file)));
    const QString there = in(QFileInfo(file).path());
    QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(), there);
    h.prompts.files = {""};
    h.trigger("mnuREAD");
    QCOMPARE(startedIn(h), there);
  }
  // Neither a cancelled dialog nor a folder that is not there moves it.
  h.triggerWithFile("mnuMLD", "missing/song.mld");
  QCOMPARE(h.lastMessage(), "Error: " + kWriteFailed);
  h.prompts.files = {""};
  h.trigger("mnuMIDIMAKE");
  QCOMPARE(startedIn(h), in("save"));
  h.triggerWithFile("mnuREAD", "open/song.txt");
  QVERIFY(h.window->close());
  const QString folder =
      QSettings(h.path("chwr.ini"), QSettings::IniFormat).value("File/Folder").toString();
  QCOMPARE(folder, h.path("open"));
  // The next start begins there.
  Harness again("[File]\r\nFolder=" + folder.toUtf8() + "\r\n");
  again.prompts.files = {""};
  again.trigger("mnuREAD");
  QCOMPARE(startedIn(again), in("open"));
}

void WindowHabitsTest::filesOpenedWithoutTheDialogRememberTheirFolderToo() {
  Harness h;
  for (const char* name : {"cmd", "drop", "midi"}) QVERIFY(QDir(h.dir.path()).mkdir(name));
  WriteAll(h.path("cmd/song.txt"), TitledSong("Command line"));
  WriteAll(h.path("drop/song.txt"), TitledSong("Dropped"));
  h.set({{"Text1_0", "L8 CDE"}});
  h.triggerWithFile("mnuMIDIMAKE", "midi/tune.mid");
  auto current = [] { return QFileInfo(QDir::currentPath()).canonicalFilePath(); };
  auto in = [&h](const QString& name) { return QFileInfo(h.path(name)).canonicalFilePath(); };

  h.prompts.answers = {Answer::No};
  h.window->OpenCommandLine({"chimewright", "cmd/song.txt"}, h.dir.path());
  QCOMPARE(h.text("Text3"), QString("Command line"));
  QCOMPARE(current(), in("cmd"));
  // A MIDI file on its way to the import dialog, then a dropped song.
  h.window->OpenPath(h.path("midi/tune.mid"));
  QCOMPARE(current(), in("midi"));
  h.window->OpenPath(h.path("drop/song.txt"));
  QCOMPARE(h.text("Text3"), QString("Dropped"));
  QCOMPARE(current(), in("drop"));
  // A file that could not be opened is no folder of the user's.
  h.window->OpenPath(h.path("cmd/gone.txt"));
  QCOMPARE(h.lastMessage(), "Error: " + kReadFailed);
  QCOMPARE(current(), in("drop"));

  QVERIFY(h.window->close());
  QCOMPARE(QSettings(h.path("chwr.ini"), QSettings::IniFormat).value("File/Folder").toString(),
           h.path("drop"));
}

void WindowHabitsTest::placementKeepsTheWindowWholeOnAScreen() {
  const QSize minimum(400, 300);
  const QMargins frame(8, 32, 8, 8);
  const QRect hd(0, 0, 1920, 1080);
  const QRect scale2(0, 0, 960, 540);  // a 1920 x 1080 screen at a scale of 2
  const QRect right(1920, 0, 1280, 1024);
  const struct {
    const char* what;
    std::optional<QRect> stored;
    QList<QRect> screens;
    QRect placed;
  } cases[] = {
      {"default, centred", std::nullopt, {hd}, {600, 272, 720, 560}},
      {"default at scale 2, shrunk to fit", std::nullopt, {scale2}, {120, 32, 720, 500}},
      {"stored, as it was", QRect(100, 200, 800, 600), {hd, right}, {100, 200, 800, 600}},
      {"stored on the other screen",
       QRect(2000, 100, 800, 600),
       {hd, right},
       {2000, 100, 800, 600}},
      {"partly off the right edge, moved in",
       QRect(1500, 100, 800, 600),
       {hd},
       {1112, 100, 800, 600}},
      {"title bar above the screen, moved down",
       QRect(100, 0, 800, 600),
       {hd},
       {100, 32, 800, 600}},
      {"on no screen, the default", QRect(-5000, 100, 800, 600), {hd, right}, {600, 272, 720, 560}},
      {"larger than the screen, shrunk", QRect(10, 10, 3000, 2000), {scale2}, {8, 32, 944, 500}},
  };
  for (const auto& c : cases) {
    QCOMPARE(PlaceWindow(c.stored, kDefaultWindowSize, minimum, c.screens, frame), c.placed);
  }
  // Below its minimum the window does not go; what does not fit starts at the top.
  QCOMPARE(PlaceWindow(std::nullopt, kDefaultWindowSize, QSize(800, 600), {scale2}, frame),
           QRect(80, 32, 800, 600));

  // The window's own minimum fits a 1920 x 1080 screen at a scale of 2, frame and all.
  Harness h;
  const QSize needed = h.window->minimumSizeHint().grownBy(frame);
  QVERIFY2(needed.width() <= scale2.width() && needed.height() <= scale2.height(),
           qPrintable(QString("%1 x %2").arg(needed.width()).arg(needed.height())));
}

void WindowHabitsTest::qtDialogsSpeakJapaneseAndNameEachFilterOnce() {
  QVERIFY(InstallQtTranslations());
  auto question = MakeQuestionBox(nullptr, "内容が変更されています。保存しますか？");
  QStringList buttons;
  for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
    buttons << question->button(b)->text().remove('&');
  }
  QVERIFY2(buttons[0].startsWith("はい") && buttons[1].startsWith("いいえ") &&
               buttons[2].startsWith("キャンセル"),
           qPrintable(buttons.join(", ")));
  // The question before a MIDI conversion offers OK and Cancel only.
  auto convert = MakeQuestionBox(nullptr, "内容が変更されていますが変換しますか？", true);
  QVERIFY(convert->standardButtons() == (QMessageBox::Ok | QMessageBox::Cancel));
  QVERIFY(convert->icon() == QMessageBox::Information && convert->windowTitle() == "確認");

  // Each filter shows as its description, its patterns once.
  for (bool save : {false, true}) {
    auto dialog =
        MakeFileDialog(nullptr, {"Text File(*.txt)", "*.txt", "無題.txt", ".txt", {}}, save);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types != nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
    QCOMPARE(shown, QStringList({"Text File(*.txt)", "All Files(*.*)"}));
    // The dialog's own words are Japanese too.
    const QString label = dialog->findChild<QLabel*>("fileNameLabel")->text();
    QVERIFY2(!label.contains("File"), qPrintable(label));
  }
  auto open = MakeFileDialog(
      nullptr,
      {"Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid)", "*.txt;*.mld;*.smd;*.mid", {}, {}, {}},
      false);
  QCOMPARE(open->nameFilters().first(),
           QString("Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid) (*.txt *.mld *.smd *.mid)"));
  QCOMPARE(open->findChild<QComboBox*>("fileTypeCombo")->itemText(0),
           QString("Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid)"));
}

}  // namespace chwr::gui

QTEST_MAIN(chwr::gui::WindowHabitsTest)
#include "window_habits_test.moc"

// Editing in the main window as a user edits: typing, the case keys and the resolution
// change as undoable steps, undo and redo across the part boxes, paste and drop. Driven
// through the real window, with dialogs answered by ScriptedPrompts.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

// The caret of a box as (anchor, position).
QList<int> Caret(const QPlainTextEdit* box) {
  return {box->textCursor().anchor(), box->textCursor().position()};
}

// Chooses an item of a box's context menu, opened where the mouse is (the viewport of a
// multi-line box, the line edit of a combo box) as the right mouse button opens it; how
// the item was shown, "enabled" or "disabled". A disabled item is triggered `anyway`
// when asked, as a Qt that offers it regardless would.
QString ChooseFromMenu(QWidget* box, const char* item, bool anyway = false) {
  QWidget* target = box;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(box)) target = area->viewport();
  if (auto* combo = qobject_cast<QComboBox*>(box)) target = combo->lineEdit();
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                          target->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(target, &event);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu) qFatal("no context menu");
  QAction* action = menu->findChild<QAction*>(item);
  if (!action) qFatal("no %s in the context menu", item);
  const QString shown = action->isEnabled() ? "enabled" : "disabled";
  if (action->isEnabled() || anyway) {
    action->setEnabled(true);
    action->trigger();
  }
  menu->close();
  return shown;
}

// Ctrl + `letter` in part box `part`.
void CtrlKey(const Harness& h, int part, Qt::Key letter) {
  QTest::keyClick(h.part(part), letter, Qt::ControlModifier);
}

// The three ways a user pastes into a box, each as what the menu showed (nothing for the
// keys).
QStringList PasteEveryWay(QWidget* box) {
  box->setFocus();
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
  return {"", "", ChooseFromMenu(box, "edit-paste", true)};
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

}  // namespace

class EditTest : public QObject {
  Q_OBJECT

 private slots:
  void keysToggleMutesAndConvertCase();
  void conversionsKeepTheCaretAndTheSelection();
  void caseKeysAreOneStepToUndoFromAnyPartBox();
  void resolutionChangeAsksBeforeRoundingAndIsOneStep();
  void undoAndRedoMixedOverThePartsLoseNothing();
  void pasteTakesOnlyTheClipboardsPlainText();
  void filesDropOnTheMmlBoxesOnlyAndAlwaysAsCopies();
};

void EditTest::keysToggleMutesAndConvertCase() {
  Harness h;
  // F1..F4 toggle the mutes wherever the focus is; they are neither typing nor an edit.
  for (int i = 0; i < 4; ++i) {
    QWidget* focus = i % 2 ? h.find("Text3") : h.part(0);
    const auto key = Qt::Key(Qt::Key_F1 + i);
    QTest::keyClick(focus, key);
    QVERIFY(h.on(QString("Check1_%1").arg(i)));
    QCOMPARE(h.tabs()->tabText(i), QString("ﾊﾟｰﾄ%1(ﾐｭｰﾄ)").arg(i + 1));
    QTest::keyClick(focus, key);
    QCOMPARE(h.tabs()->tabText(i), QString("ﾊﾟｰﾄ%1").arg(i + 1));
  }
  QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"", ""}));
  QVERIFY(!h.window->modified());

  // D and U alone are typing; with Ctrl they convert all four parts.
  QTest::keyClicks(h.find("Text3"), "du");
  QTest::keyClicks(h.part(0), "cdu");
  h.select(0, 1);
  h.set({{"Text1_1", "o4 c\nr"}, {"Text1_3", "Rd"}});
  QTest::keyClick(h.part(0), Qt::Key_U, Qt::ControlModifier);
  QCOMPARE(h.parts(), QStringList({"CDU", "O4 C\nR", "", "RD"}));
  QCOMPARE(Caret(h.part(0)), QList<int>({1, 1}));  // the case keys keep the caret
  QTest::keyClick(h.part(2), Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(h.parts(), QStringList({"cdu", "o4 c\nr", "", "rd"}));
  QCOMPARE(h.text("Text3"), QString("du"));
}

// A resolution change rewrites the text in place: the caret stays before the note it was
// before, a selection keeps its note. Its undo step has the tests below; the case keys'
// caret the test above.
void EditTest::conversionsKeepTheCaretAndTheSelection() {
  Harness h;
  h.type(0, "C*5 D*8 E");
  h.select(0, 4);               // before "D"
  h.prompts.confirms = {true};  // even one odd length is asked about
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(h.prompts.questions.size(), 1);
  QCOMPARE(h.text("Text1_0"), QString("C*6 D*8 E"));
  QCOMPARE(Caret(h.part(0)), QList<int>({4, 4}));
  h.select(0, 8, 9);  // "E"
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(h.text("Text1_0"), QString("C*3 D*4 E"));
  QCOMPARE(h.part(0)->textCursor().selectedText(), QString("E"));
}

void EditTest::caseKeysAreOneStepToUndoFromAnyPartBox() {
  Harness h;
  auto key = [&h](int part, Qt::Key letter) { CtrlKey(h, part, letter); };
  // Ctrl + a letter in a part box, and the four texts after it.
  auto after = [&](int part, Qt::Key letter) { return key(part, letter), h.parts(); };
  // Part 3 stays empty: the case keys leave it alone.
  h.type(0, "l8 cde");
  h.type(1, "O4 Efg");
  h.type(3, "r4 A");
  const QStringList typed = {"l8 cde", "O4 Efg", "", "r4 A"};
  const QStringList lower = {"l8 cde", "o4 efg", "", "r4 a"};
  const QStringList upper = {"L8 CDE", "O4 EFG", "", "R4 A"};

  // Ctrl+D, then one Ctrl+Z in any part box, the empty one too, takes it back in all four,
  // and one Ctrl+Y in any brings it back in all four.
  for (int part = 0; part < 4; ++part) {
    QCOMPARE(after(part, Qt::Key_D), lower);
    QCOMPARE(after(part, Qt::Key_Z), typed);
    QCOMPARE(after((part + 1) % 4, Qt::Key_Y), lower);
    QCOMPARE(after((part + 2) % 4, Qt::Key_Z), typed);
  }

  // Two commands are two steps, undone and redone in turn.
  key(0, Qt::Key_U);
  QCOMPARE(after(2, Qt::Key_D), lower);
  QCOMPARE(after(3, Qt::Key_Z), upper);
  QCOMPARE(after(0, Qt::Key_Z), typed);
  QCOMPARE(after(2, Qt::Key_Y), upper);
  QCOMPARE(after(1, Qt::Key_Y), lower);
  key(1, Qt::Key_Z);
  QCOMPARE(after(1, Qt::Key_Z), typed);

  // Pressed twice, Ctrl+D changes nothing the second time: one Ctrl+Z takes it back, the
  // next one is the box's own and undoes its typing alone.
  key(0, Qt::Key_D);
  key(0, Qt::Key_D);
  QCOMPARE(after(0, Qt::Key_Z), typed);
  key(0, Qt::Key_Z);
  QCOMPARE(h.parts().mid(1), typed.mid(1));
  QVERIFY(h.text("Text1_0") != typed[0]);
  QCOMPARE(after(0, Qt::Key_Y), typed);

  // Typed after a command, in one part (right behind the converted text): Ctrl+Z undoes
  // the typing first, then the command in all four; Ctrl+Y redoes them in the same order.
  key(1, Qt::Key_D);
  h.select(1, 6);
  h.type(1, "a");
  QCOMPARE(h.text("Text1_1"), QString("o4 efga"));
  QCOMPARE(after(1, Qt::Key_Z), lower);
  QCOMPARE(after(1, Qt::Key_Z), typed);
  QCOMPARE(after(1, Qt::Key_Y), lower);
  key(1, Qt::Key_Y);
  QCOMPARE(h.text("Text1_1"), QString("o4 efga"));
  // Typing elsewhere meanwhile is that box's own: undone there, it leaves the rest alone.
  h.type(3, " b");
  QCOMPARE(after(3, Qt::Key_Z), QStringList({"l8 cde", "o4 efga", "", "r4 a"}));
  key(1, Qt::Key_Z);
  QCOMPARE(after(1, Qt::Key_Z), typed);

  // Ctrl+Z in another part takes the command back wherever the user has not typed over it
  // since; the part typed in undoes its typing, then its share. Back together, the command
  // is redone as one again.
  key(0, Qt::Key_D);
  h.select(1, 6);
  h.type(1, "a");
  QCOMPARE(after(2, Qt::Key_Z), QStringList({"l8 cde", "o4 efga", "", "r4 A"}));
  QCOMPARE(after(1, Qt::Key_Z), QStringList({"l8 cde", "o4 efg", "", "r4 A"}));
  QCOMPARE(after(1, Qt::Key_Z), typed);
  QCOMPARE(after(3, Qt::Key_Y), lower);
  QCOMPARE(after(0, Qt::Key_Z), typed);

  // The boxes' context menus undo and redo the same steps as the keys, from any box.
  key(0, Qt::Key_U);
  QVERIFY(!h.part(2)->document()->isUndoAvailable());
  QCOMPARE(ChooseFromMenu(h.part(2), "edit-undo"), QString("enabled"));
  QCOMPARE(h.parts(), typed);
  QCOMPARE(ChooseFromMenu(h.part(0), "edit-redo"), QString("enabled"));
  QCOMPARE(h.parts(), upper);
  QCOMPARE(ChooseFromMenu(h.part(2), "edit-redo"), QString("disabled"));
  QVERIFY(h.window->modified());
}

void EditTest::resolutionChangeAsksBeforeRoundingAndIsOneStep() {
  Harness h;
  auto key = [&h](int part, Qt::Key letter) { CtrlKey(h, part, letter); };
  auto state = [&h] { return h.parts() << h.text("cmbBUNKAI"); };
  auto stateAfter = [&](int part, Qt::Key letter) { return key(part, letter), state(); };
  h.set({{"Text1_0", "' intro *3 bars\nO4 C*36 D*17 E*1 L*3 F C*192 R*5"},
         {"Text1_1", "L*4 C"},
         {"Text1_2", "c*7"}});
  h.triggerWithFile("mnuSAVENAME", "song.txt");  // unmodified, to see Cancel leave it so
  QVERIFY(!h.window->modified());
  const QStringList at48 = {"' intro *3 bars\nO4 C*36 D*17 E*1 L*3 F C*192 R*5", "L*4 C", "c*7", "",
                            "48"};
  const QStringList at24 = {"' intro *3 bars\nO4 C*18 D*9 E*1 L*2 F C*96 R*3", "L*2 C", "c*4", "",
                            "24"};

  // Cancel puts the choice back and changes nothing, not even the modified mark. The
  // question's wording has the core's tests; it lists the odd lengths of every part.
  h.prompts.confirms = {false};
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(h.prompts.questions.size(), 1);
  QVERIFY(h.prompts.questions[0].contains("ﾊﾟｰﾄ1 (2行目) D*17 → D*9\nﾊﾟｰﾄ1 (2行目) E*1"));
  QVERIFY(h.prompts.questions[0].contains("ﾊﾟｰﾄ1 (2行目) R*5 → R*3\nﾊﾟｰﾄ3 (1行目) c*7 → c*4\n"));
  QCOMPARE(state(), at48);
  QVERIFY(!h.window->modified());

  // OK rescales every part; the comment keeps its "*3".
  h.prompts.confirms = {true};
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(state(), at24);
  QVERIFY(h.window->modified());

  // One Ctrl+Z, in a part box the change touched or one it left alone, takes back the
  // choice and all four texts; one Ctrl+Y in any brings them back.
  QCOMPARE(stateAfter(1, Qt::Key_Z), at48);
  QCOMPARE(stateAfter(3, Qt::Key_Y), at24);
  QCOMPARE(stateAfter(3, Qt::Key_Z), at48);
  QCOMPARE(stateAfter(0, Qt::Key_Y), at24);

  // Back to 48 asks nothing: doubling is exact. Only the rounded lengths differ now.
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(state(), QStringList({"' intro *3 bars\nO4 C*36 D*18 E*2 L*4 F C*192 R*6", "L*4 C",
                                 "c*8", "", "48"}));
  QCOMPARE(h.prompts.questions.size(), 2);
  QCOMPARE(stateAfter(2, Qt::Key_Z), at24);

  // Typing keeps its own undo, box by box. While a box holds typing over the change, the
  // change cannot go in the other boxes alone: Ctrl+Z there does nothing until the typing
  // is undone.
  h.select(2, 3);
  h.type(2, "G");
  const QStringList typed = {at24[0], at24[1], "c*4G", "", "24"};
  QCOMPARE(state(), typed);
  QCOMPARE(stateAfter(0, Qt::Key_Z), typed);
  QCOMPARE(stateAfter(1, Qt::Key_Y), typed);
  QCOMPARE(stateAfter(2, Qt::Key_Z), at24);
  QCOMPARE(stateAfter(0, Qt::Key_Z), at48);
}

// Whatever the user mixes (typing, the case keys, undo and redo in any part), each box's
// history stays whole: undoing everything everywhere gives the empty parts back, redoing
// everything the latest texts, visited in any order.
void EditTest::undoAndRedoMixedOverThePartsLoseNothing() {
  Harness h;
  QRandomGenerator random(19);  // the same run every time
  auto press = [&h](int part, Qt::Key letter) { CtrlKey(h, part, letter); };
  for (int action = 0; action < 300; ++action) {
    const int part = random.bounded(4);
    QPlainTextEdit* box = h.part(part);
    switch (random.bounded(6)) {
      case 0:
      case 1: {
        h.select(part, random.bounded(int(box->toPlainText().size()) + 1));
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

void EditTest::pasteTakesOnlyTheClipboardsPlainText() {
  Harness h;
  const QStringList names = {"Text1_0", "Text1_1", "Text1_2", "Text1_3",
                             "txtMAIL", "Text3",   "Text5",   "Text6"};
  QList<QPair<QString, QString>> kept = {{"Check2", "1"}};
  for (const QString& name : names) kept.append({name, "keep " + name});
  h.set(kept);
  h.triggerWithFile("SAVE", "pasted.txt");
  QVERIFY(!h.window->modified());
  auto showPart = [&h](const QString& name) {
    if (name.startsWith("Text1_")) h.tabs()->setCurrentIndex(name.right(1).toInt());
    return h.find(name);
  };

  // Clipboards without text: none, an image, rich text alone. A data object without any
  // format (what another program leaves after clearing the clipboard) crashed Qt 6.4's
  // multi-line boxes.
  const QList<std::function<QMimeData*()>> withoutText = {
      [] { return new QMimeData; }, [] { return nullptr; },
      [] {
        auto* data = new QMimeData;
        data->setImageData(QImage(2, 2, QImage::Format_RGB32));
        return data;
      },
      [] {
        auto* data = new QMimeData;
        data->setHtml("<b>rich</b>");
        return data;
      }};
  QClipboard* clipboard = QGuiApplication::clipboard();
  for (const auto& make : withoutText) {
    clipboard->clear();
    if (QMimeData* data = make()) clipboard->setMimeData(data);
    for (const QString& name : names) {
      QWidget* box = showPart(name);
      QCOMPARE(PasteEveryWay(box), QStringList({"", "", "disabled"}));
      // The box's paste slot, which the program could call itself.
      if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) edit->paste();
      QCOMPARE(h.text(name), "keep " + name);
    }
    QVERIFY(!h.window->modified());
  }

  // Text, also beside rich data, is pasted as plain text by every way; a one-line box
  // takes its first line.
  auto* mixed = new QMimeData;
  mixed->setHtml("<b>rich</b>");
  mixed->setText("C D\r\nE");
  clipboard->setMimeData(mixed);
  for (const QString& name : names) h.set({{name, ""}});
  for (const QString& name : names) {
    QWidget* box = showPart(name);
    QCOMPARE(PasteEveryWay(box), QStringList({"", "", "enabled"}));
    QCOMPARE(h.text(name), name.startsWith("Text1_") ? "C D\nEC D\nEC D\nE" : "C DC DC D");
  }
  QVERIFY(h.window->modified());
  QCOMPARE(clipboard->text(), QString("C D\r\nE"));
}

void EditTest::filesDropOnTheMmlBoxesOnlyAndAlwaysAsCopies() {
  Harness h;
  WriteAll(h.path("song.txt"), TitledSong("Dropped"));
  h.set({{"Check2", "1"}, {"Text3", "Title"}});
  // A file manager's drag holds the files' addresses as URLs and as text.
  WriteAll(h.path("other.txt"), TitledSong("Other"));
  QMimeData file;
  file.setUrls({QUrl::fromLocalFile(h.path("song.txt")), QUrl::fromLocalFile(h.path("other.txt"))});
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

  // Files dropped on a part's box: the first one is opened, and left where it is.
  h.prompts.answers = {Answer::No};
  QCOMPARE(DropFromOutside(h.part(2)->viewport(), file), QString("copied"));
  QCOMPARE(h.text("Text3"), QString("Dropped"));
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));
}

CHWR_GUI_TEST(EditTest)

}  // namespace chwr::gui

#include "edit_test.moc"

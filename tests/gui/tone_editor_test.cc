// The tone editor as the user meets it: opened from the main window's menu, its lists
// and boxes with their starting values, the keys that walk through them, and the text
// its copy button leaves on the clipboard, pasted into a part and built. The text's
// columns and numbers have the core's tests; these prove the window feeds them.

#include <QtTest>
#include <QtWidgets>

#include "build/build_song.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

const QString kDefaultText =
    "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n"
    "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 0,\r\n"
    "   0, 0,15,15,15,15, 0, 0, 0, 0, 0, 1}\r\n";

// The main window with its tone editor opened from the menu, as the active window.
struct ToneHarness {
  ToneHarness() {
    h.trigger("mnuSHTONE");
    QApplication::setActiveWindow(editor());
  }
  QWidget* editor() const {
    const QWidgetList all = QApplication::topLevelWidgets();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [](QWidget* w) { return w->objectName() == "frmSHTONE"; });
    if (found == all.end()) qFatal("no tone editor");
    return *found;
  }
  template <class T = QWidget>
  T* find(const QString& name) const {
    T* found = editor()->findChild<T*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
  }
  QLineEdit* box(int i) const { return find<QLineEdit>(QString("Text1_%1").arg(i)); }
  QComboBox* list(int i) const { return find<QComboBox>(QString("cmbTONE1_%1").arg(i)); }
  QString focused() const {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "(none)";
  }
  // Types into a box as the user does: the box gets the focus, the typing replaces it.
  void type(int i, const QString& text) const {
    box(i)->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(box(i), text);
  }
  // Types as a Japanese input method does: the composed text committed at once.
  void compose(int i, const QString& text) const {
    box(i)->setFocus(Qt::OtherFocusReason);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(box(i), &commit);
  }
  QString copy() const {
    QTest::mouseClick(find("cmdCLIP"), Qt::LeftButton);
    return QGuiApplication::clipboard()->text();
  }

  Harness h;
};

}  // namespace

class ToneEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void opensFromItsMenuBesideTheMainWindow();
  void controlsStartAtTheirFirstValues();
  void enterAndTheBoxArrowsMoveTheFocus();
  void aBoxThatGetsTheFocusSelectsItsText();
  void copyPutsTheDefinitionOnTheClipboard();
  void copiedTextPastedIntoAPartBuilds();
};

void ToneEditorTest::opensFromItsMenuBesideTheMainWindow() {
  ToneHarness t;
  QWidget* tone = t.editor();
  QVERIFY(tone->isVisible() && !tone->isModal());
  QCOMPARE(tone->windowTitle(), QString("J-SH03音色定義変換"));
  const QPoint beside = t.h.window->frameGeometry().topLeft() + QPoint(3, 62);
  QCOMPARE(tone->frameGeometry().topLeft(), beside);
  // Its names stay its own: the main window's boxes are still found by theirs.
  QCOMPARE(QStringList({t.h.text("Text1_0"), t.box(0)->text()}), QStringList({"", "0"}));

  // The menu again: the same window, raised where the user left it, values kept.
  tone->move(beside + QPoint(40, 40));
  t.type(5, "7");
  t.h.trigger("mnuSHTONE");
  QCOMPARE(t.editor(), tone);
  QCOMPARE(tone->frameGeometry().topLeft(), beside + QPoint(40, 40));

  // Closed, it opens beside the main window again, wherever that went since.
  QTest::mouseClick(t.find("cmdCLOSE"), Qt::LeftButton);
  QVERIFY(!tone->isVisible());
  // Escape closes it too, as it closes every dialog.
  t.h.trigger("mnuSHTONE");
  QVERIFY(tone->isVisible());
  QTest::keyClick(t.box(5), Qt::Key_Escape);
  QVERIFY(!tone->isVisible());
  t.h.window->move(t.h.window->pos() + QPoint(25, 10));
  t.h.trigger("mnuSHTONE");
  QVERIFY(tone->isVisible());
  QCOMPARE(tone->frameGeometry().topLeft(), t.h.window->frameGeometry().topLeft() + QPoint(3, 62));
  QCOMPARE(t.box(5)->text(), QString("7"));

  // Closing the main window closes it too.
  QVERIFY(t.h.window->close());
  QVERIFY(!tone->isVisible());
}

void ToneEditorTest::controlsStartAtTheirFirstValues() {
  ToneHarness t;
  // Per operator: label, then a list's items or a box's starting text.
  const QList<QPair<QString, QStringList>> rows = {
      {"ﾏﾙﾁﾌﾟﾙ", {"0.5", "1", "2", "3", "4", "5", "6", "7"}},
      {"ﾋﾞﾌﾞﾗｰﾄ", {"OFF", "ON"}},
      {"ｴﾝﾍﾞﾛｰﾌﾞ", {"減衰音", "持続音"}},
      {"ｻｽﾃｨｰﾝ", {"OFF", "ON"}},
      {"波形選択", {"ｻｲﾝ波", "半波"}},
      {"ｱﾀｯｸﾚｰﾄ", {"0"}},
      {"ﾃﾞｨｹｲﾚｰﾄ", {"1"}},
      {"ｻｽﾃｨｰﾝﾚﾍﾞﾙ", {"1"}},
      {"ﾘﾘｰｽﾚｰﾄ", {"1"}},
      {"ﾄｰﾀﾙﾚﾍﾞﾙ", {"64"}},
  };
  QList<QStringList> expected, shown;
  auto look = [&](const QString& name, const QString& frame, const QString& label,
                  const QStringList& content) {
    QWidget* control = t.find(name);
    QString labelled = "(none)";
    for (QLabel* l : t.editor()->findChildren<QLabel*>()) {
      if (l->buddy() == control) labelled = l->text();
    }
    QStringList seen = {name, qobject_cast<QGroupBox*>(control->parentWidget())->title(), labelled};
    if (auto* list = qobject_cast<QComboBox*>(control)) {
      for (int i = 0; i < list->count(); ++i) seen << list->itemText(i);
      // Every list starts at its first entry, and takes no typing.
      seen << (list->currentIndex() == 0 && !list->isEditable() ? "first" : "not first");
    } else {
      seen << qobject_cast<QLineEdit*>(control)->text();
    }
    shown << seen;
    expected << QStringList({name, frame, label}) + content +
                    (content.size() > 1 ? QStringList("first") : QStringList());
  };
  for (int i = 0; i < 10; ++i) {
    const QString kind = i < 5 ? "cmbTONE1_%1" : "Text1_%1";
    look(kind.arg(i % 5), "ｷｬﾘｱ", rows[i].first, rows[i].second);
    look(kind.arg(i % 5 + 5), "ﾓｼﾞｭﾚｰﾀｰ", rows[i].first, rows[i].second);
  }
  look("Text1_10", "ﾓｼﾞｭﾚｰﾀｰ", "ﾌｨｰﾄﾞﾊﾞｯｸ", {"0"});
  look("cmbOCT", "ｷｬﾘｱ", "ｵｸﾀｰﾌﾞ", {"1", "2", "3"});
  QCOMPARE(shown, expected);
  QCOMPARE(t.find<QPushButton>("cmdCLIP")->text(), QString("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
  QCOMPARE(t.find<QPushButton>("cmdCLOSE")->text(), QString("閉じる"));
}

void ToneEditorTest::enterAndTheBoxArrowsMoveTheFocus() {
  ToneHarness t;
  struct Case {
    QString from;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QString to;
    QString list;  // for a list: its text afterwards
  };
  const Case cases[] = {
      // Boxes: Enter and Down go on as Tab, Up goes back as Shift+Tab.
      {"Text1_5", Qt::Key_Enter, Qt::KeypadModifier, "Text1_6", ""},
      {"Text1_9", Qt::Key_Down, Qt::NoModifier, "Text1_10", ""},
      {"Text1_5", Qt::Key_Up, Qt::NoModifier, "cmbTONE1_9", ""},
      {"Text1_5", Qt::Key_Down, Qt::ShiftModifier, "Text1_5", ""},
      // Lists: Enter goes on; the arrows choose in the list.
      {"cmbTONE1_9", Qt::Key_Enter, Qt::KeypadModifier, "Text1_5", "ｻｲﾝ波"},
      {"cmbTONE1_5", Qt::Key_Down, Qt::NoModifier, "cmbTONE1_5", "1"},
      {"cmbOCT", Qt::Key_Return, Qt::NoModifier, "cmdCLIP", "1"},
  };
  for (const Case& c : cases) {
    QWidget* from = t.find(c.from);
    from->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(from, c.key, c.modifiers);
    const QString what = " after " + c.from + " " + QKeySequence(c.key).toString();
    QCOMPARE(t.focused() + what, c.to + what);
    if (auto* list = qobject_cast<QComboBox*>(from)) QCOMPARE(list->currentText(), c.list);
  }
  // Enter from the first list reaches every control once, down the modulator first.
  QStringList walk, down;
  t.list(5)->setFocus(Qt::OtherFocusReason);
  for (int i = 0; i < 24 && t.focused() != "cmdCLIP"; ++i) {
    walk << t.focused();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  }
  for (int op : {5, 0}) {
    for (int i = 0; i < 5; ++i) down << QString("cmbTONE1_%1").arg(op + i);
    for (int i = 0; i < 5; ++i) down << QString("Text1_%1").arg(op + i);
    down << (op ? "Text1_10" : "cmbOCT");
  }
  QCOMPARE(walk, down);
}

void ToneEditorTest::aBoxThatGetsTheFocusSelectsItsText() {
  ToneHarness t;
  t.box(9)->setText("64");
  t.box(8)->setText("12");
  t.box(8)->setFocus();
  const QList<QPair<QString, std::function<void()>>> steps = {
      {"Text1_9 64 by Enter", [&] { QTest::keyClick(t.box(8), Qt::Key_Return); }},
      {"Text1_8 12 by Up", [&] { QTest::keyClick(t.box(9), Qt::Key_Up); }},
      {"Text1_9 64 by Tab", [&] { QTest::keyClick(t.box(8), Qt::Key_Tab); }},
      {"Text1_8 12 by a click", [&] { QTest::mouseClick(t.box(8), Qt::LeftButton); }},
      // Clicked again once it has the focus, it puts the caret where the user clicks.
      {"Text1_8  by a second click", [&] { QTest::mouseClick(t.box(8), Qt::LeftButton); }},
  };
  for (const auto& [expected, act] : steps) {
    act();
    auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QCOMPARE(box->objectName() + " " + box->selectedText() + expected.mid(expected.indexOf(" by")),
             expected);
  }
  // Typing into a box just entered replaces its value.
  QTest::keyClick(t.box(8), Qt::Key_Down);
  QTest::keyClicks(t.box(9), "3");
  QCOMPARE(t.box(9)->text(), QString("3"));
}

void ToneEditorTest::copyPutsTheDefinitionOnTheClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  struct Case {
    QString what;
    std::function<void(const ToneHarness&)> set;
    QString text;
  };
  const Case cases[] = {
      {"starting values", [](auto&) {}, kDefaultText},
      {"TL -100 typed", [](auto& t) { t.type(9, "-100"); },
       "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n@{ 0, 0,15,15,15,15, 0,164, 0, 0, 0,\r\n"
       "   0, 0,15,15,15,15, 0, 0, 0, 0, 0, 1}\r\n"},
      {"DR and FB from an input method",
       [](auto& t) {
         t.compose(1, "１５");
         t.compose(10, "３");
       },
       "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 3,\r\n"
       "   0, 0,15,15, 1,15, 0, 0, 0, 0, 0, 1}\r\n"},
      {"every list at its last item",
       [](auto& t) {
         for (int i = 0; i < 10; ++i) t.list(i)->setCurrentIndex(t.list(i)->count() - 1);
         t.template find<QComboBox>("cmbOCT")->setCurrentIndex(2);
       },
       "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n@{ 7, 1,15,15,15,15, 1, 0, 1, 1, 0,\r\n"
       "   7, 1,15,15,15,15, 1, 0, 1, 1, 0, 3}\r\n"},
  };
  for (const Case& c : cases) {
    ToneHarness t;
    // What the clipboard held goes, rich formats and all.
    auto* old = new QMimeData;
    old->setHtml("<b>old</b>");
    old->setText("old");
    clipboard->setMimeData(old);
    c.set(t);
    QCOMPARE(t.copy() + c.what, c.text + c.what);
    QCOMPARE(clipboard->mimeData()->formats(), QStringList({"text/plain"}));
  }
}

void ToneEditorTest::copiedTextPastedIntoAPartBuilds() {
  ToneHarness t;
  // The boxes paste one line of text, and nothing from a clipboard without text.
  QGuiApplication::clipboard()->setMimeData(new QMimeData);
  QTest::keyClick(t.box(9), Qt::Key_V, Qt::ControlModifier);
  QGuiApplication::clipboard()->setText("1\r\n2");
  t.box(9)->setFocus();
  QTest::keyClick(t.box(9), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(t.box(9)->text(), QString("1"));  // modulator TL 63
  t.list(0)->setCurrentIndex(1);
  t.copy();

  QPlainTextEdit* part = t.h.part(2);
  t.h.tabs()->setCurrentIndex(2);
  QApplication::setActiveWindow(t.h.window.get());
  part->setFocus();
  QTest::keyClicks(part, "O4");
  QTest::keyClick(part, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClicks(part, "C");
  auto built = BuildSong(t.h.window->currentSong());
  QVERIFY2(built.has_value(), built ? "" : built.error().message.c_str());
  QVERIFY(built->compiled.state.toneDefined[2]);
  // Carrier ML 1 in its byte's top bits; modulator TL 63 in its group.
  const ToneDefinitionBytes slot = built->compiled.state.toneDefinition[2];
  QCOMPARE(QList<int>({slot[0], slot[5] >> 5, (slot[3] << 8 | slot[4]) >> 4 & 63}),
           QList<int>({0x41, 1, 63}));
}

}  // namespace chwr::gui

QTEST_MAIN(chwr::gui::ToneEditorTest)
#include "tone_editor_test.moc"

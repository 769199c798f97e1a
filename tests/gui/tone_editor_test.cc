// The tone editor as the user meets it: opened from the main window's menu, its lists
// and boxes, the keys that walk through them, and the text
// its copy button leaves on the clipboard, pasted into a part and built. The text's
// columns and numbers have the core's tests; these prove the window feeds them.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
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
    return In<T>(editor(), name);
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
  void enterAndTheBoxArrowsMoveTheFocus();
  void aBoxThatGetsTheFocusSelectsItsText();
  void copyPutsTheDefinitionOnTheClipboard();
  void aBoxPastesOneLineOfText();
  void aBoxOutOfRangeIsMarkedAsTheUserTypes();
  void theMarkReadsOnLightAndDarkColours();
  void copyingValuesOutOfRangeSaysSoInTheWindow();
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

// The starting values' text has the out-of-range test below.
void ToneEditorTest::copyPutsTheDefinitionOnTheClipboard() {
  ToneHarness t;
  // What the clipboard held goes, rich formats and all.
  auto* old = new QMimeData;
  old->setHtml("<b>old</b>");
  old->setText("old");
  QGuiApplication::clipboard()->setMimeData(old);
  // Every list but SU's at its last item (so no two-item list reads as another), TL -100
  // typed, DR and FB from an input method.
  for (int i = 0; i < 10; ++i) t.list(i)->setCurrentIndex(i % 5 == 3 ? 0 : t.list(i)->count() - 1);
  t.find<QComboBox>("cmbOCT")->setCurrentIndex(2);
  t.type(9, "-100");
  t.compose(1, "１５");
  t.compose(10, "３");
  QCOMPARE(t.copy(),
           "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n@{ 7, 1,15,15,15,15, 0,164, 1, 1, 3,\r\n"
           "   7, 1,15,15, 1,15, 0, 0, 1, 1, 0, 3}\r\n");
  QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(), QStringList({"text/plain"}));
}

// What the copied text builds to has the core's tests; the part boxes' paste, the edit
// tests.
void ToneEditorTest::aBoxPastesOneLineOfText() {
  ToneHarness t;
  // Nothing from a clipboard without text.
  QGuiApplication::clipboard()->setMimeData(new QMimeData);
  QTest::keyClick(t.box(9), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(t.box(9)->text(), QString("64"));
  QGuiApplication::clipboard()->setText("1\r\n2");
  t.box(9)->setFocus();
  QTest::keyClick(t.box(9), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(t.box(9)->text(), QString("1"));
}

namespace {

const QString kSpills = "で指定して下さい。範囲外の値は隣の項目にはみ出します。";

// A box's mark: its tooltip, and whether its base colour is its own rather than the
// window's.
QString Mark(QLineEdit* box) {
  const bool tinted =
      box->palette().color(QPalette::Base) != box->parentWidget()->palette().color(QPalette::Base);
  return (tinted ? "tinted " : "plain ") + box->toolTip();
}

// The relative luminance by which contrast between two colours is measured.
double Luminance(const QColor& c) {
  auto linear = [](double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
  const double x = Luminance(a), y = Luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

}  // namespace

void ToneEditorTest::aBoxOutOfRangeIsMarkedAsTheUserTypes() {
  ToneHarness t;
  for (int i = 0; i <= 10; ++i)
    QCOMPARE(Mark(t.box(i)) + " Text1_" + QString::number(i), "plain  Text1_" + QString::number(i));

  // Key by key: "2" fits the carrier's attack rate, "20" does not, and back.
  t.box(0)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(t.box(0), Qt::Key_2);
  QCOMPARE(Mark(t.box(0)), QString("plain "));
  QTest::keyClick(t.box(0), Qt::Key_0);
  QCOMPARE(Mark(t.box(0)), "tinted 0～15" + kSpills);
  QTest::keyClick(t.box(0), Qt::Key_Backspace);
  QCOMPARE(Mark(t.box(0)), QString("plain "));

  struct Case {
    int box;
    QString typed;
    QString range;  // empty: fits
  };
  // Which values fit has the core's tests; here a few boxes of each kind.
  const Case cases[] = {
      {1, "", "1～16"},  // an empty decay rate writes 16
      {9, "65", "1～64"}, {10, "7", ""}, {10, "8", "0～7"}, {5, "15.6", "0～15"},
  };
  for (const Case& c : cases) {
    t.box(c.box)->setFocus(Qt::OtherFocusReason);
    t.box(c.box)->selectAll();
    QTest::keyClick(t.box(c.box), Qt::Key_Backspace);
    QTest::keyClicks(t.box(c.box), c.typed);
    const QString what = QString(" Text1_%1 \"%2\"").arg(c.box).arg(c.typed);
    QCOMPARE(Mark(t.box(c.box)) + what,
             (c.range.isEmpty() ? QString("plain ") : "tinted " + c.range + kSpills) + what);
  }
  // An input method's full-width digits are read as digits.
  t.compose(3, "１７");
  QCOMPARE(Mark(t.box(3)), "tinted 1～16" + kSpills);
  t.box(3)->setText("１６");
  QCOMPARE(Mark(t.box(3)), QString("plain "));
}

void ToneEditorTest::theMarkReadsOnLightAndDarkColours() {
  const QPalette original = QApplication::palette();
  QPalette dark = original;
  for (auto [role, colour] : {std::pair{QPalette::Window, QColor(53, 53, 53)},
                              {QPalette::WindowText, QColor(240, 240, 240)},
                              {QPalette::Base, QColor(35, 35, 35)},
                              {QPalette::Text, QColor(240, 240, 240)}}) {
    dark.setColor(role, colour);
  }
  QPalette light = original;
  light.setColor(QPalette::Base, Qt::white);
  light.setColor(QPalette::Text, Qt::black);

  ToneHarness t;
  t.type(0, "20");
  for (const auto& [name, palette] : {std::pair{QString("light"), light}, {"dark", dark}}) {
    // Switched while the window is open, as a desktop's theme is.
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();  // the windows hear of it by posted events
    const QColor plain = t.box(1)->palette().color(QPalette::Base);
    const QColor marked = t.box(0)->palette().color(QPalette::Base);
    const QColor text = t.box(0)->palette().color(QPalette::Text);
    QCOMPARE(plain.name() + " " + name, palette.color(QPalette::Base).name() + " " + name);
    // Red, as warnings are, and nearly as dark or light as the box was.
    QVERIFY2(marked.red() > marked.green() + 60 && marked.red() > marked.blue() + 60,
             qPrintable(name + " " + marked.name()));
    QVERIFY2(std::abs(marked.lightness() - plain.lightness()) < 100,
             qPrintable(name + " " + marked.name()));
    // The typed text stays as readable as text on a page must be.
    QVERIFY2(Contrast(text, marked) >= 4.5, qPrintable(name + " " + marked.name()));
  }
  QApplication::setPalette(original);
}

void ToneEditorTest::copyingValuesOutOfRangeSaysSoInTheWindow() {
  ToneHarness t;
  QWidget* note = t.find("lblRANGE");
  QVERIFY(!note->isVisible());
  QCOMPARE(t.copy(), kDefaultText);
  QVERIFY(!note->isVisible());

  // The carrier attack rate 20 and the modulator total level 0 are copied as they are
  // (how, the core's tests say), and named.
  t.type(0, "20");
  t.type(9, "0");
  QVERIFY(t.copy() != kDefaultText);
  QVERIFY(note->isVisible());
  QCOMPARE(qobject_cast<QLabel*>(note)->text(),
           QString("ｺﾋﾟｰした音色定義に範囲外の値が2個あります: ﾓｼﾞｭﾚｰﾀｰのﾄｰﾀﾙﾚﾍﾞﾙ(1～64)、"
                   "ｷｬﾘｱのｱﾀｯｸﾚｰﾄ(0～15)。"));
  // The window makes room for the whole note.
  QVERIFY(t.editor()->rect().contains(note->geometry()));
  QVERIFY(note->height() >= note->heightForWidth(note->width()));

  // Put right and copied again, the note goes.
  t.type(0, "15");
  QVERIFY(note->isVisible());  // until the next copy: it tells of what was copied
  t.type(9, "1");
  t.copy();
  QVERIFY(!note->isVisible());

  // A note left from before the window was closed goes with it.
  t.type(10, "9");
  t.copy();
  QCOMPARE(qobject_cast<QLabel*>(note)->text(),
           QString("ｺﾋﾟｰした音色定義に範囲外の値が1個あります: ﾓｼﾞｭﾚｰﾀｰのﾌｨｰﾄﾞﾊﾞｯｸ(0～7)。"));
  QTest::mouseClick(t.find("cmdCLOSE"), Qt::LeftButton);
  t.h.trigger("mnuSHTONE");
  QVERIFY(t.editor()->isVisible());
  QVERIFY(!note->isVisible());
  QCOMPARE(Mark(t.box(10)), "tinted 0～7" + kSpills);
}

CHWR_GUI_TEST(ToneEditorTest)

}  // namespace chwr::gui
#include "tone_editor_test.moc"

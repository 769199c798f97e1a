// The main window itself: how it starts, the settings it applies and writes, its place
// on the screen, the help and other pages, and Qt's own dialogs in Japanese.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "window_harness.h"
#include "shared/window_placement.h"

namespace chwr::gui {
class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsAnUntitledSongAndFullLists();
  void settingsApplyAtStartAndAreWrittenAtClose();
  void settingsThatCannotBeWrittenAreSaidOnceAtClose();
  void helpMenusOpenPagesOrShowThem();
  void placementKeepsTheWindowWholeOnAScreen();
  void qtDialogsSpeakJapaneseAndNameEachFilterOnce();
};

void WindowTest::startUpShowsAnUntitledSongAndFullLists() {
  Harness h;
  QCOMPARE(h.caption(), kUntitled);
  QVERIFY(!h.window->modified());
  QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI", "cmbTONE", "Text6", "txtMAIL", "stsBAR_panel3"}),
           QStringList({"", "120", "48", "指定なし", "", "", kInitialReport}));

  // The lists' items have the core's tests; here each box gets the right list and
  // shows 28 rows, and each part's volumes carry the part in their item data.
  QComboBox* toneCombo = h.combo("cmbTONE");
  QCOMPARE(QList<int>({h.combo("Text5")->count(), h.combo("cmbBUNKAI")->count(), toneCombo->count(),
                       toneCombo->maxVisibleItems()}),
           QList<int>({13, 2, 129, 28}));
  for (int i = 0; i < 4; ++i) {
    QComboBox* volume = h.combo(QString("Combo2_%1").arg(i));
    QComboBox* tone = h.combo(QString("Combo3_%1").arg(i));
    QCOMPARE(QList<int>({volume->count(), volume->maxVisibleItems(), volume->itemData(4).toInt(),
                         tone->count(), tone->maxVisibleItems(), tone->itemData(131).toInt()}),
             QList<int>({68, 28, i * 64 + 63, 132, 28, 127}));
  }
  // Only the chosen part's page shows.
  h.tabs()->setCurrentIndex(2);
  QVERIFY(h.find("fraPART_2")->isVisible());
  QVERIFY(!h.find("fraPART_0")->isVisible());

  // The protection text is usable only while copy protection is on.
  auto* protect = h.find<QCheckBox>("Check2");
  QVERIFY(!h.find("Text6")->isEnabled());
  QTest::mouseClick(protect, Qt::LeftButton, {}, QPoint(5, protect->height() / 2));
  QVERIFY(h.find("Text6")->isEnabled());
  QVERIFY(h.window->modified());
  protect->click();
  QVERIFY(!h.find("Text6")->isEnabled());
}

void WindowTest::settingsApplyAtStartAndAreWrittenAtClose() {
  QTemporaryDir folder;
  Harness h(
      "[Font]\r\nName=DejaVu Serif\r\nSize=10.5\r\nBold=True\r\nItalic=False\r\n"
      "[Midi]\r\nTime=1\r\nKey=2\r\n[File]\r\nFolder=" +
      folder.path().toUtf8() + "\r\n");
  QVERIFY(h.on("mnuMIDIREPEAT"));
  QCOMPARE(h.octaves(), QList<bool>({false, false, true}));
  const QFont font = h.part(3)->font();
  // A file of an older version, without the effects: none of them.
  QCOMPARE(QVariantList({font.family(), font.pointSize(), font.bold(), font.strikeOut(),
                         font.underline()}),
           QVariantList({"DejaVu Serif", 10, true, false, false}));
  // (The stored folder as the current one at start has the file commands' tests.)

  // A cancelled font dialog changes nothing; a chosen font goes to all four boxes.
  h.trigger("mnuMIDIREPEAT");
  h.trigger("mnuMIDIOCT_0");
  const QFont before = h.part(0)->font();
  QFont chosen("DejaVu Sans");
  chosen.setPointSize(13);
  chosen.setItalic(true);
  chosen.setStrikeOut(true);
  chosen.setUnderline(true);
  h.prompts.fonts = {std::nullopt, chosen};
  h.trigger("mnuFONT");
  QCOMPARE(h.part(2)->font(), before);
  h.trigger("mnuFONT");
  QCOMPARE(h.prompts.fontDialogs, QList<QFont>({before, before}));
  for (int i = 0; i < 4; ++i) QCOMPARE(h.part(i)->font(), chosen);
  QVERIFY(!h.window->modified());

  // Closing writes the menus and the font, without asking.
  QVERIFY(h.window->close());
  QVERIFY(h.prompts.questions.isEmpty());
  QCOMPARE(
      IniValues(h.path("chwr.ini"), {"Midi/Time", "Midi/Key", "Font/Name", "Font/Size", "Font/Bold",
                                     "Font/Italic", "Font/Strikeout", "Font/Underline"}),
      QStringList({"0", "0", "DejaVu Sans", "13", "False", "True", "True", "True"}));
  // The next start brings the whole font back, the dialog's effects included.
  {
    Harness again(ReadAll(h.path("chwr.ini")));
    const QFont restored = again.part(1)->font();
    QCOMPARE(QVariantList({restored.family(), restored.pointSize(), restored.italic(),
                           restored.strikeOut(), restored.underline()}),
             QVariantList({"DejaVu Sans", 13, true, true, true}));
  }

  // A stored folder that is gone is no reason not to start.
  const QString cwd = QDir::currentPath();
  Harness gone("[File]\r\nFolder=" + folder.path().toUtf8() + "/missing\r\n");
  QCOMPARE(gone.caption(), kUntitled);
  QCOMPARE(QDir::currentPath(), cwd);
}

void WindowTest::settingsThatCannotBeWrittenAreSaidOnceAtClose() {
  const QByteArray ini = "[Midi]\r\nTime=0\r\n";
  Harness h(ini);
  QVERIFY(QFile::setPermissions(h.path("chwr.ini"), QFileDevice::ReadOwner |
                                                        QFileDevice::ReadUser |
                                                        QFileDevice::ReadGroup |
                                                        QFileDevice::ReadOther));
  h.trigger("mnuMIDIREPEAT");
  // The program closes all the same, after one message naming the file and the reason.
  QVERIFY(h.window->close());
  QCOMPARE(h.prompts.messages.size(), 1);
  const ScriptedPrompts::ShownMessage& m = h.prompts.messages.last();
  QCOMPARE(QPair(m.text, m.kind), QPair(QString("設定を保存できませんでした。"), DiagnosticKind::Error));
  QCOMPARE(m.detail, h.path("chwr.ini") + "\nｱｸｾｽが許可されていません。");
  QCOMPARE(ReadAll(h.path("chwr.ini")), ini);
}

void WindowTest::helpMenusOpenPagesOrShowThem() {
  Harness h;
  WriteAll(h.path("chwr.html"), "<html><body>help</body></html>");
  h.trigger("mnuHELP");
  h.trigger("mnuSAPORT");
  h.trigger("mnuIMODE");
  QCOMPARE(h.prompts.urls,
           QList<QUrl>({QUrl::fromLocalFile(h.path("chwr.html")),
                        QUrl(WindowEnvironment{}.supportUrl), QUrl(WindowEnvironment{}.imodeUrl)}));
  QVERIFY(h.prompts.messages.isEmpty());

  // Without a browser the page's address is shown instead, to be copied from the box.
  const QString noBrowser = "ﾌﾞﾗｳｻﾞを起動できませんでした。下のｱﾄﾞﾚｽをｺﾋﾟｰしてご利用ください。";
  h.prompts.urlsOpen = false;
  h.trigger("mnuSAPORT");
  h.trigger("mnuIMODE");
  QCOMPARE(h.prompts.messages.size(), 2);
  for (const ScriptedPrompts::ShownMessage& m : h.prompts.messages) {
    QCOMPARE(QPair(m.text, m.kind), QPair(noBrowser, DiagnosticKind::Warning));
  }
  const QString support = WindowEnvironment{}.supportUrl;
  QCOMPARE(QStringList({h.prompts.messages[0].detail, h.prompts.messages[1].detail}),
           QStringList({support, WindowEnvironment{}.imodeUrl}));
  auto box = MakeMessageBox(nullptr, noBrowser, DiagnosticKind::Warning, support);
  auto* address = box->findChild<QLabel*>("qt_msgbox_informativelabel");
  QVERIFY(address != nullptr);
  QGuiApplication::clipboard()->clear();
  address->setSelection(0, int(support.size()));
  QTest::keyClick(address, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QGuiApplication::clipboard()->text(), support);

  // The about box is a modal box of its own.
  QString about;
  QTimer::singleShot(0, [&about] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      about = modal->findChild<QLabel*>("qt_msgbox_label")->text();
      modal->close();
    }
  });
  h.trigger("mnuVER");
  QVERIFY2(about.contains("Chimewright Ver1.21"), qPrintable(about));

  // Without a browser the help page shows in the program; without the page there is
  // nothing to show: the read message names it.
  QFile::remove(h.path("chwr.html"));
  h.prompts.messages.clear();
  h.trigger("mnuHELP");
  QCOMPARE(h.lastMessage(), "Error: " + kReadFailed);
  QVERIFY(h.prompts.messages.last().detail.startsWith(h.path("chwr.html") + "\n"));
  QVERIFY(h.window->findChild<QTextBrowser*>("txtHELP") == nullptr);
  WriteAll(h.path("chwr.html"), "<html><body><h1>使い方</h1><p>F1-F4: mute</p></body></html>");
  h.trigger("mnuHELP");
  auto* browser = h.window->findChild<QTextBrowser*>("txtHELP");
  QVERIFY(browser != nullptr);
  QVERIFY(browser->window()->isVisible());
  QCOMPARE(browser->window()->windowTitle(), QString("ﾍﾙﾌﾟ"));
  QVERIFY2(browser->toPlainText().contains("使い方"), qPrintable(browser->toPlainText()));
  QCOMPARE(h.prompts.urls.size(), 6);
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

void WindowTest::placementKeepsTheWindowWholeOnAScreen() {
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

void WindowTest::qtDialogsSpeakJapaneseAndNameEachFilterOnce() {
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

CHWR_GUI_TEST(WindowTest)

}  // namespace chwr::gui

#include "window_test.moc"

// The editor window driven as a user drives it: controls found by name, keys typed,
// menu actions triggered, dialogs answered by ScriptedPrompts, and the files, the
// clipboard and the window's texts checked afterwards. Playback runs a fake player
// whose clock the test turns, and the position timer ticks when the test fires it. The
// bytes of song, MLD and MIDI files have the core's own tests, the real player its
// own; these prove the window wires the right things to them.

#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "window_harness.h"

namespace chwr::gui {

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsAnUntitledSongAndFullLists();
  void settingsApplyAtStartAndAreWrittenAtClose();
  void keysToggleMutesAndConvertCase();
  void newAndClosingAskOnlyAboutUnsavedChanges();
  void saveWritesTheSongFileAndOpenReadsItBack();
  void openReplacesTheSongOnlyWithASong();
  void openDispatchesOnTheFileKind();
  void compileErrorSelectsTheOffendingText();
  void extraToneValuesWarnAndSelectTheDefinition();
  void buildCommandsWriteMldMidiAndMail();
  void smdCommandSaysWhatTheFileCannotHold();
  void openingAnSmdFileSaysWhatItHolds();
  void midiMenusChangeTheMidiFile();
  void playbackFollowsTheSliderAndStops();
  void mutedPlaybackEndsAndResetPlaysTheResetFile();
  void mutesReachThePlaybackAtOnceAndOtherSettingsTheNextOne();
  void sliderJumpsWhereClickedAndKeysSeek();
  void playbackFailuresAreShownAndPlayingGoesOn();
  void helpMenusOpenPages();
  void pasteTakesOnlyTheClipboardsPlainText();
};

void MainWindowTest::startUpShowsAnUntitledSongAndFullLists() {
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
    QCOMPARE(QStringList({volume->currentText(), tone->currentText(), tone->itemText(4)}),
             QStringList({"A", "B", "1   Piano 1"}));
  }
  // Only the chosen part's page shows.
  h.tabs()->setCurrentIndex(2);
  QVERIFY(h.find("fraPART_2")->isVisible());
  QVERIFY(!h.find("fraPART_0")->isVisible());

  QCOMPARE(h.find("Text3")->toolTip(), QString("曲ﾀｲﾄﾙ名"));
  QCOMPARE(h.find("cmbBUNKAI")->toolTip(), QString("4分音符の分解能(ｽﾃｯﾌﾟ数)"));
  QCOMPARE(h.find("txtMAIL")->toolTip(), QString("メールに貼り付けて下さい。"));
  QCOMPARE(h.find("Combo3_2")->toolTip(), QString("D502i：A(長)-C(短) / N502i：1-128"));

  // Without a settings file: octave "普通", no repeat.
  QCOMPARE(h.octaves(), QList<bool>({false, true, false}));
  QVERIFY(!h.on("mnuMIDIREPEAT"));

  // The protection text is usable only while copy protection is on.
  auto* protect = h.find<QCheckBox>("Check2");
  QVERIFY(!h.find("Text6")->isEnabled());
  QTest::mouseClick(protect, Qt::LeftButton, {}, QPoint(5, protect->height() / 2));
  QVERIFY(h.find("Text6")->isEnabled());
  QVERIFY(h.window->modified());
  protect->click();
  QVERIFY(!h.find("Text6")->isEnabled());
}

void MainWindowTest::settingsApplyAtStartAndAreWrittenAtClose() {
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
  QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
           QFileInfo(folder.path()).canonicalFilePath());

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
  QSettings ini(h.path("chwr.ini"), QSettings::IniFormat);
  QStringList written;
  for (const char* key :
       {"Midi/Time", "Midi/Key", "Font/Name", "Font/Size", "Font/Bold", "Font/Italic",
        "Font/Strikeout", "Font/Underline"}) {
    written << ini.value(key).toString();
  }
  QCOMPARE(written,
           QStringList({"0", "0", "DejaVu Sans", "13", "False", "True", "True", "True"}));
  // The next start brings the whole font back, the dialog's effects included.
  {
    Harness again(ReadAll(h.path("chwr.ini")));
    const QFont restored = again.part(1)->font();
    QCOMPARE(QVariantList({restored.family(), restored.pointSize(), restored.italic(),
                           restored.strikeOut(), restored.underline()}),
             QVariantList({"DejaVu Sans", 13, true, true, true}));
  }

  // A stored folder that is gone is no reason not to start. Repeat turned on is
  // written as such.
  const QString cwd = QDir::currentPath();
  Harness gone("[File]\r\nFolder=" + folder.path().toUtf8() + "/missing\r\n");
  QCOMPARE(gone.caption(), kUntitled);
  QCOMPARE(QDir::currentPath(), cwd);
  gone.trigger("mnuMIDIREPEAT");
  QVERIFY(gone.window->close());
  QCOMPARE(QSettings(gone.path("chwr.ini"), QSettings::IniFormat).value("Midi/Time").toString(),
           QString("1"));
}

void MainWindowTest::keysToggleMutesAndConvertCase() {
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

  // Any character typed counts as an edit, also in boxes that are not the song's.
  QTest::keyClicks(h.find("txtMAIL"), "x");
  QVERIFY(h.window->modified());

  // D and U alone are typing; with Ctrl they convert all four parts.
  QTest::keyClicks(h.find("Text3"), "du");
  QTest::keyClicks(h.part(0), "cdu");
  h.set({{"Text1_1", "o4 c\nr"}, {"Text1_3", "Rd"}});
  QTest::keyClick(h.part(0), Qt::Key_U, Qt::ControlModifier);
  QCOMPARE(h.parts(), QStringList({"CDU", "O4 C\nR", "", "RD"}));
  QTest::keyClick(h.part(2), Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(h.parts(), QStringList({"cdu", "o4 c\nr", "", "rd"}));
  QCOMPARE(h.text("Text3"), QString("du"));
}

void MainWindowTest::newAndClosingAskOnlyAboutUnsavedChanges() {
  Harness h;
  h.trigger("mnuNEW");
  QVERIFY(h.prompts.questions.isEmpty());

  QTest::keyClicks(h.part(0), "CDE");
  h.prompts.answers = {Answer::Cancel};
  h.trigger("NEW");
  QCOMPARE(h.prompts.questions, QStringList({kDiscardQuestion}));
  QCOMPARE(h.text("Text1_0"), QString("CDE"));
  QVERIFY(h.window->modified());

  // Yes for an untitled song asks for a file; cancelling that stops New.
  h.prompts.answers = {Answer::Yes};
  h.prompts.files = {""};
  h.trigger("mnuNEW");
  QVERIFY(h.prompts.dialogs[0].kind == ScriptedPrompts::DialogKind::Save);
  QCOMPARE(Entries(h.prompts.dialogs[0].dialog),
           QStringList({"Text File(*.txt)", "*.txt", "無題.txt", ".txt"}));
  QCOMPARE(h.text("Text1_0"), QString("CDE"));

  // Yes with a name: the song is saved (extension added), then New goes on.
  h.prompts.answers = {Answer::Yes};
  h.triggerWithFile("mnuNEW", "first");
  QVERIFY(ReadAll(h.path("first.txt")).contains("\r\nCDE\r\n"));
  QCOMPARE(h.text("Text1_0"), QString());
  QCOMPARE(h.caption(), kUntitled);

  // No discards: every field back to a new song's, mutes kept.
  h.set({{"Text3", "title"}, {"Text5", "150"}, {"Combo2_2", "40"}, {"Combo3_1", "A"}});
  h.set({{"Check2", "1"}, {"Text6", "x"}, {"cmbBUNKAI", "24"}, {"Text1_3", "C"}});
  h.set({{"Check1_2", "1"}});
  h.trigger("mnuMAIL");  // fills the mail box and the size report
  h.tabs()->setCurrentIndex(3);
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI", "Text6", "txtMAIL", "stsBAR_panel3", "Combo2_2",
                    "Combo3_1", "Text1_3"}),
           QStringList({"", "120", "48", "", "", kInitialReport, "A", "B", ""}));
  QVERIFY(!h.on("Check2"));
  QVERIFY(!h.find("Text6")->isEnabled());
  QCOMPARE(h.tabs()->tabText(2), QString("ﾊﾟｰﾄ3(ﾐｭｰﾄ)"));
  QCOMPARE(h.tabs()->currentIndex(), 0);
  QVERIFY(!h.window->modified());

  // Closing: Cancel keeps the window, No closes it; the menu item goes the same way.
  QTest::keyClicks(h.part(1), "R");
  h.prompts.answers = {Answer::Cancel, Answer::Cancel, Answer::No};
  h.trigger("mnuEND");
  QVERIFY(!h.window->close());
  QVERIFY(h.window->isVisible());
  QVERIFY(h.window->close());
  QVERIFY(!h.window->isVisible());
  QCOMPARE(h.prompts.questions.size(), 7);
}

void MainWindowTest::saveWritesTheSongFileAndOpenReadsItBack() {
  Harness h;
  const QList<QPair<QString, QString>> song = {
      {"Text3", "テスト"},         {"Combo3_1", "A"}, {"Combo2_1", "40"},
      {"Combo3_3", "1   Piano 1"}, {"Check2", "1"},   {"Text6", "ABC"},
      {"Text1_0", "CDE\nFGA"},     {"Text1_3", "R"},  {"Text5", ""}};
  h.set(song);
  h.triggerWithFile("SAVE", "song");
  const QString path = h.path("song.txt");
  QCOMPARE(ReadAll(path),
           "qrv\r\n\x83\x65\x83\x58\x83\x67\r\n@120\r\nB\r\nA\r\nB\r\nA\r\n40\r\nA\r\n"
           "CDE`FGA\r\n\r\n\r\n1\r\nABC\r\n 1 \r\n1   Piano 1\r\nA\r\nR\r\n");
  QCOMPARE(h.caption(), path + kCaptionSuffix);
  QVERIFY(!h.window->modified());

  // A song with a path is saved again without a dialog, also when New asks.
  h.set({{"Text1_0", "CDE\nFGA\nB"}});
  h.prompts.answers = {Answer::Yes};
  h.trigger("mnuNEW");
  QCOMPARE(h.prompts.dialogs.size(), 1);
  QVERIFY(ReadAll(path).contains("CDE`FGA`B\r\n"));
  QCOMPARE(h.caption(), kUntitled);

  h.triggerWithFile("READ", "song.txt");
  QVERIFY(h.prompts.dialogs.last().kind == ScriptedPrompts::DialogKind::Open);
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid)",
                        "*.txt;*.mld;*.smd;*.mid", "", ""}));
  for (const auto& [name, value] : song) {
    if (name != "Check2" && name != "Text5" && name != "Text1_0") QCOMPARE(h.text(name), value);
  }
  QCOMPARE(h.texts({"Text5", "Text1_0"}), QStringList({"120", "CDE\nFGA\nB"}));
  QVERIFY(h.find("Text6")->isEnabled());
  QCOMPARE(h.caption(), path + kCaptionSuffix);
  QVERIFY(!h.window->modified());

  // Save As: cancelling changes nothing; a name makes it the song's file.
  h.prompts.files = {""};
  h.trigger("mnuSAVENAME");
  QCOMPARE(h.window->documentPath(), path);
  h.triggerWithFile("mnuSAVENAME", "copy.TXT");
  QCOMPARE(h.caption(), h.path("copy.TXT") + kCaptionSuffix);
  QCOMPARE(ReadAll(h.path("copy.TXT")), ReadAll(path));

  // Quotes around a path handed over are not part of it.
  h.window->NewSong();
  h.window->OpenPath("\"" + path + "\"");
  QCOMPARE(h.window->documentPath(), path);
  QCOMPARE(h.text("Text3"), QString("テスト"));
}

void MainWindowTest::openReplacesTheSongOnlyWithASong() {
  Harness h;
  WriteAll(h.path("good.txt"), SongFile({"qrv", "Good", "@96", "B", "B", "B", "A", "A", "A", "CDE",
                                         "", "", "0", "", " 1 ", "B", "A", "G"}));
  WriteAll(h.path("bad.txt"), SongFile({"QRV", "Bad", "@60"}));
  h.window->OpenPath(h.path("good.txt"));
  h.triggerWithFile("mnuREAD", "bad.txt");
  QCOMPARE(h.lastMessage(), QString("Error: ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"));
  QCOMPARE(h.caption(), h.path("good.txt") + kCaptionSuffix);
  QCOMPARE(h.texts({"Text3", "Text5", "Text1_3"}), QStringList({"Good", "96", "G"}));

  // So the next Save still goes to the song's own file.
  h.set({{"Text3", "Better"}});
  h.trigger("mnuSAVE");
  QVERIFY(ReadAll(h.path("good.txt")).startsWith("qrv\r\nBetter\r\n@96\r\n"));
  QVERIFY(ReadAll(h.path("bad.txt")).startsWith("QRV"));

  // A file of three parts at 24 steps a quarter leaves part 4 empty and rescales
  // nothing. A tempo that is no number is built as 120 and shown so; that is no edit.
  WriteAll(h.path("three.txt"), SongFile({"qrv", "", "@fast", "B", "B", "B", "A", "A", "A", "C*25",
                                          "L*50D", "E*7", "0", "", " 0 "}));
  h.window->OpenPath(h.path("three.txt"));
  QCOMPARE(h.texts({"cmbBUNKAI", "Text5"}), QStringList({"24", "fast"}));
  QCOMPARE(h.parts(), QStringList({"C*25", "L*50D", "E*7", ""}));
  h.triggerWithFile("mnuMLD", "three.mld");
  QCOMPARE(h.text("Text5"), QString("120"));
  QVERIFY(!h.window->modified());

  // A change by the user keeps the time of every absolute length, in all parts.
  h.set({{"Text1_3", "L*50D\nE*7"}});
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(h.parts(), QStringList({"C*50", "L*100D", "E*14", "L*100D\nE*14"}));
  QVERIFY(h.window->modified());
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(h.parts(), QStringList({"C*25", "L*50D", "E*7", "L*50D\nE*7"}));

  // A file that cannot be written is reported.
  h.triggerWithFile("mnuMLD", "missing/three.mld");
  QCOMPARE(h.lastMessage(), QString("Error: ﾌｧｲﾙ書き込みに失敗しました。"));

  // Dropping files on a part opens the first one only.
  h.prompts.answers = {Answer::No};
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(h.path("good.txt")), QUrl::fromLocalFile(h.path("bad.txt"))});
  QWidget* viewport = h.part(1)->viewport();
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  QCOMPARE(h.window->documentPath(), h.path("good.txt"));
  QCOMPARE(h.text("Text3"), QString("Better"));
  QCOMPARE(h.prompts.messages.size(), 2);
}

void MainWindowTest::openDispatchesOnTheFileKind() {
  Harness h;
  h.set({{"Text3", "Kept"}, {"Text1_0", "L8 O4 CDEFGAB"}});
  h.triggerWithFile("mnuMLD", "tune.mld");
  const QByteArray mld = ReadAll(h.path("tune.mld"));
  QVERIFY(mld.startsWith("melo"));

  // A MIDI file, whatever the case of its extension, goes to the import dialog after the
  // question; one that cannot be read is reported and changes nothing.
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("X.MiD"));
  QCOMPARE(h.lastMessage(), QString("Error: ﾌｧｲﾙ読み込みに失敗しました。"));
  QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"Kept", "L8 O4 CDEFGAB"}));

  // An MLD file gives an untitled song; the mutes stay as they are.
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  h.set({{"Check1_1", "1"}});
  h.window->OpenPath(h.path("tune.mld"));
  QCOMPARE(h.prompts.messages.size(), 1);
  QVERIFY(h.on("Check1_1"));
  QCOMPARE(h.text("Text3"), QString("Kept"));
  QCOMPARE(h.caption(), kUntitled);
  QVERIFY(!h.window->modified());

  // The read song builds to the same image; the dialogs offer names beside the file.
  h.triggerWithFile("mnuMLD", "again.mld");
  QCOMPARE(ReadAll(h.path("again.mld")), mld);
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("tune.mld"));
  h.prompts.files = {""};
  h.trigger("mnuSAVE");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("tune.txt"));

  // An SMD file too gives an untitled song: Save asks instead of writing over it.
  QFile smd(h.path("song.smd"));
  QVERIFY(smd.open(QIODevice::WriteOnly));
  smd.write("\x1B$Df\x0F");  // O4C4 as one part
  smd.close();
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("song.smd"));
  QVERIFY(h.text("Text1_0").contains("C4"));
  QCOMPARE(h.caption(), kUntitled);
  h.prompts.files = {""};
  h.trigger("mnuSAVE");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("song.txt"));
  QCOMPARE(ReadAll(h.path("song.smd")), QByteArray("\x1B$Df\x0F"));
}

void MainWindowTest::extraToneValuesWarnAndSelectTheDefinition() {
  Harness h;
  h.set({{"Text1_2", "C4\n@{1,0,15,7,4,2,0,20,0,0,5,\n1,1,15,7,4,2,0,0,0,0,0,3,9,9}C4"}});
  h.tabs()->setCurrentIndex(0);
  h.prompts.files = {""};  // the save dialog is cancelled
  h.trigger("mnuMLD");
  QCOMPARE(
      h.lastMessage(),
      QString("Warning: ﾊﾟｰﾄ3 (2行目) の音色定義は数値が25個あります。24個目からは使われません。"));
  QCOMPARE(h.tabs()->currentIndex(), 2);
  QCOMPARE(h.part(2)->textCursor().selectedText(), QString("@{"));
  // The song was built all the same: the save dialog came after the warning.
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog).first(), QString("Mld File(*.mld)"));
}

void MainWindowTest::compileErrorSelectsTheOffendingText() {
  Harness h;
  h.set({{"Text1_0", "L8 CDE"}, {"Text1_1", "cde\nfga\nab o7c"}});
  QGuiApplication::clipboard()->setText("untouched");
  for (const char* command : {"mnuMLD", "mnuMAIL", "PLAY", "mnuMIDIMAKE"}) {
    h.tabs()->setCurrentIndex(3);
    h.part(1)->moveCursor(QTextCursor::Start);
    h.trigger(command);
    QCOMPARE(h.tabs()->currentIndex(), 1);
    QCOMPARE(h.part(1)->textCursor().selectedText(), QString("o7"));
    QCOMPARE(h.lastMessage(), QString("Error: ﾊﾟｰﾄ2 (3行目) に(O命令)構文ｴﾗｰがあります。"));
  }
  // Nothing was built, asked, copied or played.
  QCOMPARE(h.prompts.messages.size(), 4);
  QVERIFY(h.prompts.dialogs.isEmpty());
  QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), QStringList({"", kInitialReport}));
  QVERIFY(h.window->player() == nullptr);
}

void MainWindowTest::buildCommandsWriteMldMidiAndMail() {
  Harness h;
  WriteAll(h.path("Tune.txt"),
           SongFile({"qrv", "Mail", "@120", "B", "A", "B", "A", "40", "A", "L8 O4 CDEFGAB",
                     "L4 O3 CEG", "", "0", "", " 1 ", "B", "A", ""}));
  h.window->OpenPath(h.path("Tune.txt"));

  // The dialogs propose the song's own name, in lower case; the report gives the
  // MLD file's size and the steps of each part.
  h.triggerWithFile("MLD", "out");
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Mld File(*.mld)", "*.mld", h.path("tune.mld"), ".mld"}));
  const QByteArray mld = ReadAll(h.path("out.mld"));
  QVERIFY(mld.startsWith("melo"));
  const QString report = h.text("stsBAR_panel3");
  const QRegularExpressionMatch sizes =
      QRegularExpression("^(\\d+)ﾊﾞｲﾄ  ﾊﾟｰﾄ1：(\\d+) .*ﾊﾟｰﾄ4：0 ").match(report);
  QVERIFY2(sizes.hasMatch(), qPrintable(report));
  QCOMPARE(QList<qsizetype>({sizes.captured(1).toLongLong(), sizes.captured(2).toInt()}),
           QList<qsizetype>({mld.size(), 7 * 24}));

  h.triggerWithFile("mnuMIDIMAKE", "out");
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Midi File(*.mid)", "*.mid", h.path("tune.mid"), ".mid"}));
  QVERIFY(ReadAll(h.path("out.mid")).startsWith("MThd"));
  QVERIFY(h.prompts.messages.isEmpty());

  // Melody mail: marker, line break, base64 of the image, on the clipboard and in the box.
  h.trigger("MAIL");
  const QString mail = QGuiApplication::clipboard()->text();
  QCOMPARE(mail, "--B:M\r\n" + mld.toBase64());
  QCOMPARE(h.text("txtMAIL"), mail);
  QCOMPARE(h.lastMessage(),
           QString("Information: ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾒｰﾙ(%1ﾊﾞｲﾄ)を保存しました。ﾒｰﾙ本文に貼り付けて下さい。"
                   "\r\n\r\n(注意：最後の行に改行は入れないで下さい。)")
               .arg(mail.size()));

  // Reading it back gives an untitled song that builds to the same mail.
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  QGuiApplication::clipboard()->setText(mail + "\r\n");
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.texts({"Text3", "Combo2_1"}), QStringList({"Mail", "40"}));
  QCOMPARE(h.caption(), kUntitled);
  QVERIFY(!h.window->modified());
  h.trigger("mnuMAIL");
  QCOMPARE(QGuiApplication::clipboard()->text(), mail);

  // With unsaved changes the clipboard read asks first.
  QTest::keyClicks(h.find("Text3"), "!");
  h.prompts.answers = {Answer::Cancel};
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.prompts.questions.last(), kDiscardQuestion);
  QCOMPARE(h.text("Text3"), QString("Mail!"));

  // The SMD file: what SMD cannot express in one warning box, then the file beside the song.
  h.set({{"Text1_0", "O4C4 O1C4 C*36"}, {"Text1_1", ""}});
  const int shown = h.prompts.messages.size();
  h.triggerWithFile("mnuMAKESMD", "out");
  QCOMPARE(h.prompts.messages.size(), shown + 1);
  QCOMPARE(h.lastMessage(),
           QString("Warning: 発音範囲（O1A～O5F+）外の音符が存在しました。休符に置き換えられます。"
                   "\r\n\r\n不定な絶対音長が存在しました。正常に演奏されない場合があります。"));
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Smd File(*.smd)", "*.smd", "無題.smd", ".smd"}));  // read from mail
  QCOMPARE(ReadAll(h.path("out.smd")), QByteArray("\x1B$Df%%\x0F"));
  // The next SMD dialog offers the file just written.
  h.prompts.files = {""};
  h.trigger("mnuMAKESMD");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("out.smd"));
}

// Every warning of the SMD build in the one box before the save dialog; the bytes and
// the exact texts have the core's and chwr's tests.
void MainWindowTest::smdCommandSaysWhatTheFileCannotHold() {
  Harness h;
  const QString shortLength =
      "32分・64分音符(16分音符の付点を含む)が存在しました。別の長さに置き換えられます。";
  h.set({{"Text1_0", "O4C4 O1C4 O4C32"}, {"Text5", "300"}});
  h.triggerWithFile("mnuMAKESMD", "short.smd");
  QCOMPARE(h.prompts.messages.size(), 1);
  QCOMPARE(h.lastMessage(),
           "Warning: ﾃﾝﾎﾟ 300 は SMD では 120 になります。1～255で指定して下さい。\r\n\r\n"
           "発音範囲（O1A～O5F+）外の音符が存在しました。休符に置き換えられます。\r\n\r\n" +
               shortLength);
  QCOMPARE(ReadAll(h.path("short.smd")), QByteArray("\x1B$Df%f\x0F"));

  // A part longer than a song may be: the refusal, and no save dialog.
  QString whole;
  for (int i = 0; i < 261; ++i) whole += "C1";
  h.set({{"Text1_0", "C4"}, {"Text1_2", whole}, {"Text5", "120"}});
  const int dialogs = h.prompts.dialogs.size();
  h.trigger("mnuMAKESMD");
  QCOMPARE(h.lastMessage(),
           QString("Error: ﾊﾟｰﾄ3 のｽﾃｯﾌﾟ数(50112)が多すぎます。1曲は50000ｽﾃｯﾌﾟまでです。"));
  QCOMPARE(h.prompts.dialogs.size(), dialogs);

  // A song without a note or rest: the warning, and no save dialog.
  h.set({{"Text1_0", "V10"}, {"Text1_2", ""}});
  h.trigger("mnuMAKESMD");
  QCOMPARE(h.lastMessage(), QString("Warning: 音符も休符もないため、SMDﾌｧｲﾙは作成できません。"));
  QCOMPARE(h.prompts.dialogs.size(), dialogs);
}

// What the SMD reader says reaches the window, as chwr prints it.
void MainWindowTest::openingAnSmdFileSaysWhatItHolds() {
  Harness h;
  h.set({{"Text3", "Kept"}, {"Text1_0", "O4C4"}});
  WriteAll(h.path("empty.smd"), {});
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("empty.smd"));
  QCOMPARE(h.lastMessage(),
           QString("Warning: ﾌｧｲﾙが空(0ﾊﾞｲﾄ)のため、空の曲として読み込みました。"));
  QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"", ""}));
  QCOMPARE(h.caption(), kUntitled);

  // An MLD file under an SMD or a MIDI name is named and changes nothing: no garbage
  // title, no import dialog.
  h.set({{"Text3", "Kept"}, {"Text1_0", "O4C4"}});
  h.triggerWithFile("mnuMLD", "song.mld");
  QFile::copy(h.path("song.mld"), h.path("x.smd"));
  QFile::copy(h.path("song.mld"), h.path("x.mid"));
  const QStringList messages = {"Error: ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。",
                                "Error: SMF ﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。"};
  const QStringList names = {"x.smd", "x.mid"};
  for (int i = 0; i < names.size(); ++i) {
    h.prompts.answers = {Answer::No};
    h.window->OpenPath(h.path(names[i]));
    QCOMPARE(h.lastMessage(), messages[i]);
    QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"Kept", "O4C4"}));
    QVERIFY(h.window->findChildren<QDialog*>("Form3").isEmpty());
  }
}

void MainWindowTest::midiMenusChangeTheMidiFile() {
  Harness h;
  h.set({{"Text1_0", "L8 O4 CDEFGAB"}, {"Text1_1", "L4 O3 CEG"}});
  int made = 0;
  auto midiFile = [&h, &made] {
    const QString name = QString("%1.mid").arg(++made);
    h.triggerWithFile("mnuMIDIMAKE", name);
    return ReadAll(h.path(name));
  };
  // The octave menu moves every key by an octave: the first difference is 12.
  auto firstDifference = [](const QByteArray& a, const QByteArray& b) {
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
      if (a[i] != b[i]) return quint8(a[i]) - quint8(b[i]);
    }
    return 0;
  };
  const QByteArray normal = midiFile();
  QCOMPARE(normal.count("MTrk"), 3);
  h.trigger("mnuMIDIOCT_0");
  QCOMPARE(h.octaves(), QList<bool>({true, false, false}));
  QCOMPARE(firstDifference(midiFile(), normal), 12);
  h.trigger("mnuMIDIOCT_2");
  QCOMPARE(firstDifference(normal, midiFile()), 12);
  h.trigger("mnuMIDIOCT_1");
  QCOMPARE(midiFile(), normal);

  // Repeat plays every track's events twice.
  h.trigger("mnuMIDIREPEAT");
  QVERIFY(midiFile().size() > normal.size() + 20);
  h.trigger("mnuMIDIREPEAT");
  QCOMPARE(midiFile(), normal);

  // A muted part has no track.
  h.set({{"Check1_1", "1"}});
  QCOMPARE(midiFile().count("MTrk"), 2);
}

void MainWindowTest::playbackFollowsTheSliderAndStops() {
  Harness h;
  h.set({{"Text1_0", kLongSong}});
  QSlider* slider = h.slider();
  h.trigger("mnuPLAY");
  QVERIFY(h.playing());
  QCOMPARE(h.window->player(), h.player);
  const QByteArray song = ReadAll(h.path("cache/dummy.mid"));
  QVERIFY(song.startsWith("MThd"));
  QCOMPARE(h.newCalls(), QStringList({QString("Open %1").arg(song.size()), "Play"}));
  QCOMPARE(QList<int>({slider->value(), slider->maximum()}), QList<int>({0, 12000}));

  // The window goes on working while the song plays, and the slider follows each tick.
  QTest::keyClicks(h.find("Text3"), "playing");
  h.player->Advance(1500);
  h.tick();
  QCOMPARE(slider->value(), 1500);
  QCOMPARE(h.text("Text3"), QString("playing"));
  QVERIFY(h.playing());

  // Holding the slider pauses; releasing it plays on from where it was let go.
  slider->setSliderDown(true);
  QVERIFY(!h.timer()->isActive());
  QCOMPARE(h.mode(), QString("PAUSED"));
  h.player->Advance(400);
  QCOMPARE(slider->value(), 1500);
  slider->setValue(7000);
  slider->setSliderDown(false);
  QVERIFY(h.playing());
  QCOMPARE(h.newCalls(), QStringList({"Pause", "SetPosition 7000", "Play"}));
  h.player->Advance(500);
  h.tick();
  QCOMPARE(slider->value(), 7500);

  // Stop: the next tick puts the slider back at the start and rests the timer.
  h.trigger("STOP");
  QCOMPARE(h.mode(), QString("STOPPED"));
  h.tick();
  QVERIFY(h.rested());
  // With nothing playing, the slider starts nothing: the player saw Stop and the
  // tick's stop only.
  slider->setSliderDown(true);
  slider->setValue(1);
  slider->setSliderDown(false);
  QCOMPARE(h.newCalls(), QStringList({"Stop", "Stop"}));
  QVERIFY(!h.timer()->isActive());

  // A selection plays alone, and ends by itself; the same player plays it.
  QTextCursor selection = h.part(0)->textCursor();
  selection.setPosition(0);
  selection.setPosition(7, QTextCursor::KeepAnchor);  // "L4 O4 C"
  h.part(0)->setTextCursor(selection);
  h.trigger("PLAY");
  QVERIFY(h.playing());
  const QByteArray played = ReadAll(h.path("cache/dummy.mid"));
  h.player->Finish();
  h.tick();
  QVERIFY(h.rested());
  QCOMPARE(h.playersMade, 1);
  // What played is the MIDI file of a song that is the selection.
  h.set({{"Text1_0", "L4 O4 C"}});
  h.triggerWithFile("mnuMIDIMAKE", "selection.mid");
  QCOMPARE(ReadAll(h.path("selection.mid")), played);
}

void MainWindowTest::mutedPlaybackEndsAndResetPlaysTheResetFile() {
  Harness h;
  // Muting every part plays a file with the conductor track only.
  h.set({{"Text1_0", kLongSong}});
  for (int i = 0; i < 4; ++i) h.set({{QString("Check1_%1").arg(i), "1"}});
  h.trigger("mnuPLAY");
  QCOMPARE(ReadAll(h.path("cache/dummy.mid")).count("MTrk"), 1);
  h.player->Finish();
  h.tick();
  QVERIFY(h.rested());

  // Reset stops the song and plays the reset file; playing works as before after it.
  h.set({{"Check1_0", "0"}});
  h.trigger("mnuPLAY");
  QVERIFY(h.playing());
  h.newCalls();
  h.trigger("mnuINIT");
  QVERIFY(h.rested());
  const QByteArray reset = QByteArray::fromHex(
      "4D546864000000060001000100184D54726B00000019"
      "02F0057E7F0901F7"
      "02F00A4110421240007F0041F7"
      "00FF2F00");
  QCOMPARE(ReadAll(h.path("cache/dummy.mid")), reset);
  QCOMPARE(h.newCalls(), QStringList({"Stop", QString("Open %1").arg(reset.size()), "Play"}));
  h.player->lengthOnOpen = 15000;
  h.trigger("mnuPLAY");
  QVERIFY(h.playing());
  QCOMPARE(h.slider()->maximum(), 15000);
  h.trigger("mnuSTOP");
  h.tick();
  QVERIFY(h.rested());
}

void MainWindowTest::mutesReachThePlaybackAtOnceAndOtherSettingsTheNextOne() {
  Harness h;
  h.set({{"Text1_0", kLongSong}, {"Text1_1", kLongSong}});
  h.trigger("mnuPLAY");
  const int fullTracks = ReadAll(h.path("cache/dummy.mid")).count("MTrk");
  h.newCalls();
  // A function key or the mute box silences the part's channel (its index) at once,
  // also while the held slider pauses the song; unmuting lets it sound again.
  QTest::keyClick(h.find("Text3"), Qt::Key_F2);
  QCOMPARE(h.tabs()->tabText(1), QString("ﾊﾟｰﾄ2(ﾐｭｰﾄ)"));
  h.find<QCheckBox>("Check1_0")->click();
  h.slider()->setSliderDown(true);
  QTest::keyClick(h.part(0), Qt::Key_F4);
  h.slider()->setSliderDown(false);
  QTest::keyClick(h.part(0), Qt::Key_F2);
  QCOMPARE(h.newCalls(), QStringList({"Mute 1 on", "Mute 0 on", "Pause", "Mute 3 on",
                                      "SetPosition 0", "Play", "Mute 1 off"}));
  QVERIFY(h.playing());

  // The next Play leaves the muted parts out of its file, and every channel sounds again.
  h.trigger("mnuPLAY");
  QCOMPARE(h.newCalls(),
           QStringList({"Stop", "Mute 0 off", "Mute 3 off",
                        QString("Open %1").arg(h.player->openedBytes.size()), "Play"}));
  QCOMPARE(ReadAll(h.path("cache/dummy.mid")).count("MTrk"), fullTracks - 1);
  // With nothing playing, the keys change the captions only.
  h.trigger("mnuSTOP");
  h.newCalls();
  QTest::keyClick(h.part(0), Qt::Key_F1);
  QCOMPARE(h.tabs()->tabText(0), QString("ﾊﾟｰﾄ1"));
  QVERIFY(h.newCalls().isEmpty());

  // Double speed, the MIDI tone, the octave and repeat change the file: during a
  // playback the status bar says they apply from the next Play, which clears it.
  const QString fromNextPlay = "次の再生から有効になります。";
  const QList<std::function<void()>> changes = {
      [&] { h.find<QCheckBox>("chkDOUBLE")->click(); },
      [&] { h.combo("cmbTONE")->setCurrentIndex(h.combo("cmbTONE")->currentIndex() + 1); },
      [&] { h.trigger(h.on("mnuMIDIOCT_0") ? "mnuMIDIOCT_2" : "mnuMIDIOCT_0"); },
      [&] { h.trigger("mnuMIDIREPEAT"); },
  };
  for (const auto& change : changes) {
    change();
    QCOMPARE(h.text("stsBAR_panel1"), QString());
    h.trigger("mnuPLAY");
    change();
    QCOMPARE(h.text("stsBAR_panel1"), fromNextPlay);
    h.trigger("mnuPLAY");
    QCOMPARE(h.text("stsBAR_panel1"), QString());
    h.trigger("mnuSTOP");
  }
}

void MainWindowTest::sliderJumpsWhereClickedAndKeysSeek() {
  Harness h;
  h.set({{"Text1_0", kLongSong}});
  QSlider* slider = h.slider();
  // A build of the MIDI file tells the slider the song's length (24 quarters at 120).
  h.triggerWithFile("mnuMIDIMAKE", "song.mid");
  QCOMPARE(QList<int>({slider->value(), slider->maximum()}), QList<int>({0, 12000}));
  // The keys move the knob while nothing plays: a tenth of the song a page, a second an
  // arrow; no player is asked for that.
  auto keys = [slider](const QList<Qt::Key>& pressed) {
    QList<int> values;
    for (Qt::Key key : pressed) {
      QTest::keyClick(slider, key);
      values << slider->value();
    }
    return values;
  };
  QCOMPARE(keys({Qt::Key_End, Qt::Key_Home, Qt::Key_PageUp, Qt::Key_Right, Qt::Key_Left,
                 Qt::Key_PageDown}),
           QList<int>({12000, 0, 1200, 2200, 1200, 0}));
  QVERIFY(h.window->player() == nullptr);

  // Play starts where the knob stands.
  keys({Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp});
  h.trigger("mnuPLAY");
  QCOMPARE(h.newCalls(), QStringList({QString("Open %1").arg(h.player->openedBytes.size()),
                                      "SetPosition 6000", "Play"}));
  QCOMPARE(slider->value(), 6000);
  h.player->Advance(500);
  h.tick();
  QCOMPARE(slider->value(), 6500);

  // During the playback the keys seek the player, which plays on.
  QCOMPARE(keys({Qt::Key_PageUp, Qt::Key_Right, Qt::Key_Home}), QList<int>({7700, 8700, 0}));
  QCOMPARE(h.newCalls(), QStringList({"SetPosition 7700", "SetPosition 8700", "SetPosition 0"}));
  QVERIFY(h.playing());

  // A click in the groove jumps to that place, not a page on: three quarters in.
  QTest::mouseClick(slider, Qt::LeftButton, {},
                    QPoint(slider->width() * 3 / 4, slider->height() / 2));
  const int clicked = slider->value();
  QVERIFY2(clicked > 7500 && clicked < 10500, qPrintable(QString::number(clicked)));
  QCOMPARE(h.newCalls(), QStringList({"Pause", QString("SetPosition %1").arg(clicked), "Play"}));
  QVERIFY(h.playing());

  // The end: the knob goes back to the start and the slider keeps the song's length.
  h.player->Finish();
  h.tick();
  QVERIFY(h.rested());
  QCOMPARE(slider->maximum(), 12000);
  // Clicked while nothing plays, the knob says where the next Play starts.
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() / 4, slider->height() / 2));
  const int quarter = slider->value();
  QVERIFY2(quarter > 1500 && quarter < 4500, qPrintable(QString::number(quarter)));
  QCOMPARE(h.newCalls(), QStringList({"Stop"}));
  h.trigger("mnuPLAY");
  QCOMPARE(h.newCalls().mid(2), QStringList({QString("SetPosition %1").arg(quarter), "Play"}));
  // Stop puts the knob back; a knob left at the end plays from the start.
  h.trigger("mnuSTOP");
  QVERIFY(h.rested());
  h.newCalls();
  keys({Qt::Key_End});
  h.trigger("mnuPLAY");
  QCOMPARE(h.newCalls().mid(2), QStringList({"Play"}));
  QCOMPARE(slider->value(), 0);

  // Before any build the slider knows no song: dragged, its knob can only reach the end,
  // and the first Play starts at the beginning all the same.
  Harness fresh;
  fresh.set({{"Text1_0", kLongSong}});
  fresh.slider()->setSliderDown(true);
  fresh.slider()->setValue(fresh.slider()->maximum());
  fresh.slider()->setSliderDown(false);
  fresh.trigger("mnuPLAY");
  QCOMPARE(fresh.newCalls().mid(1), QStringList({"Play"}));
  QCOMPARE(fresh.slider()->value(), 0);
}

void MainWindowTest::playbackFailuresAreShownAndPlayingGoesOn() {
  Harness h;
  h.set({{"Text1_0", kLongSong}});
  // No player could be made: its message, with its kind's title; the next Play tries again.
  Diagnostic noSound;
  noSound.message = "no sound";
  noSound.kind = DiagnosticKind::Warning;
  h.playerFailure = noSound;
  h.trigger("mnuPLAY");
  QCOMPARE(h.lastMessage(), QString("Warning: no sound"));
  QVERIFY(h.window->player() == nullptr);
  QVERIFY(h.rested());
  h.playerFailure.reset();
  h.trigger("mnuPLAY");
  QVERIFY(h.playing());

  // A file the player cannot open: its message, nothing plays, and the next Play plays.
  h.player->openFailure = Diagnostic{"cannot open"};
  h.trigger("mnuPLAY");
  QCOMPARE(h.lastMessage(), QString("Error: cannot open"));
  QVERIFY(!h.timer()->isActive());
  QVERIFY(h.mode() != "PLAYING");
  h.player->openFailure.reset();
  h.trigger("mnuPLAY");
  QVERIFY(h.playing());
  QCOMPARE(h.playersMade, 2);
  QCOMPARE(h.prompts.messages.size(), 2);
}

void MainWindowTest::helpMenusOpenPages() {
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
    QCOMPARE(QPair(m.text, m.kind), QPair(noBrowser, MessageKind::Warning));
  }
  const QString support = WindowEnvironment{}.supportUrl;
  QCOMPARE(QStringList({h.prompts.messages[0].detail, h.prompts.messages[1].detail}),
           QStringList({support, WindowEnvironment{}.imodeUrl}));
  auto box = MakeMessageBox(nullptr, noBrowser, MessageKind::Warning, support);
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
}

// The three ways a user pastes into a box. The context menu opens where the mouse is
// (the viewport of a multi-line box, the line edit of a combo box) and its Paste is
// triggered even when shown disabled, as a Qt that offers it would.
enum class PasteWay { Key, OtherKey, Menu };

QString Paste(QWidget* box, PasteWay way) {
  box->setFocus();
  switch (way) {
    case PasteWay::Key:
      QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
      return {};
    case PasteWay::OtherKey:
      QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
      return {};
    case PasteWay::Menu:
      break;
  }
  QWidget* target = box;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(box)) target = area->viewport();
  if (auto* combo = qobject_cast<QComboBox*>(box)) target = combo->lineEdit();
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                          target->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(target, &event);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu) return "no menu";
  QAction* paste = menu->findChild<QAction*>("edit-paste");
  if (!paste) {
    QStringList all;
    for (QAction* a : menu->actions()) all << a->objectName() + "=" + a->text();
    return "no Paste in the menu " + all.join(",");
  }
  const QString enabled = paste->isEnabled() ? "enabled" : "disabled";
  paste->setEnabled(true);
  paste->trigger();
  menu->close();
  return enabled;
}

void MainWindowTest::pasteTakesOnlyTheClipboardsPlainText() {
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

  // Clipboards without text. A data object without any format (what another program
  // leaves after clearing the clipboard) crashed Qt 6.4's multi-line boxes.
  auto binary = [](const char* format) {
    auto* data = new QMimeData;
    data->setData(format, "\x01\x02");
    return data;
  };
  auto image = [] {
    auto* data = new QMimeData;
    data->setImageData(QImage(2, 2, QImage::Format_RGB32));
    return data;
  };
  auto html = [] {
    auto* data = new QMimeData;
    data->setHtml("<b>rich</b>");
    return data;
  };
  const QList<std::function<QMimeData*()>> withoutText = {
      [] { return new QMimeData; }, [] { return nullptr; },
      [&] { return binary("application/octet-stream"); }, image, html};
  QClipboard* clipboard = QGuiApplication::clipboard();
  for (const auto& make : withoutText) {
    clipboard->clear();
    if (QMimeData* data = make()) clipboard->setMimeData(data);
    for (const QString& name : names) {
      QWidget* box = showPart(name);
      QCOMPARE(QStringList({Paste(box, PasteWay::Key), Paste(box, PasteWay::OtherKey),
                            Paste(box, PasteWay::Menu)}),
               QStringList({"", "", "disabled"}));
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
    QCOMPARE(QStringList({Paste(box, PasteWay::Key), Paste(box, PasteWay::OtherKey),
                          Paste(box, PasteWay::Menu)}),
             QStringList({"", "", "enabled"}));
    QCOMPARE(h.text(name), name.startsWith("Text1_") ? "C D\nEC D\nEC D\nE" : "C DC DC D");
  }
  QVERIFY(h.window->modified());
  QCOMPARE(clipboard->text(), QString("C D\r\nE"));
}

}  // namespace chwr::gui

QTEST_MAIN(chwr::gui::MainWindowTest)
#include "main_window_test.moc"

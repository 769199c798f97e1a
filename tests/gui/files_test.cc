// The file commands of the main window: New, Open, Save and Save As, the kinds of file
// Open takes, the command line, and what the user is told when a file cannot be read or
// written. The bytes of the files have the core's tests; these prove the window passes
// songs to and from them.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "window_harness.h"

namespace chwr::gui {
class FilesTest : public QObject {
  Q_OBJECT

 private slots:
  void newAndClosingAskOnlyAboutUnsavedChanges();
  void saveWritesTheSongFileAndOpenReadsItBack();
  void openReplacesTheSongOnlyWithASong();
  void openDispatchesOnTheFileKind();
  void saveDialogsAddTheExtensionByTheFileNameAlone();
  void failedReadsAndWritesShowTheFileAndTheReason();
  void protectedFilesAreLeftAloneAndLinksWrittenThrough();
  void commandLineOpensTheFirstFileFromTheStartFolder();
  void standardKeysRunTheFileCommands();
  void replacingTheSongClearsWhatWasMadeFromTheOldOne();
};

void FilesTest::newAndClosingAskOnlyAboutUnsavedChanges() {
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
  h.cancelDialogOf("mnuNEW");
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
  h.triggerAnsweringNo("mnuNEW");
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

void FilesTest::saveWritesTheSongFileAndOpenReadsItBack() {
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
  h.cancelDialogOf("mnuSAVENAME");
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

void FilesTest::openReplacesTheSongOnlyWithASong() {
  Harness h;
  WriteAll(h.path("good.txt"), SongFile({"qrv", "Good", "@96", "B", "B", "B", "A", "A", "A", "CDE",
                                         "", "", "0", "", " 1 ", "B", "A", "G"}));
  WriteAll(h.path("bad.txt"), SongFile({"QRV", "Bad", "@60"}));
  h.window->OpenPath(h.path("good.txt"));
  h.triggerWithFile("mnuREAD", "bad.txt");
  QCOMPARE(h.lastMessage(), "Error: " + QString(msg::kInvalidFileFormat));
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
}

void FilesTest::openDispatchesOnTheFileKind() {
  Harness h;
  h.set({{"Text3", "Kept"}, {"Text1_0", "L8 O4 CDEFGAB"}});
  h.triggerWithFile("mnuMLD", "tune.mld");
  const QByteArray mld = ReadAll(h.path("tune.mld"));
  QVERIFY(mld.startsWith("melo"));

  // An MLD file gives an untitled song; the mutes stay as they are. (MIDI files go to
  // the import dialog, which has its own tests.)
  h.triggerAnsweringNo("mnuNEW");
  h.set({{"Check1_1", "1"}});
  h.window->OpenPath(h.path("tune.mld"));
  QVERIFY(h.prompts.messages.isEmpty());
  QVERIFY(h.on("Check1_1"));
  QCOMPARE(h.text("Text3"), QString("Kept"));
  QCOMPARE(h.caption(), kUntitled);
  QVERIFY(!h.window->modified());

  // The read song builds to the same image; the dialogs offer names beside the file.
  h.triggerWithFile("mnuMLD", "again.mld");
  QCOMPARE(ReadAll(h.path("again.mld")), mld);
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("tune.mld"));
  h.cancelDialogOf("mnuSAVE");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("tune.txt"));

  // An SMD file too gives an untitled song: Save asks instead of writing over it.
  QFile smd(h.path("song.smd"));
  QVERIFY(smd.open(QIODevice::WriteOnly));
  smd.write("\x1B$Df\x0F");  // O4C4 as one part
  smd.close();
  h.openAnsweringNo(h.path("song.smd"));
  QVERIFY(h.text("Text1_0").contains("C4"));
  QCOMPARE(h.caption(), kUntitled);
  h.cancelDialogOf("mnuSAVE");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("song.txt"));
  QCOMPARE(ReadAll(h.path("song.smd")), QByteArray("\x1B$Df\x0F"));

  // What the SMD reader says reaches the window, as chwr prints it.
  h.set({{"Text3", "Kept"}, {"Text1_0", "O4C4"}});
  WriteAll(h.path("empty.smd"), {});
  h.openAnsweringNo(h.path("empty.smd"));
  QCOMPARE(h.lastMessage(),
           QString("Warning: ﾌｧｲﾙが空(0ﾊﾞｲﾄ)のため、空の曲として読み込みました。"));
  QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"", ""}));
  QCOMPARE(h.caption(), kUntitled);

  // An MLD file under an SMD or a MIDI name is refused (the core's tests have the
  // messages) and changes nothing: no garbage title, no import dialog.
  h.set({{"Text3", "Kept"}, {"Text1_0", "O4C4"}});
  h.triggerWithFile("mnuMLD", "song.mld");
  for (const QString name : {"x.smd", "x.mid"}) {
    QFile::copy(h.path("song.mld"), h.path(name));
    h.openAnsweringNo(h.path(name));
    QVERIFY2(h.lastMessage().endsWith("このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。"),
             qPrintable(h.lastMessage()));
    QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"Kept", "O4C4"}));
    QVERIFY(!h.importDialog());
  }
}

void FilesTest::saveDialogsAddTheExtensionByTheFileNameAlone() {
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
}

void FilesTest::failedReadsAndWritesShowTheFileAndTheReason() {
  Harness h;
  h.set({{"Text1_0", kLongSong}});
  // Each message keeps its text; its detail is the file, a line break and the reason.
  auto detailNames = [&h](const QString& message, const QString& name) {
    const ScriptedPrompts::ShownMessage& shown = h.prompts.messages.last();
    const QString file = QFileInfo(h.path(name)).absoluteFilePath();
    return shown.text == message && shown.kind == DiagnosticKind::Error &&
           shown.detail.startsWith(file + "\n") && shown.detail.size() > file.size() + 1;
  };
  h.openAnsweringNo(h.path("gone.txt"));
  QVERIFY(detailNames(kReadFailed, "gone.txt"));
  // The playback file cannot be written where a file stands in for its folder.
  WriteAll(h.path("cache"), "not a folder");
  h.trigger("mnuPLAY");
  QVERIFY(detailNames(kWriteFailed, "cache/dummy.mid"));
  QVERIFY(h.window->player() == nullptr);

  // Clipboard text that decodes to no melody says so below the format message.
  QGuiApplication::clipboard()->setText("--B:M\r\nQUJDREVGR0g=");
  h.triggerAnsweringNo("mnuCLIPREAD");
  QCOMPARE(h.prompts.messages.last().text, QString(msg::kInvalidFileFormat));
  QCOMPARE(h.prompts.messages.last().detail,
           QString("ｸﾘｯﾌﾟﾎﾞｰﾄﾞの文字列はﾒﾛﾃﾞｨｰﾒｰﾙではありません。"));
  QCOMPARE(h.text("Text1_0"), kLongSong);

  // The real box shows the detail as its informative text, below the exact message.
  auto box = MakeMessageBox(nullptr, kReadFailed, DiagnosticKind::Error, "/x\nNo such file");
  QCOMPARE(QStringList({box->windowTitle(), box->text(), box->informativeText()}),
           QStringList({"ｴﾗｰ", kReadFailed, "/x\nNo such file"}));
  QCOMPARE(box->icon(), QMessageBox::Warning);
}

void FilesTest::protectedFilesAreLeftAloneAndLinksWrittenThrough() {
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
    QCOMPARE(QPair(m.text, m.kind), QPair(kWriteFailed, DiagnosticKind::Error));
    QVERIFY2(m.detail.startsWith(h.path(name) + "\n") && m.detail.size() > h.path(name).size() + 1,
             qPrintable(m.detail));
    QVERIFY(h.window->modified());
  }
  for (int i = 0; i < protectedFiles.size(); ++i) {
    QCOMPARE(ReadAll(h.path(protectedFiles[i])), before[i]);
  }
  QCOMPARE(h.window->documentPath(), h.path("song.txt"));

  // So every command writes through the core's writer, which writes through a link (its
  // tests say how); the song's file is then the link.
  QVERIFY(QDir(h.dir.path()).mkdir("real"));
  WriteAll(h.path("real/target.txt"), "old");
  QVERIFY(QFile::link("real/target.txt", h.path("link.txt")));  // relative to the link
  h.triggerWithFile("mnuSAVENAME", "link.txt");
  QVERIFY(QFileInfo(h.path("link.txt")).isSymLink());
  QVERIFY(ReadAll(h.path("real/target.txt")).contains("\r\nL8 CDEF\r\n"));
  QCOMPARE(h.window->documentPath(), h.path("link.txt"));
  QVERIFY(!h.window->modified());
}

void FilesTest::commandLineOpensTheFirstFileFromTheStartFolder() {
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

// The platform's keys for New, Open, Save, Save As and Quit run the commands from a part
// box; the window's own keys (Ctrl+D/U, F1..F4) have the editing and help page tests.
void FilesTest::standardKeysRunTheFileCommands() {
  Harness h;
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

void FilesTest::replacingTheSongClearsWhatWasMadeFromTheOldOne() {
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

CHWR_GUI_TEST(FilesTest)

}  // namespace chwr::gui

#include "files_test.moc"

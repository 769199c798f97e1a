// What the main window remembers between runs: its place, the recent files, and the
// folders the file dialogs start in. Driven through the real window and its settings
// file, with dialogs answered by ScriptedPrompts.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "window_harness.h"

namespace chwr::gui {

class RecentTest : public QObject {
  Q_OBJECT

 private slots:
  void placeAndRecentFilesAreRememberedAndRestored();
  void theFolderOfTheLastFileIsRememberedForTheDialogsAndTheNextStart();
};

void RecentTest::placeAndRecentFilesAreRememberedAndRestored() {
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
    QCOMPARE(h.find<QAction>("mnuRECENT_0")->text(), "&1 " + h.path("song3.txt"));
    QCOMPARE(h.find<QAction>("mnuRECENT_7")->text(), "&8 " + h.path("song1.txt"));
    h.window->setGeometry(place.translated(10, 20));
    QVERIFY(h.window->close());
    written =
        IniValues(h.path("chwr.ini"), {"Window/Left", "Window/Top", "Window/Width", "Window/Height",
                                       "Recent/File1", "Recent/File2", "Recent/File8"});
  }
  QCOMPARE(written.mid(0, 4), QStringList({QString::number(place.left() + 10),
                                           QString::number(place.top() + 20), "600", "480"}));
  QCOMPARE(QFileInfo(written[4]).fileName() + " " + QFileInfo(written[5]).fileName() + " " +
               QFileInfo(written[6]).fileName(),
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
  again.triggerAnsweringNo("mnuRECENT_1");
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

void RecentTest::theFolderOfTheLastFileIsRememberedForTheDialogsAndTheNextStart() {
  Harness h;
  for (const char* name : {"open", "mld", "midi", "save", "cmd", "drop"}) {
    QVERIFY(QDir(h.dir.path()).mkdir(name));
  }
  WriteAll(h.path("open/song.txt"), TitledSong("Far"));
  WriteAll(h.path("cmd/song.txt"), TitledSong("Command line"));
  WriteAll(h.path("drop/song.txt"), TitledSong("Dropped"));
  auto in = [&h](const QString& name) { return QFileInfo(h.path(name)).canonicalFilePath(); };
  auto current = [] { return QFileInfo(QDir::currentPath()).canonicalFilePath(); };
  auto startedIn = [](const Harness& harness) {
    return QFileInfo(harness.prompts.dialogs.last().dialog.folder).canonicalFilePath();
  };
  // Each confirmed dialog: the next one starts in its file's folder, which is the current one.
  const QList<QPair<QString, QString>> steps = {{"mnuREAD", "open/song.txt"},
                                                {"mnuMLD", "mld/song.mld"},
                                                {"mnuMIDIMAKE", "midi/song.mid"},
                                                {"mnuSAVENAME", "save/song.txt"}};
  for (const auto& [command, file] : steps) {
    h.triggerWithFile(command, file);
    QVERIFY(QFile::exists(h.path(file)));
    const QString there = in(QFileInfo(file).path());
    QCOMPARE(current(), there);
    h.cancelDialogOf("mnuREAD");
    QCOMPARE(startedIn(h), there);
  }
  // Neither a cancelled dialog nor a folder that is not there moves it.
  h.triggerWithFile("mnuMLD", "missing/song.mld");
  QCOMPARE(h.lastMessage(), "Error: " + kWriteFailed);
  h.cancelDialogOf("mnuMIDIMAKE");
  QCOMPARE(startedIn(h), in("save"));
  h.triggerWithFile("mnuREAD", "open/song.txt");
  QCOMPARE(current(), in("open"));

  // Files opened without the dialog: from the command line, a MIDI file on its way to
  // the import dialog, then a dropped song.
  h.window->OpenCommandLine({"chimewright", "cmd/song.txt"}, h.dir.path());
  QCOMPARE(h.text("Text3"), QString("Command line"));
  QCOMPARE(current(), in("cmd"));
  h.window->OpenPath(h.path("midi/song.mid"));
  QCOMPARE(current(), in("midi"));
  h.window->OpenPath(h.path("drop/song.txt"));
  QCOMPARE(h.text("Text3"), QString("Dropped"));
  QCOMPARE(current(), in("drop"));
  // A file that could not be opened is no folder of the user's.
  h.window->OpenPath(h.path("cmd/gone.txt"));
  QCOMPARE(h.lastMessage(), "Error: " + kReadFailed);
  QCOMPARE(current(), in("drop"));

  QVERIFY(h.window->close());
  const QString folder = IniValues(h.path("chwr.ini"), {"File/Folder"}).first();
  QCOMPARE(folder, h.path("drop"));
  // The next start begins there.
  Harness again("[File]\r\nFolder=" + folder.toUtf8() + "\r\n");
  again.cancelDialogOf("mnuREAD");
  QCOMPARE(startedIn(again), in("drop"));
}

CHWR_GUI_TEST(RecentTest)

}  // namespace chwr::gui

#include "recent_test.moc"

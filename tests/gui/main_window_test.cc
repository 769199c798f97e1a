// The editor window driven as a user drives it: controls found by name, keys typed,
// menu actions triggered, dialogs answered by ScriptedPrompts, and the files, the
// clipboard and the window's texts checked afterwards. Playback runs the real
// FluidSynth player without a sound card.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "main_window.h"
#include "scripted_prompts.h"

namespace chwr::gui {
namespace {

const QString kCaptionSuffix = " - Chimewright Ver1.21";
const QString kUntitled = "無題" + kCaptionSuffix;
const QString kDiscardQuestion = "内容が変更されています。保存しますか？";
const QString kInitialReport = "MLDﾌｧｲﾙｻｲｽﾞ (ﾊﾟｰﾄ：ｽﾃｯﾌﾟ数 最低音～最高音)";
// 24 quarter notes: 12 seconds at tempo 120.
const QString kLongSong = "L4 O4 CDEFGAB<CDEFGAB>CDEFGAB<CDE";

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
    qFatal("cannot write %s", qPrintable(path));
  }
}

// A song text file from its lines (ASCII only), each ended by CR LF.
QByteArray SongFile(const QStringList& lines) {
  return (lines.join("\r\n") + "\r\n").toLatin1();
}

// A value of the settings file as it is on disk.
QString IniValue(const QString& path, const QString& key) {
  return QSettings(path, QSettings::IniFormat).value(key).toString();
}

// The four entries of a file dialog that the user sees, for one comparison.
QStringList Entries(const FileDialog& dialog) {
  return {dialog.description, dialog.pattern, dialog.initialName, dialog.extension};
}

// One window in its own folder, with its settings and playback files inside it.
class Harness {
 public:
  explicit Harness(const QByteArray& ini = {}) {
    if (!ini.isEmpty()) WriteAll(path("chwr.ini"), ini);
    env.prompts = &prompts;
    env.settingsFile = path("chwr.ini").toStdString();
    env.playbackFile = path("cache/dummy.mid").toStdString();
    env.helpPage = path("chwr.html").toStdString();
    env.playback.output = AudioOutput::kNone;
    window = std::make_unique<MainWindow>(env);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) qWarning("window did not become active");
  }

  ~Harness() {
    window.reset();
    if (!prompts.unexpected.isEmpty()) {
      QTest::qFail(qPrintable("unexpected prompts: " + prompts.unexpected.join("; ")), __FILE__,
                   __LINE__);
    }
  }

  QString path(const QString& name) const { return dir.filePath(name); }

  template <class T = QWidget>
  T* find(const QString& name) const {
    T* found = window->findChild<T*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
  }
  QPlainTextEdit* part(int i) const { return find<QPlainTextEdit>(QString("Text1_%1").arg(i)); }
  QComboBox* combo(const QString& name) const { return find<QComboBox>(name); }
  QTabWidget* tabs() const { return find<QTabWidget>("tabPART"); }
  QSlider* slider() const { return find<QSlider>("Slider1"); }
  QTimer* timer() const { return find<QTimer>("Timer1"); }
  QString report() const { return text("stsBAR_panel3"); }
  QString mode() const {
    return window->player() ? QString::fromStdString(window->player()->Mode()) : QString();
  }

  // What a control shows: a box's text, a combo box's current text, a label's text.
  QString text(const QString& name) const {
    QObject* o = find<QObject>(name);
    if (auto* box = qobject_cast<QPlainTextEdit*>(o)) return box->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(o)) return combo->currentText();
    return o->property("text").toString();
  }
  QStringList texts(const QStringList& names) const {
    QStringList shown;
    for (const QString& name : names) shown << text(name);
    return shown;
  }
  QStringList parts() const { return texts({"Text1_0", "Text1_1", "Text1_2", "Text1_3"}); }
  // Whether a check box or a menu item is checked.
  bool on(const QString& name) const { return find<QObject>(name)->property("checked").toBool(); }

  // Puts values into controls as the program would, without typing.
  void set(const QList<QPair<QString, QString>>& values) const {
    for (const auto& [name, value] : values) {
      QObject* o = find<QObject>(name);
      if (auto* box = qobject_cast<QPlainTextEdit*>(o)) {
        box->setPlainText(value);
      } else if (auto* combo = qobject_cast<QComboBox*>(o)) {
        combo->isEditable() ? combo->setEditText(value) : combo->setCurrentText(value);
      } else if (auto* check = qobject_cast<QCheckBox*>(o)) {
        check->setChecked(value == "1");
      } else {
        o->setProperty("text", value);
      }
    }
  }

  void trigger(const QString& action) const { find<QAction>(action)->trigger(); }
  // Answers a file dialog with a file of this folder, then runs the action.
  void triggerWithFile(const QString& action, const QString& name) {
    prompts.files.append(path(name));
    trigger(action);
  }

  QTemporaryDir dir;
  ScriptedPrompts prompts;
  WindowEnvironment env;
  std::unique_ptr<MainWindow> window;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsAnUntitledSongAndFullLists();
  void startUpAppliesStoredSettings();
  void keysToggleMutesAndConvertCase();
  void newAndClosingAskOnlyAboutUnsavedChanges();
  void saveWritesTheSongFileAndOpenReadsItBack();
  void openRejectsForeignFilesAndKeepsTheSong();
  void resolutionOfAnOpenedFileRescalesNothing();
  void openDispatchesOnTheFileKind();
  void compileErrorSelectsTheOffendingText();
  void buildCommandsWriteMldMidiAndMail();
  void midiMenusChangeTheMidiFile();
  void playbackFollowsTheSliderAndStops();
  void playbackEndsByItselfAndResetPlaysTheResetFile();
  void closingWritesSettingsAndFont();
  void helpMenusOpenPages();
};

void MainWindowTest::startUpShowsAnUntitledSongAndFullLists() {
  Harness h;
  QCOMPARE(h.window->objectName(), QString("Form2"));
  QCOMPARE(h.window->windowTitle(), kUntitled);
  QVERIFY(!h.window->modified());
  QCOMPARE(h.report(), kInitialReport);
  QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI", "cmbTONE", "Text6", "txtMAIL"}),
           QStringList({"", "120", "48", "指定なし", "", ""}));

  auto items = [&h](const QString& name) {
    QStringList list;
    for (int i = 0; i < h.combo(name)->count(); ++i) list << h.combo(name)->itemText(i);
    return list;
  };
  QCOMPARE(items("Text5"), QStringList({"60", "84", "80", "96", "100", "120", "125", "144", "150",
                                        "160", "168", "180", "200"}));
  QCOMPARE(items("cmbBUNKAI"), QStringList({"24", "48"}));
  const QStringList midiTones = items("cmbTONE");
  QCOMPARE(midiTones.size(), 129);
  QCOMPARE(midiTones.mid(0, 3), QStringList({"指定なし", "1   Piano 1", "2   Piano 2"}));
  QCOMPARE(midiTones.last(), QString("128 Gun Shot"));
  QCOMPARE(h.combo("cmbTONE")->maxVisibleItems(), 28);

  for (int i = 0; i < 4; ++i) {
    // Volume item data: the part in the two top bits, the volume below.
    QComboBox* volume = h.combo(QString("Combo2_%1").arg(i));
    const QStringList volumes = items(volume->objectName());
    QCOMPARE(volumes.size(), 68);
    QCOMPARE(volumes.mid(0, 6), QStringList({"A", "B", "C", "――", "63", "62"}));
    QCOMPARE(volumes.last(), QString("0"));
    QCOMPARE(volume->currentText(), QString("A"));
    QList<int> data;
    for (int at : {0, 1, 2, 3, 4, 27, 67}) data << volume->itemData(at).toInt() - i * 64;
    QCOMPARE(data, QList<int>({63, 54, 38, 63, 63, 40, 0}));

    // Tone item data: the General MIDI program that plays the choice.
    QComboBox* tone = h.combo(QString("Combo3_%1").arg(i));
    const QStringList tones = items(tone->objectName());
    QCOMPARE(tones.size(), 132);
    QCOMPARE(tones.mid(0, 5), QStringList({"A", "B", "C", "――――――――", "1   Piano 1"}));
    QCOMPARE(tones.mid(4), midiTones.mid(1));
    QCOMPARE(tone->currentText(), QString("B"));
    data.clear();
    for (int at : {0, 1, 2, 3, 4, 131}) data << tone->itemData(at).toInt();
    QCOMPARE(data, QList<int>({2, 0, 1, 0, 0, 127}));
    QCOMPARE(volume->maxVisibleItems(), 28);
    QCOMPARE(tone->maxVisibleItems(), 28);

    QCOMPARE(h.tabs()->tabText(i), QString("ﾊﾟｰﾄ%1").arg(i + 1));
    QCOMPARE(h.tabs()->widget(i)->objectName(), QString("fraPART_%1").arg(i));
  }
  // Only the chosen part's page shows.
  QCOMPARE(h.tabs()->currentIndex(), 0);
  h.tabs()->setCurrentIndex(2);
  QVERIFY(h.find("fraPART_2")->isVisible());
  QVERIFY(!h.find("fraPART_0")->isVisible());

  QCOMPARE(h.find("Text3")->toolTip(), QString("曲ﾀｲﾄﾙ名"));
  QCOMPARE(h.find("cmbBUNKAI")->toolTip(), QString("4分音符の分解能(ｽﾃｯﾌﾟ数)"));
  QCOMPARE(h.find("txtMAIL")->toolTip(), QString("メールに貼り付けて下さい。"));
  QCOMPARE(h.find("Combo3_2")->toolTip(), QString("D502i：A(長)-C(短) / N502i：1-128"));
  QCOMPARE(h.find("cmbTONE")->toolTip().split('\n').size(), 2);
  QCOMPARE(h.find("Text5")->toolTip().split('\n').size(), 9);

  // Without a settings file: octave "普通", no repeat, nothing playing.
  QCOMPARE(QList<bool>({h.on("mnuMIDIOCT_0"), h.on("mnuMIDIOCT_1"), h.on("mnuMIDIOCT_2")}),
           QList<bool>({false, true, false}));
  QVERIFY(!h.on("mnuMIDIREPEAT"));
  QVERIFY(!h.timer()->isActive());
  QVERIFY(h.window->player() == nullptr);

  // The protection text is usable only while copy protection is on.
  auto* protect = h.find<QCheckBox>("Check2");
  QVERIFY(!h.find("Text6")->isEnabled());
  QTest::mouseClick(protect, Qt::LeftButton, {}, QPoint(5, protect->height() / 2));
  QVERIFY(protect->isChecked());
  QVERIFY(h.find("Text6")->isEnabled());
  QVERIFY(h.window->modified());
  QTest::mouseClick(protect, Qt::LeftButton, {}, QPoint(5, protect->height() / 2));
  QVERIFY(!h.find("Text6")->isEnabled());
}

void MainWindowTest::startUpAppliesStoredSettings() {
  QTemporaryDir folder;
  Harness h(
      "[Font]\r\nName=DejaVu Serif\r\nSize=10.5\r\nBold=True\r\nItalic=False\r\n"
      "[Midi]\r\nTime=1\r\nKey=2\r\n[File]\r\nFolder=" +
      folder.path().toUtf8() + "\r\n");
  QVERIFY(h.on("mnuMIDIREPEAT"));
  QVERIFY(h.on("mnuMIDIOCT_2"));
  QVERIFY(!h.on("mnuMIDIOCT_1"));
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(h.part(i)->font().family(), QString("DejaVu Serif"));
    QCOMPARE(h.part(i)->font().pointSize(), 10);
    QVERIFY(h.part(i)->font().bold());
  }
  QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
           QFileInfo(folder.path()).canonicalFilePath());

  // A stored folder that is gone is no reason not to start.
  const QString before = QDir::currentPath();
  Harness gone("[File]\r\nFolder=" + folder.path().toUtf8() + "/missing\r\n");
  QCOMPARE(gone.window->windowTitle(), kUntitled);
  QCOMPARE(QDir::currentPath(), before);
}

void MainWindowTest::keysToggleMutesAndConvertCase() {
  Harness h;
  // F1..F4 toggle the mutes wherever the focus is; they are no edit.
  QTest::keyClick(h.part(0), Qt::Key_F2);
  QVERIFY(h.on("Check1_1"));
  QCOMPARE(h.tabs()->tabText(1), QString("ﾊﾟｰﾄ2(ﾐｭｰﾄ)"));
  QTest::keyClick(h.part(0), Qt::Key_F2);
  QVERIFY(!h.on("Check1_1"));
  QCOMPARE(h.tabs()->tabText(1), QString("ﾊﾟｰﾄ2"));
  QTest::keyClick(h.find("Text3"), Qt::Key_F1);
  QVERIFY(h.on("Check1_0"));
  QCOMPARE(h.tabs()->tabText(0), QString("ﾊﾟｰﾄ1(ﾐｭｰﾄ)"));
  QCOMPARE(h.text("Text3"), QString());
  h.find<QCheckBox>("Check1_3")->click();
  QCOMPARE(h.tabs()->tabText(3), QString("ﾊﾟｰﾄ4(ﾐｭｰﾄ)"));
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
  QCOMPARE(h.prompts.dialogs.size(), 1);
  QVERIFY(h.prompts.dialogs[0].kind == ScriptedPrompts::DialogKind::Save);
  QCOMPARE(Entries(h.prompts.dialogs[0].dialog),
           QStringList({"Text File(*.txt)", "*.txt", "無題.txt", ".txt"}));
  QCOMPARE(h.text("Text1_0"), QString("CDE"));

  // No discards: every field back to a new song's, mutes kept.
  h.set({{"Text3", "title"},
         {"Text5", "150"},
         {"Combo2_2", "40"},
         {"Combo3_1", "A"},
         {"Check2", "1"},
         {"Text6", "x"},
         {"cmbBUNKAI", "24"},
         {"Check1_2", "1"}});
  h.trigger("mnuMAIL");  // fills the mail box and the size report
  QCOMPARE(h.prompts.messages.size(), 1);
  h.tabs()->setCurrentIndex(3);
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI", "Text6", "txtMAIL", "stsBAR_panel3"}),
           QStringList({"", "120", "48", "", "", kInitialReport}));
  QCOMPARE(h.parts(), QStringList({"", "", "", ""}));
  QCOMPARE(h.texts({"Combo2_0", "Combo2_1", "Combo2_2", "Combo2_3"}), QStringList(4, "A"));
  QCOMPARE(h.texts({"Combo3_0", "Combo3_1", "Combo3_2", "Combo3_3"}), QStringList(4, "B"));
  QVERIFY(!h.on("Check2"));
  QVERIFY(!h.find("Text6")->isEnabled());
  QVERIFY(h.on("Check1_2"));
  QCOMPARE(h.tabs()->tabText(2), QString("ﾊﾟｰﾄ3(ﾐｭｰﾄ)"));
  QCOMPARE(h.tabs()->currentIndex(), 0);
  QVERIFY(!h.window->modified());
  QCOMPARE(h.window->windowTitle(), kUntitled);

  // Yes with a name: the song is saved (extension added), then New goes on.
  h.set({{"Combo2_0", "B"}});
  QVERIFY(h.window->modified());
  h.prompts.answers = {Answer::Yes};
  h.triggerWithFile("mnuNEW", "first");
  QVERIFY(QFileInfo::exists(h.path("first.txt")));
  QCOMPARE(h.text("Combo2_0"), QString("A"));
  QCOMPARE(h.window->windowTitle(), kUntitled);

  // Closing: Cancel keeps the window, No closes it; the menu item goes the same way.
  QTest::keyClicks(h.part(1), "R");
  h.prompts.answers = {Answer::Cancel, Answer::Cancel, Answer::No};
  h.trigger("mnuEND");
  QVERIFY(h.window->isVisible());
  QVERIFY(!h.window->close());
  QVERIFY(h.window->isVisible());
  QVERIFY(h.window->close());
  QVERIFY(!h.window->isVisible());
  QCOMPARE(h.prompts.questions.size(), 7);
  QVERIFY(QFileInfo::exists(h.path("chwr.ini")));
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
  QCOMPARE(h.window->windowTitle(), path + kCaptionSuffix);
  QCOMPARE(h.window->documentPath(), path);
  QVERIFY(!h.window->modified());

  // A song with a path is saved again without a dialog, also when New asks.
  h.set({{"Text1_0", "CDE\nFGA\nB"}});
  h.prompts.answers = {Answer::Yes};
  h.trigger("mnuNEW");
  QCOMPARE(h.prompts.dialogs.size(), 1);
  QVERIFY(ReadAll(path).contains("CDE`FGA`B\r\n"));
  QCOMPARE(h.window->windowTitle(), kUntitled);

  h.triggerWithFile("READ", "song.txt");
  QVERIFY(h.prompts.dialogs.last().kind == ScriptedPrompts::DialogKind::Open);
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid)",
                        "*.txt;*.mld;*.smd;*.mid", "", ""}));
  for (const auto& [name, value] : song) {
    if (name != "Check2" && name != "Text5" && name != "Text1_0") QCOMPARE(h.text(name), value);
  }
  QCOMPARE(h.texts({"Text5", "Text1_0"}), QStringList({"120", "CDE\nFGA\nB"}));
  QVERIFY(h.on("Check2"));
  QVERIFY(h.find("Text6")->isEnabled());
  QCOMPARE(h.window->windowTitle(), path + kCaptionSuffix);
  QVERIFY(!h.window->modified());

  // Save As: cancelling changes nothing; a name makes it the song's file.
  h.prompts.files = {""};
  h.trigger("mnuSAVENAME");
  QCOMPARE(h.window->documentPath(), path);
  h.triggerWithFile("mnuSAVENAME", "copy.TXT");
  QCOMPARE(h.window->documentPath(), h.path("copy.TXT"));
  QCOMPARE(h.window->windowTitle(), h.path("copy.TXT") + kCaptionSuffix);
  QCOMPARE(ReadAll(h.path("copy.TXT")), ReadAll(path));

  // Quotes around a path handed over are not part of it.
  h.window->NewSong();
  h.window->OpenPath("\"" + path + "\"");
  QCOMPARE(h.window->documentPath(), path);
  QCOMPARE(h.text("Text3"), QString("テスト"));
}

void MainWindowTest::openRejectsForeignFilesAndKeepsTheSong() {
  Harness h;
  WriteAll(h.path("good.txt"), SongFile({"qrv", "Good", "@96", "B", "B", "B", "A", "A", "A", "CDE",
                                         "", "", "0", "", " 1 ", "B", "A", "G"}));
  WriteAll(h.path("bad.txt"), SongFile({"QRV", "Bad", "@60"}));
  h.window->OpenPath(h.path("good.txt"));
  QCOMPARE(h.text("Text3"), QString("Good"));

  h.triggerWithFile("mnuREAD", "bad.txt");
  QCOMPARE(h.prompts.messageTexts(), QStringList({"ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"}));
  QVERIFY(h.prompts.messages[0].kind == MessageKind::Error);
  QCOMPARE(h.window->documentPath(), h.path("good.txt"));
  QCOMPARE(h.window->windowTitle(), h.path("good.txt") + kCaptionSuffix);
  QCOMPARE(h.texts({"Text3", "Text5", "Text1_3"}), QStringList({"Good", "96", "G"}));

  // So the next Save still goes to the song's own file.
  h.set({{"Text3", "Better"}});
  h.trigger("mnuSAVE");
  QVERIFY(ReadAll(h.path("good.txt")).startsWith("qrv\r\nBetter\r\n@96\r\n"));
  QVERIFY(ReadAll(h.path("bad.txt")).startsWith("QRV"));

  // A file of three parts leaves part 4 empty.
  WriteAll(h.path("three.txt"), SongFile({"qrv", "Three", "@120", "B", "B", "B", "A", "A", "A", "C",
                                          "D", "E", "0", "", " 1 "}));
  h.window->OpenPath(h.path("three.txt"));
  QCOMPARE(h.parts(), QStringList({"C", "D", "E", ""}));

  // Dropping files on a part opens the first one only.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(h.path("good.txt")), QUrl::fromLocalFile(h.path("bad.txt"))});
  QWidget* viewport = h.part(1)->viewport();
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  QCOMPARE(h.window->documentPath(), h.path("good.txt"));
  QCOMPARE(h.text("Text3"), QString("Better"));
  QCOMPARE(h.prompts.messages.size(), 1);
}

void MainWindowTest::resolutionOfAnOpenedFileRescalesNothing() {
  Harness h;
  WriteAll(h.path("r24.txt"), SongFile({"qrv", "", "@120", "B", "B", "B", "A", "A", "A", "C*25",
                                        "L*50D", "", "0", "", " 0 ", "B", "A", "E*7"}));
  WriteAll(h.path("r48.txt"), SongFile({"qrv", "", "@120", "B", "B", "B", "A", "A", "A", "C*25", "",
                                        "", "0", "", " 1 ", "B", "A", ""}));
  h.window->OpenPath(h.path("r24.txt"));
  QCOMPARE(h.texts({"cmbBUNKAI", "Text1_0"}), QStringList({"24", "C*25"}));
  QVERIFY(!h.window->modified());
  h.window->OpenPath(h.path("r48.txt"));
  QCOMPARE(h.texts({"cmbBUNKAI", "Text1_0"}), QStringList({"48", "C*25"}));

  // A change by the user keeps the time of every absolute length, in all four parts.
  h.set({{"Text1_2", "L*50D\nE*7"}});
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  QCOMPARE(h.parts(), QStringList({"C*13", "", "L*25D\nE*4", ""}));
  QVERIFY(h.window->modified());
  h.combo("cmbBUNKAI")->setCurrentIndex(1);
  QCOMPARE(h.text("Text1_0"), QString("C*26"));
}

void MainWindowTest::openDispatchesOnTheFileKind() {
  Harness h;
  h.set({{"Text3", "Kept"}, {"Text1_0", "L8 O4 CDEFGAB"}});
  h.triggerWithFile("mnuMLD", "tune.mld");
  const QByteArray mld = ReadAll(h.path("tune.mld"));
  QVERIFY(mld.startsWith("melo"));

  // MIDI and SMD files are not read yet: nothing changes.
  for (const QString& name : {QString("x.mid"), QString("x.SmD"), QString("X.MiD")}) {
    h.prompts.answers = {Answer::No};
    h.window->OpenPath(h.path(name));
    QVERIFY(h.prompts.messages.last().kind == MessageKind::Warning);
    QVERIFY2(h.prompts.messages.last().text.contains("対応していません"),
             qPrintable(h.prompts.messages.last().text));
    QCOMPARE(h.texts({"Text3", "Text1_0"}), QStringList({"Kept", "L8 O4 CDEFGAB"}));
  }
  QCOMPARE(h.prompts.messages.size(), 3);

  // An MLD file gives an untitled song; the mutes stay as they are.
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  h.set({{"Check1_1", "1"}});
  h.window->OpenPath(h.path("tune.mld"));
  QCOMPARE(h.prompts.messages.size(), 3);
  QVERIFY(h.on("Check1_1"));
  QCOMPARE(h.text("Text3"), QString("Kept"));
  QVERIFY(!h.text("Text1_0").isEmpty());
  QCOMPARE(h.window->documentPath(), QString());
  QCOMPARE(h.window->windowTitle(), kUntitled);
  QVERIFY(!h.window->modified());

  // The read song builds to the same image; the dialogs offer names beside the file.
  h.triggerWithFile("mnuMLD", "again.mld");
  QCOMPARE(ReadAll(h.path("again.mld")), mld);
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("tune.mld"));
  h.prompts.files = {""};
  h.trigger("mnuSAVE");
  const QFileInfo offered(h.prompts.dialogs.last().dialog.initialName);
  QCOMPARE(offered.absolutePath(), QFileInfo(h.path("tune.mld")).absolutePath());
  QCOMPARE(offered.fileName().toLower(), QString("tune.txt"));
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
    QCOMPARE(h.prompts.messages.last().text, QString("ﾊﾟｰﾄ2 (3行目) に(O命令)構文ｴﾗｰがあります。"));
    QVERIFY(h.prompts.messages.last().kind == MessageKind::Error);
  }
  QCOMPARE(h.prompts.messages.size(), 4);
  QVERIFY(h.prompts.dialogs.isEmpty());
  QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), QStringList({"", kInitialReport}));
  QVERIFY(h.window->player() == nullptr);
  QVERIFY(!h.timer()->isActive());
}

void MainWindowTest::buildCommandsWriteMldMidiAndMail() {
  Harness h;
  WriteAll(h.path("Tune.txt"),
           SongFile({"qrv", "Mail", "@120", "B", "A", "B", "A", "40", "A", "L8 O4 CDEFGAB",
                     "L4 O3 CEG", "", "0", "", " 1 ", "B", "A", ""}));
  h.window->OpenPath(h.path("Tune.txt"));

  // MLD: the dialog proposes the song's own name; the report gives the file's size.
  h.triggerWithFile("MLD", "out");
  const FileDialog mldDialog = h.prompts.dialogs.last().dialog;
  QCOMPARE(Entries(mldDialog).mid(0, 2), QStringList({"Mld File(*.mld)", "*.mld"}));
  QCOMPARE(mldDialog.extension, QString(".mld"));
  QCOMPARE(QFileInfo(mldDialog.initialName).absolutePath(), QFileInfo(h.path("x")).absolutePath());
  QCOMPARE(QFileInfo(mldDialog.initialName).fileName().toLower(), QString("tune.mld"));
  const QByteArray mld = ReadAll(h.path("out.mld"));
  QVERIFY(mld.startsWith("melo"));
  const QRegularExpressionMatch report =
      QRegularExpression("^(\\d+)ﾊﾞｲﾄ  ﾊﾟｰﾄ1：(\\d+) .*ﾊﾟｰﾄ4：0 ").match(h.report());
  QVERIFY2(report.hasMatch(), qPrintable(h.report()));
  QCOMPARE(report.captured(1).toLongLong(), mld.size());
  QCOMPARE(report.captured(2).toInt(), 7 * 24);
  QVERIFY(h.prompts.messages.isEmpty());

  h.triggerWithFile("mnuMIDIMAKE", "out");
  const FileDialog midiDialog = h.prompts.dialogs.last().dialog;
  QCOMPARE(Entries(midiDialog).mid(0, 2), QStringList({"Midi File(*.mid)", "*.mid"}));
  QCOMPARE(QFileInfo(midiDialog.initialName).fileName().toLower(), QString("tune.mid"));
  QVERIFY(ReadAll(h.path("out.mid")).startsWith("MThd"));

  // Melody mail: marker, line break, base64 of the image, on the clipboard and in the box.
  h.trigger("MAIL");
  const QString mail = QGuiApplication::clipboard()->text();
  QVERIFY(mail.startsWith("--B:M\r\n"));
  QVERIFY(!mail.endsWith('\n'));
  QCOMPARE(QByteArray::fromBase64(mail.mid(7).toLatin1()), mld);
  QCOMPARE(h.text("txtMAIL"), mail);
  const auto& shown = h.prompts.messages.last();
  QVERIFY(shown.kind == MessageKind::Information);
  QVERIFY2(shown.text.startsWith(
               QString("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾒｰﾙ(%1ﾊﾞｲﾄ)を保存しました。ﾒｰﾙ本文に貼り付けて下さい。")
                   .arg(mail.size())),
           qPrintable(shown.text));
  QVERIFY(shown.text.endsWith("(注意：最後の行に改行は入れないで下さい。)"));

  // Reading it back gives an untitled song that builds to the same mail.
  h.prompts.answers = {Answer::No};
  h.trigger("mnuNEW");
  QGuiApplication::clipboard()->setText(mail + "\r\n");
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.texts({"Text3", "Combo2_1"}), QStringList({"Mail", "40"}));
  QCOMPARE(h.window->windowTitle(), kUntitled);
  QCOMPARE(h.window->documentPath(), QString());
  QVERIFY(!h.window->modified());
  h.trigger("mnuMAIL");
  QCOMPARE(QGuiApplication::clipboard()->text(), mail);

  // With unsaved changes the clipboard read asks first.
  QTest::keyClicks(h.find("Text3"), "!");
  QGuiApplication::clipboard()->setText(mail);
  h.prompts.answers = {Answer::Cancel};
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.prompts.questions.last(), kDiscardQuestion);
  QCOMPARE(h.text("Text3"), QString("Mail!"));

  // A tempo that is no number is built as 120 and shown so; that is no edit.
  WriteAll(h.path("fast.txt"), SongFile({"qrv", "", "@fast", "B", "B", "B", "A", "A", "A", "C", "",
                                         "", "0", "", " 1 "}));
  h.prompts.answers = {Answer::No};
  h.window->OpenPath(h.path("fast.txt"));
  QCOMPARE(h.text("Text5"), QString("fast"));
  h.triggerWithFile("mnuMLD", "fast.mld");
  QCOMPARE(h.text("Text5"), QString("120"));
  QVERIFY(!h.window->modified());

  // A file that cannot be written is reported.
  h.triggerWithFile("mnuMLD", "missing/fast.mld");
  QCOMPARE(h.prompts.messages.last().text, QString("ﾌｧｲﾙ書き込みに失敗しました。"));
  QVERIFY(h.prompts.messages.last().kind == MessageKind::Error);
}

void MainWindowTest::midiMenusChangeTheMidiFile() {
  Harness h;
  h.set({{"Text1_0", "L8 O4 CDEFGAB"}, {"Text1_1", "L4 O3 CEG"}});
  auto midiFile = [&h](const QString& name) {
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
  const QByteArray normal = midiFile("normal.mid");
  QVERIFY(normal.startsWith("MThd"));
  QCOMPARE(normal.count("MTrk"), 3);
  h.trigger("mnuMIDIOCT_0");
  QCOMPARE(QList<bool>({h.on("mnuMIDIOCT_0"), h.on("mnuMIDIOCT_1"), h.on("mnuMIDIOCT_2")}),
           QList<bool>({true, false, false}));
  const QByteArray high = midiFile("high.mid");
  QCOMPARE(high.size(), normal.size());
  QCOMPARE(firstDifference(high, normal), 12);
  h.trigger("mnuMIDIOCT_2");
  QVERIFY(!h.on("mnuMIDIOCT_0"));
  QCOMPARE(firstDifference(normal, midiFile("low.mid")), 12);
  h.trigger("mnuMIDIOCT_1");
  QCOMPARE(midiFile("normal2.mid"), normal);

  // Repeat plays every track's events twice.
  h.trigger("mnuMIDIREPEAT");
  QVERIFY(h.on("mnuMIDIREPEAT"));
  QVERIFY(midiFile("repeat.mid").size() > normal.size() + 20);
  h.trigger("mnuMIDIREPEAT");
  QVERIFY(!h.on("mnuMIDIREPEAT"));
  QCOMPARE(midiFile("normal3.mid"), normal);

  // A muted part has no track: one track fewer in the header.
  h.set({{"Check1_1", "1"}});
  const QByteArray muted = midiFile("muted.mid");
  QCOMPARE(muted.count("MTrk"), 2);
  QCOMPARE(int(muted[11]), 2);
}

void MainWindowTest::playbackFollowsTheSliderAndStops() {
  Harness h;
  h.set({{"Text1_0", kLongSong}});
  QSlider* slider = h.slider();
  h.trigger("mnuPLAY");
  MidiPlayer* player = h.window->player();
  QVERIFY(player != nullptr);
  QCOMPARE(h.mode(), QString("PLAYING"));
  QVERIFY(h.timer()->isActive());
  QVERIFY(player->Length() > 10000);
  QCOMPARE(static_cast<std::int64_t>(slider->maximum()), player->Length());
  QCOMPARE(slider->value(), 0);
  QVERIFY(ReadAll(h.path("cache/dummy.mid")).startsWith("MThd"));

  // The window goes on working while the song plays, and the slider follows it.
  QTest::keyClicks(h.find("Text3"), "playing");
  QTRY_VERIFY_WITH_TIMEOUT(slider->value() > 0, 3000);
  QCOMPARE(h.text("Text3"), QString("playing"));
  QCOMPARE(h.mode(), QString("PLAYING"));

  // Holding the slider pauses; releasing it plays on from where it was let go.
  slider->setSliderDown(true);
  QVERIFY(!h.timer()->isActive());
  QCOMPARE(h.mode(), QString("PAUSED"));
  const int held = slider->value();
  QTest::qWait(400);
  QCOMPARE(slider->value(), held);
  const int target = 7000;
  slider->setValue(target);
  slider->setSliderDown(false);
  QVERIFY(h.timer()->isActive());
  QCOMPARE(h.mode(), QString("PLAYING"));
  QTRY_VERIFY_WITH_TIMEOUT(player->Position() >= target, 1500);
  QVERIFY(player->Position() < target + 2500);
  QTRY_VERIFY_WITH_TIMEOUT(slider->value() >= target, 1500);

  // Stop: within a few ticks the slider is back at the start and the timer rests.
  h.trigger("STOP");
  QTRY_VERIFY_WITH_TIMEOUT(!h.timer()->isActive(), 2000);
  QCOMPARE(slider->value(), 0);
  QCOMPARE(slider->maximum(), 1);
  QVERIFY(h.mode() != "PLAYING");
  // With nothing playing, the slider starts nothing.
  slider->setSliderDown(true);
  slider->setValue(1);
  slider->setSliderDown(false);
  QVERIFY(h.mode() != "PLAYING");
  QVERIFY(!h.timer()->isActive());

  // A selection plays alone.
  QTextCursor selection = h.part(0)->textCursor();
  selection.setPosition(0);
  selection.setPosition(7, QTextCursor::KeepAnchor);  // "L4 O4 C"
  h.part(0)->setTextCursor(selection);
  h.trigger("PLAY");
  QCOMPARE(h.mode(), QString("PLAYING"));
  QVERIFY(slider->maximum() > 1);
  QVERIFY(slider->maximum() <= 1000);
  h.trigger("mnuSTOP");
  QTRY_VERIFY_WITH_TIMEOUT(!h.timer()->isActive(), 2000);
}

void MainWindowTest::playbackEndsByItselfAndResetPlaysTheResetFile() {
  Harness h;
  h.set({{"Text1_0", "L16 O4 C"}});
  h.trigger("mnuPLAY");
  QVERIFY(h.timer()->isActive());
  QTRY_VERIFY_WITH_TIMEOUT(!h.timer()->isActive(), 5000);
  QCOMPARE(h.slider()->value(), 0);
  QCOMPARE(h.slider()->maximum(), 1);

  // Muting every part plays a file with the conductor track only.
  h.set({{"Check1_0", "1"}, {"Check1_1", "1"}, {"Check1_2", "1"}, {"Check1_3", "1"}});
  h.trigger("mnuPLAY");
  QCOMPARE(ReadAll(h.path("cache/dummy.mid")).count("MTrk"), 1);
  QTRY_VERIFY_WITH_TIMEOUT(!h.timer()->isActive(), 5000);

  h.set({{"Text1_0", kLongSong}, {"Check1_0", "0"}});
  h.trigger("mnuPLAY");
  QVERIFY(h.timer()->isActive());
  h.trigger("mnuINIT");
  QVERIFY(!h.timer()->isActive());
  QCOMPARE(h.slider()->value(), 0);
  QCOMPARE(h.slider()->maximum(), 1);
  QCOMPARE(ReadAll(h.path("cache/dummy.mid")),
           QByteArray::fromHex("4D546864000000060001000100184D54726B00000019"
                               "02F0057E7F0901F7"
                               "02F00A4110421240007F0041F7"
                               "00FF2F00"));
  QVERIFY(h.window->player() != nullptr);

  // Playing after a reset works as before.
  h.trigger("mnuPLAY");
  QCOMPARE(h.mode(), QString("PLAYING"));
  QVERIFY(h.slider()->maximum() > 10000);
  h.trigger("mnuSTOP");
  QTRY_VERIFY_WITH_TIMEOUT(!h.timer()->isActive(), 2000);
}

void MainWindowTest::closingWritesSettingsAndFont() {
  QByteArray ini;
  {
    Harness h;
    h.trigger("mnuMIDIREPEAT");
    h.trigger("mnuMIDIOCT_0");

    // A cancelled font dialog changes nothing; a chosen font goes to all four boxes.
    const QFont before = h.part(2)->font();
    h.prompts.fonts = {std::nullopt};
    h.trigger("mnuFONT");
    QCOMPARE(h.part(2)->font(), before);
    QFont chosen("DejaVu Serif");
    chosen.setPointSize(13);
    chosen.setBold(true);
    h.prompts.fonts = {chosen};
    h.trigger("mnuFONT");
    QCOMPARE(h.prompts.fontDialogs, QList<QFont>({before, before}));
    for (int i = 0; i < 4; ++i) QCOMPARE(h.part(i)->font(), chosen);
    QVERIFY(!h.window->modified());
    QVERIFY(h.window->close());
    QVERIFY(h.prompts.questions.isEmpty());
    const QString path = h.path("chwr.ini");
    QCOMPARE(IniValue(path, "Midi/Time"), QString("1"));
    QCOMPARE(IniValue(path, "Midi/Key"), QString("0"));
    QCOMPARE(IniValue(path, "Font/Name"), QString("DejaVu Serif"));
    QCOMPARE(IniValue(path, "Font/Size"), QString("13"));
    QCOMPARE(IniValue(path, "Font/Bold"), QString("True"));
    QCOMPARE(IniValue(path, "Font/Italic"), QString("False"));
    ini = ReadAll(path);
  }

  // The next start finds the menus and the font as they were left.
  Harness next(ini);
  QVERIFY(next.on("mnuMIDIREPEAT"));
  QVERIFY(next.on("mnuMIDIOCT_0"));
  QCOMPARE(next.part(3)->font().family(), QString("DejaVu Serif"));
  next.trigger("mnuMIDIREPEAT");
  next.trigger("mnuMIDIOCT_1");
  QVERIFY(next.window->close());
  QCOMPARE(IniValue(next.path("chwr.ini"), "Midi/Time"), QString("0"));
  QCOMPARE(IniValue(next.path("chwr.ini"), "Midi/Key"), QString("1"));
}

void MainWindowTest::helpMenusOpenPages() {
  Harness h;
  h.trigger("mnuHELP");
  h.trigger("mnuSAPORT");
  h.trigger("mnuIMODE");
  QCOMPARE(h.prompts.urls,
           QList<QUrl>({QUrl::fromLocalFile(h.path("chwr.html")),
                        QUrl(WindowEnvironment{}.supportUrl), QUrl(WindowEnvironment{}.imodeUrl)}));
  QVERIFY(h.prompts.messages.isEmpty());

  // The about box is a modal box of its own.
  QString about;
  QTimer::singleShot(0, [&about] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      about = box->findChild<QLabel*>("qt_msgbox_label")->text();
      box->close();
    }
  });
  h.trigger("mnuVER");
  QVERIFY2(about.contains("Chimewright Ver1.21"), qPrintable(about));
}

}  // namespace chwr::gui

QTEST_MAIN(chwr::gui::MainWindowTest)
#include "main_window_test.moc"

// The MIDI import dialog driven as a user drives it: MIDI files written here opened
// through the window, controls found by name, the conversion and the preview run by
// their buttons, questions answered by ScriptedPrompts and the preview heard by the fake
// player. What the conversion writes has the core's own tests; these prove the dialog
// hands it the user's choices and puts its result where the user looks.

#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <span>

#include "gui_test.h"
#include "import/smf_import.h"
#include "shared/box_text.h"
#include "smf_bytes.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

const QString kConvertQuestion = "内容が変更されていますが変換しますか？";

namespace smf = test::smf;

// A Standard MIDI File of these tracks.
QByteArray Smf(int format, int division, const std::vector<test::Bytes>& tracks) {
  return QBytes(smf::File(format, division, tracks));
}

// 454,545 µs a quarter: 0.45 s after rounding, tempo 133.
const test::Bytes kTempoTrack = smf::Cat({smf::Tempo(0, 454545), smf::End()});
// "Melody" on channel 1, program 6: C4 sounding 36 of 48 ticks, then D4 for 48.
const test::Bytes kMelody = smf::Cat({smf::Meta(0, 0x03, "Melody"), smf::Ev(0, {0xC0, 5}),
                                      smf::On(0, 60), smf::Off(36, 60), smf::On(12, 62),
                                      smf::Off(48, 62), smf::End()});
// "Bass" on channel 2: C3 for 96 ticks.
const test::Bytes kBass = smf::Cat({smf::Meta(0, 0x03, "Bass"), smf::On(0, 48, 100, 1),
                                    smf::Off(96, 48, 1), smf::End()});

QByteArray Tune() {
  return Smf(1, 48, {kTempoTrack, kMelody, kBass});
}

// The dialog of tune.mid holding `file`, opened as a drop or the command line opens it.
QDialog* OpenTune(Harness& h, const QByteArray& file = Tune()) {
  WriteAll(h.path("tune.mid"), file);
  h.window->OpenPath(h.path("tune.mid"));
  return h.importDialog();
}

QStringList Shown(QDialog* d, const QStringList& names) {
  QStringList shown;
  for (const QString& name : names) {
    QObject* o = In<QObject>(d, name);
    shown << (qobject_cast<QGroupBox*>(o) ? o->property("title") : o->property("text")).toString();
  }
  return shown;
}

// A property ("checked", "enabled") of controls or actions, by name.
QList<bool> States(QObject* root, const QStringList& names, const char* property) {
  QList<bool> states;
  for (const QString& name : names) states << In<QObject>(root, name)->property(property).toBool();
  return states;
}

const QStringList kVolumeButtons = {"optVOL_1", "optVOL_2", "optVOL_3"};
// The menu items and their toolbar buttons.
const QStringList kBlocked = {"mnuNEW", "mnuREAD", "mnuSAVE", "NEW", "READ", "SAVE"};

void Select(QDialog* d, const QList<int>& rows) {
  auto* list = In<QListWidget>(d, "lstCH");
  for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(rows.contains(i));
}

void Tick(QDialog* d) {
  QVERIFY(QMetaObject::invokeMethod(In<QTimer>(d, "Timer1"), "timeout"));
}

// What the core makes of the file with these choices, as the part boxes show it.
QStringList Converted(const QByteArray& file, const ImportChoices& choices) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()),
                                            file.size());
  const auto facts = ReadSmfFacts(bytes);
  const auto song = ImportSmf(bytes, *facts, choices);
  QStringList parts;
  for (const std::string& part : song->parts) parts << ToBoxText(part);
  return parts;
}

}  // namespace

class ImportDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void openingAMidiFileShowsTheDialogAndHoldsTheFileCommands();
  void otherFormatsAndBadFilesAtOpen();
  void optionsComeFromTheSettingsAndGoBackOnClose();
  void refusedInputChangesNothingAndPointsAtItsBox();
  void closingWithoutConvertingLeavesTheSongAsItWas();
  void convertFillsTheSongFromTheFileAsItIsNow();
  void aMissingTrackEmptiesThePartsAndSaysSo();
  void previewPlaysFromTheStartMeasureUntilStoppedOrEnded();
};

void ImportDialogTest::openingAMidiFileShowsTheDialogAndHoldsTheFileCommands() {
  Harness h;
  WriteAll(h.path("tune.MiD"), Tune());
  h.set({{"Text3", "Mine"}});
  // Opening asks about the changes first, as for every file; the song stays as it is
  // until a conversion replaces it. The dialog's caption names the file.
  h.prompts.answers = {Answer::No};
  h.triggerWithFile("mnuREAD", "tune.MiD");
  QDialog* d = h.importDialog();
  QVERIFY(d && d->isVisible() && !d->isModal());
  QCOMPARE(d->parentWidget(), h.window.get());
  QCOMPARE(d->pos(), h.window->pos() + QPoint(3, 62));
  QCOMPARE(d->windowTitle(), QString("tune.MiD - MIDIﾌｧｲﾙ取り込み"));
  QCOMPARE(h.prompts.questions, QStringList({kDiscardQuestion}));
  QCOMPARE(h.text("Text3"), QString("Mine"));
  QVERIFY(h.window->modified());

  // What the file says, and the boxes' first values.
  QCOMPARE(Shown(d, {"Label8", "Label3", "txtSEEK", "txtMAX", "txtTRANCE"}),
           QStringList({"1", "分解能：48", "0", "32", "0"}));
  // Without settings the boxes are those of the conversion the closing test expects
  // (tone import on, the rest off).

  // The core's list items, the first chosen; the item's tip is the core's description.
  auto* list = In<QListWidget>(d, "lstCH");
  QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
  QCOMPARE(list->count(), 16);
  QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>({list->item(0)}));
  QVERIFY(list->item(1)->toolTip().startsWith("名前：Bass"));

  // New, Open and Save wait for the dialog, menu items and buttons alike; Save As does not.
  QCOMPARE(States(h.window.get(), kBlocked + QStringList{"mnuSAVENAME"}, "enabled"),
           QList<bool>({false, false, false, false, false, false, true}));
  Click(d, "Command2");
  QVERIFY(!h.importDialog());
  QCOMPARE(States(h.window.get(), kBlocked, "enabled"), QList<bool>(6, true));
}

void ImportDialogTest::otherFormatsAndBadFilesAtOpen() {
  Harness h;
  WriteAll(h.path("zero.mid"),
           Smf(0, 96, {smf::Cat({smf::Tempo(0, 500000), smf::Ev(0, {0xC0, 5}), smf::On(0, 60),
                                 smf::On(0, 48, 100, 1), smf::Off(48, 60), smf::Off(48, 48, 1),
                                 smf::End()})}));
  WriteAll(h.path("two.mid"), Smf(2, 48, {kTempoTrack, kMelody}));
  WriteAll(h.path("riff.mid"), "RIFF0000RMIDdata");
  h.set({{"Text3", "Kept"}});

  // Format 0 offers channels.
  h.openAnsweringNo(h.path("zero.mid"));
  QDialog* d = h.importDialog();
  QCOMPARE(Shown(d, {"Label8", "Label3"}), QStringList({"0", "分解能：96"}));
  QCOMPARE(In<QListWidget>(d, "lstCH")->item(0)->text(), QString("ﾁｬﾝﾈﾙ 1"));

  // Another MIDI file opened meanwhile takes the dialog's place. Format 2 offers
  // nothing to choose and nothing to convert. The song is still the changed one: Open
  // asks about it again.
  h.openAnsweringNo(h.path("two.mid"));
  d = h.importDialog();
  QCOMPARE(h.window->findChildren<QDialog*>("Form3").size(), 1);
  QCOMPARE(Shown(d, {"Label8"}), QStringList({"2"}));
  QCOMPARE(In<QListWidget>(d, "lstCH")->count(), 0);
  QVERIFY(!In(d, "Command1")->isEnabled());
  Click(d, "Command2");

  // A file that is no MIDI file, or none at all, is refused; the song stays.
  const QStringList bad = {"riff.mid", "gone.mid"};
  const QStringList messages = {"Error: SMF ﾌｫｰﾏｯﾄが無効です。",
                                "Error: " + kReadFailed};
  for (int i = 0; i < bad.size(); ++i) {
    h.openAnsweringNo(h.path(bad[i]));
    QCOMPARE(h.lastMessage(), messages[i]);
    QVERIFY(!h.importDialog());
    QCOMPARE(States(h.window.get(), kBlocked, "enabled"), QList<bool>(6, true));
  }
  QCOMPARE(h.text("Text3"), QString("Kept"));
  QVERIFY(h.window->modified());
  QCOMPARE(h.prompts.questions.size(), 4);
}

void ImportDialogTest::optionsComeFromTheSettingsAndGoBackOnClose() {
  Harness h("[Midi]\r\nTone=0\r\nOct=1\r\nVol=2\r\nPos=16\r\n");
  QDialog* d = OpenTune(h);
  QCOMPARE(States(d, {"chkTONE", "chkOCT", "chkVOL"}, "checked"), QList<bool>({false, true, true}));
  QCOMPARE(States(d, kVolumeButtons, "checked") + States(d, kVolumeButtons, "enabled"),
           QList<bool>({false, true, false, true, true, true}));
  QCOMPARE(Shown(d, {"txtMAX"}), QStringList({"16"}));

  // Clearing the volume box clears and disables its choices; checking it picks the first.
  Click(d, "chkVOL");
  QCOMPARE(States(d, kVolumeButtons, "checked") + States(d, kVolumeButtons, "enabled"),
           QList<bool>(6, false));
  Click(d, "chkVOL");
  QCOMPARE(States(d, kVolumeButtons, "checked"), QList<bool>({true, false, false}));
  Click(d, "optVOL_3");
  Click(d, "chkTONE");
  Click(d, "chkOCT");
  In<QLineEdit>(d, "txtMAX")->setText("8");
  In<QLineEdit>(d, "txtSEEK")->setText("3");
  // Escape closes the dialog as its button does.
  QTest::keyClick(d, Qt::Key_Escape);
  QVERIFY(!h.importDialog());
  const Settings stored = h.window->currentSettings();
  QCOMPARE(QList<int>({stored.importOptions.takeTone, stored.importOptions.takeOctave,
                       stored.importOptions.volumeSource, stored.importOptions.measures}),
           QList<int>({1, 0, 3, 8}));

  // The next dialog starts from them, with a fresh start measure.
  d = OpenTune(h);
  QCOMPARE(States(d, {"chkTONE", "chkOCT", "optVOL_3"}, "checked"),
           QList<bool>({true, false, true}));
  QCOMPARE(Shown(d, {"txtMAX", "txtSEEK"}), QStringList({"8", "0"}));

  // A range that is no number keeps the stored one. Closing the window closes the
  // dialog first, so the settings file gets its options.
  In<QLineEdit>(d, "txtMAX")->setText("many");
  Click(d, "chkVOL");
  QVERIFY(h.window->close());
  QCOMPARE(IniValues(h.path("chwr.ini"), {"Midi/Tone", "Midi/Oct", "Midi/Vol", "Midi/Pos"}),
           QStringList({"1", "0", "0", "8"}));
}

void ImportDialogTest::refusedInputChangesNothingAndPointsAtItsBox() {
  Harness h;
  WriteAll(h.path("tune.mid"), Tune());
  h.combo("cmbBUNKAI")->setCurrentIndex(0);
  h.prompts.answers = {Answer::No};  // the changed resolution is not kept
  h.window->OpenPath(h.path("tune.mid"));
  h.prompts.questions.clear();
  h.set({{"Text1_0", "C*24"}});  // typed while the dialog is open
  QDialog* d = h.importDialog();
  struct Row {
    QList<int> rows;
    QString seek, measures, transpose, message, control;
  };
  // Which inputs are refused has the core's tests; here each box is pointed at.
  const Row rows[] = {
      {{0, 1, 2, 3, 4}, "0", "32", "0", "変換対象ﾄﾗｯｸは4つまでです。", "lstCH"},
      {{0}, "x", "32", "0", "開始位置が無効です。", "txtSEEK"},
      {{0}, "0", "12345", "0", "変換範囲が無効です。", "txtMAX"},
      {{0}, "0", "32", "-123", "ﾄﾗﾝｽﾎﾟｰｽﾞが無効です。", "txtTRANCE"},
  };
  for (const Row& row : rows) {
    Select(d, row.rows);
    In<QLineEdit>(d, "txtSEEK")->setText(row.seek);
    In<QLineEdit>(d, "txtMAX")->setText(row.measures);
    In<QLineEdit>(d, "txtTRANCE")->setText(row.transpose);
    In(d, "Command1")->setFocus();
    Click(d, "Command1");
    QCOMPARE(h.lastMessage(), "Error: " + row.message);
    QCOMPARE(d->focusWidget()->objectName(), row.control);
  }
  QVERIFY(h.prompts.questions.isEmpty());
  QCOMPARE(h.texts({"Text1_0", "cmbBUNKAI"}), QStringList({"C*24", "24"}));

  // A sign and two digits pass: the changed song's question comes next.
  In<QLineEdit>(d, "txtTRANCE")->setText("-12");
  h.prompts.confirms = {false};
  Click(d, "Command1");
  QCOMPARE(h.prompts.questions, QStringList({kConvertQuestion}));
  QCOMPARE(h.texts({"Text1_0", "cmbBUNKAI"}), QStringList({"C*24", "24"}));
}

void ImportDialogTest::closingWithoutConvertingLeavesTheSongAsItWas() {
  Harness h;
  const QString song = h.path("song.txt");
  WriteAll(song, SongFile({"qrv", "Old", "@96", "B", "B", "B", "A", "A", "A", "C", "D", "E", "0",
                           "", " 1 ", "B", "A", "F"}));
  WriteAll(h.path("tune.mid"), Tune());
  auto recentFiles = [&h] {
    QStringList paths;
    for (const std::string& path : h.window->currentSettings().recentFiles) paths << Q(path);
    return paths;
  };
  h.window->OpenPath(song);
  QCOMPARE(recentFiles(), QStringList({song}));

  // Both ways of closing, each after Ctrl+O on a changed song whose changes the user
  // chose not to save: the song, its file, its changes and the recent files stay.
  const QList<std::function<void(QDialog*)>> closings = {
      [](QDialog* d) { Click(d, "Command2"); },
      [](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }};
  for (const auto& close : closings) {
    QTest::keyClicks(h.part(0), "G");
    const QStringList parts = h.parts();
    const QString caption = h.caption();
    QCOMPARE(caption, song + "*" + kCaptionSuffix);
    h.prompts.answers = {Answer::No};
    h.prompts.files = {h.path("tune.mid")};
    QTest::keyClick(h.part(0), Qt::Key_O, Qt::ControlModifier);
    QDialog* d = h.importDialog();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QString("tune.mid - MIDIﾌｧｲﾙ取り込み"));
    QCOMPARE(h.caption(), caption);
    close(d);
    QVERIFY(!h.importDialog());
    QCOMPARE(h.caption(), caption);
    QVERIFY(h.window->modified());
    QCOMPARE(h.window->documentPath(), song);
    QCOMPARE(h.parts(), parts);
    QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI"}), QStringList({"Old", "96", "48"}));
    QCOMPARE(recentFiles(), QStringList({song}));
    // Save writes the song's own file, asking for no name.
    const qsizetype dialogs = h.prompts.dialogs.size();
    QTest::keyClick(h.part(0), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(h.prompts.dialogs.size(), dialogs);
    QVERIFY(ReadAll(song).contains("\r\n" + parts[0].toLatin1() + "\r\n"));
    QCOMPARE(h.caption(), song + kCaptionSuffix);
  }

  // Closing the window while the dialog is open still asks about the song's changes.
  QTest::keyClicks(h.part(1), "A");
  h.openAnsweringNo(h.path("tune.mid"));
  h.prompts.answers = {Answer::Cancel};
  QVERIFY(!h.window->close());
  QCOMPARE(h.prompts.questions.size(), 4);
  QCOMPARE(h.prompts.questions.last(), kDiscardQuestion);

  // Converting replaces the song, without asking again about the changes the user let go
  // at Open: an untitled, changed song whose file joins the recent files. Closing the
  // dialog then keeps the converted song.
  QDialog* d = h.importDialog();
  Click(d, "Command1");
  ImportChoices first;  // the dialog's choices without settings
  first.selected[0] = first.tone = true;
  const QStringList converted = h.parts();
  QCOMPARE(converted, Converted(Tune(), first));
  QCOMPARE(h.caption(), "無題*" + kCaptionSuffix);
  QCOMPARE(recentFiles(), QStringList({h.path("tune.mid"), song}));
  Click(d, "Command2");
  QCOMPARE(h.parts(), converted);
  QVERIFY(h.window->modified() && h.window->documentPath().isEmpty());
  QCOMPARE(h.prompts.questions.size(), 4);
}

void ImportDialogTest::convertFillsTheSongFromTheFileAsItIsNow() {
  Harness h;
  WriteAll(h.path("song.txt"), SongFile({"qrv", "Old", "@96", "B", "B", "B", "A", "A", "A", "C*24",
                                         "D", "E", "0", "", " 0 ", "B", "A", "F"}));
  h.window->OpenPath(h.path("song.txt"));
  QDialog* d = OpenTune(h);
  h.set({{"Text1_3", "typed"}});  // typed while the dialog is open
  Select(d, {0, 1});
  Click(d, "chkOCT");
  ImportChoices choices;
  choices.selected[0] = choices.selected[1] = true;
  choices.octave = choices.tone = true;

  // The changed song is replaced only when the user says so.
  h.prompts.confirms = {false, true};
  Click(d, "Command1");
  QCOMPARE(h.texts({"Text3", "cmbBUNKAI", "Text1_3"}), QStringList({"Old", "24", "typed"}));
  Click(d, "Command1");
  QCOMPARE(h.prompts.questions, QStringList({kConvertQuestion, kConvertQuestion}));
  QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI", "Combo3_0", "Combo3_1"}),
           QStringList({"Melody", "133", "48", "6   E.Piano 2", "B"}));
  QCOMPARE(h.parts(), Converted(Tune(), choices));
  // The first note sounds 36 of its 48 ticks, from octave 4.
  QVERIFY2(h.text("Text1_0").startsWith("O4Q12C4"), qPrintable(h.text("Text1_0")));
  QVERIFY(h.text("Text1_1").startsWith("O3"));

  // The song is a new, changed one: its file is safe from the next Save.
  QVERIFY(h.window->modified());
  QVERIFY(h.window->documentPath().isEmpty());
  QVERIFY(d->isVisible());

  // Each conversion reads the file again.
  const QByteArray changed = Smf(1, 48, {kTempoTrack, kBass, kMelody});
  WriteAll(h.path("tune.mid"), changed);
  Click(d, "chkDELTA");
  choices.absolute = true;
  h.prompts.confirms = {true};
  Click(d, "Command1");
  QCOMPARE(h.parts(), Converted(changed, choices));
  QCOMPARE(h.text("Combo3_1"), QString("6   E.Piano 2"));

  Click(d, "Command2");
  h.cancelDialogOf("mnuSAVE");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("tune.txt"));
}

void ImportDialogTest::aMissingTrackEmptiesThePartsAndSaysSo() {
  Harness h;
  QDialog* d = OpenTune(h);
  Select(d, {0, 2});
  // An unchanged song is replaced without a question.
  Click(d, "Command1");
  QVERIFY(h.prompts.questions.isEmpty());
  QCOMPARE(h.lastMessage(), QString("Error: ﾄﾗｯｸ3情報が存在しません。"));
  QCOMPARE(h.parts(), QStringList(4, ""));
  QCOMPARE(h.texts({"Text3", "Text5", "cmbBUNKAI"}), QStringList({"Melody", "120", "48"}));
}

void ImportDialogTest::previewPlaysFromTheStartMeasureUntilStoppedOrEnded() {
  Harness h;
  // 500,000 µs a quarter: two measures are four seconds.
  const QByteArray file = Smf(1, 48, {smf::Cat({smf::Tempo(0, 500000), smf::End()}), kMelody});
  QDialog* d = OpenTune(h, file);
  auto* button = In<QPushButton>(d, "Command3");
  auto* timer = In<QTimer>(d, "Timer1");
  In<QLineEdit>(d, "txtSEEK")->setText("2");
  Click(d, "Command3");
  QCOMPARE(h.newCalls(),
           QStringList({QString("Open %1").arg(file.size()), "SetPosition 4000", "Play"}));
  QVERIFY(button->text() == "停止" && timer->isActive() && !h.timer()->isActive());
  h.player->Advance(1000);
  Tick(d);
  QCOMPARE(button->text(), QString("停止"));
  Click(d, "Command3");
  QCOMPARE(h.newCalls(), QStringList({"Stop"}));
  QVERIFY(button->text() == "再生" && !timer->isActive());

  // A preview that reaches the end gives the button back at the next tick.
  In<QLineEdit>(d, "txtSEEK")->setText("0");
  Click(d, "Command3");
  QCOMPARE(h.newCalls(), QStringList({"Stop", QString("Open %1").arg(file.size()), "Play"}));
  h.player->Finish();
  Tick(d);
  QVERIFY(button->text() == "再生" && !timer->isActive());

  // The song's own Play takes the player over: the preview ends, the song plays on.
  h.set({{"Text1_0", kLongSong}});
  Click(d, "Command3");
  h.trigger("mnuPLAY");
  Tick(d);
  QCOMPARE(button->text(), QString("再生"));
  QVERIFY(h.playing());

  // Closing the dialog stops its preview.
  Click(d, "Command3");
  QVERIFY(!h.timer()->isActive());
  QCOMPARE(h.mode(), QString("PLAYING"));
  Click(d, "Command2");
  QCOMPARE(h.mode(), QString("STOPPED"));
  QCOMPARE(h.playersMade, 1);
}

CHWR_GUI_TEST(ImportDialogTest)

}  // namespace chwr::gui
#include "import_dialog_test.moc"

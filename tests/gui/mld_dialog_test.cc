// Ring tones of other programs' layouts opened in the editor: one whose voices fit the
// parts opens as a song; any other goes to the import dialog, which lists its voices,
// converts those picked, plays the tone as it is (looping at its loop points) and saves
// it as MIDI. What the conversion writes has the core's own tests.

#include <QtTest>
#include <QtWidgets>
#include <span>

#include "convert/open_song.h"
#include "gui_test.h"
#include "mld_bytes.h"
#include "shared/box_text.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

using test::Bytes;
using test::Cat;

// Voice v's key k: a 3-byte note at delta 0, gate 16.
Bytes N(int v, int k) {
  return {0x00, std::uint8_t(v << 6 | k), 0x10};
}

// Five voices on two tracks, the first striking a chord; a loop from tick 48 (500 ms at
// tempo 120, 48 ticks a quarter) to tick 96.
const Bytes kFiveVoices = test::MldFile({}, {Cat({test::kMldTempo,
                                                  N(0, 1),
                                                  N(0, 5),
                                                  N(1, 13),
                                                  N(2, 25),
                                                  N(3, 30),
                                                  {0x30, 0xFF, 0xDD, 0x00, 0x30, 0xFF, 0xDD, 0x01},
                                                  test::kMldEnd}),
                                             Cat({N(0, 37), test::kMldEnd})});

MldMusic Decoded(const Bytes& file) {
  return *DecodeMld(file);
}

QDialog* OpenRing(Harness& h, const Bytes& file = kFiveVoices) {
  WriteAll(h.path("Ring.mld"), QBytes(file));
  h.window->OpenPath(h.path("Ring.mld"));
  return h.importDialog();
}

}  // namespace

class MldDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void aToneThatFitsOpensAsASongAnyOtherInTheDialog();
  void previewPlaysTheToneAsItIsAndLoopsAtItsLoopPoints();
  void saveWritesWhatChwrConvertWrites();
};

void MldDialogTest::aToneThatFitsOpensAsASongAnyOtherInTheDialog() {
  Harness h;
  // Two voices on two tracks: another program's layout, and a song holds it as it is.
  const Bytes two = test::MldFile({}, {N(0, 1), N(0, 5)});
  WriteAll(h.path("two.mld"), QBytes(two));
  h.window->OpenPath(h.path("two.mld"));
  QVERIFY(!h.importDialog());
  QStringList song;
  const auto opened = OpenSongBytes(FileKind::kMld, two);
  for (const PartSlot& part : opened->song.parts) song << ToBoxText(part.mml);
  QCOMPARE(h.parts(), song);
  QVERIFY(!song[0].isEmpty() && !song[1].isEmpty());

  // Cancel leaves the song as it is.
  h.set({{"Text3", "Mine"}});
  h.prompts.answers = {Answer::No, Answer::No};
  QDialog* d = OpenRing(h);
  QVERIFY(d && d->isVisible());
  QCOMPARE(d->windowTitle(), QString("Ring.mld - MLDﾌｧｲﾙ取り込み"));
  // The file's own facts: no "vers" chunk, 48 ticks a quarter (not the MIDI file's 1920).
  QCOMPARE(In<QLabel>(d, "Label7")->text() + In<QLabel>(d, "Label8")->text(),
           QString("MLD vers：-"));
  QCOMPARE(In<QLabel>(d, "Label3")->text(), QString("分解能：48"));
  QCOMPARE(h.text("Text3"), QString("Mine"));
  // The voices by channel, the first four with notes picked (the items' texts and tips
  // are the core's, as for a MIDI file).
  auto* list = In<QListWidget>(d, "lstCH");
  QStringList items;
  QList<int> picked;
  for (int i = 0; i < list->count(); ++i) {
    items << list->item(i)->text();
    if (list->item(i)->isSelected()) picked << i;
  }
  QCOMPARE(items, QStringList({"ﾁｬﾝﾈﾙ 1", "ﾁｬﾝﾈﾙ 2", "ﾁｬﾝﾈﾙ 3", "ﾁｬﾝﾈﾙ 4", "ﾁｬﾝﾈﾙ 5"}));
  QCOMPARE(picked, QList<int>({0, 1, 2, 3}));
  QCOMPARE(In<QLineEdit>(d, "txtMAX")->text(), QString("9999"));
  Click(d, "Command2");
  QCOMPARE(h.text("Text3"), QString("Mine"));
  d = OpenRing(h);
  list = In<QListWidget>(d, "lstCH");

  // Channels 1 and 5 picked: two parts, and what was left out is said.
  for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(i == 0 || i == 4);
  h.prompts.messages.clear();
  Click(d, "Command1");
  ImportChoices choices;
  choices.selected[0] = choices.selected[4] = true;
  choices.measures = "9999";
  choices.octave = choices.tone = true;
  const MldMidi midi = MldToSmf(Decoded(kFiveVoices), kMldSongBase);
  auto core = ImportMidiSong(midi.bytes, choices);
  QVERIFY(core.has_value());
  QStringList parts;
  for (const PartSlot& part : core->song.parts) parts << ToBoxText(part.mml);
  QCOMPARE(h.parts(), parts);
  QVERIFY(!parts[0].isEmpty() && !parts[1].isEmpty() && parts[2].isEmpty() && parts[3].isEmpty());
  QStringList said;
  for (const auto& m : h.prompts.messages) said << m.text;
  QCOMPARE(said, QStringList({QString::fromStdString(msg::MldVoicesNotChosen({1, 2, 3})),
                              msg::kMldChordsInParts}));
  QVERIFY(h.window->modified() && h.window->documentPath().isEmpty());
}

void MldDialogTest::previewPlaysTheToneAsItIsAndLoopsAtItsLoopPoints() {
  Harness h;
  QDialog* d = OpenRing(h);
  Click(d, "chkLOOP");
  Click(d, "Command3");
  // Every voice at the keys a handset sounds, from the start to the loop's end, then back
  // to its start.
  const Bytes heard = MldToSmf(Decoded(kFiveVoices), kMldMelodicBase).bytes;
  QCOMPARE(h.newCalls(),
           QStringList({QString("Open %1").arg(heard.size()), "PlayLoopRange 500 1000"}));
  QVERIFY(h.player->openedBytes == heard);
  h.player->Advance(1000);
  QCOMPARE(h.player->Position(), 500);
  h.player->Advance(700);
  QCOMPARE(h.player->Position(), 700);
  QCOMPARE(h.mode(), QString("PLAYING"));

  // The loop check box is kept for the next dialog.
  Click(d, "Command2");
  QCOMPARE(h.mode(), QString("STOPPED"));
  d = OpenRing(h);
  QVERIFY(In<QCheckBox>(d, "chkLOOP")->isChecked());
}

void MldDialogTest::saveWritesWhatChwrConvertWrites() {
  Harness h;
  QDialog* d = OpenRing(h);
  h.prompts.files = {h.path("saved.mid"), h.path("gone/saved.mid")};
  Click(d, "cmdSAVEMID");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("ring.mid"));
  QProcess chwr;
  chwr.start(CHWR_EXE, {"convert", h.path("Ring.mld"), "-o", h.path("chwr.mid")});
  QVERIFY(chwr.waitForFinished(60000) && chwr.exitCode() == 0);
  QCOMPARE(ReadAll(h.path("saved.mid")), ReadAll(h.path("chwr.mid")));
  QVERIFY(!ReadAll(h.path("saved.mid")).isEmpty());

  // A folder that is not there: the failure is said and nothing is written.
  Click(d, "cmdSAVEMID");
  QVERIFY(h.prompts.messages.last().text.startsWith(kWriteFailed));
  QVERIFY(!QFileInfo::exists(h.path("gone")));
}

CHWR_GUI_TEST(MldDialogTest)

}  // namespace chwr::gui
#include "mld_dialog_test.moc"

// Playing the song from the main window: the slider, the position timer, the mutes and
// the reset file, with a fake player whose clock the test turns and a timer it fires.
// The real player has its own tests; these prove the window drives it.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "midi/smf_writer.h"
#include "window_harness.h"

namespace chwr::gui {
class PlaybackTest : public QObject {
  Q_OBJECT

 private slots:
  void playbackFollowsTheSliderAndStops();
  void mutedPlaybackEndsAndResetPlaysTheResetFile();
  void mutesReachThePlaybackAtOnceAndOtherSettingsTheNextOne();
  void sliderJumpsWhereClickedAndKeysSeek();
  void playbackFailuresAreShownAndPlayingGoesOn();
};

void PlaybackTest::playbackFollowsTheSliderAndStops() {
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
  h.advance(1500);
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
  h.advance(500);
  QCOMPARE(slider->value(), 7500);

  // Stop: the next tick puts the slider back at the start and rests the timer.
  h.trigger("STOP");
  QCOMPARE(h.mode(), QString("STOPPED"));
  h.tick();
  QVERIFY(h.rested());
  // With nothing playing, the slider starts nothing: the player saw Stop and the
  // tick's stop only.
  h.drag(1);
  QCOMPARE(h.newCalls(), QStringList({"Stop", "Stop"}));
  QVERIFY(!h.timer()->isActive());

  // A selection plays alone, and ends by itself; the same player plays it.
  h.select(0, 0, 7);  // "L4 O4 C"
  h.trigger("PLAY");
  QVERIFY(h.playing());
  const QByteArray played = ReadAll(h.path("cache/dummy.mid"));
  h.finish();
  QVERIFY(h.rested());
  QCOMPARE(h.playersMade, 1);
  // What played is the MIDI file of a song that is the selection.
  h.set({{"Text1_0", "L4 O4 C"}});
  h.triggerWithFile("mnuMIDIMAKE", "selection.mid");
  QCOMPARE(ReadAll(h.path("selection.mid")), played);
}

void PlaybackTest::mutedPlaybackEndsAndResetPlaysTheResetFile() {
  Harness h;
  // Muting every part plays a file with the conductor track only.
  h.set({{"Text1_0", kLongSong}});
  for (int i = 0; i < 4; ++i) h.set({{QString("Check1_%1").arg(i), "1"}});
  h.trigger("mnuPLAY");
  QCOMPARE(ReadAll(h.path("cache/dummy.mid")).count("MTrk"), 1);
  h.finish();
  QVERIFY(h.rested());

  // Reset stops the song and plays the reset file; playing works as before after it.
  h.set({{"Check1_0", "0"}});
  h.trigger("mnuPLAY");
  QVERIFY(h.playing());
  h.newCalls();
  h.trigger("mnuINIT");
  QVERIFY(h.rested());
  // The reset file's bytes have the core's tests; here it is the one played.
  const QByteArray reset = QBytes(ResetSmfImage());
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

void PlaybackTest::mutesReachThePlaybackAtOnceAndOtherSettingsTheNextOne() {
  Harness h;
  h.set({{"Text1_0", kLongSong}, {"Text1_1", kLongSong}});
  h.trigger("mnuPLAY");
  const int fullTracks = ReadAll(h.path("cache/dummy.mid")).count("MTrk");
  h.newCalls();
  // A function key or the mute box silences the part's channel (its index) at once,
  // also while the held slider pauses the song; unmuting lets it sound again.
  QTest::keyClick(h.find("Text3"), Qt::Key_F2);
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

void PlaybackTest::sliderJumpsWhereClickedAndKeysSeek() {
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
  h.advance(500);
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
  h.finish();
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
  fresh.drag(fresh.slider()->maximum());
  fresh.trigger("mnuPLAY");
  QCOMPARE(fresh.newCalls().mid(1), QStringList({"Play"}));
  QCOMPARE(fresh.slider()->value(), 0);
}

void PlaybackTest::playbackFailuresAreShownAndPlayingGoesOn() {
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

CHWR_GUI_TEST(PlaybackTest)

}  // namespace chwr::gui

#include "playback_test.moc"

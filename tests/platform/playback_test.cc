// FluidSynth playback without a sound card: the real player driven the way the main
// window drives it, its clock moved by rendering audio; the loader that finds the
// playback module; and offline rendering.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/build_song.h"
#include "io/file_io.h"
#include "midi/smf_writer.h"
#include "playback/fluidsynth_player.h"
#include "playback/playback.h"
#include "playback/playback_module.h"
#include "smf_bytes.h"
#include "messages.h"

namespace chwr {

// Lets failed expectations name the state.
void PrintTo(PlayerMode mode, std::ostream* os) {
  *os << PlayerModeName(mode);
}

namespace {

namespace fs = std::filesystem;
namespace sb = test::smf;
using Bytes = std::vector<std::uint8_t>;

const fs::path kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
const std::string kInvalidFormat = msg::kInvalidFileFormat;
// How far a position may be from the ideal: it counts whole ticks (20.8 ms at tempo
// 60 and 48 steps a quarter), and the player starts or takes a seek at the next
// block of 64 frames the synth renders (1.5 ms).
constexpr std::int64_t kSlack = 25;

struct Tune {
  std::vector<std::string> parts;
  std::string tempo = "120";
};

// The playback file of a song, built the way the play command builds it.
Bytes MidiOf(const Tune& tune) {
  SongDocument song;
  for (std::size_t p = 0; p < tune.parts.size(); ++p) song.parts[p].mml = tune.parts[p];
  song.tempo = tune.tempo;
  BuildRequest request;
  request.midi = true;
  auto build = BuildSong(song, request);
  EXPECT_TRUE(build) << build.error().message;
  return build ? build->midiFile : Bytes{};
}

// A scratch folder that writes files into itself.
struct Scratch : test::TempDir {
  fs::path File(const std::string& name, const Bytes& bytes) const {
    test::WriteBytes(*this / name, bytes);
    return *this / name;
  }
};

// Eight quarter notes at tempo 60: 8000 ms, room for seeking about.
const Tune kEightSeconds{{"O4C4D4E4F4G4A4B4O5C4"}, "60"};
// One eighth note at tempo 120: 250 ms.
const Tune kShort{{"O4C8"}};

class FluidSynthPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
    auto created = FluidSynthPlayer::Create({kSoundFont, AudioOutput::kManual});
    ASSERT_TRUE(created) << created.error().message;
    player_ = std::move(*created);
  }

  void Open(const Bytes& midi) {
    auto opened = player_->OpenBytes(midi);
    ASSERT_TRUE(opened) << opened.error().message;
  }

  // Plays the open file, which must stop at its last event, not when FluidSynth
  // would let go of it seconds later.
  void PlayToTheEnd() {
    player_->Play();
    EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying);
    player_->Render(player_->Length() - 3 * kSlack);
    EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying) << "at " << player_->Position();
    player_->Render(6 * kSlack);
    EXPECT_EQ(player_->Mode(), PlayerMode::kStopped) << "at " << player_->Position();
    EXPECT_LE(player_->Position(), player_->Length());
  }

  // The mode or the position after `ms` more of audio.
  PlayerMode ModeAfter(std::int64_t ms) { return player_->Render(ms), player_->Mode(); }
  std::int64_t PositionAfter(std::int64_t ms) { return player_->Render(ms), player_->Position(); }

  std::unique_ptr<FluidSynthPlayer> player_;
};

TEST_F(FluidSynthPlayerTest, OpenGivesTheFilesLengthAndStaysStopped) {
  EXPECT_EQ(player_->Length(), 0);
  // How tempo and resolution make milliseconds has the timing's own tests.
  const std::pair<Tune, std::int64_t> cases[] = {
      {{{"O4C4D4E4F4"}}, 2000},
      {{{"O4C4D4E4F4", "O4C1R1"}, "60"}, 8000},  // the longest part decides
  };
  for (const auto& [tune, length] : cases) {
    Open(MidiOf(tune));
    EXPECT_EQ(player_->Length(), length) << tune.parts[0];
    EXPECT_EQ(player_->Mode(), PlayerMode::kStopped);
  }
  EXPECT_EQ(ModeAfter(300), PlayerMode::kStopped);
  EXPECT_EQ(player_->Position(), 0);
}

// The slider's way: pause on mouse-down, SetPosition and Play on mouse-up, then the
// next poll comes a timer interval later. Playing must go on from the chosen place
// straight away, not from the old one until somebody polls; without a chosen place,
// from where it was paused.
TEST_F(FluidSynthPlayerTest, PlayingGoesOnFromWhereItWasLeftOrPutWhileNotPlaying) {
  Open(MidiOf(kEightSeconds));
  using Step = void (FluidSynthPlayer::*)();
  const struct {
    Step halt;  // null: before the first Play
    PlayerMode halted;
    std::int64_t target;  // -1: no SetPosition
    Step goOn;
  } cases[] = {
      {nullptr, PlayerMode::kStopped, 4000, &FluidSynthPlayer::Play},
      {&FluidSynthPlayer::Pause, PlayerMode::kPaused, -1, &FluidSynthPlayer::Resume},
      {&FluidSynthPlayer::Pause, PlayerMode::kPaused, 6000,
       &FluidSynthPlayer::Resume},                                                    // forwards
      {&FluidSynthPlayer::Pause, PlayerMode::kPaused, 1000, &FluidSynthPlayer::Play},  // backwards
      {&FluidSynthPlayer::Stop, PlayerMode::kStopped, 3000, &FluidSynthPlayer::Play},
      {&FluidSynthPlayer::Stop, PlayerMode::kStopped, -1, &FluidSynthPlayer::Play},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    if (c.halt) (player_.get()->*c.halt)();
    if (c.target >= 0) player_->SetPosition(c.target);
    EXPECT_EQ(player_->Mode(), c.halted);
    const std::int64_t from = c.target >= 0 ? c.target : player_->Position();
    player_->Render(300);  // time passes, the position does not
    EXPECT_NEAR(player_->Position(), from, kSlack);
    (player_.get()->*c.goOn)();
    // No poll in between: rendering alone must carry the new place.
    for (int i = 1; i <= 10; ++i) {
      EXPECT_NEAR(PositionAfter(60), from + 60 * i, kSlack) << "after " << 60 * i << " ms";
    }
    EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying);
  }
}

TEST_F(FluidSynthPlayerTest, SeekWhilePlayingJumps) {
  Open(MidiOf(kEightSeconds));
  const struct {
    std::int64_t playedBefore;  // 0: straight after Play, before the player's own start
    std::int64_t target;
  } cases[] = {{0, 3000}, {200, 6000}, {200, 500}, {200, 500}};
  player_->Play();
  for (const auto& [playedBefore, target] : cases) {
    SCOPED_TRACE(target);
    player_->Render(playedBefore);
    player_->SetPosition(target);
    EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying);
    EXPECT_NEAR(PositionAfter(300), target + 300, kSlack);
  }
  EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying);
}

TEST_F(FluidSynthPlayerTest, OpeningStopsThePlayingFileAndItsEndStopsTheNext) {
  Open(MidiOf(kEightSeconds));
  player_->Play();
  player_->Render(300);
  Open(MidiOf(kShort));
  EXPECT_EQ(player_->Length(), 250);
  EXPECT_EQ(player_->Mode(), PlayerMode::kStopped);
  EXPECT_EQ(ModeAfter(300), PlayerMode::kStopped);
  EXPECT_EQ(player_->Position(), 0);

  PlayToTheEnd();
  EXPECT_EQ(ModeAfter(3000), PlayerMode::kStopped);

  // Played again after its end, the file plays once more from the start.
  player_->Play();
  EXPECT_EQ(ModeAfter(100), PlayerMode::kPlaying);
  EXPECT_NEAR(player_->Position(), 100, kSlack);
  EXPECT_EQ(ModeAfter(200), PlayerMode::kStopped);
}

TEST_F(FluidSynthPlayerTest, PlayLoopStartsOverUntilStopped) {
  Open(MidiOf({{"O4C8D8"}}));  // 500 ms
  player_->PlayLoop();
  // It starts over at the end without lingering there.
  EXPECT_EQ(ModeAfter(600), PlayerMode::kPlaying);
  EXPECT_NEAR(player_->Position(), 100, kSlack);
  EXPECT_NEAR(PositionAfter(1000), 100, kSlack);

  // A pause does not end the loop: Resume loops again.
  player_->Pause();
  EXPECT_EQ(player_->Mode(), PlayerMode::kPaused);
  EXPECT_NEAR(PositionAfter(1000), 100, kSlack);
  player_->Resume();
  EXPECT_EQ(ModeAfter(500), PlayerMode::kPlaying);
  EXPECT_NEAR(player_->Position(), 100, kSlack);

  player_->Stop();
  EXPECT_EQ(player_->Mode(), PlayerMode::kStopped);
  player_->Render(700);  // past the end of the file: nothing starts over
  EXPECT_EQ(player_->Mode(), PlayerMode::kStopped);

  // Play after a loop plays once.
  player_->SetPosition(0);
  PlayToTheEnd();
  EXPECT_EQ(ModeAfter(1000), PlayerMode::kStopped);
}

TEST_F(FluidSynthPlayerTest, PlayLoopRangeGoesBackToTheLoopStartWithItsNote) {
  // C D E a quarter apart at tempo 120, then F on channel 2: a loop from D to F.
  Bytes notes;
  for (int key : {60, 62, 64}) notes = sb::Cat({notes, sb::On(60, key), sb::Off(900, key)});
  Open(
      sb::File(0, 960, {sb::Cat({notes, sb::On(60, 65, 100, 1), sb::Off(900, 65, 1), sb::End()})}));
  player_->PlayLoopRange(500, 1500);
  EXPECT_NEAR(PositionAfter(1600), 600, kSlack);
  EXPECT_GT(player_->VoicesOn(0), 0) << "D, at the loop start, sounds again";
  EXPECT_EQ(player_->VoicesOn(1), 0) << "F, at the loop end, is not struck";
  player_->Pause();
  player_->Resume();
  EXPECT_NEAR(PositionAfter(2000), 600, kSlack) << "Resume loops again";
  EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying);
}

TEST_F(FluidSynthPlayerTest, FilesThatCannotBeOpenedLeaveThePlayerUsable) {
  Scratch dir;
  const std::pair<fs::path, std::string> cases[] = {
      {dir.path() / "missing.mid", msg::kFileReadFailed},
      {dir.File("notes.mid", {'C', '4', 'D', '4', '\r', '\n'}), kInvalidFormat},
      {dir.File("empty.mid", {}), kInvalidFormat},
      {dir.File("short.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}), kInvalidFormat},
  };
  for (const auto& [path, message] : cases) {
    SCOPED_TRACE(path.string());
    auto opened = player_->Open(path);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message, message);
    EXPECT_EQ(player_->Length(), 0);
    // Nothing to play: the operations do nothing and do no harm.
    player_->Play();
    player_->SetPosition(100);
    EXPECT_EQ(ModeAfter(100), PlayerMode::kStopped);
    EXPECT_EQ(player_->Position(), 0);
  }

  auto opened = player_->Open(dir.File("good.mid", MidiOf(kShort)));
  ASSERT_TRUE(opened) << opened.error().message;
  EXPECT_EQ(player_->Length(), 250);
  PlayToTheEnd();
}

TEST_F(FluidSynthPlayerTest, TheResetFileResetsTheSynth) {
  // Program 80 on the first channel and one short note (48 ticks: 250 ms), nothing else.
  Open(sb::File(0, 96,
                {sb::Cat({sb::Ev(0, {0xC0, 80}), sb::On(0, 69), sb::Off(48, 69), sb::End()})}));
  PlayToTheEnd();
  // The synth keeps what a file left behind...
  EXPECT_EQ(player_->ProgramOf(0), 80);

  Open(ResetSmfImage());
  EXPECT_EQ(player_->ProgramOf(0), 80) << "opening alone must not reset";
  PlayToTheEnd();
  // ...until the reset file's System On and GS reset clear it.
  EXPECT_EQ(player_->ProgramOf(0), 0);
}

TEST_F(FluidSynthPlayerTest, AMutedChannelFallsSilentAtOnceAndSoundsAgainWhenLetGo) {
  // Three short notes on the first channel, 500 ms apart, at 96 ticks a quarter.
  Open(sb::File(0, 96,
                {sb::Cat({sb::On(0, 69), sb::Off(48, 69), sb::On(48, 69), sb::Off(48, 69),
                          sb::On(48, 69), sb::Off(48, 69), sb::End()})}));
  player_->Play();
  player_->Render(100);
  EXPECT_GT(player_->VoicesOn(0), 0);
  player_->SetChannelMute(0, true);
  EXPECT_EQ(player_->VoicesOn(0), 0) << "the sounding note stops at once";
  player_->Render(500);
  EXPECT_EQ(player_->VoicesOn(0), 0) << "the note at 500 ms stays silent";
  player_->SetChannelMute(0, false);
  player_->Render(450);
  EXPECT_GT(player_->VoicesOn(0), 0) << "the note at 1000 ms sounds";
  EXPECT_EQ(player_->Mode(), PlayerMode::kPlaying);
}

// What the program meets through the loader: the module found in the build tree,
// and the messages when the SoundFont or the module is not what it should be.
TEST(CreatePlayer, FailsWithAMessageAndNeverHangs) {
  Scratch dir;
  const fs::path missing = dir.path() / "none.sf2";
  const std::string missingMessage = "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + missing.string() + ")が見つかりません。";
  auto found = FindSoundFont(missing);  // no falling back to another SoundFont
  ASSERT_FALSE(found);
  EXPECT_EQ(found.error().message, missingMessage);
  const fs::path broken =
      dir.File("broken.sf2", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 's', 'f', 'b', 'k'});
  const fs::path notAFont = dir.File("song.sf2", {'M', 'T', 'h', 'd', 0, 0, 0, 6});
  const std::pair<fs::path, std::string> cases[] = {
      {missing, missingMessage},
      {broken, "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + broken.string() + ")を読み込めません。"},
      {notAFont, "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + notAFont.string() + ")はSoundFont(.sf2)ではありません。"},
  };
  for (const auto& [font, message] : cases) {
    for (const AudioOutput output : {AudioOutput::kNone, AudioOutput::kManual}) {
      auto created = CreatePlayer({font, output});
      ASSERT_FALSE(created);
      EXPECT_EQ(created.error().message, message);
    }
    auto rendered = RenderWav(MidiOf(kShort), font);
    ASSERT_FALSE(rendered);
    EXPECT_EQ(rendered.error().message, message);
  }
  // The silent and the system's players, with a good SoundFont, have the tests of `chwr
  // play` (tests/cli), which plays through them.
}

TEST(LoadPlaybackModule, TakesTheFirstModuleFoundAndTellsWhyOneCannotBeUsed) {
  auto module = LoadPlaybackModule(PlaybackModuleFolders());
  ASSERT_TRUE(module) << module.error().message;
  EXPECT_EQ((*module)->version, kPlaybackModuleVersion);

  Scratch dir;
  const fs::path empty = dir.path() / "empty";
  fs::create_directories(empty);
  std::vector<fs::path> folders = PlaybackModuleFolders();
  folders.insert(folders.begin(), empty);
  auto later = LoadPlaybackModule(folders);
  ASSERT_TRUE(later) << later.error().message;
  EXPECT_EQ(*later, *module);

  auto none = LoadPlaybackModule({empty, dir.path() / "absent"});
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().message,
            "再生ﾓｼﾞｭｰﾙ(libchimewright-fluidsynth.so)が見つかりません。\n"
            "探した場所: " +
                empty.string() + ", " + (dir.path() / "absent").string());

  // A module that is there but cannot be used is reported, not passed over for
  // one further down the list.
  const fs::path garbage = dir.path() / "garbage";
  fs::create_directories(garbage);
  dir.File("garbage/libchimewright-fluidsynth.so", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
  const struct {
    fs::path folder;
    std::string reason;  // a part of what follows the first line
  } cases[] = {
      {garbage, "libchimewright-fluidsynth.so"},  // dlopen's text names the file
      {CHWR_NOT_A_MODULE_DIR, "chwr_playback_module"},
      {CHWR_STALE_MODULE_DIR, "別のﾋﾞﾙﾄﾞのﾓｼﾞｭｰﾙです。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder.string());
    folders = PlaybackModuleFolders();
    folders.insert(folders.begin(), c.folder);
    auto refused = LoadPlaybackModule(folders);
    ASSERT_FALSE(refused);
    const std::string& message = refused.error().message;
    const std::string first =
        "再生ﾓｼﾞｭｰﾙ(" + (c.folder / kPlaybackModuleFile).string() + ")を読み込めません。\n";
    EXPECT_EQ(message.substr(0, first.size()), first) << message;
    EXPECT_NE(message.find(c.reason, first.size()), std::string::npos) << message;
  }
}

// The samples of a WAV image, left and right in turn, after checking that it is
// 44.1 kHz 16-bit stereo PCM.
std::vector<std::int16_t> ReadWav(const Bytes& b) {
  if (b.size() < 44) {
    ADD_FAILURE() << "only " << b.size() << " bytes";
    return {};
  }
  auto le = [&b](std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
  };
  auto text = [&b](std::size_t at, std::size_t size) {
    return std::string(b.begin() + at, b.begin() + at + size);
  };
  EXPECT_EQ(text(0, 4) + text(8, 8) + text(36, 4), "RIFFWAVEfmt data");
  // RIFF size, format size, PCM, channels, rate, bytes a second, block size, bits a
  // sample, data size.
  EXPECT_EQ(
      (std::vector<std::uint32_t>{le(4, 4), le(16, 4), le(20, 2), le(22, 2), le(24, 4), le(28, 4),
                                  le(32, 2), le(34, 2), le(40, 4)}),
      (std::vector<std::uint32_t>{static_cast<std::uint32_t>(b.size() - 8), 16, 1, 2, 44100,
                                  44100 * 4, 4, 16, static_cast<std::uint32_t>(b.size() - 44)}));
  EXPECT_EQ(b.size() % 4, 0u);
  std::vector<std::int16_t> samples;
  for (std::size_t at = 44; at + 2 <= b.size(); at += 2) samples.push_back(le(at, 2));
  return samples;
}

// Power of the left and right sum at `hz` over frames [from, to).
double Goertzel(const std::vector<std::int16_t>& wav, std::size_t from, std::size_t to, double hz) {
  const double coeff = 2 * std::cos(2 * M_PI * hz / 44100.0);
  double s1 = 0, s2 = 0;
  for (std::size_t i = from; i < to && 2 * i + 1 < wav.size(); ++i) {
    const double s0 = (wav[2 * i] + wav[2 * i + 1]) / 65536.0 + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

// The loudest sample of either channel over frames [from, to).
int Peak(const std::vector<std::int16_t>& wav, std::size_t from, std::size_t to) {
  int peak = 0;
  for (std::size_t i = 2 * from; i < 2 * to && i < wav.size(); ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(wav[i])));
  }
  return peak;
}

TEST(RenderWav, NotesSoundAtTheirPitchWhenTheyAreDue) {
  if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
  // O4A: note value 48, key 69 at the normal octave: 440 Hz for 500 ms, then A5 at
  // 880 Hz for 500 ms, then nothing but the fade.
  std::vector<double> progress;
  auto image =
      RenderWav(MidiOf({{"O4A4O5A4"}}), kSoundFont, [&](double p) { progress.push_back(p); });
  ASSERT_TRUE(image) << image.error().message;
  const std::vector<std::int16_t> wav = ReadWav(*image);
  const std::size_t frames = wav.size() / 2;
  EXPECT_GE(frames, 44100u);
  EXPECT_LE(frames, 44100u * 5 / 2);
  // Leave out the moments around the change of note.
  const std::size_t first = 2000, firstEnd = 20000, second = 24000, secondEnd = 42000;
  EXPECT_GT(Peak(wav, first, firstEnd), 2000) << "the note is (nearly) silent";
  const double at440 = Goertzel(wav, first, firstEnd, 440);
  for (double other : {300.0, 600.0, 880.0}) {
    EXPECT_GT(at440, 20 * Goertzel(wav, first, firstEnd, other)) << other << " Hz";
  }
  EXPECT_GT(Goertzel(wav, second, secondEnd, 880), 20 * Goertzel(wav, second, secondEnd, 440));
  EXPECT_GT(Peak(wav, second, secondEnd), 2000);
  // The end of the image is the fade after the last note ended.
  EXPECT_LT(Peak(wav, frames - 4410, frames), Peak(wav, second, secondEnd) / 4);

  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_GE(progress.front(), 0.0);
  EXPECT_EQ(progress.back(), 1.0);

  for (const Bytes& bad : {Bytes{}, Bytes{'C', '4', 'D', '4'}, Bytes{'M', 'T', 'h', 'd', 0, 0}}) {
    auto refused = RenderWav(bad, kSoundFont);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, kInvalidFormat);
  }
}

}  // namespace
}  // namespace chwr

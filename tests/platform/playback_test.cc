// FluidSynth playback without a sound card: the real player at real pace, driven
// the way the main window drives it, plus offline rendering and the MIDI file as an
// independent parser reads it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "midi/smf_writer.h"
#include "mld/mld_builder.h"
#include "playback/fluidsynth_player.h"

namespace chwr {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const fs::path kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Polls `done` every 20 ms until it holds or `ms` have passed.
bool WaitFor(int ms, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < deadline) {
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

struct Tune {
  std::vector<std::string> parts;
  std::string tempo = "120";
  bool doubleSpeed = false;
  int resolution = 1;
};

SongDocument Song(const Tune& tune) {
  SongDocument song;
  for (std::size_t p = 0; p < tune.parts.size(); ++p) song.parts[p].mml = tune.parts[p];
  song.tempo = tune.tempo;
  song.resolution = tune.resolution;
  return song;
}

// The playback file of a song, built the way the play command builds it.
Bytes MidiOf(const Tune& tune) {
  const SongDocument song = Song(tune);
  SongCompile compiled;
  MldBuildOptions options;
  options.midiWanted = true;
  options.midi.doubleSpeed = tune.doubleSpeed;
  auto build = BuildMld(song, compiled, options);
  EXPECT_TRUE(build) << build.error().message;
  if (!build) return {};
  auto image = SmfImage(song, build->midiTracks, tune.doubleSpeed);
  EXPECT_TRUE(image) << image.error().message;
  return image ? *image : Bytes{};
}

// A folder of its own for files a test writes; removed afterwards.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("chwr-playback-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path File(const std::string& name, const Bytes& bytes) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Four quarter notes at tempo 120: 2000 ms.
const Tune kFourQuarters{{"O4C4D4E4F4"}};
// Eight quarter notes at tempo 60: 8000 ms, room for seeking about.
const Tune kEightSeconds{{"O4C4D4E4F4G4A4B4O5C4"}, "60"};
// One eighth note at tempo 120: 250 ms.
const Tune kShort{{"O4C8"}};

class FluidSynthPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
    auto created = FluidSynthPlayer::Create({kSoundFont, AudioOutput::kNone});
    ASSERT_TRUE(created) << created.error().message;
    player_ = std::move(*created);
  }

  void Open(const Tune& tune) {
    auto opened = player_->OpenBytes(MidiOf(tune));
    ASSERT_TRUE(opened) << opened.error().message;
  }

  bool WaitForMode(const std::string& mode, int ms) {
    return WaitFor(ms, [&] { return player_->Mode() == mode; });
  }

  // Waits until the position has moved past `from` (a seek is taken at a later
  // poll) and returns where it is then, or -1 when it never got there.
  std::int64_t WaitPast(std::int64_t from, int ms) {
    std::int64_t at = -1;
    return WaitFor(ms, [&] { return (at = player_->Position()) > from; }) ? at : -1;
  }

  std::unique_ptr<FluidSynthPlayer> player_;
};

TEST_F(FluidSynthPlayerTest, OpenGivesTheFilesLengthAndStaysStopped) {
  EXPECT_EQ(player_->Length(), 0);
  EXPECT_EQ(player_->Mode(), "STOPPED");

  Open(kFourQuarters);
  EXPECT_EQ(player_->Length(), 2000);
  EXPECT_EQ(player_->Mode(), "STOPPED");
  EXPECT_EQ(player_->Position(), 0);

  Open({{"O4C4D4E4F4"}, "120", /*doubleSpeed=*/true});
  EXPECT_EQ(player_->Length(), 1000);
  Open({{"O4C4D4E4F4"}, "120", false, /*resolution=*/0});
  EXPECT_EQ(player_->Length(), 2000);
  Open({{"O4C4D4E4F4", "O4C1R1"}, "60"});  // the longest part decides
  EXPECT_EQ(player_->Length(), 8000);

  Sleep(300);
  EXPECT_EQ(player_->Mode(), "STOPPED");
  EXPECT_EQ(player_->Position(), 0);
}

TEST_F(FluidSynthPlayerTest, PlayAdvancesAndPauseHoldsThePosition) {
  Open(kEightSeconds);
  player_->Play();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  Sleep(600);
  const std::int64_t playing = player_->Position();
  EXPECT_GE(playing, 300);
  EXPECT_LE(playing, 1500);
  EXPECT_EQ(player_->Mode(), "PLAYING");

  player_->Pause();
  EXPECT_EQ(player_->Mode(), "PAUSED");
  const std::int64_t paused = player_->Position();
  EXPECT_GE(paused, playing);
  Sleep(400);
  EXPECT_EQ(player_->Mode(), "PAUSED");
  EXPECT_NEAR(player_->Position(), paused, 5);

  player_->ResumeM();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  const std::int64_t resumed = WaitPast(paused + 100, 1500);
  ASSERT_GT(resumed, 0) << "the position did not advance after ResumeM";
  EXPECT_LE(resumed, paused + 1000);  // it went on from the pause, not from elsewhere
}

// The slider's way: pause on mouse-down, SetPosition and Play on mouse-up, then the
// next poll comes a timer interval later. Playing must go on from the chosen place
// straight away, not from the old one until somebody polls.
TEST_F(FluidSynthPlayerTest, APositionChosenWhileNotPlayingIsWherePlayingGoesOn) {
  Open(kEightSeconds);
  player_->SetPosition(4000);  // before the first Play
  EXPECT_EQ(player_->Mode(), "STOPPED");
  EXPECT_NEAR(player_->Position(), 4000, 5);
  player_->Play();
  Sleep(300);
  std::int64_t at = player_->Position();
  EXPECT_GE(at, 4100);
  EXPECT_LE(at, 5000);

  player_->Pause();
  ASSERT_EQ(player_->Mode(), "PAUSED");
  // Forwards, going on with ResumeM.
  player_->SetPosition(6000);
  EXPECT_EQ(player_->Mode(), "PAUSED");
  EXPECT_NEAR(player_->Position(), 6000, 5);
  Sleep(200);
  EXPECT_NEAR(player_->Position(), 6000, 5);
  player_->ResumeM();
  Sleep(300);
  at = player_->Position();
  EXPECT_GE(at, 6100);
  EXPECT_LE(at, 7000);
  EXPECT_EQ(player_->Mode(), "PLAYING");

  // Backwards, going on with Play.
  player_->Pause();
  player_->SetPosition(1000);
  EXPECT_NEAR(player_->Position(), 1000, 5);
  player_->Play();
  Sleep(300);
  at = player_->Position();
  EXPECT_GE(at, 1100);
  EXPECT_LE(at, 2000);
  // The old place does not come back.
  for (int i = 0; i < 10; ++i) {
    Sleep(30);
    const std::int64_t now = player_->Position();
    EXPECT_GE(now, at - 5);
    EXPECT_LT(now, 3000);
    at = now;
  }

  // After StopM too.
  player_->StopM();
  player_->SetPosition(3000);
  EXPECT_NEAR(player_->Position(), 3000, 5);
  player_->Play();
  Sleep(300);
  at = player_->Position();
  EXPECT_GE(at, 3100);
  EXPECT_LE(at, 4000);
}

TEST_F(FluidSynthPlayerTest, SeekWhilePlayingJumps) {
  Open(kEightSeconds);
  player_->Play();
  Sleep(200);
  player_->SetPosition(6000);
  EXPECT_EQ(player_->Mode(), "PLAYING");
  std::int64_t at = WaitPast(6050, 1500);
  ASSERT_GT(at, 0) << "no jump to 6000 ms";
  EXPECT_LT(at, 7500);

  player_->SetPosition(500);
  EXPECT_EQ(player_->Mode(), "PLAYING");
  at = -1;
  ASSERT_TRUE(WaitFor(1500,
                      [&] {
                        at = player_->Position();
                        return at > 550 && at < 2000;
                      }))
      << "no jump back to 500 ms (last position " << at << ")";
  EXPECT_EQ(player_->Mode(), "PLAYING");
}

TEST_F(FluidSynthPlayerTest, TheEndOfTheFileStopsAndPlayStartsOver) {
  Open(kShort);
  ASSERT_EQ(player_->Length(), 250);
  player_->Play();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  // The file ends at its last event, not when FluidSynth would let go of it seconds
  // later.
  ASSERT_TRUE(WaitForMode("STOPPED", 1500)) << "still " << player_->Mode();
  EXPECT_LE(player_->Position(), player_->Length());
  Sleep(200);
  EXPECT_EQ(player_->Mode(), "STOPPED");

  // Played again after its end, the file plays once more from the start.
  player_->Play();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  EXPECT_TRUE(WaitFor(1000, [&] { return player_->Position() < 200; }));
  EXPECT_TRUE(WaitForMode("STOPPED", 3000)) << "still " << player_->Mode();
}

TEST_F(FluidSynthPlayerTest, PlayLoopStartsOverUntilStopped) {
  Open({{"O4C8D8"}});  // 500 ms
  player_->PlayLoop();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  Sleep(600);
  EXPECT_EQ(player_->Mode(), "PLAYING");
  EXPECT_LE(player_->Position(), 500);
  // It starts over at the end without lingering there.
  EXPECT_TRUE(WaitFor(1000, [&] { return player_->Position() < 250; }))
      << "at " << player_->Position();

  // A pause does not end the loop: ResumeM loops again.
  player_->Pause();
  EXPECT_EQ(player_->Mode(), "PAUSED");
  player_->ResumeM();
  Sleep(700);
  EXPECT_EQ(player_->Mode(), "PLAYING");

  player_->StopM();
  EXPECT_EQ(player_->Mode(), "STOPPED");
  Sleep(700);  // past the end of the file: nothing starts over
  EXPECT_EQ(player_->Mode(), "STOPPED");

  // Play after a loop plays once.
  player_->SetPosition(0);
  player_->Play();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  EXPECT_TRUE(WaitForMode("STOPPED", 3000)) << "still " << player_->Mode();
}

TEST_F(FluidSynthPlayerTest, OpeningAnotherFileReplacesThePlayingOne) {
  Open(kEightSeconds);
  player_->Play();
  Sleep(300);
  ASSERT_EQ(player_->Mode(), "PLAYING");

  Open({{"O4C4D4E4F4"}, "120", /*doubleSpeed=*/true});
  EXPECT_EQ(player_->Length(), 1000);
  EXPECT_EQ(player_->Mode(), "STOPPED");
  EXPECT_EQ(player_->Position(), 0);
  Sleep(300);
  EXPECT_EQ(player_->Mode(), "STOPPED");
  EXPECT_EQ(player_->Position(), 0);

  player_->Play();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  EXPECT_TRUE(WaitForMode("STOPPED", 3000)) << "still " << player_->Mode();
}

TEST_F(FluidSynthPlayerTest, FilesThatCannotBeOpenedLeaveThePlayerUsable) {
  TempDir dir;
  const fs::path text = dir.File("notes.mid", {'C', '4', 'D', '4', '\r', '\n'});
  const fs::path empty = dir.File("empty.mid", {});
  const fs::path headerOnly = dir.File("short.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1});
  const struct {
    fs::path path;
    const char* message;
  } cases[] = {
      {dir.path() / "missing.mid", "ﾌｧｲﾙ読み込みに失敗しました。"},
      {dir.path(), "ﾌｧｲﾙ読み込みに失敗しました。"},
      {text, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
      {empty, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
      {headerOnly, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.string());
    auto opened = player_->Open(c.path);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message, c.message);
    EXPECT_EQ(player_->Mode(), "STOPPED");
    EXPECT_EQ(player_->Length(), 0);
    // Nothing to play: the operations do nothing and do no harm.
    player_->Play();
    player_->SetPosition(100);
    EXPECT_EQ(player_->Mode(), "STOPPED");
    EXPECT_EQ(player_->Position(), 0);
  }

  const fs::path good = dir.File("good.mid", MidiOf(kShort));
  auto opened = player_->Open(good);
  ASSERT_TRUE(opened) << opened.error().message;
  EXPECT_EQ(player_->Length(), 250);
  player_->Play();
  EXPECT_EQ(player_->Mode(), "PLAYING");
  EXPECT_TRUE(WaitForMode("STOPPED", 3000)) << "still " << player_->Mode();
}

// Program 80 on the first channel and one short note, nothing else.
Bytes ProgramEightyFile() {
  return {'M',  'T',  'h',  'd', 0, 0, 0, 6,  0, 0, 0, 1, 0, 96,  // format 0, 96/quarter
          'M',  'T',  'r',  'k', 0, 0, 0, 15,                     //
          0x00, 0xC0, 80,                                         // program 80
          0x00, 0x90, 69,   100,                                  // A4
          0x30, 0x80, 69,   0,                                    // 48 ticks: 250 ms
          0x00, 0xFF, 0x2F, 0x00};
}

TEST_F(FluidSynthPlayerTest, TheResetFileResetsTheSynth) {
  auto opened = player_->OpenBytes(ProgramEightyFile());
  ASSERT_TRUE(opened) << opened.error().message;
  player_->Play();
  ASSERT_TRUE(WaitForMode("STOPPED", 3000)) << "still " << player_->Mode();
  // The synth keeps what a file left behind...
  EXPECT_EQ(player_->ProgramOf(0), 80);

  opened = player_->OpenBytes(ResetSmfImage());
  ASSERT_TRUE(opened) << opened.error().message;
  EXPECT_EQ(player_->ProgramOf(0), 80) << "opening alone must not reset";
  player_->Play();
  ASSERT_TRUE(WaitForMode("STOPPED", 3000)) << "still " << player_->Mode();
  // ...until the reset file's System On and GS reset clear it.
  EXPECT_EQ(player_->ProgramOf(0), 0);
}

TEST(FluidSynthPlayerCreate, SystemOutputWorksOrFailsWithAMessageWithoutHanging) {
  if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
  const auto start = Clock::now();
  auto created = FluidSynthPlayer::Create({kSoundFont, AudioOutput::kSystem});
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_LT(seconds, 10.0) << "Create must not hang without a sound card";
  if (created) {
    EXPECT_EQ((*created)->Mode(), "STOPPED");
  } else {
    EXPECT_FALSE(created.error().message.empty());
  }
}

TEST(FluidSynthPlayerCreate, AMissingOrBrokenSoundFontIsNamed) {
  TempDir dir;
  const fs::path missing = dir.path() / "none.sf2";
  const std::string missingMessage = "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + missing.string() + ")が見つかりません。";
  auto created = FluidSynthPlayer::Create({missing, AudioOutput::kNone});
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error().message, missingMessage);
  auto found = FindSoundFont(missing);
  ASSERT_FALSE(found);
  EXPECT_EQ(found.error().message, missingMessage);
  auto wav = RenderWav(MidiOf(kShort), missing);
  ASSERT_FALSE(wav);
  EXPECT_EQ(wav.error().message, missingMessage);

  const fs::path broken = dir.File("broken.sf2", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
  created = FluidSynthPlayer::Create({broken, AudioOutput::kNone});
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error().message, "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + broken.string() + ")を読み込めません。");
}

// A WAV image as 16-bit samples, after checking its header.
struct Wav {
  std::vector<std::int16_t> left, right;
  double Seconds() const { return left.size() / 44100.0; }
};

std::uint32_t U32Le(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16Le(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

Wav ReadWav(const Bytes& b) {
  Wav wav;
  EXPECT_GE(b.size(), 44u);
  if (b.size() < 44) return wav;
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(U32Le(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32Le(b, 16), 16u);
  EXPECT_EQ(U16Le(b, 20), 1);  // PCM
  EXPECT_EQ(U16Le(b, 22), 2);  // stereo
  EXPECT_EQ(U32Le(b, 24), 44100u);
  EXPECT_EQ(U32Le(b, 28), 44100u * 4);
  EXPECT_EQ(U16Le(b, 32), 4);
  EXPECT_EQ(U16Le(b, 34), 16);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  const std::uint32_t dataBytes = U32Le(b, 40);
  EXPECT_EQ(dataBytes, b.size() - 44);
  EXPECT_EQ(dataBytes % 4, 0u);
  for (std::size_t at = 44; at + 4 <= b.size(); at += 4) {
    wav.left.push_back(static_cast<std::int16_t>(U16Le(b, at)));
    wav.right.push_back(static_cast<std::int16_t>(U16Le(b, at + 2)));
  }
  return wav;
}

// Power of the left and right sum at `hz` over samples [from, to).
double Goertzel(const Wav& wav, std::size_t from, std::size_t to, double hz) {
  const double coeff = 2 * std::cos(2 * M_PI * hz / 44100.0);
  double s1 = 0, s2 = 0;
  for (std::size_t i = from; i < to && i < wav.left.size(); ++i) {
    const double s0 = (wav.left[i] + wav.right[i]) / 65536.0 + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

int Peak(const Wav& wav, std::size_t from, std::size_t to) {
  int peak = 0;
  for (std::size_t i = from; i < to && i < wav.left.size(); ++i) {
    peak = std::max(
        {peak, std::abs(static_cast<int>(wav.left[i])), std::abs(static_cast<int>(wav.right[i]))});
  }
  return peak;
}

TEST(RenderWav, OneNoteSoundsAtItsPitch) {
  if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
  // O4A: note value 48, key 69 at the normal octave: 440 Hz for 500 ms.
  std::vector<double> progress;
  auto image = RenderWav(MidiOf({{"O4A4"}}), kSoundFont, [&](double p) { progress.push_back(p); });
  ASSERT_TRUE(image) << image.error().message;
  const Wav wav = ReadWav(*image);
  EXPECT_GE(wav.Seconds(), 0.5);
  EXPECT_LE(wav.Seconds(), 0.5 + 1.5);

  const std::size_t half = 22050;
  EXPECT_GT(Peak(wav, 0, half), 2000) << "the note is (nearly) silent";
  const double at440 = Goertzel(wav, 0, half, 440);
  EXPECT_GT(at440, 20 * Goertzel(wav, 0, half, 300));
  EXPECT_GT(at440, 20 * Goertzel(wav, 0, half, 600));

  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_GE(progress.front(), 0.0);
  EXPECT_EQ(progress.back(), 1.0);
}

TEST(RenderWav, NotesSoundWhenTheyAreDue) {
  if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
  // A4 then A5, 500 ms each; then nothing but the fade.
  auto image = RenderWav(MidiOf({{"O4A4O5A4"}}), kSoundFont);
  ASSERT_TRUE(image) << image.error().message;
  const Wav wav = ReadWav(*image);
  EXPECT_GE(wav.Seconds(), 1.0);
  EXPECT_LE(wav.Seconds(), 1.0 + 1.5);
  // Leave out the moments around the change of note.
  const std::size_t first = 2000, firstEnd = 20000, second = 24000, secondEnd = 42000;
  EXPECT_GT(Goertzel(wav, first, firstEnd, 440), 20 * Goertzel(wav, first, firstEnd, 880));
  EXPECT_GT(Goertzel(wav, second, secondEnd, 880), 20 * Goertzel(wav, second, secondEnd, 440));
  EXPECT_GT(Peak(wav, second, secondEnd), 2000);
  // The end of the image is the fade after the last note ended.
  EXPECT_LT(Peak(wav, wav.left.size() - 4410, wav.left.size()), Peak(wav, second, secondEnd) / 4);
}

TEST(RenderWav, BadMidiBytesAreRefused) {
  if (!fs::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " is not installed";
  for (const Bytes& bytes : {Bytes{}, Bytes{'C', '4', 'D', '4'}, Bytes{'M', 'T', 'h', 'd', 0, 0}}) {
    auto wav = RenderWav(bytes, kSoundFont);
    ASSERT_FALSE(wav);
    EXPECT_EQ(wav.error().message, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。");
  }
}

// The lines of `midicsv FILE`, or nothing when it failed.
std::vector<std::string> MidiCsv(const fs::path& file) {
  std::vector<std::string> lines;
  FILE* pipe = ::popen(("midicsv '" + file.string() + "' 2>&1").c_str(), "r");
  if (!pipe) return lines;
  char buffer[512];
  std::string text;
  while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
  const int status = ::pclose(pipe);
  EXPECT_EQ(status, 0) << text;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& what) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    if (line.find(", " + what + ",") != std::string::npos ||
        line.find(", " + what) == line.size() - what.size() - 2) {
      out.push_back(line);
    }
  }
  return out;
}

TEST(MidiFile, AnIndependentParserReadsWhatWasWritten) {
  if (std::system("command -v midicsv >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "midicsv is not installed";
  }
  // 24 steps a quarter. Part 1: C4 D8 (rest 8) E4, 72 ticks; part 2 at volume 40:
  // G2, 48 ticks, then carried on to 72 by the silent filler on key 1.
  SongDocument song = Song({{"O4C4D8R8E4", "V40O3G2"}, "120", false, 0});
  song.title = "T";
  SongCompile compiled;
  MldBuildOptions options;
  options.midiWanted = true;
  options.midi.midiTone = 0;
  auto build = BuildMld(song, compiled, options);
  ASSERT_TRUE(build) << build.error().message;
  auto image = SmfImage(song, build->midiTracks, false);
  ASSERT_TRUE(image) << image.error().message;
  TempDir dir;
  const fs::path file = dir.path() / "song.mid";
  auto written = WriteMidiFile(file, *image);
  ASSERT_TRUE(written) << written.error().message;

  const std::vector<std::string> csv = MidiCsv(file);
  ASSERT_FALSE(csv.empty());
  EXPECT_EQ(csv.front(), "0, 0, Header, 1, 3, 24");
  EXPECT_EQ(Matching(csv, "Tempo"), std::vector<std::string>{"1, 0, Tempo, 500000"});
  EXPECT_EQ(Matching(csv, "Title_t"), std::vector<std::string>{"1, 0, Title_t, \"T\""});
  EXPECT_EQ(Matching(csv, "Program_c"),
            (std::vector<std::string>{"2, 0, Program_c, 0, 0", "3, 0, Program_c, 1, 0"}));
  EXPECT_EQ(Matching(csv, "Control_c"),
            (std::vector<std::string>{"2, 0, Control_c, 0, 7, 127", "3, 0, Control_c, 1, 7, 127"}));
  // track, time, Note_on_c, channel, key, velocity; velocity 0 ends a note.
  EXPECT_EQ(Matching(csv, "Note_on_c"), (std::vector<std::string>{
                                            "2, 0, Note_on_c, 0, 60, 126",
                                            "2, 24, Note_on_c, 0, 60, 0",
                                            "2, 24, Note_on_c, 0, 62, 126",
                                            "2, 36, Note_on_c, 0, 62, 0",
                                            "2, 48, Note_on_c, 0, 64, 126",
                                            "2, 72, Note_on_c, 0, 64, 0",
                                            "3, 0, Note_on_c, 1, 55, 80",
                                            "3, 48, Note_on_c, 1, 55, 0",
                                            "3, 72, Note_on_c, 1, 1, 0",
                                            "3, 72, Note_on_c, 1, 1, 0",
                                        }));
  EXPECT_EQ(Matching(csv, "End_track"),
            (std::vector<std::string>{"1, 0, End_track", "2, 72, End_track", "3, 72, End_track"}));
  EXPECT_EQ(csv.back(), "0, 0, End_of_file");
}

}  // namespace
}  // namespace chwr

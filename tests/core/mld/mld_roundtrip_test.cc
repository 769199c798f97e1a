// What Chimewright writes, read back and built again, must sound the same: the same
// notes at the same steps with the same gates, volumes and tone selections.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "convert/build_song.h"
#include "mld/mld_reader.h"
#include "sequence/step_pass.h"
#include "test_support.h"

namespace chwr {
namespace {

// A sounding note as a listener hears it: where, what, how long, how loud, which tone.
// Notes tied into the same pitch are heard as one note, however the text splits them.
using Heard =
    std::tuple<int /*step*/, int /*part*/, int /*key*/, int /*gate*/, int /*volume*/, int /*tone*/>;

class Ear final : public StepListener {
 public:
  explicit Ear(const SongDocument& song) {
    for (int p = 0; p < 4; ++p) volume_[p] = StartingVolume(song.parts[p]);
  }
  void Step(int t, std::span<const ScheduledEvent> events, int) override {
    for (const ScheduledEvent& s : events) {
      if (s.event.changesVolume()) volume_[s.part] = s.event.volume;
      if (s.event.tone != 0) tone_[s.part] = s.event.tone;
      if (s.event.gate == 0) continue;
      Last& last = last_[s.part];
      if (last.index >= 0 && last.key == s.event.key && last.gate > last.step &&
          last.start + last.step == t) {
        // Continued by a tie: the same note goes on sounding.
        std::get<3>(heard[last.index]) = t - last.start + s.event.gate;
        last.gate = t - last.start + s.event.gate;
        last.step += s.event.step;
        continue;
      }
      last = {static_cast<int>(heard.size()), t, s.event.key, s.event.gate, s.event.step};
      heard.emplace_back(t, s.part, s.event.key, s.event.gate, volume_[s.part], tone_[s.part]);
    }
  }
  std::vector<Heard> heard;

 private:
  struct Last {
    int index = -1;
    int start = 0, key = 0, gate = 0, step = 0;
  };
  int volume_[4] = {};
  int tone_[4] = {};
  Last last_[4];
};

struct Heard2 {
  std::vector<Heard> heard;
  std::vector<std::uint8_t> image;
};

Heard2 Listen(const SongDocument& song) {
  auto build = BuildSong(song);
  EXPECT_TRUE(build) << build.error().message;
  if (!build) return {};
  // The ear hears the compiled song as every output is built from it.
  Ear ear(song);
  StepListener* listeners[] = {&ear};
  EXPECT_TRUE(StepPass(build->compiled, listeners));
  return {ear.heard, build->mldImage};
}

void ExpectSoundsTheSame(const SongDocument& original) {
  const Heard2 first = Listen(original);
  auto read = ReadMld(first.image);
  ASSERT_TRUE(read) << read.error().message;
  const Heard2 second = Listen(read->song);
  EXPECT_EQ(first.heard, second.heard) << "part 1 as read: " << read->song.parts[0].mml;
  EXPECT_EQ(read->song.resolution, original.resolution);
  EXPECT_EQ(read->song.title, original.title);
}

SongDocument Song(std::vector<std::string> parts, int resolution = 1) {
  SongDocument song;
  for (std::size_t p = 0; p < parts.size(); ++p) song.parts[p].mml = parts[p];
  song.resolution = resolution;
  return song;
}

TEST(MldRoundTrip, HandWrittenSongs) {
  const std::vector<std::vector<std::string>> songs = {
      {"C4D8E16F32G64A2B1"},
      {"O5C4.D8.E16.R4.R8"},
      {"Q3C4D4Q0E4&E8F4&G4"},
      {"L16CDEFGAB<CDEFGAB<C>>>>>>C", "O2C1", "O6B-4R4C+4", "V20C4~C4_C4"},
      {"C*5D*7E*100F*191R*190G"},
      {"R1C4", "R*37D4"},
      {"@V0C4@V1D4@V2E4@V3F4"},
      {"@{1,0,15,7,4,2,0,20,0,0,5,1,1,15,7,4,2,0,0,0,0,0,3}C4", "@V0D4"},
      {"V10C4V30D4V63E4"},
      {"O4V0C4V1C4V0C4", "V0R4C4V63C4", "C4_63C4~C4"},
  };
  for (const auto& parts : songs) {
    SCOPED_TRACE(parts[0]);
    ExpectSoundsTheSame(Song(parts));
    ExpectSoundsTheSame(Song(parts, 0));
  }
}

TEST(MldRoundTrip, HeaderSettings) {
  SongDocument song = Song({"C4", "D4", "E4", "F4"});
  song.title = "ﾃｽﾄ 曲";
  song.tempo = "150";
  song.copyProtect = true;
  song.protectText = "(C)2026";
  song.parts[0].volume = "40";
  song.parts[1].tone = "41  Violin";
  song.parts[2].tone = "C";
  song.parts[3].tone = "128 Gun Shot";
  auto build = BuildSong(song);
  ASSERT_TRUE(build);
  auto read = ReadMld(build->mldImage);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->song.title, song.title);
  EXPECT_EQ(read->song.tempo, song.tempo);
  EXPECT_TRUE(read->song.copyProtect);
  EXPECT_EQ(read->song.protectText, song.protectText);
  EXPECT_EQ(read->song.parts[0].volume, "40");
  EXPECT_EQ(read->song.parts[1].tone, "41  Violin");
  EXPECT_EQ(read->song.parts[2].tone, "C");
  EXPECT_EQ(read->song.parts[3].tone, "128 Gun Shot");
  // Built again, the image is the same byte for byte.
  EXPECT_EQ(BuildSong(read->song)->mldImage, build->mldImage);
}

TEST(MldRoundTrip, SilenceReadsBackAsV0) {
  // A volume 0 in the middle of the music, and a part that starts at volume choice 0.
  SongDocument song = Song({"O4C4V0C4V1C4V0C4", "D4V0D4"});
  song.parts[1].volume = "20";
  auto build = BuildSong(song);
  ASSERT_TRUE(build);
  auto read = ReadMld(build->mldImage);
  ASSERT_TRUE(read);
  EXPECT_NE(read->song.parts[0].mml.find("V0"), std::string::npos) << read->song.parts[0].mml;
  EXPECT_NE(read->song.parts[1].mml.find("V0"), std::string::npos) << read->song.parts[1].mml;
  EXPECT_EQ(BuildSong(read->song)->mldImage, build->mldImage);
}

// Random songs over the whole language that the format carries.
TEST(MldRoundTrip, RandomSongs) {
  std::mt19937 rng(2026);
  // The absolute lengths are dotted names at 48 or 24 steps, or none.
  const char* lengths[] = {"",    "1",   "2",   "4",   "8",   "16",  "32",  "2.",
                           "4.",  "8.",  "16.", "*5",  "*13", "*72", "*36", "*50"};
  for (int n = 0; n < 300; ++n) {
    std::vector<std::string> parts(4);
    const int resolution = static_cast<int>(rng() % 2);
    for (auto& text : parts) {
      const int tokens = static_cast<int>(rng() % 40);
      for (int i = 0; i < tokens; ++i) {
        switch (rng() % 10) {
          case 0:
            text += "O" + std::to_string(1 + rng() % 6);
            break;
          case 1:
            // Large Qs too: a dotted note cannot always hold them.
            text += "Q" + std::to_string(rng() % 4 == 0 ? rng() % 60 : rng() % 8);
            break;
          case 2:
            text += "V" + std::to_string(rng() % 64);
            break;
          case 3:
            text += "R";
            text += lengths[rng() % 16];
            break;
          default: {
            std::string len = lengths[rng() % (resolution == 0 ? 15 : 16)];
            if (resolution == 0 && len == "32") len = "16";
            text += "CDEFGAB"[rng() % 7];
            text += len;
            if (len.find('*') == std::string::npos && rng() % 5 == 0) text += "&";
          }
        }
      }
    }
    SCOPED_TRACE(parts[0] + " | " + parts[1] + " | " + parts[2] + " | " + parts[3]);
    ExpectSoundsTheSame(Song(parts, resolution));
  }
}

}  // namespace
}  // namespace chwr

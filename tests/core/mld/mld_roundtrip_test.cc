// What Chimewright writes, read back and built again, must sound the same: the same
// notes at the same steps with the same gates, volumes and tone selections.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "convert/build_song.h"
#include "heard.h"
#include "mld/mld_reader.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::SongOf;

void ExpectSoundsTheSame(const SongDocument& original) {
  const auto build = BuildSong(original);
  ASSERT_TRUE(build) << build.error().message;
  const auto read = ReadMld(build->mldImage);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(test::Listen(read->song), test::Listen(original))
      << "part 1 as read: " << read->song.parts[0].mml;
  EXPECT_EQ(read->song.resolution, original.resolution);
  EXPECT_EQ(read->song.title, original.title);
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
      {"O4V0C4V1C4V0C4", "V0R4C4V63C4", "C4_63C4~C4", "D4V0D4"},
  };
  for (const auto& parts : songs) {
    SCOPED_TRACE(parts[0]);
    ExpectSoundsTheSame(SongOf(parts));
    ExpectSoundsTheSame(SongOf(parts, 0));
  }
}

TEST(MldRoundTrip, HeaderSettings) {
  SongDocument song = SongOf({"C4", "D4", "E4", "F4"});
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

// Random songs over the whole language that the format carries.
TEST(MldRoundTrip, RandomSongs) {
  std::mt19937 rng(2026);
  test::PartShape shape;
  shape.maxQ = 59;  // large ones too: a dotted note cannot always hold them
  shape.volumes = true;
  for (int n = 0; n < 300; ++n) {
    const int resolution = static_cast<int>(rng() % 2);
    // Lengths at 48 or 24 steps: dotted names, absolute ones, or none.
    shape.lengths = {"",   "1",  "2",   "4",  "8",   "16",  "2.",
                     "4.", "8.", "16.", "*5", "*13", "*72", "*36"};
    if (resolution == 1) shape.lengths.insert(shape.lengths.end(), {"32", "*50"});
    std::vector<std::string> parts;
    for (int p = 0; p < 4; ++p) parts.push_back(test::RandomPart(rng, shape));
    SCOPED_TRACE(parts[0] + " | " + parts[1] + " | " + parts[2] + " | " + parts[3]);
    ExpectSoundsTheSame(SongOf(parts, resolution));
  }
}

}  // namespace
}  // namespace chwr

#include "smd/smd_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "convert/build_song.h"
#include "messages.h"
#include "heard.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Bytes;

Bytes PartRun(Bytes codes) {
  return test::Cat({{0x1B, 0x24, 0x44}, codes, {0x0F}});
}

std::string ReadPart(Bytes codes, std::string* tempo = nullptr) {
  std::string t;
  std::string mml = SmdToMll(codes, t);
  if (tempo) *tempo = t;
  return mml;
}

TEST(SmdReader, ReadsTheCodesOfARun) {
  // clang-format off
  struct Case { Bytes codes; const char* mml; const char* tempo; };
  // clang-format on
  const std::vector<Case> cases = {
      {{0x66}, "O4C4", "120"},
      {{0x21, 0x2B, 0x66}, "O4C4", "60"},
      {{0x21, 0x2A, 0x66}, "O4C4", "95"},
      {{0x21, 0x28, 0x66}, "O4C4", "160"},
      {{0x21, 0x22, 0x65, 0x21, 0x24, 0x65}, "O5C8O4C8", "120"},
      {{0x21, 0x22, 0x21, 0x23, 0x28}, "O1A16", "120"},  // selections, not steps
      {{0x66, 0x22, 0x6E}, "O4C4&D4", "120"},
      {{0x34, 0x37, 0x25, 0x26}, "C16C2R4R2", "120"},
      {{0x21, 0x26, 0x65, 0x65, 0x65, 0x65}, "O4C*16C*16C*16C8", "120"},
      {{0x21, 0x26, 0x65, 0x21, 0x26, 0x66, 0x66, 0x66}, "O4C*16C*32C*32C*32", "120"},
      {{0x21, 0x25, 0x64, 0x64}, "O4C*8O4C*8O4C*8C16", "120"},
      {{0x21, 0x26, 0x24, 0x64, 0x64}, "R*16O4C*8C*8", "120"},
      {{0x66, 0x21, 0x66, 0x65}, "O4C4C8", "120"},              // 21 66 means nothing
      {{0x66, 0x27, 0x01, 0x80, 0xFF, 0x65}, "O4C4C8", "120"},  // codes out of the table
      {{0x66, 0x21}, "O4C4", "120"},                            // an escape cut short
      {{}, "", "120"},
  };
  for (const Case& c : cases) {
    std::string tempo;
    EXPECT_EQ(ReadPart(c.codes, &tempo), c.mml);
    EXPECT_EQ(tempo, c.tempo);
  }
}

TEST(SmdReader, BreaksLinesAfterSixtyCharacters) {
  const std::string mml = ReadPart(Bytes(100, 0x66));
  std::string want = "O4C4";
  for (int i = 1, line = 4; i < 100; ++i) {
    want += "C4";
    if ((line += 2) > 60) {
      want += "\r\n";
      line = 0;
    }
  }
  EXPECT_EQ(mml, want);
  EXPECT_EQ(mml.find("\r\n"), 62u);
}

// Whole files: the title before the first run (ASCII, half-width kana after SO and kanji
// after ESC $ B), the runs, and whatever is broken in them.
TEST(SmdReader, TitlesRunsAndBrokenFiles) {
  const char* kCut = "ﾌｧｲﾙが途中で終わっています。読めたところまでを読み込みました。";
  const char* kExtra = "ﾊﾟｰﾄが4つより多いため、5つ目以降は読み込みませんでした。";
  const char* kEmpty = "ﾌｧｲﾙが空(0ﾊﾞｲﾄ)のため、空の曲として読み込みました。";
  const char* kNoRun = "ﾊﾟｰﾄ(ESC $ D)が見つからないため、ﾊﾟｰﾄの内容は読み込めませんでした。";
  struct Case {
    const char* name;
    Bytes file;
    std::string title;
    std::array<std::string, 4> parts;
    const char* tempo;
    std::vector<std::string> warnings;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"a title in three scripts",
       test::Cat({{'A', 'B', 0x0E, 0x31, 0x0F, 0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x42, 'C'},
                  PartRun({0x66})}),
       "ABｱ亜C", {"O4C4"}, "120", {}},
      {"empty file", {}, "", {}, "120", {kEmpty}},
      {"no run", test::Ascii("Hello"), "Hello", {}, "120", {kNoRun}},
      {"truncated escape", {0x1B, 0x24}, "", {}, "120", {kNoRun}},
      {"run start cut", {'A', 0x1B, 0x24}, "A", {}, "120", {kNoRun}},
      {"bad title, no run", {0x1B, 0x24, 0x42, 0x7F, 0x7F}, "\uFFFD", {}, "120",
       {"ﾀｲﾄﾙにｼﾌﾄJISとして読めないﾊﾞｲﾄが1か所あり、「\uFFFD」にしました。", kNoRun}},
      {"an empty run", PartRun({}), "", {}, "120", {}},  // a part, though a silent one
      {"run without 0F", {0x1B, 0x24, 0x44, 0x21, 0x2B, 0x66, 0x21}, "", {"O4C4"}, "60", {kCut}},
      {"run cut by the next", test::Cat({{0x1B, 0x24, 0x44, 0x66}, PartRun({0x68})}), "",
       {"O4C4", "O4C+16"}, "120", {kCut}},
      {"codes out of the table", PartRun({0x00, 0x1B, 0x7F, 0x81, 0x27}), "", {"O4F+2"}, "120", {}},
      {"five runs",
       test::Cat({PartRun({0x66}), PartRun({0x21, 0x28, 0x65}), PartRun({0x64}), PartRun({0x25}),
                  PartRun({0x21, 0x2B, 0x67})}),
       "",
       {"O4C4", "O4C8", "O4C16", "R4"},
       "120",
       {kExtra}},
      {"bad title", test::Cat({{0x1B, 0x24, 0x42, 0x7F, 0x7F}, PartRun({})}), "\uFFFD", {}, "120",
       {"ﾀｲﾄﾙにｼﾌﾄJISとして読めないﾊﾞｲﾄが1か所あり、「\uFFFD」にしました。"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const SmdRead read = ReadSmd(c.file);
    EXPECT_EQ(read.song.title, c.title) << c.name;
    for (int p = 0; p < 4; ++p) EXPECT_EQ(read.song.parts[p].mml, c.parts[p]) << c.name << p;
    EXPECT_EQ(read.song.tempo, c.tempo) << c.name;
    EXPECT_EQ(test::Messages(read.warnings), c.warnings) << c.name;
    EXPECT_EQ(read.song.resolution, 1);
  }
}

// A random song SMD can hold, written and read back, sounds the same.
TEST(SmdRoundTrip, RandomSongsComeBackNoteForNote) {
  std::mt19937 rng(20240613);
  test::PartShape shape;
  shape.lowKey = 12;  // O1A .. O5F+
  shape.highKey = 57;
  shape.lengths = {"1", "2", "4", "8", "16", "2.", "4.", "8."};
  shape.triplets = {"*8", "*16", "*32", "*64"};
  shape.spellings = true;
  shape.maxItems = 30;
  BuildRequest smd;
  smd.smd = true;
  for (int round = 0; round < 60; ++round) {
    std::vector<std::string> parts;
    for (int p = 0; p < 4; ++p) parts.push_back(test::RandomPart(rng, shape));
    const SongDocument song = test::SongOf(parts);
    auto written = BuildSong(song, smd);
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_TRUE(written->warnings.empty()) << test::Messages(written->warnings)[0];
    const SmdRead read = ReadSmd(written->smdFile);
    EXPECT_TRUE(read.warnings.empty());
    EXPECT_EQ(test::Listen(read.song), test::Listen(song))
        << parts[0] << "\n" << read.song.parts[0].mml;
  }
}

}  // namespace
}  // namespace chwr

// The whole-song build: golden images checked byte by byte against the layout, the
// "!" start mark, and what the format cannot hold.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/build_song.h"
#include "mld/mld_builder.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Ascii;
using test::Bytes;
using test::Cat;
using test::Song;

// The bytes after the track length.
Bytes Track(const Bytes& image) {
  const std::size_t headerLength = image[9];
  return Bytes(image.begin() + 10 + headerLength + 8, image.end());
}

// Tempo 120 at 48, default volumes and tones, parts 1-3 in the prologue, the first delta.
const Bytes kPrologue = {0x00, 0xFF, 0xC3, 0x78, 0x00, 0xFF, 0xE2, 0x3F, 0x00, 0xFF,
                         0xE2, 0x7F, 0x00, 0xFF, 0xE2, 0xBF, 0x00, 0xFF, 0xE0, 0x00,
                         0x00, 0xFF, 0xE0, 0x40, 0x00, 0xFF, 0xE0, 0x80, 0x00};
const Bytes kEnd = {0xFF, 0xDF, 0x00};

TEST(MldImage, GoldenImageOfAOneNoteSong) {
  SongDocument song = Song("C4");
  song.title = "ABC";
  auto build = BuildSong(song);
  ASSERT_TRUE(build) << build.error().message;
  const Bytes expected = Cat({Ascii("melo"),
                              {0x00, 0x00, 0x00, 0x4A},
                              {0x00, 0x1D, 0x01, 0x01, 0x01},
                              Ascii("sorc"),
                              {0x00, 0x01, 0x00},
                              Ascii("titl"),
                              {0x00, 0x03},
                              Ascii("ABC"),
                              Ascii("vers"),
                              {0x00, 0x04},
                              Ascii("0100"),
                              Ascii("trac"),
                              {0x00, 0x00, 0x00, 0x23},
                              kPrologue,
                              {0x1B, 0x30, 0x30},
                              kEnd});
  EXPECT_EQ(build->mldImage, expected);
  EXPECT_EQ(build->sizeReport, "82ﾊﾞｲﾄ  ﾊﾟｰﾄ1：48 O3C～O3C ﾊﾟｰﾄ2：0  ﾊﾟｰﾄ3：0  ﾊﾟｰﾄ4：0 ");
}

TEST(MldImage, EmptySongAndProtectionText) {
  SongDocument song;
  song.copyProtect = true;
  song.protectText = "(C)ﾃｽﾄ";
  auto build = BuildSong(song);
  ASSERT_TRUE(build);
  const Bytes& image = build->mldImage;
  // 26 + 0 title bytes + 6 + 6 protection bytes (half-width katakana are one byte each).
  EXPECT_EQ(image[9], 38);
  EXPECT_EQ(image[19], 0x01);  // "sorc" flag
  const Bytes cipy = Cat({Ascii("cipy"), {0x00, 0x06}, Ascii("(C)"), {0xC3, 0xBD, 0xC4}});
  EXPECT_EQ(Bytes(image.begin() + 36, image.begin() + 48), cipy);
  EXPECT_EQ(Track(image), Cat({kPrologue, kEnd}));
  EXPECT_EQ(build->sizeReport,
            std::to_string(image.size()) + "ﾊﾞｲﾄ  ﾊﾟｰﾄ1：0  ﾊﾟｰﾄ2：0  ﾊﾟｰﾄ3：0  ﾊﾟｰﾄ4：0 ");
  // Protection on but no text: no "cipy".
  song.protectText.clear();
  EXPECT_EQ(BuildSong(song)->mldImage[9], 26);
}

// The music between the prologue and the end: key, gate, delta triples and volume events.
TEST(MldImage, MusicOfTheFourPartsOnOneGrid) {
  // clang-format off
  const struct { const char* what; SongDocument song; Bytes music; } cases[] = {
      {"parts sharing a step with a volume change", Song("C4", "", "V10C4"),
       Cat({{0xFF, 0xE2, 0x8A, 0x00}, {0x1B, 0x30, 0x00}, {0x9B, 0x30, 0x30}})},
      {"V0 is written like any volume", Song("O4V0C4V1C4V0C4", "", "C4_63C4"),
       Cat({{0xFF, 0xE2, 0x00, 0x00}, {0x27, 0x30, 0x00}, {0x9B, 0x30, 0x30},
            {0xFF, 0xE2, 0x01, 0x00}, {0xFF, 0xE2, 0x80, 0x00}, {0x27, 0x30, 0x00},
            {0x9B, 0x30, 0x30}, {0xFF, 0xE2, 0x00, 0x00}, {0x27, 0x30, 0x30}})},
      {"zero-length events keep the grid", Song("C*0D4E4"),
       Cat({{0x1B, 0x01, 0x00}, {0x1D, 0x30, 0x30}, {0x1F, 0x30, 0x30}})},
      // The start mark inside part 2's half note: part 2 starts with a rest until its D.
      {"a mark inside a note", Song("C4!C4", "C2D4", "C4"),
       Cat({{0x1B, 0x30, 0x00}, {0x5B, 0x00, 0x30}, {0x5D, 0x30, 0x30}})},
      {"a part's last event spanning the mark rests until its own end", Song("C4!", "C2"),
       {0x5B, 0x00, 0x30}},
      {"the mark after everything: nothing is left to play", Song("C4!"), {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto build = BuildSong(c.song);
    ASSERT_TRUE(build) << c.what;
    EXPECT_EQ(Track(build->mldImage), Cat({kPrologue, c.music, kEnd})) << c.what;
  }
}

TEST(MldImage, PartFourTonesBanksDefinitionsAndSelections) {
  SongDocument song =
      Song("@V1C", "@{1,0,15,7,4,2,0,20,0,0,5,1,1,15,7,4,2,0,0,0,0,0,3}", "", "R8{0A1B}D");
  song.parts[0].tone = "128 Gun Shot";
  song.parts[1].tone = "A";
  song.parts[3].tone = "1   Piano 1";
  song.parts[3].volume = "40";
  song.tempo = "300";
  song.resolution = 0;
  auto build = BuildSong(song);
  ASSERT_TRUE(build) << build.error().message;
  const Bytes prologue = {
      0x00, 0xFF, 0xC2, 44,  // 300 keeps its low 8 bits
      0x00, 0xFF, 0xE2, 0x3F, 0x00, 0xFF, 0xE2, 0x7F, 0x00, 0xFF, 0xE2, 0xBF, 0x00, 0xFF,
      0xE2, 0xE8,                                      // part 4: 192 + 40
      0x00, 0xFF, 0xE0, 0x3F, 0x00, 0xFF, 0xE1, 0x03,  // program 127: 63, bank 3
      0x00, 0xFF, 0xE0, 0x42,                          // "A" is 2
      0x00, 0xFF, 0xE0, 0x80,                          // "B" is 0
      0x00, 0xFF, 0xE0, 0xC0, 0x00, 0xFF, 0xE1, 0xC2,  // program 0, bank 2
      0x00, 0xFF, 0xF0, 0x00, 0x29, 0x01,              // slot 2 from part 2
      0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x21, 0x21, 0xD3, 0xC9,
      0x45, 0x31, 0xD3, 0xC8, 0x00, 0x03, 0,    0,    0,    0,    0,    0,    0,    0,
      0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x00};
  // At 24 steps: "C" is 12 steps, the rest "R8" 12 steps then "D" 12.
  const Bytes music = {0xFF, 0xF1, 0x00, 0x03, 0x01, 0x01, 0x40, 0x00,  // part 1 selects slot 1
                       0x1B, 0x0C, 0x00,                                // C of part 1
                       0xDD, 0x00, 0x0C,                                // part 4 rest: lowest key
                       0x0A, 0x1B,                                      // raw data of the D
                       0xDD, 0x0C, 0x0C};
  EXPECT_EQ(Track(build->mldImage), Cat({prologue, music, kEnd}));
  // The track length counts exactly the bytes written.
  const Bytes& image = build->mldImage;
  const std::size_t trackLength = (image[10 + image[9] + 4] << 24) |
                                  (image[10 + image[9] + 5] << 16) |
                                  (image[10 + image[9] + 6] << 8) | image[10 + image[9] + 7];
  EXPECT_EQ(trackLength, Track(image).size());
  EXPECT_EQ((image[4] << 24 | image[5] << 16 | image[6] << 8 | image[7]), image.size() - 8);
}

TEST(MldImage, TempoByte) {
  // clang-format off
  const struct { const char* text; int byte; bool replaced; } cases[] = {{"120", 120, false},
               // clang-format on
               {"", 120, false},
               {"300", 44, false},
               {"abc", 120, true},
               {"12.9", 12, false},
               {"-1", 255, false},
               {" 96 ", 96, false},
               {"1e2", 120, true},
               {"99999999999999999999", 255, false},  // 10^20 is a multiple of 256
               // What an input method types: full-width digits, point, sign and blanks.
               {"１５０", 150, false},
               {"\u3000９６．５\u3000", 96, false},
               {"－１", 255, false},
               {"１５０ａ", 120, true}};
  for (const auto& c : cases) {
    bool replaced = false;
    EXPECT_EQ(TempoByte(c.text, &replaced), c.byte) << c.text;
    EXPECT_EQ(replaced, c.replaced) << c.text;
  }
}

TEST(MldImage, RefusesWhatTheFormatCannotHold) {
  const struct {
    SongDocument song;
    std::string message;
  } cases[] = {
      {Song("@V4C"), "ﾊﾟｰﾄ1 音色定義の選択(@V4)は@V0～@V3にして下さい。"},
      {Song("", "{0A1}C"), "ﾊﾟｰﾄ2 ﾃﾞｰﾀ{0A1}は16進数を2桁ずつ書いて下さい。"},
      {Song("", "", "{XY}C"), "ﾊﾟｰﾄ3 ﾃﾞｰﾀ{XY}は16進数を2桁ずつ書いて下さい。"},
      {Song("[C1]261"), "ﾊﾟｰﾄ1 のｽﾃｯﾌﾟ数(50112)が多すぎます。1曲は50000ｽﾃｯﾌﾟまでです。"},
  };
  for (const auto& c : cases) {
    auto build = BuildSong(c.song);
    ASSERT_FALSE(build);
    EXPECT_EQ(build.error().message, c.message);
  }
  SongDocument song;
  song.title = std::string(230, 'A');
  EXPECT_EQ(BuildSong(song).error().message,
            "ﾀｲﾄﾙが長すぎます。ｼﾌﾄJISで230ﾊﾞｲﾄあります。(最大229ﾊﾞｲﾄ)");
  song.title = std::string(229, 'A');
  EXPECT_TRUE(BuildSong(song));
  song.title = "AB";
  song.copyProtect = true;
  song.protectText = std::string(222, 'x');
  EXPECT_EQ(BuildSong(song).error().message,
            "ﾀｲﾄﾙと著作権情報が長すぎます。ｼﾌﾄJISで224ﾊﾞｲﾄあります。(最大223ﾊﾞｲﾄ)");
  song.protectText = "x";
  song.title = "A\tB";
  EXPECT_EQ(BuildSong(song).error().message, "ﾀｲﾄﾙに制御文字は使えません。");
  // A compile error is the compiler's own message.
  EXPECT_EQ(BuildSong(Song("", "O9")).error().message,
            "ﾊﾟｰﾄ2 (1行目) に(O命令)構文ｴﾗｰがあります。");
}

}  // namespace
}  // namespace chwr

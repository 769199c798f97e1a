#include "smd/smd_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "convert/build_song.h"
#include "messages.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Bytes;

// The SMD file of a song whose only part is `mml` (part 4 empty, so the order is 2, 3, 1),
// built for that file alone as the editor and chwr build it.
struct Made {
  Bytes file;
  std::vector<std::string> warnings;
};
Made MakeSmd(const std::string& mml, std::string tempo = "120", int resolution = 1) {
  SongDocument song = test::Song(mml);
  song.tempo = tempo;
  song.resolution = resolution;
  BuildRequest request;
  request.smd = true;
  request.mld = false;
  auto built = BuildSong(song, request);
  EXPECT_TRUE(built) << mml << ": " << (built ? "" : built.error().message);
  if (!built) return {};
  return {built->smdFile, test::Messages(built->warnings)};
}

Bytes PartRun(Bytes codes) {
  return test::Cat({{0x1B, 0x24, 0x44}, codes, {0x0F}});
}

constexpr const char* kOutOfRange =
    "発音範囲（O1A～O5F+）外の音符が存在しました。休符に置き換えられます。";
constexpr const char* kApproximated =
    "不定な絶対音長が存在しました。正常に演奏されない場合があります。";
constexpr const char* kShort =
    "32分・64分音符(16分音符の付点を含む)が存在しました。別の長さに置き換えられます。";

TEST(SmdWriter, CodesNotesRestsAndLengths) {
  struct Case {
    const char* mml;
    Bytes codes;
    std::vector<std::string> warnings;
    int resolution = 1;
  };
  const std::vector<Case> cases = {
      {"O4C4", {0x66}, {}},
      {"O5C8", {0x21, 0x22, 0x65, 0x21, 0x24}, {}},
      {"O1C4", {0x25}, {kOutOfRange}},
      {"O1A16O5F+16", {0x21, 0x23, 0x28, 0x21, 0x22, 0x7C, 0x21, 0x24}, {}},
      {"O4C1", {0x67, 0x22, 0x67}, {}},
      {"O4C2", {0x67}, {}},
      {"O4C1.", {0x67, 0x22, 0x67, 0x22, 0x66}, {}},
      {"O4C4.", {0x66, 0x22, 0x65}, {}},
      {"O4C16.", {0x64, 0x22, 0x64}, {kShort}},  // the dot, a 32nd, as a sixteenth
      {"O4C8.", {0x65, 0x22, 0x64}, {}},
      {"O4C4&D4", {0x66, 0x22, 0x6E}, {}},
      {"O4C4C32C64", {0x66, 0x66, 0x66}, {kShort}},  // no index of their own: the previous one
      {"O4C32", {0x64}, {kShort}},                   // index 0 at the start of a part
      {"O4C2R32.", {0x67, 0x26, 0x22, 0x25}, {kShort}},
      {"L32O4C", {0x64}, {kShort}},
      {"L32L8O4C", {0x65}, {}},  // a default no note takes changes nothing
      {"O3G16.A32B64", {0x50, 0x22, 0x50, 0x58, 0x60}, {kShort}},  // one warning for all
      {"L4O4CR", {0x66, 0x25}, {}},
      {"O4C*16C*16C*16C*16C*16C*16",
       {0x21, 0x26, 0x65, 0x65, 0x65, 0x21, 0x26, 0x65, 0x65, 0x65},
       {}},
      {"L*32O4CR", {0x21, 0x26, 0x66, 0x25}, {}},
      {"O5C*8", {0x21, 0x26, 0x21, 0x22, 0x64, 0x21, 0x24}, {}},
      {"O4C*36", {0x66}, {kApproximated}},
      {"O4C*192", {0x67, 0x22, 0x67}, {kApproximated}},
      {"O4C*4", {0x64}, {kApproximated}},  // at 48 steps a quarter no triplet length
      {"O1C4O4C*36", {0x25, 0x66}, {kOutOfRange, kApproximated}},
      {"V10@V1Q3{0A}O4C4", {0x66}, {}},  // what SMD cannot hold is left out
      // Once in window 3, window 1 is searched last.
      {"O5C8O2A8O1A8", {0x21, 0x22, 0x65, 0x21, 0x24, 0x29, 0x21, 0x23, 0x29, 0x21, 0x24}, {}},
      // Faults of the old writer that this one mends.
      {"O4D-4", {0x6A}, {}},  // as C+
      {"O3E+4", {0x4A}, {}},  // as F
      {"O3B+4", {0x66}, {}},  // as the C of octave 4
      {"O4C-4", {0x62}, {}},  // as the B of octave 3
      {"O4F-4", {0x76}, {}},  // as E
      {"O4E-4", {0x72}, {}},  // as D+
      {"T2O4C4", {0x6E}, {}},
      {"T-12O4C4", {0x36}, {}},
      {"T12O5C4", {0x25}, {kOutOfRange}},
      {"O5R4", {0x21, 0x22, 0x25, 0x21, 0x24}, {}},  // a rest a window holds switches
      {"O6R4", {0x25}, {}},                          // one no window holds stays put
      {"O1R4O4C4", {0x21, 0x23, 0x25, 0x21, 0x24, 0x66}, {}},
      // At 24 steps a quarter.
      {"O4C*8C*8C*8", {0x21, 0x26, 0x65, 0x65, 0x65}, {}, 0},
      {"O4C*18", {0x66}, {kApproximated}, 0},
      {"O4C4C*100", {0x66, 0x66}, {kApproximated}, 0},  // longer than a whole: the index stays
  };
  for (const Case& c : cases) {
    const Made made = MakeSmd(c.mml, "120", c.resolution);
    EXPECT_EQ(made.file, PartRun(c.codes)) << c.mml;
    EXPECT_EQ(made.warnings, c.warnings) << c.mml;
  }
}

// The tempo's class; a tempo outside 1..255 is warned about as for the MLD file, naming
// the tempo its class reads back as.
TEST(SmdWriter, TempoClassAndItsWarning) {
  const auto warned = [](const char* tempo, const char* as) {
    return std::string("ﾃﾝﾎﾟ ") + tempo + " は SMD では " + as + " になります。1～255で指定して下さい。";
  };
  // clang-format off
  const struct { const char* tempo; Bytes tempoClass; std::string warning; } cases[] = {
      {"1", {0x21, 0x2B}, ""},      {"94.9", {0x21, 0x2B}, ""}, {"95", {0x21, 0x2A}, ""},
      {"107", {0x21, 0x2A}, ""},    {"108", {}, ""},            {"125", {}, ""},
      {"126", {0x21, 0x28}, ""},    {"255", {0x21, 0x28}, ""},  {"１５０", {0x21, 0x28}, ""},
      {"", {}, ""},                 {"fast", {}, ""},           {"60bpm", {}, ""},
      {"300", {}, warned("300", "120")},        {"256", {}, warned("256", "120")},
      {"0", {0x21, 0x2B}, warned("0", "60")},   {"0.5", {0x21, 0x2B}, warned("0.5", "60")},
      {"-5", {}, warned("-5", "120")},          {"１０００", {}, warned("1000", "120")},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Made made = MakeSmd("O4C4", c.tempo);
    EXPECT_EQ(made.file, PartRun(test::Cat({c.tempoClass, {0x66}}))) << c.tempo;
    EXPECT_EQ(made.warnings,
              c.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.warning})
        << c.tempo;
  }

  // Built with the MLD file, each file's warning says what that file gets.
  SongDocument song = test::Song("O4C4 O1C4");
  song.tempo = "300";
  BuildRequest both;
  both.smd = true;
  auto built = BuildSong(song, both);
  ASSERT_TRUE(built);
  EXPECT_EQ(test::Messages(built->warnings),
            (std::vector<std::string>{
                "ﾃﾝﾎﾟ 300 は MLD では 44 になります。1～255で指定して下さい。",
                "ﾃﾝﾎﾟ 300 は SMD では 120 になります。1～255で指定して下さい。", kOutOfRange}));
  // Without an SMD file no SMD warning.
  EXPECT_EQ(BuildSong(song)->warnings.size(), 1u);
}

// The MLD and MIDI files refuse a part longer than a song may be; so does the SMD file,
// which would open again as a song that cannot be built.
TEST(SmdWriter, APartLongerThanASongMayBeIsRefused) {
  std::string whole;
  for (int i = 0; i < 260; ++i) whole += "C1";  // 260 x 192 = 49,920 steps
  // clang-format off
  const struct { std::string part2; int resolution; const char* refusal; } cases[] = {
      {whole + "R*80", 1, nullptr},  // 50,000: as long as a song may be
      {whole + "R*81", 1, "ﾊﾟｰﾄ2 のｽﾃｯﾌﾟ数(50001)が多すぎます。1曲は50000ｽﾃｯﾌﾟまでです。"},
      {whole + "C1", 1, "ﾊﾟｰﾄ2 のｽﾃｯﾌﾟ数(50112)が多すぎます。1曲は50000ｽﾃｯﾌﾟまでです。"},
      {whole + whole + "C1", 0, "ﾊﾟｰﾄ2 のｽﾃｯﾌﾟ数(50016)が多すぎます。1曲は50000ｽﾃｯﾌﾟまでです。"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SongDocument song = test::Song("O4C4", c.part2);
    song.resolution = c.resolution;
    for (const bool mld : {false, true}) {
      BuildRequest request;
      request.smd = true;
      request.mld = mld;
      auto built = BuildSong(song, request);
      if (!c.refusal) {
        EXPECT_TRUE(built) << built.error().message;
        continue;
      }
      ASSERT_FALSE(built) << c.refusal;
      EXPECT_EQ(built.error().message, c.refusal);
      EXPECT_EQ(built.error().kind, DiagnosticKind::Error);
      EXPECT_EQ(BuildSong(song).error().message, c.refusal) << "the MLD file's own refusal";
    }
  }
}

TEST(SmdWriter, FileOrderAndEmptyParts) {
  SongDocument song = test::Song("O4C4", "O4D4", "R4", "");
  BuildRequest request;
  request.smd = true;
  auto three = BuildSong(song, request);
  ASSERT_TRUE(three);
  EXPECT_EQ(three->smdTexts[0], "\x1B\x24\x44\x66\x0F");
  EXPECT_EQ(three->smdFile, test::Cat({PartRun({0x6E}), PartRun({0x25}), PartRun({0x66})}));

  song.parts[3].mml = "O4E4";
  song.parts[1].mml = "V10 @V1";  // no note or rest: no run at all
  auto four = BuildSong(song, request);
  ASSERT_TRUE(four);
  EXPECT_TRUE(four->smdTexts[1].empty());
  EXPECT_EQ(four->smdFile, test::Cat({PartRun({0x66}), PartRun({0x25}), PartRun({0x76})}));
  EXPECT_FALSE(four->mldImage.empty());
}

// A song without a note or rest has no SMD file at all, and a warning says so: a file of
// no bytes would open as an empty song without a word.
TEST(SmdWriter, ASongWithoutANoteOrRestHasNoFile) {
  constexpr const char* kNothing = "音符も休符もないため、SMDﾌｧｲﾙは作成できません。";
  const struct {
    SongDocument song;
    std::vector<std::string> warnings;  // for the SMD file alone
  } cases[] = {
      {test::Song(""), {kNothing}},
      {test::Song("V10 @V1 L4 O5", "T2 Q3", "{0A}", "!"), {kNothing}},
      {[] {
         SongDocument s = test::Song("");
         s.tempo = "300";
         return s;
       }(),
       {"ﾃﾝﾎﾟ 300 は SMD では 120 になります。1～255で指定して下さい。", kNothing}},
      {test::Song("", "", "", "R"), {}},  // a rest is music enough
  };
  for (const auto& c : cases) {
    BuildRequest request;
    request.smd = true;
    request.mld = false;
    auto alone = BuildSong(c.song, request);
    ASSERT_TRUE(alone);
    EXPECT_EQ(test::Messages(alone->warnings), c.warnings) << c.song.parts[0].mml;
    EXPECT_EQ(alone->smdFile.empty(), !c.warnings.empty() && c.warnings.back() == kNothing);
    request.mld = true;  // the MLD file of such a song is made; its warnings stand before
    auto both = BuildSong(c.song, request);
    ASSERT_TRUE(both);
    EXPECT_FALSE(both->mldImage.empty());
    EXPECT_EQ(both->smdFile, alone->smdFile);
    const auto all = test::Messages(both->warnings);
    ASSERT_GE(all.size(), c.warnings.size());
    EXPECT_TRUE(std::equal(c.warnings.rbegin(), c.warnings.rend(), all.rbegin()));
  }
}

TEST(SmdWriter, CnvToneLenRoundsToTheNearestClass) {
  // clang-format off
  struct Case { const char* length; int resolution; const char* name; bool flagged; };
  // clang-format on
  const std::vector<Case> cases = {
      {"*8", 1, "*8", false},   {"*64", 1, "*64", false}, {"*4", 0, "*4", false},
      {"*32", 0, "*32", false}, {"*12", 1, "16", true},   {"*13", 1, "8", true},
      {"*24", 1, "8", true},    {"*25", 1, "4", true},    {"*96", 1, "2", true},
      {"*97", 1, "1", true},    {"*192", 1, "1", true},   {"*193", 1, "", true},
      {"*6", 0, "16", true},    {"*7", 0, "8", true},     {"*96", 0, "1", true},
      {"*97", 0, "", true},     {"*", 1, "16", true},     {"*x", 1, "", true},
  };
  for (const Case& c : cases) {
    SmdFlags flags;
    EXPECT_EQ(CnvToneLen(c.length, c.resolution, flags), c.name) << c.length;
    EXPECT_EQ(flags.lengthApproximated, c.flagged) << c.length;
  }
}

// Where the MLD image refuses the song the SMD file is made all the same; a build for the
// SMD file alone leaves the image, its refusal and its warnings out. A MIDI file needs the
// image either way.
TEST(SmdWriter, IsMadeWhereTheMldImageIsRefusedOrLeftOut) {
  // No fifth tone definition in MLD; O6E is beyond both formats: MLD moves it to its
  // highest note, SMD writes a rest.
  const SongDocument song = test::Song("@V7 O6E4 O4C4", "O4D4");
  EXPECT_FALSE(BuildSong(song));
  BuildRequest both;
  both.smd = true;
  BuildRequest alone = both;
  alone.mld = false;
  auto full = BuildSong(test::Song("O6E4 O4C4", "O4D4"), both);
  auto refused = BuildSong(song, both);
  auto built = BuildSong(song, alone);
  ASSERT_TRUE(full && refused && built);
  EXPECT_EQ(refused->smdFile, full->smdFile);
  EXPECT_TRUE(refused->mldImage.empty());
  EXPECT_TRUE(refused->mldRefused);
  EXPECT_EQ(built->smdFile, full->smdFile);
  EXPECT_TRUE(built->mldImage.empty());
  EXPECT_TRUE(built->sizeReport.empty());
  EXPECT_FALSE(built->mldRefused);
  EXPECT_EQ(test::Messages(built->warnings), std::vector<std::string>{msg::kSmdOutOfRange});
  EXPECT_GT(full->warnings.size(), 1u);
  for (BuildRequest request : {both, alone}) {
    request.midi = true;
    EXPECT_FALSE(BuildSong(song, request));
  }
}

}  // namespace
}  // namespace chwr

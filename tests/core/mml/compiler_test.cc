#include "mml/compiler.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "mml/song_compile.h"
#include "part_compile.h"
#include "text/cp932.h"

namespace chwr {
namespace {

using test::CompileText;

// "key gate step", then " v<volume>", " t<tone>", " d<data>" when set.
std::vector<std::string> Describe(const CompiledPart& part, bool adjusted = false) {
  std::vector<std::string> out;
  for (int i = 0; i < part.count && i < static_cast<int>(part.events.size()); ++i) {
    const NoteEvent& e = part.events[i];
    const int gate = adjusted ? e.adjustedGate() : e.gate;
    std::string s =
        std::to_string(e.key) + " " + std::to_string(gate) + " " + std::to_string(e.step);
    if (e.changesVolume()) s += " v" + std::to_string(e.volume);
    if (e.tone) s += " t" + std::to_string(e.tone);
    if (!part.DataOf(e).empty()) s += " d" + std::string(part.DataOf(e));
    out.push_back(s);
  }
  return out;
}

// clang-format off
struct EventCase { int resolution; int part; const char* mml; std::vector<std::string> events; };
// clang-format on

TEST(CompilePart, EmitsEvents) {
  const EventCase cases[] = {
      // Notes, octaves and keys.
      {1, 0, "C", {"27 24 24"}},
      {1, 0, "C4D4", {"27 48 48", "29 48 48"}},
      {1, 0, "C+4", {"28 48 48"}},
      {1,
       0,
       "O4C-CC+D-DD+E-EF-E+FF+G-GG+A-AA+B-BB+",
       {"38 24 24", "39 24 24", "40 24 24", "40 24 24", "41 24 24", "42 24 24", "42 24 24",
        "43 24 24", "43 24 24", "44 24 24", "44 24 24", "45 24 24", "45 24 24", "46 24 24",
        "47 24 24", "47 24 24", "48 24 24", "49 24 24", "49 24 24", "50 24 24", "51 24 24"}},
      {1, 0, "C+-D-+", {"28 24 24", "28 24 24"}},
      {1, 0, "O3B+O4C", {"39 24 24", "39 24 24"}},
      {1, 0, "O1C-", {"2 24 24"}},
      {1, 0, "O6C", {"63 24 24"}},
      {1, 0, "O6B", {"63 24 24"}},
      {1, 0, "O6<C", {"63 24 24"}},
      {1, 0, "O1>C", {"0 24 24"}},
      {1, 0, "<3C", {"39 24 24"}},
      {1, 0, "O4.C", {"39 24 24"}},
      {1, 1, "C", {"91 24 24"}},
      {1, 3, "O5A+O5BO6C<C", {"253 24 24", "254 24 24", "254 24 24", "254 24 24"}},
      {1, 0, "T-2C", {"25 24 24"}},
      {1, 0, "T+2C", {"29 24 24"}},
      {1, 0, "T2.5C", {"29 24 24"}},
      {1, 0, "T3.5C", {"31 24 24"}},
      {1, 0, "T-2.5C", {"25 24 24"}},
      {1, 0, "T-40C", {"0 24 24"}},
      {1, 0, "T32767CT-32768C", {"63 24 24", "0 24 24"}},
      // Lengths and gates at 48.
      {1, 0, "Q30C4", {"27 18 48"}},
      {1, 0, "Q30C32", {"27 1 6"}},
      {1, 0, "Q192C1", {"27 1 192"}},
      {1, 0, "Q1.5C4", {"27 33 48"}},  // the dot is dropped: Q15
      {1, 0, "Q30QC4", {"27 48 48"}},  // "Q" alone is Q0
      {1, 0, "Q30C4&", {"27 49 48"}},
      {1, 0, "C*0", {"27 1 0"}},
      {1, 0, "C*", {"27 1 0"}},
      {1, 0, "C*1", {"27 1 1"}},
      {1, 0, "C*2", {"27 2 2"}},
      {1, 0, "C*192", {"27 192 192"}},
      {1, 0, "L*36C", {"27 36 36"}},
      {1, 0, "L*036C", {"27 36 36"}},
      {1, 0, "L16C", {"27 12 12"}},
      {1, 0, "L64C", {"27 3 3"}},
      {1, 0, "L4C0", {"27 48 48"}},
      {1, 0, "L4.C", {"27 48 48"}},
      {1, 0, "C4+", {"27 48 48"}},  // a sign after the length is dropped
      {1, 0, "C&4", {"27 49 48"}},
      {1, 0, "C\r\n4", {"27 48 48"}},
      {1, 0, "4.&C4", {"27 48 48"}},  // token 0 is never executed
      {1, 0, "@C4", {"27 48 48"}},
      // Dots.
      {1, 0, "C4.", {"27 49 48", "27 24 24"}},
      {1, 0, "C4.&", {"27 49 48", "27 25 24"}},
      {1, 0, "Q10C4.", {"27 49 48", "27 14 24"}},
      {1, 0, "L16C.", {"27 13 12", "27 6 6"}},
      {1, 0, "C8..", {"27 25 24", "27 12 12"}},
      {1, 0, "C.4", {"27 49 48", "27 24 24"}},
      {1, 0, "C1.", {"27 193 192", "27 96 96"}},
      {1, 0, "L*48C4.", {"27 49 48", "27 24 24"}},
      {1, 0, "R4.", {"26 0 48", "26 0 24"}},
      {1, 0, "{0A}V10@V1C4.", {"27 49 48 v10 t2 d0A", "27 24 24"}},
      // Volume.
      {1, 0, "V10C4C4", {"27 48 48 v10", "27 48 48"}},
      {1, 0, "V63C", {"27 24 24"}},
      {1, 0, "V10V63C", {"27 24 24"}},
      {1, 0, "V10CV60~~~~C", {"27 24 24 v10", "27 24 24 v63"}},
      {1, 0, "V10~3~C", {"27 24 24 v16"}},
      {1, 0, "V20~5_C", {"27 24 24 v20"}},
      {1, 0, "V10~3~00~C", {"27 24 24 v13"}},  // "~00" sets the step to 0
      {1, 0, "V10~3~0~C", {"27 24 24 v19"}},   // "~0" keeps the step
      {1, 0, "V3_5~C", {"27 24 24 v5"}},
      {1, 0, "V60~5_C", {"27 24 24 v58"}},
      {1, 0, "V10~1.5C", {"27 24 24 v25"}},
      {1, 0, "V10.9C", {"27 24 24 v10"}},
      {1, 0, "V10R4", {"26 0 48 v10"}},
      // V0 is silence, a volume like any other, and not "unchanged".
      {1, 0, "O4V0C4V1C4V0C4", {"39 48 48 v0", "39 48 48 v1", "39 48 48 v0"}},
      {1, 0, "V0C4C4", {"27 48 48 v0", "27 48 48"}},
      {1, 0, "V10C_20C~1C", {"27 24 24 v10", "27 24 24 v0", "27 24 24 v1"}},
      {1, 0, "V0R4", {"26 0 48 v0"}},
      {1, 0, "V0C4.", {"27 49 48 v0", "27 24 24"}},
      // Tone selection.
      {1, 0, "@V2C", {"27 24 24 t3"}},
      {1, 0, "@VC", {"27 24 24 t2"}},
      {1, 0, "@v0c@v0c", {"27 24 24 t1", "27 24 24"}},
      {1, 0, "@V9C", {"27 24 24 t10"}},
      {1, 0, "@@V1C", {"27 24 24 t2"}},
      {1, 0, "@V 2C", {"27 24 24 t3"}},
      {1, 0, "@V1\r\nC", {"27 24 24 t2"}},
      // Data.
      {1, 0, "{0A1B}C", {"27 24 24 d0A1B"}},
      {1, 0, "{}C", {"27 24 24 d0"}},
      {1, 0, "{0A}L4{1B}C", {"27 48 48 d1B"}},
      {1, 0, "{0a+1.b&-}C", {"27 24 24 d0A1B"}},
      {1, 0, "{0 A}C", {"27 24 24 d0A"}},
      {1, 0, "{0A}!C", {"27 24 24 d0A"}},
      {1, 0, "{0A}R4D", {"29 0 48 d0A", "29 24 24"}},
      {1, 0, "{0A{1}C", {"27 24 24 d0A{1"}},
      {1, 0, "{+1}C", {"27 24 24 d1"}},
      {1, 0, "{+-&.}C", {"27 24 24 d0"}},
      // Rests take the lowest note, or part * 64 + 26.
      {1, 0, "R4R4", {"26 0 48", "26 0 48"}},
      {1, 2, "R4R4", {"154 0 48", "154 0 48"}},
      {1, 3, "R4&", {"218 0 48"}},
      {1, 0, "R4C4", {"27 0 48", "27 48 48"}},
      {1, 0, "R4O5C4O3E4", {"31 0 48", "51 48 48", "31 48 48"}},
      // Preprocessing.
      {1, 0, "C'x\nH\r\nD", {"27 24 24", "29 24 24"}},
      {1, 0, "[C] 4", {"27 24 24", "27 48 48"}},  // blanks stand between "]" and a count
      {1, 0, "[C4/D]3", {"27 48 48", "29 24 24", "27 48 48", "29 24 24", "27 48 48"}},
      {1, 0, "@{0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0}C", {"27 24 24"}},
      // Resolution 24.
      {0, 0, "C", {"27 12 12"}},
      {0, 0, "C64", {"27 2 2"}},
      {0, 0, "C2", {"27 48 48"}},
      {0, 0, "C1", {"27 96 96"}},
      {0, 0, "C32.", {"27 4 3", "27 2 2"}},
      {0, 0, "C*5", {"27 5 5"}},
      {0, 0, "L*36C", {"27 36 36"}},
  };
  for (const auto& c : cases) {
    const auto run = CompileText(c.mml, c.part, c.resolution);
    EXPECT_TRUE(run.ok) << c.mml << ": " << run.message;
    EXPECT_EQ(Describe(run.part), c.events) << c.mml;
  }
}

TEST(CompilePart, TiesIntoAnotherPitchLoseTheirOverlapInTheAdjustedList) {
  const struct {
    int part;
    const char* mml;
    std::vector<std::string> events;
    std::vector<std::string> adjusted;
  } cases[] = {
      {0, "C4&D4", {"27 49 48", "29 48 48"}, {"27 48 48", "29 48 48"}},
      {0, "C4&C4", {"27 49 48", "27 48 48"}, {"27 49 48", "27 48 48"}},
      {0, "C4D4&", {"27 48 48", "29 49 48"}, {"27 48 48", "29 49 48"}},
      {0, "C4&D4E4", {"27 49 48", "29 48 48", "31 48 48"}, {"27 48 48", "29 48 48", "31 48 48"}},
      {0, "C4&D4&E4", {"27 49 48", "29 49 48", "31 48 48"}, {"27 48 48", "29 48 48", "31 48 48"}},
      {0, "C4&V10D4", {"27 49 48", "29 48 48 v10"}, {"27 48 48", "29 48 48 v10"}},
      {0, "C4.&D4", {"27 49 48", "27 25 24", "29 48 48"}, {"27 49 48", "27 24 24", "29 48 48"}},
      // Also when the new note is dotted it is the tied note that loses the step, not the
      // new note's first piece (which would leave C sounding into D's start).
      {0, "C4&D4.", {"27 49 48", "29 49 48", "29 24 24"}, {"27 48 48", "29 49 48", "29 24 24"}},
      {0, "C4&D4.&E4", {"27 49 48", "29 49 48", "29 25 24", "31 48 48"},
       {"27 48 48", "29 49 48", "29 24 24", "31 48 48"}},
      {0, "C4&R4", {"27 49 48", "27 0 48"}, {"27 48 48", "27 0 48"}},
      {0, "R4&C4", {"27 0 48", "27 48 48"}, {"27 0 48", "27 48 48"}},
      {0, "C*0&D", {"27 1 0", "29 24 24"}, {"27 0 0", "29 24 24"}},
      // A newest key of 0 skips the adjustment; only part 1 can produce it.
      {0, "O1C4&T-9C4", {"3 49 48", "0 48 48"}, {"3 49 48", "0 48 48"}},
      {1, "O1C4&T-9C4", {"67 49 48", "64 48 48"}, {"67 48 48", "64 48 48"}},
  };
  for (const auto& c : cases) {
    const auto run = CompileText(c.mml, c.part);
    EXPECT_TRUE(run.ok) << c.mml << ": " << run.message;
    EXPECT_EQ(Describe(run.part), c.events) << c.mml;
    EXPECT_EQ(Describe(run.part, true), c.adjusted) << c.mml;
  }
}

TEST(CompilePart, Statistics) {
  const struct {
    int part;
    const char* mml;
    int totalSteps, volumeChanges, toneChanges, dataBytes;
    int maxKey;
    const char* maxName;
    int minKey;
    const char* minName;
  } cases[] = {
      {0, "", 0, 0, 0, 0, 0, "", 255, ""},
      {0, "R4R4", 96, 0, 0, 0, 0, "", 255, ""},
      {0, "O5C+4O3D8R2", 168, 0, 0, 0, 52, "O5C+", 29, "O3D"},
      {0, "O3B+O4C", 48, 0, 0, 0, 39, "O3B+", 39, "O3B+"},
      // Notes moved to the lowest or highest key are named as they sound.
      {0, "T-5O1C", 24, 0, 0, 0, 0, "O0A", 0, "O0A"},
      {0, "O6<C", 24, 0, 0, 0, 63, "O6C", 63, "O6C"},
      {0, "O1>>C#", 24, 0, 0, 0, 0, "O0A", 0, "O0A"},
      {3, "O6C", 24, 0, 0, 0, 254, "O5B", 254, "O5B"},
      {1, "C4.", 72, 0, 0, 0, 91, "O3C", 91, "O3C"},
      {0, "V0C", 24, 1, 0, 0, 27, "O3C", 27, "O3C"},
      {0, "V10CV10CV20CV20C", 96, 2, 0, 0, 27, "O3C", 27, "O3C"},
      {0, "V10C.", 36, 1, 0, 0, 27, "O3C", 27, "O3C"},
      {0, "@V1C@V1C@V2C.", 84, 0, 2, 0, 27, "O3C", 27, "O3C"},
      {0, "{0A1B}C", 24, 0, 0, 2, 27, "O3C", 27, "O3C"},
      {0, "{あい}C", 24, 0, 0, 1, 27, "O3C", 27, "O3C"},  // counted in characters
      // 1.5 -> 2, 3.5 -> 4, 4.5 -> 4, 4.5 -> 4, 6.5 -> 6
      {0, "{123}C{123}C{1}C{1}C{12345}C", 120, 0, 0, 6, 27, "O3C", 27, "O3C"},
  };
  for (const auto& c : cases) {
    const auto run = CompileText(c.mml, c.part);
    EXPECT_TRUE(run.ok) << c.mml << ": " << run.message;
    const CompiledPart& p = run.part;
    EXPECT_EQ(p.totalSteps, c.totalSteps) << c.mml;
    EXPECT_EQ(p.volumeChangeCount, c.volumeChanges) << c.mml;
    EXPECT_EQ(p.toneChangeCount, c.toneChanges) << c.mml;
    EXPECT_EQ(p.dataByteCount, c.dataBytes) << c.mml;
    EXPECT_EQ(p.maxKey, c.maxKey) << c.mml;
    EXPECT_EQ(p.maxName, c.maxName) << c.mml;
    EXPECT_EQ(p.minKey, c.minKey) << c.mml;
    EXPECT_EQ(p.minName, c.minName) << c.mml;
  }
}

TEST(CompilePart, NotesMovedToTheLowestOrHighestKeyWarnOnceEach) {
  const auto run = CompileText("O1>C D\nO6<C D >>>>>>>>C O6A", 1);
  ASSERT_TRUE(run.ok) << run.message;
  ASSERT_EQ(run.part.warnings.size(), 2u);
  EXPECT_EQ(run.part.warnings[0].message,
            "ﾊﾟｰﾄ2 (1行目) の音(O0C)は出せないため、最低音(O0A)にしました。");
  EXPECT_EQ(run.part.warnings[1].message,
            "ﾊﾟｰﾄ2 (2行目) の音(O7C)は出せないため、最高音(O6C)にしました。");
  EXPECT_EQ(run.part.warnings[1].kind, DiagnosticKind::Warning);
  EXPECT_EQ(run.part.warnings[1].line, 2);
  EXPECT_TRUE(CompileText("O1>A O6C C-", 0).part.warnings.empty()) << "the keys' own ends";
}

TEST(CompilePart, VolumeChangesAreMeasuredFromThePartsStartingVolume) {
  // clang-format off
  const struct { int startVolume; const char* mml; std::vector<std::string> events; } cases[] = {
      {0, "V0C4", {"27 48 48"}},
      {0, "V1C4V0C4", {"27 48 48 v1", "27 48 48 v0"}},
      {40, "V40C4", {"27 48 48"}},
      {40, "V63C4", {"27 48 48 v63"}},
  };
  // clang-format on
  for (const auto& c : cases) {
    const auto run = CompileText(c.mml, 0, 1, c.startVolume);
    EXPECT_EQ(Describe(run.part), c.events) << c.startVolume << " " << c.mml;
  }
}

TEST(CompilePart, ToneDefinitionsWithMoreThan23ValuesWarn) {
  const std::string v22 = "1,0,15,7,4,2,0,20,1,0,5,2,1,12,9,3,5,1,0,0,1,0,";
  const struct {
    const char* before;
    std::string values;
    std::vector<std::string> warnings;
  } cases[] = {
      {"", v22 + "3", {}},
      {"", v22 + "3,", {}},  // a trailing comma loses nothing
      {"", v22 + "3, ,\r\n", {}},
      {"C4'x\r\n\r\n",
       v22 + "3,4,5",
       {"ﾊﾟｰﾄ3 (3行目) の音色定義は数値が25個あります。24個目からは使われません。"}},
      {"",
       v22 + "3,,5",
       {"ﾊﾟｰﾄ3 (1行目) の音色定義は数値が25個あります。24個目からは使われません。"}},
      {"",
       v22 + "3,4,",
       {"ﾊﾟｰﾄ3 (1行目) の音色定義は数値が24個あります。24個目からは使われません。"}},
  };
  for (const auto& c : cases) {
    const std::string mml = std::string(c.before) + "@{" + c.values + "}C";
    const auto run = CompileText(mml, 2);
    ASSERT_TRUE(run.ok) << mml << ": " << run.message;
    // The first 23 values are the tone, whatever follows them.
    EXPECT_EQ(run.state.toneDefinition[2],
              (ToneDefinitionBytes{0x41, 0x29, 0xD3, 0xC9, 0x45, 0x56, 0x4F, 0x14, 0x08, 0x03}))
        << mml;
    std::vector<std::string> messages;
    for (const Diagnostic& w : run.part.warnings) {
      EXPECT_EQ(w.kind, DiagnosticKind::Warning);
      EXPECT_EQ(w.part, 2);
      EXPECT_EQ(w.searchText, "@{");
      messages.push_back(w.message);
    }
    EXPECT_EQ(messages, c.warnings) << mml;
  }
  // The warning comes before those of the notes, which stand after the definition.
  const auto both = CompileText("@{" + v22 + "3,4}O1>C", 0);
  ASSERT_EQ(both.part.warnings.size(), 2u);
  EXPECT_EQ(both.part.warnings[0].line, 1);
  EXPECT_EQ(both.part.warnings[0].message,
            "ﾊﾟｰﾄ1 (1行目) の音色定義は数値が24個あります。24個目からは使われません。");
}

// Upper case, "#" as "+" and blanks dropped wherever they stand, also in a text long enough
// to be read eight bytes at a time; the characters beside the lower-case letters stay.
TEST(CompilePart, NormalisesWhereverTheCharactersStand) {
  const std::string upper = "O4C8D+8E8F8G8A8B8<C8>B8A8G8F8E8D+8C8";
  const std::vector<std::string> expected = Describe(CompileText(upper).part);
  for (std::size_t k = 0; k < upper.size(); ++k) {
    std::string lower = upper;
    lower[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[k])));
    std::string sharp = upper;
    if (sharp[k] == '+') sharp[k] = '#';
    EXPECT_EQ(Describe(CompileText(lower).part), expected) << lower;
    EXPECT_EQ(Describe(CompileText(sharp).part), expected) << sharp;
    EXPECT_EQ(Describe(CompileText(std::string(upper).insert(k, " ")).part), expected) << k;
    EXPECT_EQ(CompileText(std::string(upper).insert(k, "`")).message,
              "ﾊﾟｰﾄ1(1行目)に不正な文字(`)があります。")
        << k;
    EXPECT_EQ(CompileText(std::string(upper).insert(k, "z")).message,
              "ﾊﾟｰﾄ1(1行目)に不正な文字(Z)があります。")
        << k;
  }
}

TEST(CompilePart, StartsAfreshEachTime) {
  CompileState state;
  CompiledPart part;
  ASSERT_TRUE(CompilePart(0, "O5C4D4E4!", 63, {}, state, part));
  EXPECT_EQ(state.markStep, 144);
  ASSERT_TRUE(CompilePart(0, "C", 40, {}, state, part));
  EXPECT_EQ(part.count, 1);
  EXPECT_EQ(Describe(part), std::vector<std::string>{"27 24 24"});
  EXPECT_EQ(part.totalSteps, 24);
  EXPECT_EQ(part.maxName, "O3C");
  EXPECT_EQ(state.markStep, 144);  // only "!" or the caller changes it
  ASSERT_TRUE(CompilePart(0, "V63C", 40, {}, state, part));
  EXPECT_EQ(part.events[0].volume, 63);
}

TEST(CompilePart, TotalsGoBeyondSixteenBits) {
  std::string mml;
  for (int i = 0; i < 400; ++i) mml += "C1";
  const auto run = CompileText(mml + "!{" + std::string(70000, '1') + "}C");
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_EQ(run.part.totalSteps, 400 * 192 + 24);
  EXPECT_EQ(run.state.markStep, 400 * 192);
  EXPECT_EQ(run.part.dataByteCount, 35000);
}

TEST(CompilePart, ToneDefinitionsAreKeptPerPart) {
  const std::string def = "@{1,0,15,7,4,2,0,20,1,0,5,2,1,12,9,3,5,1,0,0,1,0,3}";
  const ToneDefinitionBytes bytes = {0x41, 0x29, 0xD3, 0xC9, 0x45, 0x56, 0x4F, 0x14, 0x08, 0x03};
  CompileState state;
  CompiledPart part;
  ASSERT_TRUE(CompilePart(2, def + "C", 63, {}, state, part));
  EXPECT_TRUE(state.toneDefined[2]);
  EXPECT_EQ(state.toneDefinition[2], bytes);
  EXPECT_FALSE(state.toneDefined[0]);

  EXPECT_FALSE(CompilePart(2, "@{1,2", 63, {}, state, part));  // invalid: kept
  EXPECT_TRUE(state.toneDefined[2]);
  EXPECT_EQ(state.toneDefinition[2], bytes);

  ASSERT_TRUE(CompilePart(2, "C", 63, {}, state, part));
  EXPECT_FALSE(state.toneDefined[2]);
  EXPECT_EQ(state.toneDefinition[2], ToneDefinitionBytes{});
}

TEST(CompilePart, HandsTokensToTheSmdHook) {
  std::vector<std::string> seen;
  int last = -1;
  CompileOptions options;
  options.smdMode = true;
  options.smdHook = [&](const CommandTokens& tokens, int lastIndex) {
    seen.clear();
    for (std::size_t i = 0; i < tokens.size(); ++i) seen.push_back(Utf32ToUtf8(tokens[i]));
    last = lastIndex;
    return std::string("smd");
  };
  CompileState state;
  CompiledPart part;
  ASSERT_TRUE(CompilePart(1, "4c#4 @v2 r8& {0a}d\r\nl*36", 63, options, state, part));
  EXPECT_EQ(part.smdText, "smd");
  const std::vector<std::string> expected = {"4", "C+4", "@V2", "R8&", "{0A", "D", "L*36"};
  ASSERT_GE(last, 6);
  ASSERT_GT(static_cast<int>(seen.size()), last);
  EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 7), expected);
  for (int i = 7; i <= last; ++i) EXPECT_EQ(seen[i], "") << i;

  options.smdMode = false;
  seen.clear();
  ASSERT_TRUE(CompilePart(1, "C", 63, options, state, part));
  EXPECT_TRUE(seen.empty());
}

TEST(CompileSong, CompilesTheFourPartsInOrder) {
  SongDocument song;
  song.resolution = 0;
  song.parts[0].mml = "V54C4!C";
  song.parts[0].volume = "B";  // 54
  song.parts[1].mml = "~C";
  song.parts[1].volume = "C";  // 38
  song.parts[2].mml = "V63C2!";
  song.parts[2].volume = "\u2015\u2015";  // 63
  song.parts[3].mml = "_C";
  song.parts[3].volume = "40";
  SongCompile out;
  ASSERT_TRUE(CompileSong(song, out));
  EXPECT_EQ(Describe(out.parts[0]), (std::vector<std::string>{"27 24 24", "27 12 12"}));
  EXPECT_EQ(Describe(out.parts[1]), std::vector<std::string>{"91 12 12 v39"});
  EXPECT_EQ(Describe(out.parts[2]), std::vector<std::string>{"155 48 48"});
  EXPECT_EQ(Describe(out.parts[3]), std::vector<std::string>{"219 12 12 v39"});
  EXPECT_EQ(out.state.markStep, 48);  // the last "!" compiled wins
  EXPECT_FALSE(out.state.compileFailed);
}

TEST(CompileSong, StopsAtTheFirstFailingPart) {
  SongDocument song;
  song.parts[0].mml = "C!";
  song.parts[1].mml = "C4O7";
  song.parts[2].mml = "C";
  SongCompile out;
  const auto result = CompileSong(song, out);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().part, 1);
  EXPECT_EQ(result.error().message, "ﾊﾟｰﾄ2 (1行目) に(O命令)構文ｴﾗｰがあります。");
  EXPECT_TRUE(out.state.compileFailed);
  EXPECT_EQ(out.parts[0].count, 1);
  EXPECT_EQ(out.parts[1].count, 1);  // what was compiled before the error stays
  EXPECT_EQ(out.parts[2].count, 0);
  EXPECT_EQ(out.state.markStep, 24);
}

}  // namespace
}  // namespace chwr

#include "mml/notation.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "mml/lengths.h"

namespace chwr {
namespace {

TEST(Notation, PitchNamesAndLetters) {
  const char* const names[] = {"C", "C+", "D", "D+", "E", "F", "F+", "G", "G+", "A", "A+", "B"};
  for (int pc = 0; pc < 12; ++pc) {
    EXPECT_EQ(PitchName(pc), names[pc]);
    EXPECT_EQ(PitchName(pc - 12), names[pc]);  // any whole number is taken modulo 12
    EXPECT_EQ(PitchName(pc + 24), names[pc]);
  }
  const std::pair<char32_t, int> letters[] = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7},
                                              {'A', 9}, {'B', 11}, {'H', -1}, {'c', -1}, {'+', -1}};
  for (const auto& [letter, semitone] : letters) EXPECT_EQ(LetterSemitone(letter), semitone);
}

TEST(Notation, KeysOfEachFormat) {
  const std::pair<int, const char*> mld[] = {
      {0, "O0A"},  {2, "O0B"},  {3, "O1C"},  {14, "O1B"},      {15, "O2C"},
      {12, "O1A"},  // the first note of SMD window 1
      {63, "O6C"}, {64 + 3, "O1C"}, {192 + 62, "O5B"}, {-1, "O6C"},  // the part bits go
  };
  for (const auto& [key, text] : mld) EXPECT_EQ(MldKeyText(key), text) << key;
  for (int code = 0; code < kMldPartKeys; ++code) {
    const NotePitch p = MldKeyPitch(code);
    EXPECT_EQ(MldNoteCode(p.octave, p.pitchClass), code);
  }
  const std::pair<int, const char*> midi[] = {
      {60, "O4C"}, {59, "O3B"}, {61, "O4C+"}, {0, "O-1C"}, {127, "O9G"}, {-1, "O-2B"}};
  for (const auto& [note, text] : midi) EXPECT_EQ(PitchText(MidiNotePitch(note)), text) << note;
  EXPECT_EQ(OctaveMarks(3, 5), "<<");
  EXPECT_EQ(OctaveMarks(5, 2), ">>>");
  EXPECT_EQ(OctaveMarks(4, 4), "");
}

TEST(Notation, NamedLengthsAtBothResolutions) {
  int longer = 1000;
  for (const NamedLength& l : kNamedLengths) {
    // Each name says its own steps: 192 / n, half again when dotted.
    const bool dotted = l.name.back() == '.';
    const int n = std::stoi(std::string(l.name));
    EXPECT_EQ(l.steps, dotted ? 192 / n * 3 / 2 : 192 / n) << l.name;
    EXPECT_LT(l.steps, longer);
    longer = l.steps;
    EXPECT_EQ(NamedSteps(l, 24), l.steps % 2 ? 0 : l.steps / 2) << l.name;
    EXPECT_EQ(LengthName(l.steps, 48), l.name);
  }
  const std::tuple<int, int, const char*> names[] = {
      {36, 48, "8."}, {9, 48, "32."}, {3, 48, "64"},  {24, 24, "4"}, {9, 24, "16."},
      {3, 24, "32"},  {96, 24, "1"},  {5, 48, nullptr}, {0, 24, nullptr}, {1, 24, nullptr},
  };
  for (const auto& [steps, perQuarter, name] : names) {
    const auto got = LengthName(steps, perQuarter);
    EXPECT_EQ(got.has_value(), name != nullptr) << steps << " at " << perQuarter;
    if (got && name) {
      EXPECT_EQ(*got, name);
    }
  }
  // The compiler's plain lengths; at 24 the 64th (1.5 steps) rounds to even.
  const std::tuple<const char*, int, int> plain[] = {
      {"1", 192, 96}, {"2", 96, 48}, {"4", 48, 24}, {"8", 24, 12},
      {"16", 12, 6},  {"32", 6, 3},  {"64", 3, 2},
  };
  for (const auto& [name, at48, at24] : plain) {
    EXPECT_EQ(PlainLengthSteps(std::string_view(name), 48), at48) << name;
    EXPECT_EQ(PlainLengthSteps(std::string_view(name), 24), at24) << name;
  }
  EXPECT_EQ(PlainLengthSteps(std::u32string_view(U"16"), 48), 12);
  for (const char* text : {"4.", "3", "", "128", "016", "6"}) {
    EXPECT_FALSE(PlainLengthSteps(std::string_view(text), 48)) << text;
  }
}

TEST(Notation, LengthPieces) {
  const std::tuple<const char*, int, PieceOptions, const char*> cases[] = {
      {"C", 84, {}, "C4.&C16"},
      {"R", 194, {.tie = false}, "R1R*2"},
      {"C+", 400, {}, "C+1&C+1&C+16&C+64&C+*1"},
      {"C", 9, {}, "C32."},
      {"C", 9, {.dotted32 = false}, "C32&C64"},
      {"C", 9, {.stepsPerQuarter = 24}, "C16."},
      {"C", 4, {.stepsPerQuarter = 24}, "C32&C*1"},
      {"C", 5, {}, "C64&C*2"},
      {"C", 0, {}, ""},
  };
  for (const auto& [name, steps, options, text] : cases) {
    EXPECT_EQ(LengthPieces(name, steps, options), text) << name << steps;
  }
}

TEST(MmlNoteWriter, NamesLengthsOctavesAndQ) {
  MmlNoteWriter w;                                           // octave 3, Q 0, 48 steps per quarter
  EXPECT_EQ(w.Note(27, false, 48, 47), "Q1C4");              // gate 47 needs Q1
  EXPECT_EQ(w.Note(39, false, 30, 20), "<Q10C*30");          // 8&32 with a Q: one absolute length
  EXPECT_EQ(w.Note(15, false, 84, 84), ">>Q0C4.&C16");       // pieces of a note are tied
  EXPECT_EQ(w.Note(0, false, 2, 2), ">>A*2");                // code 0 is the A below octave 1
  EXPECT_EQ(w.Note(64 + 26, false, 12, 12), "<<B16");        // part 2's key loses its part bits
  EXPECT_EQ(w.Note(std::nullopt, true, 194, 194), "R1R*2");  // rests repeat, no octave or Q
  EXPECT_EQ(w.Note(std::nullopt, true, 39, 0), "R*39");
  EXPECT_EQ(w.Note(std::nullopt, false, 48, 48), "");
  EXPECT_EQ(w.octave, 2);
  EXPECT_EQ(w.q, 0);
  // A dotted length keeps its name while its short third holds the Q, and is measured
  // as the absolute length it was.
  EXPECT_EQ(w.Note(26, false, 72, 66), "Q6B4.");
  EXPECT_EQ(w.lastWidth, std::string("Q6B*72").size());
  EXPECT_EQ(w.Note(26, false, 72, 42), "Q30B*72");
  MmlNoteWriter at24{.resolution = 24};
  EXPECT_EQ(at24.Note(27, false, 27, 27), "C4&C32");  // lengths named at 24 steps a quarter
}

struct TextCase {
  const char* in;
  const char* out;
};

TEST(NormaliseLengths, RewritesAbsoluteLengths) {
  const TextCase cases[] = {
      {"C*36D*180E*18", "C8.D*180E16."},
      {"C*192D*144E*96F*72G*48A*36B*24", "C1D2.E2F4.G4A8.B8"},
      {"R*18C*12D*9E*6F*3", "R16.C16D32.E32F64"},
      {"*18C*3", "16.C64"},
      {"C*3*3", "C6464"},
      // The short lengths stay when a digit follows them...
      {"C*30D*126E*95F*67G*31H*189", "C*30D*126E*95F*67G*31H*189"},
      // ...the long ones are replaced wherever they stand.
      {"C*240", "C80"},
      {"C*960", "C20"},
      {"C*1920", "C10"},
      {"C*4800", "C400"},
      {"C*1440", "C2.0"},
      {"C4D*5", "C4D*5"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseLengths(c.in), c.out) << c.in;
  // At 24 steps a quarter lengths are named at that resolution.
  const TextCase at24[] = {
      {"C*96D*72E*48F*36G*24A*18B*12", "C1D2.E2F4.G4A8.B8"},
      {"R*9C*6D*3", "R16.C16D32"},
      // Whole numbers only: "*120" and "*180" are lengths a part can hold at 24.
      {"Q1C*120D*180E*240F*30G*96", "Q1C*120D*180E*240F*30G1"},
  };
  for (const auto& c : at24) EXPECT_EQ(NormaliseLengthsAt(c.in, 24), c.out) << c.in;
  EXPECT_EQ(NormaliseLengthsAt("C*36D*240", 48), "C8.D80");
}

TEST(RescaleAbsoluteLengths, HalvesRoundingHalfUpAndDoubles) {
  const TextCase halved[] = {
      {"C*25", "C*13"},  {"L*3", "L*2"},           {"C*1", "C*1"},     {"C*2", "C*1"},
      {"C*0", "C*0"},    {"C*48D*36", "C*24D*18"}, {"C*D*4", "C*D*2"}, {"C*12345", "C*6175"},
      {"C*024", "C*12"}, {"C4D8", "C4D8"},         {"", ""},
  };
  for (const auto& c : halved) EXPECT_EQ(RescaleAbsoluteLengths(c.in, true), c.out) << c.in;
  const TextCase doubled[] = {
      {"C*25", "C*50"}, {"C*5D*50", "C*10D*100"}, {"C*9999", "C*19998"}, {"C*12345", "C*24685"},
      {"C*", "C*"},     {"L*0", "L*0"},
  };
  for (const auto& c : doubled) EXPECT_EQ(RescaleAbsoluteLengths(c.in, false), c.out) << c.in;
}

TEST(RescaleAbsoluteLengths, LeavesCommentsToneDefinitionsAndDataAsWritten) {
  const TextCase cases[] = {
      {"' intro *3 bars\r\nO4 C*36 D*18", "' intro *3 bars\r\nO4 C*18 D*9"},
      {"C*4 '*6", "C*2 '*6"},
      // Only CR LF ends a comment, as the preprocessing reads it.
      {"C*4'x\n*6", "C*2'x\n*6"},
      {"{*4}C*4{0A*2}", "{*4}C*2{0A*2}"},
      {"@{1,*2,3}L*8", "@{1,*2,3}L*4"},
      // A "'" inside a group starts a comment; its "}" does not close the group.
      {"{a'}\r\n*4}*4", "{a'}\r\n*4}*2"},
      {"C*4{*4", "C*2{*4"},
      {"}*4", "}*2"},
  };
  for (const auto& c : cases) EXPECT_EQ(RescaleAbsoluteLengths(c.in, true), c.out) << c.in;
  // A round trip over even lengths gives the text back, comments and all.
  const std::string song = "' intro *3 bars\r\nO4 C*36 D*18 L*4 F C*192 R*6 {*5}";
  EXPECT_EQ(RescaleAbsoluteLengths(RescaleAbsoluteLengths(song, true), false), song);
}

TEST(InexactHalvings, NamesOddLengthsWithTheirPartAndLine) {
  const std::array<std::string, 4> parts = {
      "' intro *3 bars\r\nO4 C*36 D*17 E*1 L*3 F C*192 R*5",
      "C*4 '*5\r\n{*7}@{*9}",
      "\r\n\r\nc+*7 [*9]2 C*12345 D*12355",
      "",
  };
  const std::vector<InexactLength> expected = {
      {0, 2, "D*17", "D*9"},  {0, 2, "E*1", "E*1"}, {0, 2, "L*3", "L*2"},      {0, 2, "R*5", "R*3"},
      {2, 3, "c+*7", "c+*4"}, {2, 3, "*9", "*5"},   {2, 3, "D*1235", "D*618"},
  };
  EXPECT_EQ(InexactHalvings(parts), expected);
  EXPECT_TRUE(InexactHalvings({"C*48", "L*2", "' *3", "{*3}"}).empty());
}

TEST(InexactHalvings, QuestionListsTheFirstTenByName) {
  EXPECT_EQ(InexactHalvingQuestion({{0, 2, "D*17", "D*9"}, {3, 1, "*1", "*1"}}),
            "分解能を24にすると、次の絶対音長は2で割り切れないため長さが変わります。\n\n"
            "ﾊﾟｰﾄ1 (2行目) D*17 → D*9\n"
            "ﾊﾟｰﾄ4 (1行目) *1 → *1\n"
            "\n変更しますか？");
  std::vector<InexactLength> many;
  for (int i = 1; i <= 12; ++i) many.push_back({1, i, "C*3", "C*2"});
  const std::string question = InexactHalvingQuestion(many);
  EXPECT_NE(question.find("ﾊﾟｰﾄ2 (10行目) C*3 → C*2\nほか2か所\n\n変更しますか？"),
            std::string::npos);
  EXPECT_EQ(question.find("(11行目)"), std::string::npos);
}

}  // namespace
}  // namespace chwr

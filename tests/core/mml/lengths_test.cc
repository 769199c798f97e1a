#include "mml/lengths.h"

#include <gtest/gtest.h>

namespace chwr {
namespace {

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
}

TEST(NormaliseLengthsAt, NamesLengthsAtTheirOwnResolution) {
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

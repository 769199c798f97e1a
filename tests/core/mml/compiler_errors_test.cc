#include <gtest/gtest.h>

#include <string>

#include "part_compile.h"

namespace chwr {
namespace {

using test::CompileText;

const std::string kO = "行目) に(O命令)構文ｴﾗｰがあります。";
const std::string kQ = "行目) に(Q命令)構文ｴﾗｰがあります。";
const std::string kV = "行目) に(V命令)構文ｴﾗｰがあります。";
const std::string kAt = "行目) に(@命令)構文ｴﾗｰがあります。";
const std::string kAbs = "行目) に(L*[絶対音長]命令)構文ｴﾗｰがあります。";
const std::string kL = "行目) に(L命令)構文ｴﾗｰがあります。";
const std::string k64 = "行目) 分解能=24の時は64分音符は指定できません。";
const std::string kT = "行目) に(T命令)構文ｴﾗｰがあります。";
const std::string kDot = "行目) 絶対音長指定時は付点指定はできません。";
const std::string kLen = "行目) に(音長命令)構文ｴﾗｰがあります。";

// Messages take the part number as shown to the user (index + 1).
std::string Command(int shownPart, int line, const std::string& suffix) {
  return "ﾊﾟｰﾄ" + std::to_string(shownPart) + " (" + std::to_string(line) + suffix;
}
std::string BadChar(int shownPart, int line, const std::string& ch) {
  return "ﾊﾟｰﾄ" + std::to_string(shownPart) + "(" + std::to_string(line) + "行目)に不正な文字(" +
         ch + ")があります。";
}
std::string BadTone(int shownPart) {
  return "ﾊﾟｰﾄ" + std::to_string(shownPart) + " 音色定義が無効です。";
}
std::string BadRepeat(int shownPart) {
  return "ﾊﾟｰﾄ" + std::to_string(shownPart) + "に不正な繰り返し([])があります。";
}

const std::string kZeroTone = "@{0,0,0,0,0,0,0,0,0,0,0,\r\n0,0,0,0,0,0,0,0,0,0,0,0}";

struct ErrorCase {
  int resolution;
  int part;
  std::string mml;
  std::string message;
  int line;
  std::string search;
};

TEST(CompilePartErrors, ReportsMessageLineAndSearchText) {
  const ErrorCase cases[] = {
      // Commands.
      {1, 0, "O7", Command(1, 1, kO), 1, "O7"},
      {1, 0, "O0", Command(1, 1, kO), 1, "O0"},
      {1, 0, "O", Command(1, 1, kO), 1, "O"},
      {1, 0, "O03", Command(1, 1, kO), 1, "O03"},
      {1, 0, "O+", Command(1, 1, kO), 1, "O+"},
      {1, 0, "O+4", Command(1, 1, kO), 1, "O+4"},
      {1, 0, "C\r\nO\r\n7", Command(1, 2, kO), 2, "O7"},  // the line the token began on
      {1, 3, "C4\r\nO7", Command(4, 2, kO), 2, "O7"},
      {1, 0, "L3", Command(1, 1, kL), 1, "L3"},
      {1, 0, "L", Command(1, 1, kL), 1, "L"},
      {1, 0, "L128", Command(1, 1, kL), 1, "L128"},
      {1, 0, "L+8", Command(1, 1, kL), 1, "L+8"},
      {1, 0, "L*0", Command(1, 1, kAbs), 1, "L*0"},
      {1, 0, "L*193", Command(1, 1, kAbs), 1, "L*193"},
      {1, 0, "L*", Command(1, 1, kAbs), 1, "L*"},
      {0, 0, "L64", Command(1, 1, k64), 1, "L64"},
      {1, 0, "Q193", Command(1, 1, kQ), 1, "Q193"},
      {1, 0, "Q*5", Command(1, 1, kQ), 1, "Q*5"},
      {1, 0, "Q+5", Command(1, 1, kQ), 1, "Q+5"},
      {1, 0, "Q-5", Command(1, 1, kQ), 1, "Q-5"},
      {1, 0, "V64", Command(1, 1, kV), 1, "V64"},
      {1, 0, "V63.5", Command(1, 1, kV), 1, "V63.5"},
      {1, 0, "V", Command(1, 1, kV), 1, "V"},
      {1, 0, "V*3", Command(1, 1, kV), 1, "V*3"},
      {1, 0, "V+3", Command(1, 1, kV), 1, "V+3"},
      {1, 0, "V-1", Command(1, 1, kV), 1, "V-1"},
      {1, 0, "~*2", Command(1, 1, kV), 1, "~*2"},
      {1, 0, "~+2", Command(1, 1, kV), 1, "~+2"},
      {1, 0, "_-1", Command(1, 1, kV), 1, "_-1"},
      {1, 0, "_*", Command(1, 1, kV), 1, "_*"},
      {1, 0, "T", Command(1, 1, kT), 1, "T"},
      {1, 0, "T99999", Command(1, 1, kT), 1, "T99999"},
      {1, 0, "T32768", Command(1, 1, kT), 1, "T32768"},
      {1, 0, "T*2", Command(1, 1, kT), 1, "T*2"},
      {1, 0, "T+", Command(1, 1, kT), 1, "T+"},
      {1, 0, "T-32769", Command(1, 1, kT), 1, "T-32769"},
      {1, 0, "T32767.5", Command(1, 1, kT), 1, "T32767.5"},
      {1, 0, "@V1@V2", Command(1, 1, kAt), 1, "@"},
      // Lengths: the search text is the length text.
      {1, 0, "C*193", Command(1, 1, kAbs), 1, "*193"},
      {1, 0, "C3", Command(1, 1, kLen), 1, "3"},
      {1, 0, "C12", Command(1, 1, kLen), 1, "12"},
      {1, 0, "C**3", Command(1, 1, kLen), 1, "**3"},
      {1, 0, "C\r\n3", Command(1, 1, kLen), 1, "3"},
      {1, 0, "R+", Command(1, 1, kLen), 1, "R+"},
      {1, 0, "R-4", Command(1, 1, kLen), 1, "R-4"},
      {1, 0, "C*48.", Command(1, 1, kDot), 1, "C*48."},
      {1, 0, "L*48C.", Command(1, 1, kDot), 1, "C."},
      {1, 0, "C*.", Command(1, 1, kDot), 1, "C*."},
      {1, 0, "C64.", Command(1, 1, kLen), 1, "128"},  // a dotted 64 has no extension
      {0, 0, "C64.", Command(1, 1, kLen), 1, "128"},
      {1, 0, "L64C.", Command(1, 1, kLen), 1, "128"},
      // Characters.
      {1, 0, "CH", BadChar(1, 1, "H"), 1, "H"},
      {1, 0, "C4'x\r\nH", BadChar(1, 2, "H"), 2, "H"},
      {1, 0, "C\r\n{0A", BadChar(1, 2, "{"), 2, "{"},
      {1, 0, "c\r\nd\r\nh", BadChar(1, 3, "H"), 3, "H"},
      {1, 0, "C\t", BadChar(1, 1, "\t"), 1, "\t"},
      {1, 0, "C\u3000", BadChar(1, 1, "\u3000"), 1, "\u3000"},
      {1, 0, "Cあ", BadChar(1, 1, "あ"), 1, "あ"},
      {1, 0, "C:", BadChar(1, 1, ":"), 1, ":"},
      {1, 0, "C}", BadChar(1, 1, "}"), 1, "}"},
      {1, 0, "@XC", BadChar(1, 1, "X"), 1, "X"},
      {1, 2, "H", BadChar(3, 1, "H"), 1, "H"},
      {1, 0, "O7\tC", BadChar(1, 1, "\t"), 1, "\t"},  // tokenising comes first
      {1, 0, "<+", BadChar(1, 1, "+"), 1, "+"},
      {1, 0, ">-", BadChar(1, 1, "-"), 1, "-"},
      {1, 0, "!+", BadChar(1, 1, "+"), 1, "+"},
      {1, 0, "{0A", BadChar(1, 1, "{"), 1, "{"},
      // The character after an "@V" token or a brace group is not classified.
      {1, 0, "@V15", BadChar(1, 1, "5"), 1, "5"},
      {1, 0, "@V1:", BadChar(1, 1, ":"), 1, ":"},
      {1, 0, "@V1@H", BadChar(1, 1, "H"), 1, "H"},
      {1, 0, "O7@V1\t", Command(1, 1, kO), 1, "O7"},
      {1, 0, "@V1\tO7", BadChar(1, 1, "\t"), 1, "\t"},
      {1, 0, "@V1{00}C", BadChar(1, 1, "}"), 1, "}"},
      {1, 0, "{0A}{12}C", BadChar(1, 1, "}"), 1, "}"},
      {1, 0, "@V1\r\nO7", Command(1, 2, kO), 2, "O7"},
      {1, 0, "@V1\nO7", Command(1, 2, kO), 2, "O7"},
      {1, 0, "{0A}\r\nO7", Command(1, 2, kO), 2, "O7"},
      // Line feeds inside a group are not counted; those of repeats are.
      {1, 0, "{0A\r\n1B}\r\nH", BadChar(1, 2, "H"), 2, "H"},
      {1, 0, "[C\r\n]2H", BadChar(1, 3, "H"), 3, "H"},
      {1, 0, kZeroTone + "\r\nH", BadChar(1, 2, "H"), 2, "H"},
      // Preprocessing.
      {1, 0, "{0A}" + kZeroTone, BadTone(1), 0, ""},
      {1, 1, "@{1,2", BadTone(2), 0, ""},
      {1, 0, "@{1[", BadTone(1), 0, ""},
      {1, 0, "{0A'}\r\nC", BadChar(1, 1, "{"), 1, "{"},  // the comment hides the "}"
      {1, 0, "[C", BadRepeat(1), 0, ""},
      {1, 0, "C]", BadRepeat(1), 0, ""},
      {1, 3, "]C[", BadRepeat(4), 0, ""},
      {1, 0, "[[[[C]99]99]99]99", "ﾊﾟｰﾄ1 繰り返しを展開したMMLが長すぎます。", 0, ""},
  };
  for (const auto& c : cases) {
    const auto f = CompileText(c.mml, c.part, c.resolution);
    EXPECT_EQ(f.message, c.message) << c.mml;
    EXPECT_EQ(f.error.line, c.line) << c.mml;
    EXPECT_EQ(f.error.searchText, c.search) << c.mml;
    EXPECT_EQ(f.error.part, c.part) << c.mml;
    EXPECT_TRUE(f.state.compileFailed) << c.mml;
  }
}

TEST(CompilePartErrors, EventsBeforeTheErrorStay) {
  EXPECT_EQ(CompileText("C4D4O7E4").part.count, 2);
  EXPECT_EQ(CompileText("C4C64.").part.count, 2);  // the dotted note is stored
  EXPECT_EQ(CompileText("C4C*48.").part.count, 2);
}

TEST(CompilePartErrors, Capacity) {
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  CompileState state;
  CompiledPart out;
  ASSERT_TRUE(CompilePart(0, repeat("C", 50000), 63, {}, state, out));
  EXPECT_EQ(out.count, 50000);
  ASSERT_TRUE(CompilePart(0, repeat("C.", 25000) + "C", 63, {}, state, out));
  EXPECT_EQ(out.count, 50001);

  EXPECT_EQ(CompileText(repeat("C", 50001)).message,
            "ﾊﾟｰﾄ1 (1行目) 命令の数が多すぎます。(最大50000個)");
  EXPECT_EQ(CompileText(repeat("C.", 25001), 1).message,
            "ﾊﾟｰﾄ2 (1行目) 音符と休符の数が多すぎます。(最大50001個)");
}

TEST(CompilePartErrors, LineNumbersAreNotLimitedToSixteenBits) {
  std::string mml;
  for (int i = 0; i < 70000; ++i) mml += "\r\n";
  const auto f = CompileText(mml + "H");
  EXPECT_EQ(f.message, BadChar(1, 70001, "H"));
  EXPECT_EQ(f.error.line, 70001);
}

}  // namespace
}  // namespace chwr

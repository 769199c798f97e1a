// The compiler's source map: every event points at the token that made it, in the text as
// the user typed it, through comments, the tone definition and repeats.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "part_compile.h"
#include "text/cp932.h"

namespace chwr {
namespace {

const std::string kTone = "@{1,2,3,4,5,6,7,8,9,10,11,1,2,3,4,5,6,7,8,9,10,11,4}";

CompiledPart CompileWithSources(const std::string& mml) {
  const auto run = test::CompileText(mml, 0, 1, 63, {.wantSources = true});
  EXPECT_TRUE(run.ok) << mml;
  return run.part;
}

// Line and column (1-based, in code points) of a code-point offset, counted the plain way.
std::pair<int, int> LineColumn(const std::u32string& text, std::size_t offset) {
  const std::u32string before = text.substr(0, offset);
  const std::size_t lineFeed = before.rfind(U'\n');
  const std::size_t lineStart = lineFeed == std::u32string::npos ? 0 : lineFeed + 1;
  return {1 + static_cast<int>(std::count(before.begin(), before.end(), U'\n')),
          static_cast<int>(offset - lineStart) + 1};
}

struct SourceCase {
  std::string mml;
  std::vector<std::string> tokens;  // the text at each event's span, in event order
};

TEST(SourceMap, EveryEventPointsAtItsToken) {
  const SourceCase cases[] = {
      {"C D4 R8", {"C", "D4", "R8"}},
      {"[C D]3", {"C", "D", "C", "D", "C", "D"}},
      {"[[C]2 D]3", {"C", "C", "D", "C", "C", "D", "C", "C", "D"}},
      {"[C/D]3 E", {"C", "D", "C", "D", "C", "E"}},
      {"[C]2[D]2", {"C", "C", "D", "D"}},  // a repeat right after a count
      {"C4&C8 D&E", {"C4&", "C8", "D&", "E"}},
      {"C4. r8.", {"C4.", "C4.", "r8.", "r8."}},
      {"C 'ドレミ\r\nD", {"C", "D"}},
      {"'前奏 ♪\r\nc4 f#8 'x\r\n[g]2", {"c4", "f#8", "g", "g"}},
      {kTone + "C\r\nD" + kTone + "E", {"C", "D", "E"}},
      {"C" + kTone + "4", {"C" + kTone + "4"}},  // the definition splits the token
      {"C 4 . D", {"C 4 .", "C 4 .", "D"}},
      {"C\r\n4.\r\n[D\r\n8]2", {"C\r\n4.", "C\r\n4.", "D\r\n8", "D\r\n8"}},
      {"{ああ}C4 @VD 'ü\r\n{𝄞x}E", {"C4", "D", "E"}},
  };
  for (const SourceCase& c : cases) {
    const CompiledPart part = CompileWithSources(c.mml);
    ASSERT_EQ(part.sources.size(), c.tokens.size()) << c.mml;
    const std::u32string wide = Utf8ToUtf32(c.mml);
    for (std::size_t i = 0; i < c.tokens.size(); ++i) {
      const SourceSpan& s = part.sources[i];
      EXPECT_EQ(c.mml.substr(s.byteOffset, s.byteLength), c.tokens[i]) << c.mml << " event " << i;
      EXPECT_EQ(wide.substr(s.offset, s.length), Utf8ToUtf32(c.tokens[i])) << c.mml;
      EXPECT_EQ(std::pair(s.line, s.column), LineColumn(wide, s.offset)) << c.mml;
    }
  }
}

}  // namespace
}  // namespace chwr

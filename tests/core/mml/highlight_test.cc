// The colours of MML text: each stretch read as the compiler reads it.

#include <gtest/gtest.h>

#include <string>

#include "mml/highlight.h"

namespace chwr {
namespace {

// The line with each span's text in brackets behind a style letter, so a table row shows
// the whole reading at a glance: "n[C+]l[4.]" is a note "C+" and its length "4.".
std::string Show(std::u16string_view line, const MmlLineHighlight& h) {
  static const char kLetters[] = "nlovtgk[c@d";
  std::string out;
  int at = 0;
  for (const MmlSpan& s : h.spans) {
    EXPECT_GE(s.start, at) << "spans overlap or go backwards";
    for (; at < s.start; ++at) out += static_cast<char>(line[at]);
    out += kLetters[static_cast<int>(s.style)];
    out += '(';
    for (; at < s.start + s.length; ++at) out += static_cast<char>(line[at]);
    out += ')';
  }
  for (; at < static_cast<int>(line.size()); ++at) out += static_cast<char>(line[at]);
  return out;
}

TEST(MmlHighlight, ReadsEachCommandAsTheCompilerDoes) {
  const struct {
    const char16_t* line;
    const char* shown;
  } cases[] = {
      {u"c+4.&d#8", "n(c+)l(4.)k(&)n(d#)l(8)"},
      {u"R2 r", "n(R)l(2) n(r)"},
      {u"O4<>T-2", "o(O4<>T-2)"},
      {u"L*36 l16", "l(L*36) l(l16)"},
      {u"V10~2_ Q3", "v(V10~2_) g(Q3)"},
      {u"@V2C @Vx", "t(@V2)n(C) t(@V)x"},
      {u"[CD/E]3!", "[([)n(CD)[(/)n(E)[(]3!)"},
      {u"C4 'a comment [", "n(C)l(4) c('a comment [)"},
      {u"@{1,2}C{0A0B}D", "@(@{1,2})n(C)d({0A0B})n(D)"},
      {u"x:C", "x:n(C)"},
  };
  for (const auto& c : cases) {
    const MmlLineHighlight h = HighlightMmlLine(c.line, MmlLineState::kPlain);
    EXPECT_EQ(Show(c.line, h), c.shown);
    EXPECT_EQ(h.end, MmlLineState::kPlain) << c.shown;
  }
}

TEST(MmlHighlight, GroupsAndDefinitionsGoOnOverLines) {
  // A tone definition over three lines, with a comment inside it (comments go first, so
  // the "}" in the comment does not end the group).
  const char16_t* lines[] = {u"C @{1,2,", u"3,4 '}", u"5}D"};
  MmlLineState state = MmlLineState::kPlain;
  std::string shown;
  for (const char16_t* line : lines) {
    const MmlLineHighlight h = HighlightMmlLine(line, state);
    shown += Show(line, h) + "|";
    state = h.end;
  }
  EXPECT_EQ(shown, "n(C) @(@{1,2,)|@(3,4 )c('})|@(5})n(D)|");
  EXPECT_EQ(state, MmlLineState::kPlain);

  const MmlLineHighlight open = HighlightMmlLine(u"{0A", MmlLineState::kPlain);
  EXPECT_EQ(open.end, MmlLineState::kInData);
  EXPECT_EQ(Show(u"0B}E", HighlightMmlLine(u"0B}E", open.end)), "d(0B})n(E)");
}

}  // namespace
}  // namespace chwr

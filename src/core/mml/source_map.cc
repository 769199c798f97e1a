#include "mml/source_map.h"

#include <algorithm>
#include <cstring>

namespace chwr::part_compile {
namespace {

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Lines and characters of a part's text, looked up by byte offset. Characters are counted
// by their lead bytes, so a text that is not valid UTF-8 still gets offsets inside it.
class TextPositions {
 public:
  explicit TextPositions(std::string_view text) : text_(text) {
    lineStarts_.push_back(0);
    for (const char* p = static_cast<const char*>(std::memchr(text.data(), '\n', text.size()));
         p != nullptr; p = static_cast<const char*>(std::memchr(p + 1, '\n', text.end() - p - 1))) {
      lineStarts_.push_back(static_cast<std::uint32_t>(p - text.data() + 1));
    }
    // Nearly every part is ASCII, where a byte is a character and no table is needed.
    if (std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; })) {
      charsBefore_.resize(text.size() + 1);
      std::uint32_t n = 0;
      for (std::size_t i = 0; i < text.size(); ++i) {
        charsBefore_[i] = n;
        n += IsContinuation(text[i]) ? 0 : 1;
      }
      charsBefore_[text.size()] = n;
    }
  }

  std::uint32_t CharsBefore(std::size_t at) const {
    return charsBefore_.empty() ? static_cast<std::uint32_t>(at) : charsBefore_[at];
  }

  // Past the character that starts at `at`.
  std::size_t CharEnd(std::size_t at) const {
    std::size_t end = at + 1;
    while (end < text_.size() && IsContinuation(text_[end])) ++end;
    return end;
  }

  SourceSpan Span(std::size_t begin, std::size_t end) {
    const std::size_t line = LineOf(begin);
    SourceSpan s;
    s.byteOffset = static_cast<std::uint32_t>(begin);
    s.byteLength = static_cast<std::uint32_t>(end - begin);
    s.offset = CharsBefore(begin);
    s.line = static_cast<std::int32_t>(line) + 1;
    s.column = static_cast<std::int32_t>(s.offset - CharsBefore(lineStarts_[line])) + 1;
    s.length = static_cast<std::int32_t>(CharsBefore(end) - s.offset);
    return s;
  }

 private:
  // The 0-based line holding byte `at`. Tokens come mostly in the order of the text, so the
  // line of the one before, or one a little after it, is tried before a search.
  std::size_t LineOf(std::size_t at) {
    if (lineStarts_[line_] <= at) {
      for (int step = 0; step < 8; ++step) {
        if (line_ + 1 == lineStarts_.size() || lineStarts_[line_ + 1] > at) return line_;
        ++line_;
      }
    }
    line_ = static_cast<std::size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), at) -
                                     lineStarts_.begin() - 1);
    return line_;
  }

  std::string_view text_;
  std::vector<std::uint32_t> lineStarts_;
  std::size_t line_ = 0;                    // the line LineOf found last
  std::vector<std::uint32_t> charsBefore_;  // empty for ASCII text
};

}  // namespace

void MapSources(std::string_view text, const OriginMap& origins, const Tokeniser& tokens,
                std::span<const std::uint32_t> eventTokens, std::vector<SourceSpan>& out) {
  out.clear();
  if (eventTokens.empty()) return;
  out.resize(eventTokens.size());
  TextPositions positions(text);
  std::uint32_t token = 0;  // token 0 makes no event
  SourceSpan span;
  SourceSpan* to = out.data();
  for (std::uint32_t t : eventTokens) {
    // A dotted note's two events come from one token: found once.
    if (t != token) {
      token = t;
      const Tokeniser::Extent e = tokens.InputExtent(t);
      const std::size_t first = origins(e.first);
      const std::size_t last = origins(e.last);
      // A rewrite may have put the token's last character before its first (the tail of
      // "[4/C]2" before its head): the span then holds the first character's part.
      const std::size_t end = std::max(positions.CharEnd(first), positions.CharEnd(last));
      span = positions.Span(first, end);
    }
    *to++ = span;
  }
}

}  // namespace chwr::part_compile

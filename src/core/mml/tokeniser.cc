#include "mml/tokeniser.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "text/cp932.h"

namespace chwr {
namespace {

// How the tokeniser treats each ASCII character; everything else is kOther.
enum CharClass : std::uint8_t { kOther, kCommand, kAppended, kReturn, kLineFeed, kAt, kBrace };

constexpr std::array<CharClass, 256> MakeCharClasses() {
  std::array<CharClass, 256> t{};
  for (char c : std::string_view("QOLCDEFGABR<>TV~_!")) t[static_cast<unsigned char>(c)] = kCommand;
  for (char c : std::string_view("+-*.&0123456789")) t[static_cast<unsigned char>(c)] = kAppended;
  t['\r'] = kReturn;
  t['\n'] = kLineFeed;
  t['@'] = kAt;
  t['{'] = kBrace;
  return t;
}
constexpr std::array<CharClass, 256> kCharClasses = MakeCharClasses();

CharClass ClassOf(char c) {
  return kCharClasses[static_cast<unsigned char>(c)];
}

// Notes and rests are the commands that make events.
bool MakesEvent(char c) {
  return (c >= 'A' && c <= 'G') || c == 'R';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// ASCII as the commands read it: upper case, "#" as "+". The blank is dropped before.
constexpr std::array<char, 128> MakeAsciiMap() {
  std::array<char, 128> t{};
  for (int c = 0; c < 128; ++c) t[c] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<char>(c - 'a' + 'A');
  t['#'] = '+';
  return t;
}
constexpr std::array<char, 128> kAsciiMap = MakeAsciiMap();

// Whether none of the eight bytes in `v` changes when normalised: all ASCII, and no blank,
// "#" or lower-case letter among them. Each test looks at every byte at once; no byte is
// 0x80 or more when the sums are made, so none carries into the next.
bool UnchangedAscii(std::uint64_t v) {
  constexpr std::uint64_t k01 = 0x0101010101010101ULL;
  constexpr std::uint64_t k80 = 0x8080808080808080ULL;
  if ((v & k80) != 0) return false;
  auto hasByte = [&](unsigned char c) {
    const std::uint64_t x = v ^ (k01 * c);
    return ((x - k01) & ~x & k80) != 0;
  };
  // A byte from "a" to "z" has its top bit set by the first sum and clear after the second.
  const std::uint64_t lower = (v + k01 * (0x80 - 'a')) & ~(v + k01 * (0x80 - 'z' - 1)) & k80;
  return lower == 0 && !hasByte(' ') && !hasByte('#');
}

// Bytes of the UTF-8 sequence a lead byte starts; the text was encoded by us, so it is valid.
std::size_t SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

}  // namespace

char32_t CodePointAt(std::string_view text, std::size_t i) {
  const std::size_t n =
      std::min(SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
  const std::u32string cps = Utf8ToUtf32(text.substr(i, n));
  return cps.empty() ? U'\uFFFD' : cps[0];
}

// Upper case, "#" as "+", blanks (U+0020 only) gone. MML is nearly all ASCII, so only the
// rest goes through the full decoder and ICU's case mapping, a run of continuation bytes
// together with the byte that leads it. Traced, each output byte's input offset is kept.
template <bool kTrace>
void Tokeniser::Normalise(std::string_view utf8) {
  // ASCII goes over in place for as long as it lasts: eight bytes at once while none of them
  // changes, which is nearly always, else byte by byte.
  text_.resize(utf8.size());
  const char* in = utf8.data();
  const std::size_t n = utf8.size();
  char* out = text_.data();
  std::size_t o = 0;
  std::size_t i = 0;
  bool ascii = true;
  if constexpr (kTrace) origins_.resize(n);
  while (ascii && i < n) {
    if (i + 8 <= n) {
      std::uint64_t v;
      std::memcpy(&v, in + i, 8);
      if (UnchangedAscii(v)) {
        if constexpr (kTrace) {
          for (std::size_t k = 0; k < 8; ++k) origins_[o + k] = static_cast<std::uint32_t>(i + k);
        }
        std::memcpy(out + o, &v, 8);
        o += 8;
        i += 8;
        continue;
      }
    }
    // Every byte is written and a blank's place taken by the next one: no branch per byte.
    for (const std::size_t stop = std::min(i + 8, n); i < stop; ++i) {
      const auto b = static_cast<unsigned char>(in[i]);
      if (b >= 0x80) {
        ascii = false;
        break;
      }
      out[o] = kAsciiMap[b];
      if constexpr (kTrace) origins_[o] = static_cast<std::uint32_t>(i);
      o += b != ' ';
    }
  }
  text_.resize(o);
  if constexpr (kTrace) origins_.resize(o);
  // From the first other character on the text is appended: case mapping, or a byte that
  // is no UTF-8, may make a character longer than it was written.
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      if (b != ' ') {
        text_.push_back(kAsciiMap[b]);
        if constexpr (kTrace) origins_.push_back(static_cast<std::uint32_t>(i));
      }
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < utf8.size() && (static_cast<unsigned char>(utf8[j]) & 0xC0) == 0x80) ++j;
    for (char32_t c : Utf8ToUtf32(utf8.substr(i, j - i))) {
      AppendUtf8(text_, static_cast<char32_t>(u_toupper(static_cast<UChar32>(c))));
    }
    if constexpr (kTrace) origins_.resize(text_.size(), static_cast<std::uint32_t>(i));
    i = j;
  }
}

// Adds the character at `at` of the text to the current token.
void Tokeniser::AppendAt(std::size_t at) {
  TokenBounds& t = bounds_.back();
  if (!moved_) {
    if (t.length == 0) t.start = static_cast<std::uint32_t>(at);
    if (t.start + t.length == at) {
      ++t.length;
      return;
    }
    const std::size_t from = t.start;
    t.start = static_cast<std::uint32_t>(text_.size());
    text_.append(text_, from, t.length);
    moved_ = true;
    if (tracing_) NoteMove(from, at);
  }
  if (tracing_) movedTokens_.back().last = static_cast<std::uint32_t>(at);
  text_.push_back(text_[at]);
  ++t.length;
}

void Tokeniser::NoteMove(std::size_t first, std::size_t last) {
  movedTokens_.push_back(MovedToken{static_cast<std::uint32_t>(bounds_.size() - 1),
                                    static_cast<std::uint32_t>(first),
                                    static_cast<std::uint32_t>(last)});
}

// A token that is not a run of the normalised text: its record says where it was.
Tokeniser::Extent Tokeniser::MovedExtent(std::size_t token) const {
  if (origins_.empty()) return {};
  const TokenBounds& b = bounds_[token];
  std::size_t first = b.start;
  std::size_t last = b.start + std::max<std::uint32_t>(b.length, 1) - 1;
  if (last >= textSize_) {
    // Copied past the end: its record says where it was. Tokens are recorded in order.
    const auto moved =
        std::lower_bound(movedTokens_.begin(), movedTokens_.end(), token,
                         [](const MovedToken& m, std::size_t t) { return m.token < t; });
    if (moved != movedTokens_.end() && moved->token == token) {
      first = moved->first;
      last = moved->last;
    } else {
      first = last = std::min(first, textSize_ - 1);  // only an empty token at the end
    }
  }
  return Extent{origins_[first], origins_[last]};
}

// The character right after an "@V" token or a brace group is not classified: it starts
// the next token whatever it is.
void Tokeniser::TakeUnclassified(std::size_t& i) {
  ++i;
  if (i >= textSize_) return;
  const char c = text_[i];
  if (c == '\r') return;
  if (c == '\n') {
    ++line_;
    return;
  }
  if (MakesEvent(c)) ++eventBound_;
  const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(c)), textSize_ - i);
  for (std::size_t k = 0; k < n; ++k) AppendAt(i + k);
  i += n - 1;
}

std::expected<void, TokeniseError> Tokeniser::Split(std::string_view input, bool traceOrigins) {
  tracing_ = traceOrigins;
  movedTokens_.clear();
  origins_.clear();
  if (traceOrigins) {
    Normalise<true>(input);
  } else {
    Normalise<false>(input);
  }
  const std::size_t n = textSize_ = text_.size();
  // Every token takes at least one character, so this is room enough. Reserved, not
  // sized: the pages of a room several times the tokens' are never touched.
  bounds_.clear();
  bounds_.reserve(std::min<std::size_t>(n + 2, kMaxTokenIndex + 2));
  bounds_.push_back(TokenBounds{0, 0, 1});
  moved_ = false;
  line_ = 1;
  eventBound_ = 0;
  std::size_t events = 0;  // counted here, and by TakeUnclassified
  auto tooMany = [&] {
    return std::unexpected(TokeniseError{TokeniseError::Kind::kTooManyTokens, line_, 0});
  };
  // Tokens moved past the end may move the text; `s` is read again after each append.
  const char* s = text_.data();
  for (std::size_t i = 0; i < n; ++i) {
    const char c = s[i];
    switch (ClassOf(c)) {
      case kCommand: {
        if (!Advance(i)) return tooMany();
        // The command and the characters that follow it are one run.
        std::size_t end = i + 1;
        std::size_t dots = 0;
        while (end < n && ClassOf(s[end]) == kAppended) {
          dots += s[end] == '.';
          ++end;
        }
        events += dots + MakesEvent(c);
        bounds_.back().length = static_cast<std::uint32_t>(end - i);
        i = end - 1;
        break;
      }
      case kAppended:
        events += c == '.';
        AppendAt(i);
        s = text_.data();
        break;
      case kReturn:
        break;  // carriage returns only ever come before a line feed
      case kLineFeed:
        ++line_;
        break;
      case kAt:
        if (i + 1 >= n || s[i + 1] != 'V') break;
        if (!Advance(i)) return tooMany();
        if (i + 2 < n && IsDigit(s[i + 2])) {
          bounds_.back().length = 3;
          i += 2;
        } else {
          // "@V" alone selects slot 1.
          bounds_.back().start = static_cast<std::uint32_t>(text_.size());
          bounds_.back().length = 3;
          if (tracing_) NoteMove(i, i + 1);
          text_.append("@V1");
          s = text_.data();
          i += 1;
        }
        if (!Advance(i + 1)) return tooMany();
        TakeUnclassified(i);
        s = text_.data();
        break;
      case kBrace: {
        const std::size_t close = std::string_view(s, n).find('}', i + 1);
        // A group that never closes has no defined end; point at its "{".
        if (close == std::string_view::npos) {
          return std::unexpected(TokeniseError{TokeniseError::Kind::kCharacter, line_, U'{'});
        }
        if (!Advance(i)) return tooMany();
        bounds_.back().length = static_cast<std::uint32_t>(close - i);
        if (!Advance(close + 1)) return tooMany();
        i = close;
        TakeUnclassified(i);
        s = text_.data();
        break;
      }
      case kOther:
        return std::unexpected(TokeniseError{TokeniseError::Kind::kCharacter, line_,
                                             CodePointAt(std::string_view(s, n), i)});
    }
  }
  // The last token is stored and the index moves on once more, leaving an empty
  // token at the end; it is never executed and needs no room of its own.
  bounds_.push_back(TokenBounds{static_cast<std::uint32_t>(n), 0, line_});
  eventBound_ += events;
  return {};
}

void Tokeniser::Widen(std::u32string& text, std::vector<TokenBounds>& bounds) const {
  text.clear();
  bounds = bounds_;
  for (TokenBounds& b : bounds) {
    const std::string_view token(text_.data() + b.start, b.length);
    b.start = static_cast<std::uint32_t>(text.size());
    // The text is our own valid UTF-8.
    for (std::size_t i = 0; i < token.size();) {
      const auto lead = static_cast<unsigned char>(token[i]);
      const std::size_t n = std::min(SequenceLength(lead), token.size() - i);
      char32_t cp = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
      for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (token[i + k] & 0x3F);
      text.push_back(cp);
      i += n;
    }
    b.length = static_cast<std::uint32_t>(text.size()) - b.start;
  }
}

}  // namespace chwr

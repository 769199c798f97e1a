#pragma once
// The tokeniser: a part's preprocessed MML text (comments, tone definition and repeats
// already gone) split into command tokens, as the compiler executes them.

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace chwr {

/// Highest token index; token 0 holds whatever precedes the first command.
inline constexpr int kMaxTokenIndex = 50000;

/// Where one command token stands in the text the compiler split.
struct TokenBounds {
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::int32_t line = 1;  ///< 1-based line of the part text
};

/// Why a text cannot be split: a character no command may hold, or more than
/// kMaxTokenIndex tokens.
struct TokeniseError {
  enum class Kind { kCharacter, kTooManyTokens };
  Kind kind = Kind::kCharacter;
  std::int32_t line = 1;   ///< the line the tokeniser had reached
  char32_t character = 0;  ///< kCharacter: the character, upper case
};

/// The character that starts at byte `i` of a token or of the tokeniser's text (valid UTF-8).
char32_t CodePointAt(std::string_view text, std::size_t i);

/// A part's text as command tokens: upper case, blanks (U+0020) gone, "#" turned into "+",
/// UTF-8. The buffers are kept from one split to the next, so a tokeniser used again
/// allocates nothing.
class Tokeniser {
 public:
  /// Splits `text`, replacing the previous tokens. Token 0 is what precedes the first
  /// command; an empty token ends the list. With `traceOrigins` the tokens can be found
  /// in `text` afterwards (InputExtent).
  std::expected<void, TokeniseError> Split(std::string_view text, bool traceOrigins = false);

  /// Number of tokens, the empty one at the end included.
  std::size_t size() const { return bounds_.size(); }
  const TokenBounds& bounds(std::size_t i) const { return bounds_[i]; }
  std::string_view text(std::size_t i) const {
    return std::string_view(text_.data() + bounds_[i].start, bounds_[i].length);
  }
  /// Every token's bounds, and the text they point into, for a walk over them all.
  std::span<const TokenBounds> allBounds() const { return bounds_; }
  const char* textData() const { return text_.data(); }
  /// The most events the tokens can make: one for each note and rest, one more for a dot.
  std::size_t eventBound() const { return eventBound_; }

  /// The tokens as UTF-32 text and bounds into it, for readers that take code points.
  void Widen(std::u32string& text, std::vector<TokenBounds>& bounds) const;

  /// Where a token's first and last characters lie in the text last split with
  /// `traceOrigins`: the byte offset of each there (the last may come before the first when
  /// a rewrite moved text around). For tokens that are not empty.
  struct Extent {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
  };
  Extent InputExtent(std::size_t token) const {
    const TokenBounds& b = bounds_[token];
    const std::size_t last = b.start + b.length - 1;
    if (b.length == 0 || last >= textSize_ || origins_.empty()) return MovedExtent(token);
    return Extent{origins_[b.start], origins_[last]};
  }

 private:
  template <bool kTrace>
  void Normalise(std::string_view text);
  // Stores the current token and opens the next one, at `at` on the current line.
  bool Advance(std::size_t at) {
    if (bounds_.size() > static_cast<std::size_t>(kMaxTokenIndex)) return false;
    bounds_.push_back(TokenBounds{static_cast<std::uint32_t>(at), 0, line_});
    moved_ = false;
    return true;
  }
  void AppendAt(std::size_t at);
  void TakeUnclassified(std::size_t& i);

  // The normalised text; most tokens are runs of it. A token whose characters do not
  // follow one another there (a line break inside it, the "1" an "@V" gets) is copied
  // past the end of the text and grows there.
  std::string text_;
  std::size_t textSize_ = 0;  // where the normalised text ends
  bool moved_ = false;        // the current token lies past the end
  std::vector<TokenBounds> bounds_;
  std::size_t eventBound_ = 0;
  std::int32_t line_ = 1;

  // Kept only when tracing: for each byte of the normalised text, its offset in the input;
  // and for each token copied past the end, where its first and last characters were.
  bool tracing_ = false;
  std::vector<std::uint32_t> origins_;
  struct MovedToken {
    std::uint32_t token;
    std::uint32_t first;
    std::uint32_t last;
  };
  std::vector<MovedToken> movedTokens_;
  void NoteMove(std::size_t first, std::size_t last);
  Extent MovedExtent(std::size_t token) const;
};

}  // namespace chwr

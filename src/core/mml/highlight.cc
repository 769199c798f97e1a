#include "mml/highlight.h"

namespace chwr {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool IsNoteLetter(char16_t c) {
  switch (Upper(c)) {
    case u'C': case u'D': case u'E': case u'F': case u'G': case u'A': case u'B': case u'R':
      return true;
    default:
      return false;
  }
}

class LineReader {
 public:
  LineReader(std::u16string_view line, MmlLineState state) : line_(line), state_(state) {}

  MmlLineHighlight Run() {
    if (state_ != MmlLineState::kPlain) Group(0, GroupStyle());
    while (i_ < line_.size()) Command();
    return {std::move(spans_), state_};
  }

 private:
  MmlStyle GroupStyle() const {
    return state_ == MmlLineState::kInToneDefinition ? MmlStyle::kToneDefinition
                                                      : MmlStyle::kData;
  }

  void Add(std::size_t from, std::size_t to, MmlStyle style) {
    if (to <= from) return;
    // Neighbours of one style make one span: fewer format changes for the editor.
    if (!spans_.empty() && spans_.back().style == style &&
        static_cast<std::size_t>(spans_.back().start + spans_.back().length) == from) {
      spans_.back().length += static_cast<int>(to - from);
      return;
    }
    spans_.push_back({static_cast<int>(from), static_cast<int>(to - from), style});
  }

  // Comments go before anything else is read, so a "'" inside a group starts one too and
  // the group goes on in the next line.
  void Comment() {
    Add(i_, line_.size(), MmlStyle::kComment);
    i_ = line_.size();
  }

  // A group from `from` to its "}" (included), or to the end of the line, where it goes on.
  void Group(std::size_t from, MmlStyle style) {
    std::size_t j = i_;
    while (j < line_.size() && line_[j] != u'}' && line_[j] != u'\'') ++j;
    if (j < line_.size() && line_[j] == u'}') {
      Add(from, j + 1, style);
      i_ = j + 1;
      state_ = MmlLineState::kPlain;
      return;
    }
    Add(from, j, style);
    i_ = j;
    state_ = style == MmlStyle::kToneDefinition ? MmlLineState::kInToneDefinition
                                                : MmlLineState::kInData;
    if (i_ < line_.size()) Comment();
  }

  // Digits (or what else `more` allows) from `j` on, blanks between them skipped
  // as the compiler skips them; returns where they end.
  template <class Pred>
  std::size_t Stretch(std::size_t j, Pred more) const {
    while (j < line_.size() && (more(line_[j]) || (line_[j] == u' ' && j + 1 < line_.size() &&
                                                   more(line_[j + 1])))) {
      ++j;
    }
    return j;
  }

  void Command() {
    const std::size_t at = i_;
    const char16_t c = Upper(line_[at]);
    auto value = [](char16_t ch) { return IsDigit(ch) || ch == u'.'; };
    auto sign = [&](char16_t ch) { return value(ch) || ch == u'+' || ch == u'-'; };
    if (c == u'\'') return Comment();
    if (c == u'@' && at + 1 < line_.size() && line_[at + 1] == u'{') {
      i_ = at + 2;
      state_ = MmlLineState::kInToneDefinition;
      return Group(at, MmlStyle::kToneDefinition);
    }
    if (c == u'{') {
      i_ = at + 1;
      state_ = MmlLineState::kInData;
      return Group(at, MmlStyle::kData);
    }
    if (c == u'@' && at + 1 < line_.size() && Upper(line_[at + 1]) == u'V') {
      const std::size_t end = at + 2 < line_.size() && IsDigit(line_[at + 2]) ? at + 3 : at + 2;
      Add(at, end, MmlStyle::kTone);
      i_ = end;
      return;
    }
    if (IsNoteLetter(c)) return Note(at);
    std::size_t end = at + 1;
    MmlStyle style;
    switch (c) {
      case u'O': end = Stretch(end, value); style = MmlStyle::kOctave; break;
      case u'T': end = Stretch(end, sign); style = MmlStyle::kOctave; break;
      case u'<': case u'>': style = MmlStyle::kOctave; break;
      case u'L':
        end = Stretch(end, [&](char16_t ch) { return value(ch) || ch == u'*'; });
        style = MmlStyle::kLength;
        break;
      case u'V': case u'~': case u'_': end = Stretch(end, value); style = MmlStyle::kVolume; break;
      case u'Q': end = Stretch(end, value); style = MmlStyle::kGate; break;
      case u']': end = Stretch(end, IsDigit); style = MmlStyle::kRepeat; break;
      case u'[': case u'/': case u'!': style = MmlStyle::kRepeat; break;
      case u'&': style = MmlStyle::kTie; break;
      case u'.': style = MmlStyle::kLength; break;
      default:
        // Blanks, line noise and what the compiler refuses keep the plain colour; the
        // background compile marks a refused character.
        i_ = end;
        return;
    }
    Add(at, end, style);
    i_ = end;
  }

  // A note or rest: its letter and accidentals, then its length, dots and ties.
  void Note(std::size_t at) {
    std::size_t j = at + 1;
    if (Upper(line_[at]) != u'R') {
      j = Stretch(j, [](char16_t ch) { return ch == u'+' || ch == u'-' || ch == u'#'; });
    }
    Add(at, j, MmlStyle::kNote);
    while (j < line_.size()) {
      const char16_t ch = line_[j];
      if (ch == u'&') {
        Add(j, j + 1, MmlStyle::kTie);
      } else if (IsDigit(ch) || ch == u'.' || ch == u'*') {
        Add(j, j + 1, MmlStyle::kLength);
      } else if (ch != u' ') {
        break;
      }
      ++j;
    }
    i_ = j;
  }

  std::u16string_view line_;
  MmlLineState state_;
  std::size_t i_ = 0;
  std::vector<MmlSpan> spans_;
};

}  // namespace

MmlLineHighlight HighlightMmlLine(std::u16string_view line, MmlLineState start) {
  return LineReader(line, start).Run();
}

}  // namespace chwr

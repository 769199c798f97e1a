#include "transfer/key_syntax.h"

#include <algorithm>
#include <array>
#include <utility>

#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

struct Name {
  std::u32string_view text;
  NamedKey key;
};

constexpr std::array<Name, 47> kNames{{
    {U"BACKSPACE", NamedKey::kBackspace},
    {U"BS", NamedKey::kBackspace},
    {U"BKSP", NamedKey::kBackspace},
    {U"BREAK", NamedKey::kBreak},
    {U"CAPSLOCK", NamedKey::kCapsLock},
    {U"DELETE", NamedKey::kDelete},
    {U"DEL", NamedKey::kDelete},
    {U"DOWN", NamedKey::kDown},
    {U"END", NamedKey::kEnd},
    {U"ENTER", NamedKey::kEnter},
    {U"ESC", NamedKey::kEscape},
    {U"HELP", NamedKey::kHelp},
    {U"HOME", NamedKey::kHome},
    {U"INSERT", NamedKey::kInsert},
    {U"INS", NamedKey::kInsert},
    {U"LEFT", NamedKey::kLeft},
    {U"NUMLOCK", NamedKey::kNumLock},
    {U"PGDN", NamedKey::kPageDown},
    {U"PGUP", NamedKey::kPageUp},
    {U"PRTSC", NamedKey::kPrintScreen},
    {U"RIGHT", NamedKey::kRight},
    {U"SCROLLLOCK", NamedKey::kScrollLock},
    {U"TAB", NamedKey::kTab},
    {U"UP", NamedKey::kUp},
    {U"ADD", NamedKey::kAdd},
    {U"SUBTRACT", NamedKey::kSubtract},
    {U"MULTIPLY", NamedKey::kMultiply},
    {U"DIVIDE", NamedKey::kDivide},
    {U"F1", NamedKey::kF1},
    {U"F2", NamedKey::kF2},
    {U"F3", NamedKey::kF3},
    {U"F4", NamedKey::kF4},
    {U"F5", NamedKey::kF5},
    {U"F6", NamedKey::kF6},
    {U"F7", NamedKey::kF7},
    {U"F8", NamedKey::kF8},
    {U"F9", NamedKey::kF9},
    {U"F10", NamedKey::kF10},
    {U"F11", NamedKey::kF11},
    {U"F12", NamedKey::kF12},
    {U"F13", NamedKey::kF13},
    {U"F14", NamedKey::kF14},
    {U"F15", NamedKey::kF15},
    {U"F16", NamedKey::kF16},
    {U"RETURN", NamedKey::kEnter},
    {U"ESCAPE", NamedKey::kEscape},
    {U"PRINT", NamedKey::kPrintScreen},
}};

constexpr std::u32string_view kSpecial = U"+^%~(){}[]";

Modifier ModifierOf(char32_t c) {
  switch (c) {
    case U'+':
      return Modifier::kShift;
    case U'^':
      return Modifier::kControl;
    case U'%':
      return Modifier::kAlt;
    default:
      return Modifier::kNone;
  }
}

std::unexpected<Diagnostic> Fault(std::string detail) {
  Diagnostic d;
  d.message = msg::kKeySyntaxError;
  d.detail = std::move(detail);
  return std::unexpected(std::move(d));
}

class Parser {
 public:
  explicit Parser(std::u32string text) : text_(std::move(text)) {}

  Result<std::vector<KeyEvent>> Run() {
    if (auto done = Sequence(false); !done) return std::unexpected(done.error());
    return std::move(events_);
  }

 private:
  // Keys up to the end, or inside a group up to its ")".
  Result<void> Sequence(bool inGroup) {
    const std::size_t open = at_;
    while (at_ < text_.size()) {
      if (text_[at_] == U')') {
        if (!inGroup) return Fault(msg::KeyParenthesisUnmatched(")", at_ + 1));
        ++at_;
        return {};
      }
      if (auto unit = Unit(); !unit) return unit;
    }
    if (inGroup) return Fault(msg::KeyParenthesisUnmatched("(", open));
    return {};
  }

  // One key or group with the modifiers written before it held down around it.
  Result<void> Unit() {
    std::vector<Modifier> held;
    while (at_ < text_.size() && ModifierOf(text_[at_]) != Modifier::kNone) {
      const Modifier m = ModifierOf(text_[at_]);
      const std::string shown = Utf32ToUtf8(text_.substr(at_, 1));
      ++at_;
      if (at_ == text_.size() || text_[at_] == U')') return Fault(msg::KeyModifierAlone(shown));
      // "++a" holds Shift once: a key pressed twice without a release is no key stroke.
      if (std::find(held.begin(), held.end(), m) == held.end()) held.push_back(m);
    }
    for (Modifier m : held) events_.push_back({true, m});
    Result<void> key = [&]() -> Result<void> {
      if (text_[at_] == U'(') {
        ++at_;
        return Sequence(true);
      }
      return Key();
    }();
    if (!key) return key;
    for (auto m = held.rbegin(); m != held.rend(); ++m) events_.push_back({false, *m});
    return {};
  }

  Result<void> Key() {
    const char32_t c = text_[at_];
    if (c != U'{') {
      ++at_;
      if (c == U'~') return Stroke(KeyEvent{true, Modifier::kNone, NamedKey::kEnter}, 1);
      return Stroke(KeyEvent{true, Modifier::kNone, NamedKey::kNone, c}, 1);
    }
    const std::size_t open = at_;
    // "{}}" is a brace; any other "}" closes.
    std::size_t close = text_.find(U'}', at_ + (text_.compare(at_, 3, U"{}}") == 0 ? 2 : 1));
    if (close == std::u32string::npos) return Fault(msg::KeyBraceNotClosed(open + 1));
    std::u32string_view inside = std::u32string_view(text_).substr(open + 1, close - open - 1);
    at_ = close + 1;
    int times = 1;
    if (const std::size_t blank = inside.rfind(U' ');
        blank != std::u32string_view::npos && blank > 0) {
      const std::u32string_view count = inside.substr(blank + 1);
      long long n = count.empty() || count.size() > 4 ? -1 : 0;
      for (char32_t d : count) n = n >= 0 && d >= U'0' && d <= U'9' ? n * 10 + (d - U'0') : -1;
      if (n < 0 || n > kMaxKeyRepeat) {
        return Fault(msg::KeyRepeatInvalid(Utf32ToUtf8(count), kMaxKeyRepeat));
      }
      times = static_cast<int>(n);
      inside = inside.substr(0, blank);
    }
    if (inside.size() == 1) {
      return Stroke(KeyEvent{true, Modifier::kNone, NamedKey::kNone, inside[0]}, times);
    }
    for (const Name& name : kNames) {
      if (name.text.size() != inside.size()) continue;
      bool same = true;
      for (std::size_t i = 0; i < inside.size() && same; ++i) {
        const char32_t u = inside[i] >= U'a' && inside[i] <= U'z' ? inside[i] - 32 : inside[i];
        same = u == name.text[i];
      }
      if (same) return Stroke(KeyEvent{true, Modifier::kNone, name.key}, times);
    }
    return Fault(msg::KeyNameUnknown(Utf32ToUtf8(inside)));
  }

  Result<void> Stroke(KeyEvent press, int times) {
    KeyEvent release = press;
    release.down = false;
    for (int i = 0; i < times; ++i) {
      events_.push_back(press);
      events_.push_back(release);
    }
    return {};
  }

  std::u32string text_;
  std::size_t at_ = 0;
  std::vector<KeyEvent> events_;
};

}  // namespace

Result<std::vector<KeyEvent>> ParseKeys(std::string_view keys) {
  std::u32string text = Utf8ToUtf32(keys);
  if (Utf32ToUtf8(text) != keys) return Fault(msg::kKeyTextNotUtf8);
  return Parser(std::move(text)).Run();
}

std::string EscapeKeys(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (kSpecial.find(static_cast<char32_t>(static_cast<unsigned char>(c))) !=
        std::u32string_view::npos) {
      out += '{';
      out += c;
      out += '}';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace chwr

#include "transfer/key_syntax.h"

#include <gtest/gtest.h>

#include "messages.h"
#include "text/cp932.h"
#include "transfer/transfer_script.h"

namespace chwr {
namespace {

// Events as one line: a key pressed and at once released is its name ("a", "Tab"); a
// modifier held is "Alt+" when it goes down and "Alt-" when it comes up.
std::string Describe(const std::vector<KeyEvent>& events) {
  auto name = [](const KeyEvent& e) -> std::string {
    constexpr const char* kMods[] = {"", "Shift", "Ctrl", "Alt"};
    if (e.modifier != Modifier::kNone) return kMods[static_cast<int>(e.modifier)];
    switch (e.named) {
      case NamedKey::kNone:
        return Utf32ToUtf8(std::u32string(1, e.character));
      case NamedKey::kTab:
        return "Tab";
      case NamedKey::kEnter:
        return "Enter";
      case NamedKey::kRight:
        return "Right";
      case NamedKey::kF12:
        return "F12";
      case NamedKey::kBackspace:
        return "BS";
      default:
        return "Key" + std::to_string(static_cast<int>(e.named));
    }
  };
  std::string out;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (!out.empty()) out += ' ';
    const KeyEvent& e = events[i];
    KeyEvent up = e;
    up.down = false;
    if (e.down && e.modifier == Modifier::kNone && i + 1 < events.size() && events[i + 1] == up) {
      out += name(e);
      ++i;
    } else {
      out += name(e) + (e.down ? "+" : "-");
    }
  }
  return out;
}

TEST(KeySyntax, ParsesEveryFormIntoPressesAndReleases) {
  const struct {
    const char* keys;
    const char* events;
  } cases[] = {
      {"ab c", "a b   c"},
      {"%eo", "Alt+ e Alt- o"},
      {"+{tab}{right}", "Shift+ Tab Shift- Right"},
      {"{tab} %e%r", "Tab   Alt+ e Alt- Alt+ r Alt-"},
      {"{ENTER}{enter}{Enter}~", "Enter Enter Enter Enter"},
      {"^+(ab)c", "Ctrl+ Shift+ a b Shift- Ctrl- c"},
      {"%(a+b)", "Alt+ a Shift+ b Shift- Alt-"},
      {"++a", "Shift+ a Shift-"},
      {"{right 3}{x 2}{a 0}", "Right Right Right x x"},
      {"{+}{%}{^}{~}{(}{)}{{}{}}", "+ % ^ ~ ( ) { }"},
      {"{ }{BS}{bksp}{f12}", "  BS BS F12"},
      {"(ab)", "a b"},
      {"ﾒﾓﾘﾀﾞｲﾔﾙ", "ﾒ ﾓ ﾘ ﾀ ﾞ ｲ ﾔ ﾙ"},
      {"", ""},
  };
  for (const auto& c : cases) {
    const auto events = ParseKeys(c.keys);
    ASSERT_TRUE(events.has_value()) << c.keys << ": " << events.error().detail;
    EXPECT_EQ(Describe(*events), c.events) << c.keys;
  }
}

TEST(KeySyntax, RefusesMalformedTextWithItsFault) {
  const struct {
    const char* keys;
    std::string detail;
  } cases[] = {
      {"ab{tab", msg::KeyBraceNotClosed(3)},
      {"{", msg::KeyBraceNotClosed(1)},
      {"{tabb}", msg::KeyNameUnknown("tabb")},
      {"{}", msg::KeyNameUnknown("")},
      {"abc%", msg::KeyModifierAlone("%")},
      {"+^", msg::KeyModifierAlone("^")},
      {"%(a+)", msg::KeyModifierAlone("+")},
      {"%(ab", msg::KeyParenthesisUnmatched("(", 2)},
      {"a)", msg::KeyParenthesisUnmatched(")", 2)},
      {"{a 1001}", msg::KeyRepeatInvalid("1001", kMaxKeyRepeat)},
      {"{a x}", msg::KeyRepeatInvalid("x", kMaxKeyRepeat)},
      {"{a -1}", msg::KeyRepeatInvalid("-1", kMaxKeyRepeat)},
      {"a\xFF", msg::kKeyTextNotUtf8},
  };
  for (const auto& c : cases) {
    const auto events = ParseKeys(c.keys);
    ASSERT_FALSE(events.has_value()) << c.keys;
    EXPECT_EQ(events.error().message, msg::kKeySyntaxError) << c.keys;
    EXPECT_EQ(events.error().detail, c.detail) << c.keys;
  }
}

TEST(TransferScript, SplitsTheMldPathAtItsLastSeparator) {
  const struct {
    const char* path;
    MldPathParts parts;
  } cases[] = {
      {"C:\\songs\\a.mld", {"C:\\songs", "a.mld"}},
      {"C:\\a.mld", {"C:\\", "a.mld"}},
      {"/home/u/my songs/a b.mld", {"/home/u/my songs", "a b.mld"}},
      {"/a.mld", {"/", "a.mld"}},
      {"\\a.mld", {"\\", "a.mld"}},
      {"a.mld", {"", "a.mld"}},
      {"Z:\\x/y\\z.mld", {"Z:\\x/y", "z.mld"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitMldPath(c.path), c.parts) << c.path;
  EXPECT_EQ(SplitMldPath(WineDosPath("/a.mld")), (MldPathParts{"Z:\\", "a.mld"}));
  EXPECT_EQ(WineDosPath("/home/u/a.mld"), "Z:\\home\\u\\a.mld");
}

TEST(TransferScript, TypesTheFolderAndFileBetweenTheFixedKeysAndWaits) {
  const MldPathParts parts{"C:\\+%^~(){}", "ﾒﾛ[1].mld"};
  const std::vector<ScriptStep> expected = {
      {"%eo+{tab}{right}{right}{right}{right}{right}{right}{right}", 0},
      {"{tab} %e%r", 0},
      {"", 0.4},
      {"C:\\{+}{%}{^}{~}{(}{)}{{}{}}", 0},
      {"{ENTER}", 0},
      {"", 0.3},
      {"ﾒﾛ{[}1{]}.mld", 0},
      {"{enter}{enter}{enter}", 0},
      {"%co", 0},
  };
  EXPECT_EQ(MemoryDialScript(parts), expected);
  for (const ScriptStep& step : expected) EXPECT_TRUE(ParseKeys(step.keys).has_value());
}

}  // namespace
}  // namespace chwr

#pragma once
// The keystroke syntax the data-link program is driven with: "%" Alt, "+" Shift, "^" Ctrl
// held with the next key or a parenthesised group, braces naming a key ({tab}, {ENTER},
// {right 7}), "~" Enter, and every other character typed as it is. Parsed into presses
// and releases, so that a driver only has to press keys.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// A modifier key.
enum class Modifier : std::uint8_t { kNone, kShift, kControl, kAlt };

/// A key named in braces; kNone for a character or a modifier.
enum class NamedKey : std::uint8_t {
  kNone,
  kBackspace,
  kBreak,
  kCapsLock,
  kDelete,
  kDown,
  kEnd,
  kEnter,
  kEscape,
  kHelp,
  kHome,
  kInsert,
  kLeft,
  kNumLock,
  kPageDown,
  kPageUp,
  kPrintScreen,
  kRight,
  kScrollLock,
  kTab,
  kUp,
  kAdd,
  kSubtract,
  kMultiply,
  kDivide,
  kF1,
  kF2,
  kF3,
  kF4,
  kF5,
  kF6,
  kF7,
  kF8,
  kF9,
  kF10,
  kF11,
  kF12,
  kF13,
  kF14,
  kF15,
  kF16,
};

/// One press or release: of a modifier, of a named key, or of the key that types a character.
struct KeyEvent {
  bool down = true;                     ///< pressed, else released
  Modifier modifier = Modifier::kNone;  ///< a modifier key when not kNone
  NamedKey named = NamedKey::kNone;     ///< a named key when not kNone
  char32_t character = 0;               ///< else the character this key types
  /// Field-by-field equality.
  bool operator==(const KeyEvent&) const = default;
};

/// The most times "{KEY n}" may repeat a key.
inline constexpr int kMaxKeyRepeat = 1000;

/// The presses and releases `keys` (UTF-8) stands for. Malformed text (a "{" without
/// "}", an unknown key name, a modifier with no key after it, an unmatched parenthesis,
/// a repeat count out of range, bytes that are no UTF-8) gives "ｷｰ指定に誤りがあります。"
/// with a detail that names the fault, and no events at all.
Result<std::vector<KeyEvent>> ParseKeys(std::string_view keys);

/// `text` with every character that means something in the key syntax put in braces
/// ("{+}", "{%}", "{{}", ...), so that ParseKeys types it exactly as it is.
std::string EscapeKeys(std::string_view text);

}  // namespace chwr

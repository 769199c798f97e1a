#pragma once
// How the compiler reads the parameters of commands: the parameter text of a token,
// digit strings, note lengths, volumes and transpositions. Shared by the compiler's files; inline,
// as they run for nearly every token.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace chwr::command_values {

/// An ASCII digit.
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

/// Not empty, and digits only.
inline bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

/// Digits read as a whole number, saturating well above every limit we check.
inline std::int64_t DigitsValue(std::string_view s) {
  std::int64_t v = 0;
  for (char c : s) v = std::min<std::int64_t>(v * 10 + (c - '0'), 1'000'000'000LL);
  return v;
}

/// "V" takes a plain decimal 0..63; its integer part is the volume.
inline std::optional<int> ReadVolume(std::string_view p) {
  // Nearly always one or two digits, read at once.
  if (p.size() == 1 && IsDigit(p[0])) return p[0] - '0';
  if (p.size() == 2 && IsDigit(p[0]) && IsDigit(p[1])) {
    const int v = (p[0] - '0') * 10 + (p[1] - '0');
    if (v <= 63) return v;
    return std::nullopt;
  }
  std::size_t point = p.find('.');
  std::string_view whole = p.substr(0, point);
  std::string_view frac = point == std::string_view::npos ? "" : p.substr(point + 1);
  if (!whole.empty() && !AllDigits(whole)) return std::nullopt;
  if (!frac.empty() && !AllDigits(frac)) return std::nullopt;
  if (whole.empty() && frac.empty()) return std::nullopt;
  std::int64_t v = whole.empty() ? 0 : DigitsValue(whole);
  bool fraction = std::any_of(frac.begin(), frac.end(), [](char c) { return c != '0'; });
  if (v > 63 || (v == 63 && fraction)) return std::nullopt;
  return static_cast<int>(v);
}

/// "T" takes a signed decimal, rounded to nearest with ties to even, in 16 bits.
inline std::optional<int> ReadTranspose(std::string_view p) {
  std::string ascii;
  std::size_t i = 0;
  if (i < p.size() && (p[i] == '+' || p[i] == '-')) ascii.push_back(static_cast<char>(p[i++]));
  bool digits = false, point = false;
  for (; i < p.size(); ++i) {
    if (IsDigit(p[i])) {
      digits = true;
    } else if (p[i] == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
    ascii.push_back(static_cast<char>(p[i]));
  }
  if (!digits) return std::nullopt;
  double v = std::nearbyint(std::strtod(ascii.c_str(), nullptr));
  if (v < -32768.0 || v > 32767.0) return std::nullopt;
  return static_cast<int>(v);
}

/// Parameter of every token but "T" and "V": signs and ties removed, the command
/// letter dropped, dots removed, "0" when nothing is left; and whether the token
/// holds a tie or a dot anywhere. The view points into the caller's buffer.
struct Parameter {
  std::string_view text;
  bool tie = false;
  bool dot = false;
};

/// What each character does to a parameter: kept, or a tie, a sign or a dot, all dropped.
enum ParamClass : std::uint8_t { kKept = 0, kTie = 1, kSign = 2, kDot = 4 };
inline constexpr std::array<std::uint8_t, 256> kParamClasses = [] {
  std::array<std::uint8_t, 256> t{};
  t['&'] = kTie;
  t['+'] = t['-'] = kSign;
  t['.'] = kDot;
  return t;
}();

/// Writes the parameter text of `token` (not empty) to `out`, which has room for
/// token.size() + 1.
inline Parameter ScanParameterInto(std::string_view token, char* out) {
  std::size_t n = 0;
  Parameter result;
  // Every token read this way starts with its command, the character dropped; the
  // rest is one pass without a branch per character.
  if (kParamClasses[static_cast<unsigned char>(token[0])] == kKept) {
    unsigned seen = 0;
    for (std::size_t i = 1; i < token.size(); ++i) {
      const std::uint8_t k = kParamClasses[static_cast<unsigned char>(token[i])];
      out[n] = token[i];
      n += k == kKept;
      seen |= k;
    }
    result.tie = (seen & kTie) != 0;
    result.dot = (seen & kDot) != 0;
    if (n == 0) out[n++] = '0';
    result.text = std::string_view(out, n);
    return result;
  }
  bool dropped = false;
  for (char c : token) {
    if (c == '&') {
      result.tie = true;
      continue;
    }
    if (c == '+' || c == '-') continue;
    if (c == '.') result.dot = true;
    if (!dropped) {
      dropped = true;
      continue;
    }
    if (c != '.') out[n++] = c;
  }
  if (n == 0) out[n++] = '0';
  result.text = std::string_view(out, n);
  return result;
}

/// A note's or rest's length as nearly every token writes it, read straight from the token.
/// The compiler's quick path takes these; whatever else a token holds (an error, a length
/// no valid one is, a "*" after a digit) is left kUnread for the full reading.
struct QuickLength {
  enum Kind : std::uint8_t { kUnread, kDefault, kNamed, kAbsolute };
  Kind kind = kUnread;
  bool tie = false;
  bool dot = false;
  int value = 0;  ///< kNamed: the length number (1..64); kAbsolute: the steps (0..192)
};

/// Reads the length of a note or rest token (command letter first) as ScanParameterInto
/// reads its parameter, tie and dot, when the token is in the usual order: an optional sign,
/// an optional "*", digits, then dots and ties. Other orders are left to the full reading.
[[gnu::always_inline]] inline QuickLength ReadQuickLength(std::string_view token) {
  QuickLength q;
  const char* p = token.data() + 1;
  const char* const end = token.data() + token.size();
  if (p < end && (*p == '+' || *p == '-')) ++p;
  bool star = false;
  if (p < end && *p == '*') {
    star = true;
    ++p;
  }
  unsigned value = 0;
  int digits = 0;
  // Four digits hold every valid length, leading zeros of an absolute one included.
  for (; p < end && IsDigit(*p) && digits < 4; ++p, ++digits) {
    value = value * 10 + static_cast<unsigned>(*p - '0');
  }
  bool tie = false;
  bool dot = false;
  for (; p < end; ++p) {
    if (*p == '.') {
      dot = true;
    } else if (*p == '&') {
      tie = true;
    } else {
      return q;
    }
  }
  q.tie = tie;
  q.dot = dot;
  if (star) {
    if (value > 192) return q;
    q.kind = QuickLength::kAbsolute;  // "*" alone is 0 steps
  } else if (digits == 0 || (digits == 1 && value == 0)) {
    q.kind = QuickLength::kDefault;  // no length, or "0": the default
  } else if ((digits == 1 && (value == 1 || value == 2 || value == 4 || value == 8)) ||
             (digits == 2 && (value == 16 || value == 32 || value == 64))) {
    q.kind = QuickLength::kNamed;  // exactly the seven names; "08" or "016" is none
  }
  q.value = static_cast<int>(value);
  return q;
}

/// Steps of the named length `number` (1, 2, 4 ... 64) at 24 (`resolution` 0) or 48 steps
/// a quarter: as PlainLengthSteps reads its name.
inline int NamedLengthSteps(int number, int resolution) {
  const int steps = 192 / number;
  if (resolution != 0) return steps;
  const int half = steps / 2;
  return half + (steps % 2 != 0 && half % 2 != 0 ? 1 : 0);
}

/// UTF-16 code units of a UTF-8 text, as data bytes are counted.
inline int Utf16Length(std::string_view utf8) {
  int n = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
  }
  return n;
}

}  // namespace chwr::command_values

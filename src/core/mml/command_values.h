#pragma once
// How the compiler reads the parameters of commands: digit strings, note lengths,
// volumes and transpositions. Shared by the compiler's files; inline, as they run for
// nearly every token.

#include <algorithm>
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

/// Plain note lengths ("1" to "64") and their steps at 48 per quarter note.
inline std::optional<int> NoteLengthSteps(std::string_view text) {
  if (text.size() == 1) {
    switch (text[0]) {
      case '1':
        return 192;
      case '2':
        return 96;
      case '4':
        return 48;
      case '8':
        return 24;
      default:
        return std::nullopt;
    }
  }
  if (text.size() == 2) {
    if (text[0] == '1' && text[1] == '6') return 12;
    if (text[0] == '3' && text[1] == '2') return 6;
    if (text[0] == '6' && text[1] == '4') return 3;
  }
  return std::nullopt;
}

/// Half of `v`, a half rounded to the even neighbour.
inline int HalveTiesToEven(int v) {
  return (v / 2) + ((v % 2) != 0 && ((v / 2) % 2) != 0 ? 1 : 0);
}

/// "V" takes a plain decimal 0..63; its integer part is the volume.
inline std::optional<int> ReadVolume(std::string_view p) {
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

}  // namespace chwr::command_values

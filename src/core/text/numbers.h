#pragma once
// Reading numbers typed into the editor's boxes.

#include <string>
#include <string_view>

namespace chwr {

/// Whether `s` is a plain decimal number: an optional sign, digits, at most one
/// decimal point, and at least one digit ("120", "-1", "12.5", ".5", "3.").
inline bool IsPlainNumber(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      digits = true;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

/// A number as typed into a box, in the form the program reads: blanks around it dropped,
/// and the full-width digits, signs, point and blanks an input method types ("１５０")
/// turned into their ASCII forms. Anything else is kept as it is.
inline std::string NumberText(std::string_view typed) {
  std::string out;
  out.reserve(typed.size());
  for (std::size_t i = 0; i < typed.size(); ++i) {
    // U+FF01..U+FF5E are EF BC 81..EF BD 9E in UTF-8; U+3000 is E3 80 80.
    if (i + 2 < typed.size() && static_cast<unsigned char>(typed[i]) == 0xEF) {
      const auto b1 = static_cast<unsigned char>(typed[i + 1]);
      const auto b2 = static_cast<unsigned char>(typed[i + 2]);
      const int code = b1 == 0xBC && b2 >= 0x80 && b2 <= 0xBF ? 0xFF00 + (b2 - 0x80)
                       : b1 == 0xBD && b2 >= 0x80 && b2 <= 0xBF ? 0xFF40 + (b2 - 0x80)
                                                                : 0;
      const bool numeric = (code >= 0xFF10 && code <= 0xFF19) || code == 0xFF0B ||
                           code == 0xFF0D || code == 0xFF0E;
      if (numeric) {
        out += static_cast<char>(code - 0xFF00 + 0x20);
        i += 2;
        continue;
      }
    }
    if (i + 2 < typed.size() && typed.substr(i, 3) == "\xE3\x80\x80") {
      out += ' ';
      i += 2;
      continue;
    }
    out += typed[i];
  }
  const std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

}  // namespace chwr

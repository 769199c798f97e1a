#pragma once
// Reading numbers typed into the editor's boxes.

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

}  // namespace chwr

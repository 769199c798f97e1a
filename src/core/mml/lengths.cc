#include "mml/lengths.h"

namespace chwr {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    std::size_t hit = text.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text, pos);
  text = std::move(out);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Replaces only occurrences that no digit follows, so "*180" keeps its "*18".
void ReplaceUnlessDigitFollows(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  std::size_t scan = 0;
  while (true) {
    std::size_t hit = text.find(from, scan);
    if (hit == std::string::npos) break;
    std::size_t after = hit + from.size();
    if (after < text.size() && IsDigit(text[after])) {
      scan = hit + 1;
      continue;
    }
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = scan = after;
  }
  out.append(text, pos);
  text = std::move(out);
}

}  // namespace

std::string NormaliseLengths(std::string_view input) {
  std::string text(input);
  static constexpr std::string_view kPlain[][2] = {
      {"*192", "1"}, {"*144", "2."}, {"*96", "2"}, {"*72", "4."},
      {"*48", "4"},  {"*36", "8."},  {"*24", "8"},
  };
  for (const auto& [from, to] : kPlain) ReplaceAll(text, from, to);
  static constexpr std::string_view kGuarded[][2] = {
      {"*18", "16."}, {"*12", "16"}, {"*9", "32."}, {"*6", "32"}, {"*3", "64"},
  };
  for (const auto& [from, to] : kGuarded) ReplaceUnlessDigitFollows(text, from, to);
  return text;
}

std::string NormaliseLengthsAt(std::string_view input, int stepsPerQuarter) {
  if (stepsPerQuarter != 24) return NormaliseLengths(input);
  std::string text(input);
  // The 48-step rewrite replaces its long entries even inside longer numbers, which only
  // matters there for lengths above 192 that no part can hold; at 24 steps "*120" and "*180"
  // are ordinary lengths, so a partial match would turn a valid "*120" into "80".
  static constexpr std::string_view kTable[][2] = {
      {"*96", "1"},  {"*72", "2."}, {"*48", "2"},  {"*36", "4."}, {"*24", "4"},
      {"*18", "8."}, {"*12", "8"},  {"*9", "16."}, {"*6", "16"},  {"*3", "32"},
  };
  for (const auto& [from, to] : kTable) ReplaceUnlessDigitFollows(text, from, to);
  return text;
}

std::string RescaleAbsoluteLengths(std::string_view input, bool halve) {
  std::string text(input);
  // From the last "*" to the first, so earlier positions stay valid as numbers change width.
  std::size_t pos = text.rfind('*');
  while (pos != std::string::npos) {
    std::size_t start = pos + 1;
    std::size_t end = start;
    while (end < text.size() && end - start < 4 && IsDigit(text[end])) ++end;
    if (end > start) {
      int n = std::stoi(text.substr(start, end - start));
      int value = halve ? (n + 1) / 2 : n * 2;  // integer part of n / 2 + 0.5
      text.replace(start, end - start, std::to_string(value));
    }
    if (pos == 0) break;
    pos = text.rfind('*', pos - 1);
  }
  return text;
}

}  // namespace chwr

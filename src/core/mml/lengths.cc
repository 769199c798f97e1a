#include "mml/lengths.h"

#include <algorithm>

#include "messages.h"
#include "mml/notation.h"

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
  // Longest first, so "*36" goes before "*3" can take its start. The lengths of an eighth
  // and up are replaced wherever they stand; the shorter ones only where no digit follows.
  for (const NamedLength& length : kNamedLengths) {
    const std::string from = "*" + std::to_string(length.steps);
    if (length.steps >= 24) {
      ReplaceAll(text, from, length.name);
    } else {
      ReplaceUnlessDigitFollows(text, from, length.name);
    }
  }
  return text;
}

std::string NormaliseLengthsAt(std::string_view input, int stepsPerQuarter) {
  if (stepsPerQuarter != 24) return NormaliseLengths(input);
  std::string text(input);
  // The 48-step rewrite replaces its long entries even inside longer numbers, which only
  // matters there for lengths above 192 that no part can hold; at 24 steps "*120" and "*180"
  // are ordinary lengths, so a partial match would turn a valid "*120" into "80".
  for (const NamedLength& length : kNamedLengths) {
    const int steps = NamedSteps(length, 24);
    if (steps != 0) ReplaceUnlessDigitFollows(text, "*" + std::to_string(steps), length.name);
  }
  return text;
}

namespace {

// One absolute length of a part's text: the "*", the digits read after it, its line.
struct AbsoluteLength {
  std::size_t star;
  std::size_t digitsEnd;
  int line;
};

// The absolute lengths the compiler reads as lengths, first to last. Comments go first, as
// the preprocessing takes them out first: a "'" starts one anywhere, also inside a brace
// group, and the group goes on after it. A brace group (the tone definition is one too)
// runs to the next "}", or to the end of a text that never closes it.
std::vector<AbsoluteLength> AbsoluteLengths(std::string_view text) {
  std::vector<AbsoluteLength> found;
  bool inGroup = false;
  int line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
    } else if (c == '\'') {
      const std::size_t lineEnd = text.find("\r\n", i);
      if (lineEnd == std::string_view::npos) break;
      i = lineEnd;  // the CR; the LF is counted next
    } else if (inGroup) {
      inGroup = c != '}';
    } else if (c == '{') {
      inGroup = true;
    } else if (c == '*') {
      std::size_t end = i + 1;
      while (end < text.size() && end - (i + 1) < 4 && IsDigit(text[end])) ++end;
      if (end > i + 1) found.push_back({i, end, line});
    }
  }
  return found;
}

int Rescaled(int n, bool halve) {
  return halve ? (n + 1) / 2 : n * 2;  // integer part of n / 2 + 0.5
}

// Where the command a length belongs to begins: its letter, with the signs behind it.
std::size_t CommandStart(std::string_view text, std::size_t star) {
  std::size_t at = star;
  while (at > 0 && (text[at - 1] == '+' || text[at - 1] == '-' || text[at - 1] == '#')) --at;
  if (at > 0) {
    const char c = text[at - 1];
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return at - 1;
  }
  return star;
}

}  // namespace

std::string RescaleAbsoluteLengths(std::string_view input, bool halve) {
  std::string text(input);
  const std::vector<AbsoluteLength> lengths = AbsoluteLengths(input);
  // From the last to the first, so earlier positions stay valid as numbers change width.
  for (auto l = lengths.crbegin(); l != lengths.crend(); ++l) {
    const std::size_t start = l->star + 1;
    const int n = std::stoi(text.substr(start, l->digitsEnd - start));
    text.replace(start, l->digitsEnd - start, std::to_string(Rescaled(n, halve)));
  }
  return text;
}

std::vector<InexactLength> InexactHalvings(const std::array<std::string, 4>& parts) {
  std::vector<InexactLength> inexact;
  for (int part = 0; part < 4; ++part) {
    const std::string_view text = parts[part];
    for (const AbsoluteLength& l : AbsoluteLengths(text)) {
      const std::size_t start = l.star + 1;
      const int n = std::stoi(std::string(text.substr(start, l.digitsEnd - start)));
      if (n % 2 == 0) continue;
      const std::size_t from = CommandStart(text, l.star);
      const std::string command(text.substr(from, l.star - from));
      inexact.push_back({part, l.line,
                         command + std::string(text.substr(l.star, l.digitsEnd - l.star)),
                         command + "*" + std::to_string(Rescaled(n, true))});
    }
  }
  return inexact;
}

std::string InexactHalvingQuestion(const std::vector<InexactLength>& inexact) {
  std::string lines;
  const std::size_t listed = std::min(inexact.size(), msg::kInexactLengthsListed);
  for (std::size_t i = 0; i < listed; ++i) {
    const InexactLength& l = inexact[i];
    lines += msg::InexactLengthLine(l.part, l.line, l.written, l.rescaled);
  }
  return msg::InexactHalvingQuestion(lines, inexact.size() - listed);
}

}  // namespace chwr

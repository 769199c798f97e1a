#include "tone/tone_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "mml/preprocess.h"
#include "text/numbers.h"

namespace chwr {
namespace {

// A decimal number kept as its digits, so that any number a user types is counted down
// exactly: no rounding ("15 - 0.1" is "14.9"), no overflow however long it is.
struct Decimal {
  bool negative = false;
  std::string whole;     // no leading zeros; empty for 0
  std::string fraction;  // no trailing zeros
};

Decimal Normalised(Decimal d) {
  d.whole.erase(0, std::min(d.whole.find_first_not_of('0'), d.whole.size()));
  d.fraction.erase(d.fraction.find_last_not_of('0') + 1);
  if (d.whole.empty() && d.fraction.empty()) d.negative = false;
  return d;
}

Decimal ReadDecimal(std::string_view typed) {
  const std::string text = NumberText(typed);
  Decimal d;
  bool sign = false, digit = false, point = false;
  for (char ch : text) {
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') continue;
    if ((ch == '+' || ch == '-') && !sign && !digit && !point) {
      sign = true;
      d.negative = ch == '-';
    } else if (ch >= '0' && ch <= '9') {
      digit = true;
      (point ? d.fraction : d.whole).push_back(ch);
    } else if (ch == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  return Normalised(d);
}

std::string Text(const Decimal& d) {
  std::string text = d.negative ? "-" : "";
  text += d.whole.empty() ? "0" : d.whole;
  if (!d.fraction.empty()) text += "." + d.fraction;
  return text;
}

// The digits of two magnitudes lined up under each other, and where the point goes.
struct Aligned {
  std::string a, b;
  std::size_t fractionDigits;
};

Aligned Align(const Decimal& x, const Decimal& y) {
  const std::size_t whole = std::max(x.whole.size(), y.whole.size());
  const std::size_t fraction = std::max(x.fraction.size(), y.fraction.size());
  auto digits = [&](const Decimal& d) {
    return std::string(whole - d.whole.size(), '0') + d.whole + d.fraction +
           std::string(fraction - d.fraction.size(), '0');
  };
  return {digits(x), digits(y), fraction};
}

Decimal FromDigits(std::string digits, std::size_t fractionDigits, bool negative) {
  Decimal d;
  d.negative = negative;
  d.fraction = digits.substr(digits.size() - fractionDigits);
  digits.resize(digits.size() - fractionDigits);
  d.whole = std::move(digits);
  return Normalised(d);
}

// |x| + |y|, with the given sign.
Decimal AddMagnitudes(const Decimal& x, const Decimal& y, bool negative) {
  Aligned n = Align(x, y);
  std::string sum(n.a.size(), '0');
  int carry = 0;
  for (std::size_t i = n.a.size(); i-- > 0;) {
    const int v = (n.a[i] - '0') + (n.b[i] - '0') + carry;
    sum[i] = static_cast<char>('0' + v % 10);
    carry = v / 10;
  }
  if (carry) sum.insert(sum.begin(), '1');
  return FromDigits(std::move(sum), n.fractionDigits, negative);
}

// |x| - |y|, signed.
Decimal SubtractMagnitudes(const Decimal& x, const Decimal& y) {
  Aligned n = Align(x, y);
  const bool negative = n.a < n.b;  // same length, so text order is number order
  if (negative) std::swap(n.a, n.b);
  std::string difference(n.a.size(), '0');
  int borrow = 0;
  for (std::size_t i = n.a.size(); i-- > 0;) {
    int v = (n.a[i] - '0') - (n.b[i] - '0') - borrow;
    borrow = v < 0;
    if (v < 0) v += 10;
    difference[i] = static_cast<char>('0' + v);
  }
  return FromDigits(std::move(difference), n.fractionDigits, negative);
}

// The number a typed text starts with, as plain decimal.
std::string TypedNumber(std::string_view typed) {
  return Text(ReadDecimal(typed));
}

// FB as typed when it is a number, else the number it starts with.
std::string FeedbackText(std::string_view typed) {
  const std::string text = NumberText(typed);
  return IsPlainNumber(text) ? text : TypedNumber(text);
}

// How a box's number reaches the definition: counted down from `from` (AR DR SL RR TL),
// or as typed (FB); and the width of the field the compiler packs it into.
struct BoxLayout {
  int from;  // 0: written as typed
  int bits;
};

BoxLayout LayoutOf(ToneBox box) {
  switch (box) {
    case ToneBox::kAttackRate:
      return {15, 4};
    case ToneBox::kDecayRate:
    case ToneBox::kSustainLevel:
    case ToneBox::kReleaseRate:
      return {16, 4};
    case ToneBox::kTotalLevel:
      return {64, 6};
    case ToneBox::kFeedback:
      break;
  }
  return {0, 3};
}

// The value the definition holds for a box's typed text.
std::string WrittenValue(ToneBox box, std::string_view typed) {
  const BoxLayout layout = LayoutOf(box);
  return layout.from ? CountDown(layout.from, typed) : FeedbackText(typed);
}

// A value in its column: at least two characters, so the columns line up under the
// comment line's names.
std::string Column(std::string_view value) {
  const std::size_t first = value.find_first_not_of(' ');
  value = first == std::string_view::npos
              ? std::string_view()
              : value.substr(first, value.find_last_not_of(' ') - first + 1);
  return value.size() < 2 ? " " + std::string(value) : std::string(value);
}

// ML VI AR RR DR SL SU TL EG WF, each followed by ",": the order the compiler reads.
std::string OperatorColumns(const ToneOperatorSettings& op) {
  const std::string values[] = {
      std::to_string(op.multiple),
      std::to_string(op.vibrato),
      WrittenValue(ToneBox::kAttackRate, op.attackRate),
      WrittenValue(ToneBox::kReleaseRate, op.releaseRate),
      WrittenValue(ToneBox::kDecayRate, op.decayRate),
      WrittenValue(ToneBox::kSustainLevel, op.sustainLevel),
      std::to_string(op.sustain),
      WrittenValue(ToneBox::kTotalLevel, op.totalLevel),
      std::to_string(op.envelope),
      std::to_string(op.waveform),
  };
  std::string line;
  for (const std::string& v : values) line += Column(v) + ",";
  return line;
}

}  // namespace

std::string CountDown(int from, std::string_view typed) {
  Decimal start;
  start.whole = std::to_string(from < 0 ? -static_cast<long long>(from) : from);
  start.negative = from < 0;
  start = Normalised(start);
  Decimal x = ReadDecimal(typed);
  // from - x = from + (-x)
  x.negative = !x.negative;
  if (start.negative == x.negative) return Text(Normalised(AddMagnitudes(start, x, x.negative)));
  Decimal d = SubtractMagnitudes(start, x);
  if (start.negative) d.negative = !d.negative;
  return Text(Normalised(d));
}

ToneRange TypedRange(ToneBox box) {
  const BoxLayout layout = LayoutOf(box);
  const int fieldMax = (1 << layout.bits) - 1;
  return layout.from ? ToneRange{layout.from - fieldMax, layout.from} : ToneRange{0, fieldMax};
}

bool FitsItsField(ToneBox box, std::string_view typed) {
  // Judged on the text as written and read back the compiler's way, so that what is
  // marked is exactly what would spill.
  const std::int64_t value = ReadLenientNumber(WrittenValue(box, typed));
  return value >= 0 && value < (std::int64_t{1} << LayoutOf(box).bits);
}

std::vector<ToneBoxAt> BoxesOutOfRange(const ToneSettings& s) {
  std::vector<ToneBoxAt> found;
  auto check = [&](bool carrier, ToneBox box, const std::string& typed) {
    if (!FitsItsField(box, typed)) found.push_back({carrier, box});
  };
  for (bool carrier : {false, true}) {
    const ToneOperatorSettings& op = carrier ? s.carrier : s.modulator;
    check(carrier, ToneBox::kAttackRate, op.attackRate);
    check(carrier, ToneBox::kDecayRate, op.decayRate);
    check(carrier, ToneBox::kSustainLevel, op.sustainLevel);
    check(carrier, ToneBox::kReleaseRate, op.releaseRate);
    check(carrier, ToneBox::kTotalLevel, op.totalLevel);
    if (!carrier) check(carrier, ToneBox::kFeedback, s.feedback);
  }
  return found;
}

std::string ToneDefinitionText(const ToneSettings& s) {
  std::string text = "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n";
  text += "@{" + OperatorColumns(s.modulator) +
          Column(WrittenValue(ToneBox::kFeedback, s.feedback)) + ",\r\n";
  // The carrier feeds nothing back.
  text += "  " + OperatorColumns(s.carrier) + " 0," + Column(s.octave) + "}\r\n";
  return text;
}

}  // namespace chwr

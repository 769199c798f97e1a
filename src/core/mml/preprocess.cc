#include "mml/preprocess.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace chwr {
namespace {

// Notes that input bytes [from, to) were copied to the output in order.
void Kept(ByteOrigins* origins, std::size_t from, std::size_t to) {
  if (origins == nullptr || to <= from) return;
  const std::size_t at = origins->size();
  origins->resize(at + (to - from));
  std::uint32_t* o = origins->data() + at;
  for (std::size_t i = from; i < to; ++i) *o++ = static_cast<std::uint32_t>(i);
}

}  // namespace

std::string StripComments(std::string_view text, ByteOrigins* origins) {
  std::string out;
  out.reserve(text.size());
  if (origins) origins->clear();
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t quote = text.find('\'', i);
    if (quote == std::string_view::npos) {
      out.append(text.substr(i));
      Kept(origins, i, text.size());
      break;
    }
    out.append(text.substr(i, quote - i));
    Kept(origins, i, quote);
    std::size_t lineEnd = text.find("\r\n", quote);
    if (lineEnd == std::string_view::npos) break;
    i = lineEnd;  // the line break itself stays
  }
  return out;
}

std::int64_t ReadLenientNumber(std::string_view field) {
  std::string number;
  bool seenSign = false, seenDigit = false, seenPoint = false;
  for (char ch : field) {
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') continue;
    if ((ch == '+' || ch == '-') && !seenSign && !seenDigit && !seenPoint) {
      seenSign = true;
      number.push_back(ch);
    } else if (ch >= '0' && ch <= '9') {
      seenDigit = true;
      number.push_back(ch);
    } else if (ch == '.' && !seenPoint) {
      seenPoint = true;
      number.push_back(ch);
    } else {
      break;
    }
  }
  if (!seenDigit) return 0;
  double value = std::strtod(number.c_str(), nullptr);
  constexpr double kLimit = 1099511627776.0;  // 2^40
  value = std::clamp(value, -kLimit, kLimit);
  return static_cast<std::int64_t>(std::nearbyint(value));  // ties to even
}

namespace {

// Field order of one operator in the definition text.
enum Field { kML, kVI, kAR, kRR, kDR, kSL, kSU, kTL, kEG, kWF, kFB, kFieldsPerOperator };

// Packs one operator into its flag byte and 24-bit group. The four bytes are one sum, so
// a number wider than its field spills into the next field up, and out of the group into
// the flag byte (the tone editor writes TL 0 as 64, which reaches 2^24 with the other
// fields at their starting values); what passes the top byte is dropped.
void PackOperator(const std::int64_t* v, std::uint8_t* out) {
  // Unsigned arithmetic wraps where a number far past its field (up to 2^40) would
  // overflow; only the low 32 bits are kept anyway.
  auto u = [&](Field f) { return static_cast<std::uint64_t>(v[f]); };
  const std::uint64_t head = u(kML) * 32 + u(kVI) * 16 + u(kEG) * 8 + u(kSU) * 4 +
                             static_cast<std::uint64_t>((v[kRR] & 12) / 4);
  const std::uint64_t group = static_cast<std::uint64_t>(v[kRR] & 3) * (1ULL << 22) +
                              u(kDR) * (1ULL << 18) + u(kAR) * (1ULL << 14) +
                              u(kSL) * (1ULL << 10) + u(kTL) * 16 + u(kWF) * 8 + u(kFB);
  const std::uint64_t all = head * (1ULL << 24) + group;
  out[0] = static_cast<std::uint8_t>(all >> 24);
  out[1] = static_cast<std::uint8_t>(all >> 16);
  out[2] = static_cast<std::uint8_t>(all >> 8);
  out[3] = static_cast<std::uint8_t>(all);
}

// The values of one operator, in the order the definition text lists them.
using OperatorValues = std::array<int, kFieldsPerOperator>;

// PackOperator read back: the fields as the flag byte and the 24-bit group hold them.
OperatorValues UnpackOperator(std::uint8_t head, std::uint32_t group) {
  OperatorValues v{};
  v[kML] = head >> 5;
  v[kVI] = (head >> 4) & 1;
  v[kEG] = (head >> 3) & 1;
  v[kSU] = (head >> 2) & 1;
  // RR is split: its upper two bits close the head byte, its lower two open the group.
  v[kRR] = ((head & 3) << 2) | static_cast<int>(group >> 22);
  v[kDR] = (group >> 18) & 15;
  v[kAR] = (group >> 14) & 15;
  v[kSL] = (group >> 10) & 15;
  v[kTL] = (group >> 4) & 63;
  v[kWF] = (group >> 3) & 1;
  v[kFB] = group & 7;
  return v;
}

std::string Field2(int value) {
  std::string s = std::to_string(value);
  if (s.size() < 2) s.insert(0, 2 - s.size(), ' ');
  return s;
}

}  // namespace

UnpackedToneDefinition UnpackToneDefinition(std::span<const std::uint8_t, 10> slot) {
  UnpackedToneDefinition result;
  const std::uint8_t first = slot[0];
  if (first != 0x01 && first != 0x21 && first != 0x41 && first != 0x61) return result;
  result.part = first >> 5;
  auto group = [&](std::size_t at) {
    return std::uint32_t{slot[at]} << 16 | std::uint32_t{slot[at + 1]} << 8 | slot[at + 2];
  };
  const OperatorValues modulator = UnpackOperator(slot[1], group(2));
  const OperatorValues carrier = UnpackOperator(slot[5], group(6));
  const int oc = slot[9];
  // The carrier's FB and the OC do not make a tone on their own.
  const bool silent =
      std::all_of(modulator.begin(), modulator.end(), [](int v) { return v == 0; }) &&
      std::all_of(carrier.begin(), carrier.end() - 1, [](int v) { return v == 0; });
  if (silent) return result;
  std::string& t = result.text;
  t = "'  ML VI AR RR DR SL SU TL EG WF FB OC\r\n@{ ";
  for (int v : modulator) t += Field2(v) + ",";
  t += "\r\n   ";
  for (int v : carrier) t += Field2(v) + ",";
  t += " " + std::to_string(oc) + "}\r\n\r\n";
  return result;
}

ToneExtraction ExtractToneDefinition(std::string_view text, int part, ByteOrigins* origins) {
  ToneExtraction result;
  if (origins) origins->clear();
  std::size_t open = text.find("@{");
  if (open == std::string_view::npos) {
    result.text = std::string(text);
    Kept(origins, 0, text.size());
    return result;
  }
  std::size_t close = text.find('}');
  if (close == std::string_view::npos || close < open) {
    result.status = ToneExtraction::Status::kInvalid;
    return result;
  }
  std::string_view rest = text.substr(open + 2, close - open - 2);
  std::int64_t values[2 * kFieldsPerOperator + 1];
  for (int k = 0; k < 2 * kFieldsPerOperator; ++k) {
    std::size_t comma = rest.find(',');
    if (comma == std::string_view::npos) {
      // Fewer than 23 numbers: refuse rather than guess the missing ones.
      result.status = ToneExtraction::Status::kInvalid;
      return result;
    }
    values[k] = ReadLenientNumber(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
  }
  const std::int64_t oc = ReadLenientNumber(rest);
  // The last value is read up to its first stray character, so a "," there ends it and
  // whatever follows is dropped: count what was written, for the warning.
  int count = kToneDefinitionValues;
  std::size_t fieldStart = 0;
  for (std::size_t comma = rest.find(','); comma != std::string_view::npos;
       comma = rest.find(',', fieldStart)) {
    ++count;
    fieldStart = comma + 1;
  }
  // Blank fields at the end (a trailing comma) hold nothing that was lost.
  for (std::size_t end = rest.size(); count > kToneDefinitionValues;) {
    const std::size_t comma = rest.rfind(',', end - 1);
    const std::string_view field = rest.substr(comma + 1, end - comma - 1);
    if (field.find_first_not_of(" \t\r\n") != std::string_view::npos) break;
    --count;
    end = comma;
  }
  result.valueCount = count;
  ToneDefinitionBytes bytes{};
  bytes[0] = static_cast<std::uint8_t>(part * 32 + 1);
  PackOperator(values, &bytes[1]);
  PackOperator(values + kFieldsPerOperator, &bytes[5]);
  bytes[9] = static_cast<std::uint8_t>(oc);  // only its low byte fits
  result.status = ToneExtraction::Status::kDefined;
  result.bytes = bytes;
  result.text.reserve(text.size());
  result.text.append(text.substr(0, open));
  result.text.append(text.substr(close + 1));
  Kept(origins, 0, open);
  Kept(origins, close + 1, text.size());
  return result;
}

namespace {

bool IsDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

// Finds the brackets of a text in order. Each kind is searched with memchr, which scans
// many bytes at a time, and its next position kept until passed: brackets are few and far
// between, and a loop testing every character for either was most of the expansion's time.
class BracketFinder {
 public:
  explicit BracketFinder(std::string_view text)
      : text_(text), open_(text.find('[')), close_(text.find(']')) {}
  /// The first "[" or "]" at or after `from` (not before an earlier call's), or npos.
  std::size_t Next(std::size_t from) {
    if (open_ < from) open_ = text_.find('[', from);
    if (close_ < from) close_ = text_.find(']', from);
    return std::min(open_, close_);
  }

 private:
  std::string_view text_;
  std::size_t open_;
  std::size_t close_;
};

// Brackets match exactly when repeated rewriting would never run out of a partner.
bool BracketsBalanced(std::string_view text) {
  std::size_t open = 0;
  BracketFinder brackets(text);
  for (std::size_t i = brackets.Next(0); i != std::string_view::npos; i = brackets.Next(i + 1)) {
    if (text[i] == '[') {
      ++open;
    } else {
      if (open == 0) return false;
      --open;
    }
  }
  return open == 0;
}

// The "/"s of a text; few, so memchr finds them faster than a test of every character.
std::size_t CountSlashes(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = text.find('/'); i != std::string_view::npos; i = text.find('/', i + 1)) {
    ++n;
  }
  return n;
}

// One repeat of a text without nested repeats.
struct FlatRepeat {
  std::size_t open;         // the "["
  std::size_t close;        // the "]"
  std::size_t end;          // past the count's digits
  std::size_t slash;        // first "/" of the inner text, or npos
  std::size_t bodyBytes;    // the inner text less its "/"s
  std::uint64_t bodyTimes;  // how often the body is written
};

// Most songs repeat plain runs of text: no repeat inside another, and nothing after a
// count that another repeat's expansion could extend. Then every count is the digits
// written after its "]", and the text expands front to back in one pass with no reversed
// copies. Returns false, having done nothing, for any other text. The length checks are
// those of the general walk, made in its order (right to left) on the same totals.
bool ExpandFlatRepeats(std::string_view text, std::size_t limit, RepeatExpansion& result,
                       ByteOrigins* origins) {
  std::vector<FlatRepeat> repeats;
  BracketFinder brackets(text);
  std::size_t i = brackets.Next(0);
  while (i != std::string_view::npos) {
    if (text[i] != '[') return false;
    const std::size_t close = brackets.Next(i + 1);
    if (close == std::string_view::npos || text[close] != ']') return false;
    std::size_t end = close + 1;
    while (end < text.size() && IsDigit(text[end])) ++end;
    // A "[" right after the count (or the "]") could grow the count when it expands.
    if (end < text.size() && text[end] == '[') return false;
    FlatRepeat r{i, close, end, std::string_view::npos, 0, 2};
    const std::string_view inner = text.substr(i + 1, close - i - 1);
    r.slash = inner.find('/');
    r.bodyBytes = inner.size() - CountSlashes(inner);
    std::uint64_t count = 2;
    if (end > close + 1) {
      count = 0;
      for (std::size_t k = close + 1; k < end; ++k) {
        count = std::min<std::uint64_t>(count * 10 + static_cast<unsigned>(text[k] - '0'),
                                        1'000'000'000'000ULL);
      }
    }
    r.bodyTimes = count;
    if (r.slash != std::string_view::npos) r.bodyTimes = count == 0 ? 0 : count - 1;
    repeats.push_back(r);
    i = brackets.Next(end);
  }
  std::uint64_t total = 0;
  std::size_t after = text.size();  // where the text already counted begins
  for (std::size_t k = repeats.size(); k-- > 0;) {
    const FlatRepeat& r = repeats[k];
    total += after - r.end;
    const std::uint64_t headBytes = r.slash == std::string_view::npos ? 0 : r.slash;
    if (r.bodyBytes != 0 &&
        r.bodyTimes > (limit - std::min<std::size_t>(total, limit)) / r.bodyBytes) {
      result.status = RepeatExpansion::Status::kTooLong;
      return true;
    }
    const std::uint64_t grow = r.bodyBytes * r.bodyTimes + headBytes;
    if (total + grow > limit) {
      result.status = RepeatExpansion::Status::kTooLong;
      return true;
    }
    total += grow;
    after = r.open;
  }
  total += after;
  std::string& out = result.text;
  out.reserve(total);
  if (origins) origins->reserve(total);
  std::size_t from = 0;
  for (const FlatRepeat& r : repeats) {
    out.append(text.substr(from, r.open - from));
    Kept(origins, from, r.open);
    const std::string_view inner = text.substr(r.open + 1, r.close - r.open - 1);
    const std::size_t bodyStart = out.size();
    // The body is the inner text less its "/"s; written once, then copied from there.
    for (std::size_t at = 0; at <= inner.size();) {
      const std::size_t slash = std::min(inner.find('/', at), inner.size());
      out.append(inner.substr(at, slash - at));
      Kept(origins, r.open + 1 + at, r.open + 1 + slash);
      at = slash + 1;
    }
    if (r.bodyTimes == 0) {
      out.resize(bodyStart);
      if (origins) origins->resize(bodyStart);
    } else if (r.bodyBytes != 0) {  // an empty body may come with any count
      for (std::uint64_t n = 1; n < r.bodyTimes; ++n) out.append(out, bodyStart, r.bodyBytes);
      if (origins) {
        for (std::uint64_t n = 1; n < r.bodyTimes; ++n) {
          const std::size_t at = origins->size();
          origins->resize(at + r.bodyBytes);
          std::copy_n(origins->begin() + bodyStart, r.bodyBytes, origins->begin() + at);
        }
      }
    }
    if (r.slash != std::string_view::npos) {
      out.append(inner.substr(0, r.slash));
      Kept(origins, r.open + 1, r.open + 1 + r.slash);
    }
    from = r.end;
  }
  out.append(text.substr(from));
  Kept(origins, from, text.size());
  return true;
}

}  // namespace

RepeatExpansion ExpandRepeats(std::string_view text, ByteOrigins* origins) {
  RepeatExpansion result;
  if (origins) origins->clear();
  if (BracketFinder(text).Next(0) == std::string_view::npos) {
    result.text = std::string(text);
    Kept(origins, 0, text.size());
    return result;
  }
  if (!BracketsBalanced(text)) {
    result.status = RepeatExpansion::Status::kUnmatched;
    return result;
  }
  const std::size_t limit = std::max(kMaxExpandedTextBytes, text.size());
  if (ExpandFlatRepeats(text, limit, result, origins)) return result;

  // Rewriting always expands the last "[" first, so everything after it is already
  // final. Walking right to left, each open frame holds, reversed, the finished text
  // between a "]" and whatever closes it; frame 0 is the text after every bracket.
  // The count after a "]" is read from the front of the enclosing frame, which is
  // exactly the text that follows the "]" at the moment rewriting reaches it.
  std::vector<std::string> frames(1);
  frames[0].reserve(text.size());
  // The frames' origins when they are wanted, reversed alike.
  std::vector<ByteOrigins> from(origins ? 1 : 0);
  std::size_t total = 0;
  for (std::size_t i = text.size(); i-- > 0;) {
    char ch = text[i];
    if (ch == ']') {
      frames.emplace_back();
      if (origins) from.emplace_back();
      continue;
    }
    if (ch != '[') {
      // Copy the whole run up to the previous bracket in one go.
      std::size_t start = i;
      while (start > 0 && text[start - 1] != '[' && text[start - 1] != ']') --start;
      frames.back().append(std::make_reverse_iterator(text.begin() + i + 1),
                           std::make_reverse_iterator(text.begin() + start));
      if (origins) {
        for (std::size_t k = i + 1; k-- > start;) {
          from.back().push_back(static_cast<std::uint32_t>(k));
        }
      }
      total += i + 1 - start;
      i = start;
      continue;
    }
    std::string inner(frames.back().rbegin(), frames.back().rend());
    total -= inner.size();
    frames.pop_back();
    std::string& outer = frames.back();
    ByteOrigins innerFrom;
    if (origins) {
      innerFrom.assign(from.back().rbegin(), from.back().rend());
      from.pop_back();
    }

    std::uint64_t count = 2;
    if (!outer.empty() && IsDigit(outer.back())) {
      count = 0;
      while (!outer.empty() && IsDigit(outer.back())) {
        count = std::min<std::uint64_t>(count * 10 + static_cast<unsigned>(outer.back() - '0'),
                                        1'000'000'000'000ULL);
        outer.pop_back();
        if (origins) from.back().pop_back();
        --total;
      }
    }
    std::size_t slash = inner.find('/');
    std::string head = slash == std::string::npos ? std::string() : inner.substr(0, slash);
    std::string body = inner;
    std::erase(body, '/');
    std::uint64_t bodyTimes = count;
    if (slash != std::string::npos) bodyTimes = count == 0 ? 0 : count - 1;

    const std::uint64_t headBytes = slash == std::string::npos ? 0 : head.size();
    if (!body.empty() && bodyTimes > (limit - std::min<std::size_t>(total, limit)) / body.size()) {
      result.status = RepeatExpansion::Status::kTooLong;
      return result;
    }
    std::uint64_t grow = body.size() * bodyTimes + headBytes;
    if (total + grow > limit) {
      result.status = RepeatExpansion::Status::kTooLong;
      return result;
    }
    // The replacement is body x n then head; reversed, head comes first.
    outer.append(head.rbegin(), head.rend());
    std::string reversedBody(body.rbegin(), body.rend());
    if (!body.empty()) {
      for (std::uint64_t k = 0; k < bodyTimes; ++k) outer.append(reversedBody);
    }
    if (origins) {
      // The same steps on where each byte came from: head, then the body less its "/"s.
      ByteOrigins& outerFrom = from.back();
      const std::size_t headEnd = slash == std::string::npos ? 0 : slash;
      outerFrom.insert(outerFrom.end(), std::make_reverse_iterator(innerFrom.begin() + headEnd),
                       innerFrom.rend());
      ByteOrigins reversedFrom;
      for (std::size_t k = inner.size(); k-- > 0;) {
        if (inner[k] != '/') reversedFrom.push_back(innerFrom[k]);
      }
      if (!body.empty()) {
        for (std::uint64_t k = 0; k < bodyTimes; ++k) {
          outerFrom.insert(outerFrom.end(), reversedFrom.begin(), reversedFrom.end());
        }
      }
    }
    total += grow;
  }
  result.text.assign(frames[0].rbegin(), frames[0].rend());
  if (origins) origins->assign(from[0].rbegin(), from[0].rend());
  return result;
}

}  // namespace chwr

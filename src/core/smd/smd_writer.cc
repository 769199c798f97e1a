#include "smd/smd_writer.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "io/byte_writer.h"
#include "messages.h"
#include "mml/notation.h"
#include "text/numbers.h"

namespace chwr {
namespace {

// The leading number of a text as the tempo box is read: sign, digits, a fraction;
// nullopt when the text does not start with one.
std::optional<double> LeadingNumber(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  double value = 0;
  bool digits = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = std::min(value * 10 + (s[i] - '0'), 1e9);
    digits = true;
  }
  if (i < s.size() && s[i] == '.') {
    double scale = 0.1;
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10) {
      value += (s[i] - '0') * scale;
      digits = true;
    }
  }
  if (!digits) return std::nullopt;
  return negative ? -value : value;
}

// A whole number after an optional sign: the leading number with its fraction cut
// off; nullopt when there are no digits or others follow. Called for every note, so it
// reads the text once and never leaves the integers.
std::optional<long> WholeNumber(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long value = 0;
  bool digits = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = std::min(value * 10 + (s[i] - '0'), 1'000'000'000L);
    digits = true;
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) digits = true;
  }
  if (!digits || i != s.size()) return std::nullopt;
  return negative ? -value : value;
}

// Semitone of a note command above C ("C-" -1 ... "B+" 12). Only note letters come here.
int Semitone(char letter, char sign) {
  int s = LetterSemitone(static_cast<unsigned char>(letter));
  if (s < 0) s = 11;
  if (sign == '+') ++s;
  if (sign == '-') --s;
  return s;
}

// The parameter of a note, rest or "L" token: signs and ties dropped, then the command
// letter, then the dots; "0" when nothing is left (the default length then applies).
// Written into `buffer`, which the caller reuses from token to token; says on the way
// whether the token holds a dot or a tie anywhere.
template <class Text>
std::string_view LengthParameter(Text token, std::string& buffer, bool* dot = nullptr,
                                 bool* tie = nullptr) {
  buffer.resize(token.size());  // room enough; cut to what is written below
  char* out = buffer.data();
  std::size_t n = 0;
  bool letter = true;
  for (auto wide : token) {
    // Only ASCII matters here; anything else stays something no length is made of.
    const char c = wide < 0x80 ? static_cast<char>(wide) : '?';
    if (c == '&' && tie) *tie = true;
    if (c == '.' && dot) *dot = true;
    if (c == '+' || c == '-' || c == '&') continue;
    if (letter) {
      letter = false;
    } else if (c != '.') {
      out[n++] = c;
    }
  }
  buffer.resize(n);
  return n == 0 ? std::string_view("0") : std::string_view(buffer);
}

// The transposition a "T" token sets: rounded to the nearest, ties to even; nullopt when
// it cannot be read (the compile then fails anyway).
std::optional<int> Transposition(std::string_view param) {
  if (!IsPlainNumber(param)) return std::nullopt;
  auto v = LeadingNumber(param);
  if (!v || std::abs(*v) > 32767) return std::nullopt;
  return static_cast<int>(std::nearbyint(*v));
}

// Length index of a plain note length: a sixteenth 0, doubling up to 3 for a half, which
// a whole note shares; nullopt for lengths that have none.
std::optional<int> LengthIndex(std::string_view length) {
  const std::optional<int> steps = PlainLengthSteps(length, 48);
  if (!steps || *steps < 12) return std::nullopt;
  int index = 0;
  for (int each = 12; each < *steps && index < 3; each *= 2) ++index;
  return index;
}

// An absolute length ("*n") read once: its steps (nullopt when they are no number) and
// whether a number was written at all ("*" alone counts as 0 steps).
struct AbsoluteLength {
  std::optional<long> steps;
  bool written = false;
};

AbsoluteLength ReadAbsolute(std::string_view length) {
  if (length.size() == 1) return {0, false};
  if (length[1] == '+' || length[1] == '-') return {std::nullopt, true};
  return {WholeNumber(length.substr(1)), true};
}

// Length index of an absolute triplet length at this resolution; nullopt for others.
std::optional<int> TripletIndex(const AbsoluteLength& length, int resolution) {
  if (!length.written || !length.steps) return std::nullopt;
  const long n = *length.steps;
  // Steps in 24ths of a quarter note: at 48 steps a quarter only even counts are triplets.
  if (resolution != 0 && (n & 1) != 0) return std::nullopt;
  switch (resolution == 0 ? n : n >> 1) {
    case 4:
      return 0;
    case 8:
      return 1;
    case 16:
      return 2;
    case 32:
      return 3;
    default:
      return std::nullopt;
  }
}

// The note length an absolute length that is no triplet is rounded to: "16".."1", or ""
// when it is longer than a whole note or no number. Sets the flag either way.
std::string_view RoundedLength(const AbsoluteLength& length, int resolution, SmdFlags& flags) {
  flags.lengthApproximated = true;
  if (!length.steps) return {};
  const long n = *length.steps;
  // The shortest plain length from a sixteenth up that holds it.
  for (auto l = kNamedLengths.rbegin(); l != kNamedLengths.rend(); ++l) {
    if (l->name.back() == '.' || l->steps < 12) continue;
    if (n <= NamedSteps(*l, resolution == 0 ? 24 : 48)) return l->name;
  }
  return {};
}

std::uint8_t SelectionCode(int window) {
  return window == 1 ? smd::kWindow1 : window == 3 ? smd::kWindow3 : smd::kWindow2;
}

class PartCoder {
 public:
  PartCoder(const SmdPartOptions& options, SmdFlags& flags, std::size_t tokens)
      : options_(options), flags_(flags) {
    codes_.reserve(tokens * 2);
  }

  /// Any other command token, in ASCII.
  void Token(std::string_view t) {
    if (t.empty()) return;
    const char c = t[0];
    if (c == '<') {
      ++octave_;
    } else if (c == '>') {
      --octave_;
    } else if (c == 'O') {
      if (auto n = WholeNumber(t.substr(1)); n && t.size() > 1 && t[1] != '+' && t[1] != '-') {
        octave_ = static_cast<int>(*n);
      }
    } else if (c == 'L') {
      const std::string_view p = LengthParameter(t, parameter_);
      if (p[0] != '*') {
        defaultLength_ = p;
      } else if (const AbsoluteLength a = ReadAbsolute(p); TripletIndex(a, options_.resolution)) {
        defaultLength_ = p;
      } else {
        defaultLength_ = RoundedLength(a, options_.resolution, flags_);
      }
    } else if (c == 'T') {
      if (auto v = Transposition(t.substr(1))) transpose_ = *v;
    }
  }

  std::string Finish() {
    if (codes_.empty()) return {};
    std::vector<std::uint8_t> run;
    ByteWriter w(run);
    w.Raw(smd::kRunStart);
    if (auto tempo = SmdTempoClass(options_.tempo)) w.Raw(*tempo);
    w.Raw(codes_);
    if (window_ != 2) w.Raw({smd::kControl, smd::kWindow2});
    w.U8(smd::kRunEnd);
    return std::string(run.begin(), run.end());
  }

  /// A note or rest token ("C+8.&", "R*12").
  void Note(std::u32string_view t) {
    const bool rest = t[0] == 'R';
    const char sign = t.size() > 1 && (t[1] == '+' || t[1] == '-') ? static_cast<char>(t[1]) : 0;
    bool dot = false, tie = false;
    std::string_view length = LengthParameter(t, parameter_, &dot, &tie);
    if (length == "0") length = defaultLength_;

    // Triplets keep their absolute length; other absolute lengths are rounded.
    std::optional<int> triplet;
    if (!length.empty() && length[0] == '*') {
      const AbsoluteLength absolute = ReadAbsolute(length);
      triplet = TripletIndex(absolute, options_.resolution);
      if (!triplet) length = RoundedLength(absolute, options_.resolution, flags_);
    }
    if (triplet) {
      index_ = *triplet;
      if (tripletCount_ == 0) Codes(smd::kControl, smd::kTripletGroup);
      tripletCount_ = (tripletCount_ + 1) % 3;
    } else if (auto i = LengthIndex(length)) {
      index_ = *i;
    } else if (!length.empty()) {
      // A 32nd or 64th has no length code: it sounds as long as the note before it.
      flags_.shortLength = true;
    }
    // The dot of a sixteenth is a 32nd, written as a second sixteenth.
    if (dot && !triplet && length == "16") flags_.shortLength = true;

    const int base = rest ? RestBase() : NoteBase(Semitone(static_cast<char>(t[0]), sign));
    codes_.push_back(static_cast<std::uint8_t>(base + index_));
    if (!triplet && (length == "1")) {
      Codes(smd::kTie, base + 3);
    }
    if (dot) {
      Codes(smd::kTie, base + std::max(index_ - 1, 0));
    }
    if (tie) codes_.push_back(smd::kTie);
  }

 private:
  void Codes(int first, int second) {
    codes_.push_back(static_cast<std::uint8_t>(first));
    codes_.push_back(static_cast<std::uint8_t>(second));
  }

  // Makes `w` the current window when it is not, writing its selection code.
  void Select(int w) {
    if (w == window_) return;
    Codes(smd::kControl, SelectionCode(w));
    window_ = w;
  }

  // The windows to try after the current one, in the order the format looks.
  std::array<int, 2> OtherWindows() const {
    if (window_ == 1) return {2, 3};
    if (window_ == 2) return {1, 3};
    return {2, 1};
  }

  // Notes are found by pitch, so a flat, "E+" or "C-" is the key it sounds, and the
  // transposition counts as it does for the other outputs.
  int NoteBase(int semitone) {
    const int note = static_cast<int>(MldNoteCode(octave_, semitone)) + transpose_;
    auto column = [&](int w) { return note - smd::WindowLowNote(w); };
    auto holds = [&](int w) { return column(w) >= 0 && column(w) < smd::kWindowWidth; };
    if (!holds(window_)) {
      bool found = false;
      for (int w : OtherWindows()) {
        if (holds(w)) {
          Select(w);
          found = true;
          break;
        }
      }
      if (!found) {
        flags_.outOfRange = true;
        return smd::kRest;
      }
    }
    return smd::kFirstNote + 4 * column(window_);
  }

  // A rest is one of the three rest entries of a window (octaves w..w+2); one that no
  // window holds is still a rest, in the window at hand.
  int RestBase() {
    auto holds = [&](int w) { return octave_ >= w && octave_ <= w + 2; };
    if (!holds(window_)) {
      for (int w : OtherWindows()) {
        if (holds(w)) {
          Select(w);
          break;
        }
      }
    }
    return smd::kRest;
  }

  const SmdPartOptions& options_;
  SmdFlags& flags_;
  int octave_ = 3;
  std::string defaultLength_ = "8";
  std::string parameter_;  // the length parameter of the token at hand
  int transpose_ = 0;
  int window_ = 2;
  int index_ = 0;
  int tripletCount_ = 0;
  std::vector<std::uint8_t> codes_;
};

}  // namespace

std::optional<std::array<std::uint8_t, 2>> SmdTempoClass(std::string_view tempo) {
  const std::string text = NumberText(tempo);
  // A tempo that is no number plays at 120, as in the other outputs: the normal class.
  const double value = IsPlainNumber(text) ? LeadingNumber(text).value_or(120) : 120;
  if (value < 0) return std::nullopt;
  const long whole = static_cast<long>(value);
  if (whole <= 94) return std::array<std::uint8_t, 2>{smd::kControl, smd::kTempoSlow};
  if (whole <= 107) return std::array<std::uint8_t, 2>{smd::kControl, smd::kTempoRatherSlow};
  if (whole <= 125) return std::nullopt;
  if (whole <= 255) return std::array<std::uint8_t, 2>{smd::kControl, smd::kTempoFast};
  return std::nullopt;
}

std::string_view SmdClassTempo(const std::optional<std::array<std::uint8_t, 2>>& tempoClass) {
  if (!tempoClass || (*tempoClass)[0] != smd::kControl) return "120";
  switch ((*tempoClass)[1]) {
    case smd::kTempoFast:
      return "160";
    case smd::kTempoRatherSlow:
      return "95";
    case smd::kTempoSlow:
      return "60";
    default:
      return "120";
  }
}

std::string CnvToneLen(std::string_view length, int resolution, SmdFlags& flags) {
  if (length.empty()) return std::string(RoundedLength({}, resolution, flags));
  const AbsoluteLength absolute = ReadAbsolute(length);
  if (length[0] == '*' && TripletIndex(absolute, resolution)) return std::string(length);
  return std::string(RoundedLength(absolute, resolution, flags));
}

std::string SmdMake(const CommandTokens& tokens, int lastIndex,
                    const SmdPartOptions& options, SmdFlags& flags) {
  PartCoder coder(options, flags, tokens.size());
  const int last = std::min(lastIndex, static_cast<int>(tokens.size()) - 1);
  std::string token;
  for (int i = 1; i <= last; ++i) {
    const std::u32string_view t = tokens[i];
    if (t.empty()) continue;
    if (t[0] == 'R' || (t[0] >= 'A' && t[0] <= 'G')) {
      coder.Note(t);
      continue;
    }
    // The other commands SMD reads are ASCII; anything else (a brace group's text) is
    // narrowed to "?" and ignored like the rest of what SMD cannot hold.
    token.resize(t.size());
    for (std::size_t k = 0; k < t.size(); ++k) token[k] = t[k] < 0x80 ? static_cast<char>(t[k]) : '?';
    coder.Token(token);
  }
  return coder.Finish();
}

std::vector<std::uint8_t> SmdFileBytes(const std::array<std::string, 4>& partTexts) {
  std::vector<std::uint8_t> file;
  ByteWriter w(file);
  auto add = [&](const std::string& t) { w.Tag(t); };
  if (!partTexts[3].empty()) {
    for (const std::string& t : partTexts) add(t);
  } else {
    add(partTexts[1]);
    add(partTexts[2]);
    add(partTexts[0]);
  }
  return file;
}

Diagnostics SmdWarnings(const SmdFlags& flags) {
  Diagnostics out;
  if (flags.outOfRange) out.push_back(MakeWarning(msg::kSmdOutOfRange));
  if (flags.lengthApproximated) out.push_back(MakeWarning(msg::kSmdLengthApproximated));
  if (flags.shortLength) out.push_back(MakeWarning(msg::kSmdShortLength));
  return out;
}

}  // namespace chwr

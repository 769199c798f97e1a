#include "mml/compiler.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <optional>

#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

std::string ToUtf8(std::u32string_view text) {
  return Utf32ToUtf8(text);
}

Diagnostic CommandError(int part, int line, const char* what, std::u32string_view search) {
  Diagnostic d;
  d.message = msg::AtPartLine(part, line, what);
  d.part = part;
  d.line = line;
  d.searchText = ToUtf8(search);
  return d;
}

Diagnostic CharacterError(int part, int line, char32_t ch) {
  std::string shown;
  AppendUtf8(shown, ch);
  Diagnostic d;
  d.message = msg::InvalidCharacter(part, line, shown);
  d.part = part;
  d.line = line;
  d.searchText = shown;
  return d;
}

Diagnostic PartError(int part, std::string text) {
  Diagnostic d;
  d.message = std::move(text);
  d.part = part;
  return d;
}

// How the tokeniser treats each ASCII character; everything else is kOther.
enum CharClass : std::uint8_t { kOther, kCommand, kAppended, kReturn, kLineFeed, kAt, kBrace };

constexpr std::array<CharClass, 128> MakeCharClasses() {
  std::array<CharClass, 128> t{};
  for (char c : std::string_view("QOLCDEFGABR<>TV~_!")) t[static_cast<unsigned char>(c)] = kCommand;
  for (char c : std::string_view("+-*.&0123456789")) t[static_cast<unsigned char>(c)] = kAppended;
  t['\r'] = kReturn;
  t['\n'] = kLineFeed;
  t['@'] = kAt;
  t['{'] = kBrace;
  return t;
}
constexpr std::array<CharClass, 128> kCharClasses = MakeCharClasses();

CharClass ClassOf(char32_t c) { return c < 128 ? kCharClasses[c] : kOther; }

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::u32string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

// Digits read as a whole number, saturating well above every limit we check.
std::int64_t DigitsValue(std::u32string_view s) {
  std::int64_t v = 0;
  for (char32_t c : s) v = std::min<std::int64_t>(v * 10 + (c - '0'), 1'000'000'000LL);
  return v;
}

// Upper case, "#" as "+", blanks (U+0020 only) gone. MML is nearly all ASCII, so
// only the rest goes through the full decoder and ICU's case mapping.
std::u32string NormaliseText(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      ++i;
      if (b == ' ') continue;
      char32_t c = b;
      if (c == '#') {
        c = '+';
      } else if (c >= 'a' && c <= 'z') {
        c -= 'a' - 'A';
      }
      out.push_back(c);
      continue;
    }
    std::size_t j = i + 1;
    while (j < utf8.size() && (static_cast<unsigned char>(utf8[j]) & 0xC0) == 0x80) ++j;
    for (char32_t c : Utf8ToUtf32(utf8.substr(i, j - i))) {
      out.push_back(static_cast<char32_t>(u_toupper(static_cast<UChar32>(c))));
    }
    i = j;
  }
  return out;
}

using Token = TokenBounds;

// Plain note lengths and their steps at 48 per quarter note.
std::optional<int> NoteLengthSteps(std::u32string_view text) {
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

int HalveTiesToEven(int v) {
  return (v / 2) + ((v % 2) != 0 && ((v / 2) % 2) != 0 ? 1 : 0);
}

class PartCompiler {
 public:
  PartCompiler(int part, int startVolume, const CompileOptions& options, CompileState& state,
               CompiledPart& out)
      : part_(part), options_(options), state_(state), out_(out) {
    currentVolume_ = lastVolume_ = std::clamp(startVolume, 0, 63);
  }

  Result<void> Run(std::string_view mml) {
    out_.warnings.clear();
    std::string text = StripComments(mml);
    ToneExtraction tone = ExtractToneDefinition(text, part_);
    if (tone.status == ToneExtraction::Status::kInvalid) {
      return std::unexpected(PartError(part_, msg::InvalidToneDefinition(part_)));
    }
    state_.toneDefinition[part_] = tone.bytes;
    state_.toneDefined[part_] = tone.status == ToneExtraction::Status::kDefined;
    if (tone.valueCount > kToneDefinitionValues) ExtraToneValues(text, tone.valueCount);
    RepeatExpansion repeats = ExpandRepeats(tone.text);
    if (repeats.status == RepeatExpansion::Status::kUnmatched) {
      return std::unexpected(PartError(part_, msg::UnmatchedRepeat(part_)));
    }
    if (repeats.status == RepeatExpansion::Status::kTooLong) {
      return std::unexpected(PartError(part_, msg::RepeatTooLong(part_)));
    }
    text_ = NormaliseText(repeats.text);
    if (auto r = Tokenise(); !r) return r;
    if (options_.smdMode && options_.smdHook) {
      const CommandTokens tokens(pool_, tokens_);
      out_.smdText = options_.smdHook(tokens, static_cast<int>(tokens_.size()) - 1);
    }
    return Execute();
  }

 private:
  std::u32string_view TokenText(const Token& t) const {
    return std::u32string_view(pool_).substr(t.start, t.length);
  }

  // Stores the current token and opens the next one on the current line.
  bool Advance() {
    if (tokenCount_ > static_cast<std::size_t>(kMaxTokenIndex)) return false;
    tokens_.push_back(Token{static_cast<std::uint32_t>(pool_.size()), 0, line_});
    ++tokenCount_;
    return true;
  }

  void Append(char32_t c) {
    pool_.push_back(c);
    ++tokens_[tokenCount_ - 1].length;
  }

  Result<void> TooManyTokens() {
    return std::unexpected(CommandError(part_, line_, msg::kTooManyCommands, U""));
  }

  // The character right after an "@V" token or a brace group is not classified:
  // it starts the next token whatever it is.
  void TakeUnclassified(std::size_t& i) {
    ++i;
    if (i >= text_.size()) return;
    char32_t c = text_[i];
    if (c == '\r') return;
    if (c == '\n') {
      ++line_;
      return;
    }
    Append(c);
  }

  Result<void> Tokenise() {
    pool_.reserve(text_.size() + 8);
    // Every token takes at least one character, so this is room enough. Reserved, not
    // sized: the pages of a room several times the tokens' are never touched.
    tokens_.clear();
    tokens_.reserve(std::min<std::size_t>(text_.size() + 2, kMaxTokenIndex + 2));
    tokens_.push_back(Token{0, 0, 1});
    tokenCount_ = 1;
    const std::size_t n = text_.size();
    for (std::size_t i = 0; i < n; ++i) {
      const char32_t c = text_[i];
      switch (ClassOf(c)) {
        case kCommand:
          if (!Advance()) return TooManyTokens();
          Append(c);
          break;
        case kAppended:
          Append(c);
          break;
        case kReturn:
          break;  // carriage returns only ever come before a line feed
        case kLineFeed:
          ++line_;
          break;
        case kAt:
          if (i + 1 >= n || text_[i + 1] != 'V') break;
          if (!Advance()) return TooManyTokens();
          Append('@');
          Append('V');
          if (i + 2 < n && IsDigit(text_[i + 2])) {
            Append(text_[i + 2]);
            i += 2;
          } else {
            Append('1');
            i += 1;
          }
          if (!Advance()) return TooManyTokens();
          TakeUnclassified(i);
          break;
        case kBrace: {
          std::size_t close = text_.find(U'}', i + 1);
          // A group that never closes has no defined end; point at its "{".
          if (close == std::u32string::npos) {
            return std::unexpected(CharacterError(part_, line_, c));
          }
          if (!Advance()) return TooManyTokens();
          for (std::size_t k = i; k < close; ++k) Append(text_[k]);
          if (!Advance()) return TooManyTokens();
          i = close;
          TakeUnclassified(i);
          break;
        }
        case kOther:
          return std::unexpected(CharacterError(part_, line_, c));
      }
    }
    // The last token is stored and the index moves on once more, leaving an empty
    // token at the end; it is never executed and needs no room of its own.
    tokens_.push_back(Token{static_cast<std::uint32_t>(pool_.size()), 0, line_});
    ++tokenCount_;
    return {};
  }

  // Parameter of every token but "T" and "V": signs and ties removed, the command
  // letter dropped, dots removed, "0" when nothing is left; and whether the token
  // holds a tie or a dot anywhere. The view points into a buffer reused for every
  // token, so it is valid until the next call.
  struct Parameter {
    std::u32string_view text;
    bool tie = false;
    bool dot = false;
  };

  Parameter ScanParameter(std::u32string_view token) {
    param_.resize(token.size() + 1);
    char32_t* out = param_.data();
    std::size_t n = 0;
    Parameter result;
    bool dropped = false;
    for (char32_t c : token) {
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
    result.text = std::u32string_view(out, n);
    return result;
  }

  std::u32string_view GenericParameter(std::u32string_view token) {
    return ScanParameter(token).text;
  }

  Result<void> Execute() {
    out_.count = 0;
    out_.totalSteps = 0;
    out_.volumeChangeCount = out_.toneChangeCount = out_.dataByteCount = 0;
    out_.maxKey = 0;
    out_.minKey = 255;
    out_.maxName.clear();
    out_.minName.clear();
    toldLow_ = toldHigh_ = false;
    out_.events.clear();
    out_.adjustedEvents.clear();
    out_.dataText.clear();
    const std::size_t expected = std::min<std::size_t>(tokens_.size() * 2, kEventCapacity);
    param_.reserve(256);
    out_.events.reserve(expected);
    out_.adjustedEvents.reserve(expected);

    for (std::size_t idx = 1; idx < tokens_.size(); ++idx) {
      const Token& t = tokens_[idx];
      if (t.length == 0) continue;
      if (auto r = ExecuteToken(TokenText(t), t.line); !r) return r;
    }

    const std::int16_t restKey =
        out_.minKey == 255 ? static_cast<std::int16_t>(part_ * 64 + 26) : out_.minKey;
    for (int i : rests_) {
      out_.events[i].key = restKey;
      out_.adjustedEvents[i].key = restKey;
    }
    return {};
  }

  Result<void> ExecuteToken(std::u32string_view token, int line) {
    const char32_t first = token[0];
    const bool signedCommand =
        first != 'T' && token.size() >= 2 && (token[1] == '+' || token[1] == '-');
    auto fail = [&](const char* what) {
      return std::unexpected(CommandError(part_, line, what, token));
    };

    switch (first) {
      case 'O': {
        if (signedCommand) return fail(msg::kSyntaxO);
        std::u32string_view p = GenericParameter(token);
        if (p.size() != 1 || p[0] < '1' || p[0] > '6') return fail(msg::kSyntaxO);
        octave_ = static_cast<int>(p[0] - '0');
        return {};
      }
      case '<':
      case '>':
      case '!':
        // "<+" and the like are no command of the language; name the sign.
        if (signedCommand) return std::unexpected(CharacterError(part_, line, token[1]));
        if (first == '<') {
          ++octave_;
        } else if (first == '>') {
          --octave_;
        } else {
          state_.markStep = out_.totalSteps;
        }
        return {};
      case 'L': {
        if (signedCommand) return fail(msg::kSyntaxL);
        std::u32string_view p = GenericParameter(token);
        if (p[0] == '*') {
          std::u32string_view digits = std::u32string_view(p).substr(1);
          if (!AllDigits(digits)) return fail(msg::kSyntaxAbsolute);
          std::int64_t n = DigitsValue(digits);
          if (n <= 0 || n >= 193) return fail(msg::kSyntaxAbsolute);
          defaultLength_ = p;
          return {};
        }
        if (!NoteLengthSteps(p)) return fail(msg::kSyntaxL);
        if (p == U"64" && options_.resolution == 0) return fail(msg::kNo64thAt24);
        defaultLength_ = p;
        return {};
      }
      case 'Q': {
        if (signedCommand) return fail(msg::kSyntaxQ);
        std::u32string_view p = GenericParameter(token);
        if (!AllDigits(p)) return fail(msg::kSyntaxQ);
        std::int64_t q = DigitsValue(p);
        if (q > 192) return fail(msg::kSyntaxQ);
        gateCut_ = static_cast<int>(q);
        return {};
      }
      case 'V': {
        if (signedCommand) return fail(msg::kSyntaxV);
        auto v = ReadVolume(token.substr(1));
        if (!v) return fail(msg::kSyntaxV);
        currentVolume_ = *v;
        return {};
      }
      case '~':
      case '_': {
        // These step the volume; a bad step is reported as a volume error.
        if (signedCommand) return fail(msg::kSyntaxV);
        std::u32string_view p = GenericParameter(token);
        if (p != U"0") {
          if (!AllDigits(p)) return fail(msg::kSyntaxV);
          volumeStep_ = DigitsValue(p);
        }
        if (first == '~') {
          currentVolume_ =
              static_cast<int>(std::min<std::int64_t>(currentVolume_ + volumeStep_, 63));
        } else {
          currentVolume_ =
              static_cast<int>(std::max<std::int64_t>(currentVolume_ - volumeStep_, 0));
        }
        return {};
      }
      case 'T': {
        auto v = ReadTranspose(token.substr(1));
        if (!v) return fail(msg::kSyntaxT);
        transpose_ = *v;
        return {};
      }
      case '@':
        if (token.size() >= 3 && token[1] == 'V' && IsDigit(token[2])) {
          toneSlot_ = static_cast<int>(token[2] - '0');
          return {};
        }
        return fail(msg::kSyntaxAt);
      case '{':
        pendingData_ = ToUtf8(GenericParameter(token));
        return {};
      case 'C':
      case 'D':
      case 'E':
      case 'F':
      case 'G':
      case 'A':
      case 'B':
        return EmitNote(token, line, signedCommand);
      case 'R':
        if (signedCommand) return fail(msg::kSyntaxLength);
        return EmitNote(token, line, false);
      default:
        // Only reachable through the character taken after "@V" or a brace group.
        return std::unexpected(CharacterError(part_, line, first));
    }
  }

  // "V" takes a plain decimal 0..63; its integer part is the volume.
  static std::optional<int> ReadVolume(std::u32string_view p) {
    std::size_t point = p.find(U'.');
    std::u32string_view whole = p.substr(0, point);
    std::u32string_view frac = point == std::u32string_view::npos ? U"" : p.substr(point + 1);
    if (!whole.empty() && !AllDigits(whole)) return std::nullopt;
    if (!frac.empty() && !AllDigits(frac)) return std::nullopt;
    if (whole.empty() && frac.empty()) return std::nullopt;
    std::int64_t v = whole.empty() ? 0 : DigitsValue(whole);
    bool fraction = std::any_of(frac.begin(), frac.end(), [](char32_t c) { return c != '0'; });
    if (v > 63 || (v == 63 && fraction)) return std::nullopt;
    return static_cast<int>(v);
  }

  // "T" takes a signed decimal, rounded to nearest with ties to even, in 16 bits.
  static std::optional<int> ReadTranspose(std::u32string_view p) {
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

  struct Length {
    int step = 0;
    int gate = 0;
  };

  // Step and gate of a note or rest; on error the diagnostic for `line`.
  Result<Length> NoteLength(std::u32string_view lengthText, bool tie,
                            std::u32string_view defaultLength, bool dot, bool rest, int line) {
    std::u32string_view text = lengthText == U"0" ? defaultLength : lengthText;
    Length len;
    if (auto steps = NoteLengthSteps(text)) {
      len.step = options_.resolution == 0 ? HalveTiesToEven(*steps) : *steps;
    } else if (!text.empty() && text[0] == '*') {
      std::u32string_view digits = text.substr(1);
      if (!digits.empty()) {
        if (!AllDigits(digits))
          return std::unexpected(CommandError(part_, line, msg::kSyntaxLength, text));
        std::int64_t n = DigitsValue(digits);
        if (n > 192) return std::unexpected(CommandError(part_, line, msg::kSyntaxAbsolute, text));
        len.step = static_cast<int>(n);
      }
    } else {
      return std::unexpected(CommandError(part_, line, msg::kSyntaxLength, text));
    }
    if (rest) {
      len.gate = 0;
    } else if (tie || dot) {
      len.gate = len.step + 1;
    } else if (len.step >= 2) {
      len.gate = std::max(1, len.step - gateCut_);
    } else {
      len.gate = 1;
    }
    return len;
  }

  // The key of a note command; `moved` tells -1 or +1 when the pitch lay below the lowest
  // or above the highest key and was moved there.
  int NoteKey(std::u32string_view command, int* moved = nullptr) const {
    static constexpr int kBase[] = {/*A*/ 10, /*B*/ 12, /*C*/ 1, /*D*/ 3,
                                    /*E*/ 5,  /*F*/ 6,  /*G*/ 8};
    int semitone = kBase[command[0] - 'A'];
    if (command.size() > 1) semitone += command[1] == '+' ? 1 : -1;
    const std::int64_t pitch = semitone + 12LL * (octave_ - 1) + 2 + transpose_;
    const std::int64_t top = part_ == 3 ? 62 : 63;
    const std::int64_t note = std::clamp<std::int64_t>(pitch, 0, top);
    if (moved) *moved = pitch < note ? -1 : pitch > note ? 1 : 0;
    return part_ * 64 + static_cast<int>(note);
  }

  // The name of a key as it sounds: note code 3 is the C of octave 1.
  static std::string KeyName(int key) {
    static constexpr const char* kNames[] = {"C",  "C+", "D",  "D+", "E",  "F",
                                             "F+", "G",  "G+", "A",  "A+", "B"};
    const int rel = key % 64 - 3;
    const int octave = (rel >= 0 ? rel / 12 : (rel - 11) / 12) + 1;
    return "O" + std::to_string(octave) + kNames[((rel % 12) + 12) % 12];
  }

  // A note moved to the lowest or highest key sounds other than written: the report names
  // what sounds, and the user hears of the first such note of each kind.
  void NoteMoved(int moved, int key, const std::string& typed, int line) {
    bool& told = moved < 0 ? toldLow_ : toldHigh_;
    if (told) return;
    told = true;
    Diagnostic d = MakeWarning(msg::NoteMoved(part_, line, typed, KeyName(key), moved > 0));
    d.part = part_;
    d.line = line;
    out_.warnings.push_back(std::move(d));
  }

  // Values past the 23rd of a tone definition are not read: the phone gets another tone
  // than the user may think they wrote. The warning points at the definition's "@{", on
  // its line (comments are gone from `text` but their line breaks are not).
  void ExtraToneValues(std::string_view text, int count) {
    const std::size_t at = text.find("@{");
    const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
    Diagnostic d = MakeWarning(msg::ExtraToneValues(part_, line, count, kToneDefinitionValues));
    d.part = part_;
    d.line = line;
    d.searchText = "@{";
    out_.warnings.push_back(std::move(d));
  }

  Result<void> Store(const NoteEvent& e, int line) {
    if (out_.count >= kEventCapacity) {
      return std::unexpected(CommandError(part_, line, msg::kTooManyNotes, U""));
    }
    out_.totalSteps += e.step;
    if (e.key == -1) rests_.push_back(out_.count);
    out_.adjustedEvents.push_back(e);
    out_.events.push_back(e);
    ++out_.count;
    return {};
  }

  static int Utf16Length(std::string_view utf8) {
    int n = 0;
    for (unsigned char c : utf8) {
      if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
    }
    return n;
  }

  Result<void> EmitNote(std::u32string_view token, int line, bool hasSign) {
    const bool rest = token[0] == 'R';
    const std::u32string_view command = token.substr(0, hasSign ? 2 : 1);
    const auto [param, tie, dot] = ScanParameter(token);

    int moved = 0;
    const int key = rest ? -1 : NoteKey(command, &moved);
    auto typed = [&] { return "O" + std::to_string(octave_) + ToUtf8(command); };
    auto name = [&] { return moved != 0 ? KeyName(key) : typed(); };
    if (moved != 0) NoteMoved(moved, key, typed(), line);
    // The first note names the highest so far even at key 0, the lowest key of part 1.
    if (key > out_.maxKey || (!rest && out_.maxName.empty())) {
      out_.maxKey = static_cast<std::int16_t>(key);
      out_.maxName = name();
    }
    if (!rest && key < out_.minKey) {
      out_.minKey = static_cast<std::int16_t>(key);
      out_.minName = name();
    }

    auto length = NoteLength(param, tie, defaultLength_, dot, rest, line);
    if (!length) return std::unexpected(length.error());

    NoteEvent e;
    e.key = static_cast<std::int16_t>(key);
    e.step = static_cast<std::int16_t>(length->step);
    e.gate = static_cast<std::int16_t>(length->gate);
    // A change to 0 is a change like any other: V0 silences the part.
    if (currentVolume_ != lastVolume_) {
      e.volume = static_cast<std::int16_t>(currentVolume_);
      lastVolume_ = currentVolume_;
      ++out_.volumeChangeCount;
    }
    if (toneSlot_ != lastToneSlot_) {
      e.tone = static_cast<std::int16_t>(toneSlot_ + 1);
      lastToneSlot_ = toneSlot_;
      ++out_.toneChangeCount;
    }
    if (!pendingData_.empty()) {
      e.data.offset = static_cast<std::uint32_t>(out_.dataText.size());
      e.data.length = static_cast<std::uint32_t>(pendingData_.size());
      out_.dataText += pendingData_;
      // Half bytes round to the even neighbour after each addition.
      const int twice = 2 * out_.dataByteCount + Utf16Length(pendingData_);
      pendingData_.clear();
      int sum = twice / 2;
      if (twice % 2 != 0 && sum % 2 != 0) ++sum;
      out_.dataByteCount = sum;
    }
    if (auto r = Store(e, line); !r) return r;

    if (dot) {
      if (param.find(U'*') != std::u32string_view::npos) {
        return std::unexpected(CommandError(part_, line, msg::kNoDotOnAbsolute, token));
      }
      // An absolute default has no dotted form; say so rather than invent a length.
      if (param == U"0" && !defaultLength_.empty() && defaultLength_[0] == '*') {
        return std::unexpected(CommandError(part_, line, msg::kNoDotOnAbsolute, token));
      }
      auto doubled = [](std::u32string_view s) {
        std::string ascii = std::to_string(2 * DigitsValue(s));
        return std::u32string(ascii.begin(), ascii.end());
      };
      const std::u32string extText = param == U"0" ? std::u32string(U"0") : doubled(param);
      const std::u32string extDefault =
          defaultLength_[0] == '*' ? std::u32string(U"0") : doubled(defaultLength_);
      auto ext = NoteLength(extText, tie, extDefault, false, rest, line);
      if (!ext) return std::unexpected(ext.error());
      NoteEvent x;
      x.key = static_cast<std::int16_t>(key);
      x.step = static_cast<std::int16_t>(ext->step);
      x.gate = static_cast<std::int16_t>(ext->gate);
      if (auto r = Store(x, line); !r) return r;
    }

    // A tie into another pitch must not overlap it when played: the copy of the tied note
    // loses a step. That note stands before this token's events, which are two for a dot.
    const int newestKey = out_.events.back().key;
    const int own = dot ? 2 : 1;
    if (out_.count > own && prevTie_ && newestKey != 0 && newestKey != prevKey_) {
      NoteEvent& before = out_.adjustedEvents[out_.count - own - 1];
      if (before.gate > 0) --before.gate;
    }
    prevTie_ = tie;
    prevKey_ = newestKey;
    return {};
  }

  const int part_;
  const CompileOptions& options_;
  CompileState& state_;
  CompiledPart& out_;

  std::u32string text_;
  std::u32string pool_;
  std::vector<Token> tokens_;
  std::size_t tokenCount_ = 0;
  std::vector<int> rests_;  // indices of rest events, for their key at the end
  std::u32string param_;
  std::int32_t line_ = 1;

  int octave_ = 3;
  std::u32string defaultLength_ = U"8";
  int gateCut_ = 0;
  int transpose_ = 0;
  bool toldLow_ = false, toldHigh_ = false;  // a moved note was reported
  int currentVolume_ = 63;
  int lastVolume_ = 63;
  std::int64_t volumeStep_ = 1;
  int toneSlot_ = -1;
  int lastToneSlot_ = -1;
  std::string pendingData_;
  bool prevTie_ = false;
  int prevKey_ = INT_MIN;
};

}  // namespace

Result<void> CompilePart(int part, std::string_view mml, int startVolume,
                         const CompileOptions& options, CompileState& state, CompiledPart& out) {
  out.count = 0;
  if (part < 0 || part > 3) return Fail("part index out of range");
  PartCompiler compiler(part, startVolume, options, state, out);
  Result<void> result = compiler.Run(mml);
  if (!result) state.compileFailed = true;
  return result;
}

}  // namespace chwr

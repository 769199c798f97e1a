// Notes and rests as events: the full reading of a note token, which reports every error
// of its length, and what both readings share.

#include <charconv>

#include "messages.h"
#include "mml/compile_errors.h"
#include "mml/part_compiler.h"

namespace chwr::part_compile {

// Steps of a length text; on error the diagnostic for `line`.
Result<int> PartCompiler::LengthSteps(std::string_view text, int line) const {
  if (auto steps = PlainLengthSteps(text, options_.resolution == 0 ? 24 : 48)) return *steps;
  if (text.empty() || text[0] != '*') {
    return std::unexpected(CommandError(part_, line, msg::kSyntaxLength, text));
  }
  std::string_view digits = text.substr(1);
  if (digits.empty()) return 0;
  if (!AllDigits(digits)) {
    return std::unexpected(CommandError(part_, line, msg::kSyntaxLength, text));
  }
  std::int64_t n = DigitsValue(digits);
  if (n > 192) return std::unexpected(CommandError(part_, line, msg::kSyntaxAbsolute, text));
  return static_cast<int>(n);
}

// Sets the default length; its steps are read once here rather than at every note.
void PartCompiler::SetDefaultLength(std::string_view text) {
  defaultLength_ = text;
  auto steps = LengthSteps(text, 0);
  defaultSteps_ = steps ? std::optional<int>(*steps) : std::nullopt;
  // A dot's extension of the default is its number doubled, when that names a length.
  defaultDotSteps_ = std::nullopt;
  if (steps && text[0] != '*' && DigitsValue(text) <= 32) {
    defaultDotSteps_ =
        NamedLengthSteps(2 * static_cast<int>(DigitsValue(text)), options_.resolution);
  }
}

// Step and gate of a note or rest; on error the diagnostic for `line`.
Result<PartCompiler::Length> PartCompiler::NoteLength(std::string_view lengthText, bool tie,
                                                      std::string_view defaultLength, bool dot,
                                                      bool rest, int line) {
  return GatedLength(LengthSteps(lengthText == "0" ? defaultLength : lengthText, line), tie, dot,
                     rest);
}

Result<PartCompiler::Length> PartCompiler::GatedLength(Result<int> steps, bool tie, bool dot,
                                                       bool rest) const {
  if (!steps) return std::unexpected(std::move(steps.error()));
  return Length{*steps, Gate(*steps, tie || dot, rest)};
}

// A note moved to the lowest or highest key sounds other than written: the report names
// what sounds, and the user hears of the first such note of each kind.
void PartCompiler::NoteMoved(int moved, int key, const std::string& typed, int line) {
  (moved < 0 ? toldLow_ : toldHigh_) = true;
  Diagnostic d = MakeWarning(msg::NoteMoved(part_, line, typed, MldKeyText(key), moved > 0));
  d.part = part_;
  d.line = line;
  out_.warnings.push_back(std::move(d));
}

Result<void> PartCompiler::Store(const NoteEvent& e, int line) {
  if (out_.count >= kEventCapacity) {
    return std::unexpected(CommandError(part_, line, msg::kTooManyNotes, ""));
  }
  Put(e);
  return {};
}

void PartCompiler::NameKey(std::string_view command, int key, int moved, int line) {
  auto typed = [&] { return "O" + std::to_string(octave_) + std::string(command); };
  auto name = [&] { return moved != 0 ? MldKeyText(key) : typed(); };
  // Only the first of each kind is told: the others need not have their names written.
  if (moved != 0 && !(moved < 0 ? toldLow_ : toldHigh_)) NoteMoved(moved, key, typed(), line);
  // The first note names the highest so far even at key 0, the lowest key of part 1.
  if (key > out_.maxKey || out_.maxName.empty()) {
    out_.maxKey = static_cast<std::int16_t>(key);
    out_.maxName = name();
  }
  if (key < out_.minKey) {
    out_.minKey = static_cast<std::int16_t>(key);
    out_.minName = name();
  }
}

Result<void> PartCompiler::EmitNote(std::string_view token, int line, bool hasSign) {
  const bool rest = token[0] == 'R';
  const std::string_view command = token.substr(0, hasSign ? 2 : 1);
  const auto [param, tie, dot] = ScanParameter(token);

  const int key = TrackKey(command, rest, line);
  auto length = param == "0" && defaultSteps_
                    ? GatedLength(*defaultSteps_, tie, dot, rest)
                    : NoteLength(param, tie, defaultLength_, dot, rest, line);
  if (!length) return std::unexpected(length.error());

  NoteEvent e;
  e.key = static_cast<std::int16_t>(key);
  e.step = static_cast<std::int16_t>(length->step);
  e.gate = static_cast<std::int16_t>(length->gate);
  MarkChanges(e);
  if (!pendingData_.empty()) {
    // The group's parameter goes straight to the end of the part's data text.
    const std::size_t at = out_.dataText.size();
    out_.dataText.resize(at + pendingData_.size() + 1);
    const std::string_view data = ScanParameterInto(pendingData_, out_.dataText.data() + at).text;
    out_.dataText.resize(at + data.size());
    e.data.offset = static_cast<std::uint32_t>(at);
    e.data.length = static_cast<std::uint32_t>(data.size());
    // Half bytes round to the even neighbour after each addition.
    const int twice = 2 * out_.dataByteCount + Utf16Length(data);
    pendingData_ = {};
    int sum = twice / 2;
    if (twice % 2 != 0 && sum % 2 != 0) ++sum;
    out_.dataByteCount = sum;
  }
  if (auto r = Store(e, line); !r) return r;

  if (dot) {
    if (param.find('*') != std::string_view::npos) {
      return std::unexpected(CommandError(part_, line, msg::kNoDotOnAbsolute, token));
    }
    // An absolute default has no dotted form; say so rather than invent a length.
    if (param == "0" && !defaultLength_.empty() && defaultLength_[0] == '*') {
      return std::unexpected(CommandError(part_, line, msg::kNoDotOnAbsolute, token));
    }
    // The extension is half the note: the length number doubled, written out.
    char textDigits[24];
    char defaultDigits[24];
    auto doubled = [](std::string_view s, char* digits) {
      const auto end = std::to_chars(digits, digits + 24, 2 * DigitsValue(s)).ptr;
      return std::string_view(digits, static_cast<std::size_t>(end - digits));
    };
    const std::string_view extText = param == "0" ? "0" : doubled(param, textDigits);
    const std::string_view extDefault =
        defaultLength_[0] == '*' ? "0" : doubled(defaultLength_, defaultDigits);
    auto ext = NoteLength(extText, tie, extDefault, false, rest, line);
    if (!ext) return std::unexpected(ext.error());
    NoteEvent x;
    x.key = static_cast<std::int16_t>(key);
    x.step = static_cast<std::int16_t>(ext->step);
    x.gate = static_cast<std::int16_t>(ext->gate);
    if (auto r = Store(x, line); !r) return r;
  }
  FollowTie(key, tie, dot);
  return {};
}
}  // namespace chwr::part_compile

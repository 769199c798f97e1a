#include "mml/compiler.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <optional>

#include "messages.h"
#include "mml/command_values.h"
#include "mml/compile_errors.h"
#include "mml/notation.h"
#include "text/cp932.h"

namespace chwr {
namespace {

using namespace command_values;

// Notes and rests, the commands that make events.
bool MakesEvent(char c) {
  return (c >= 'A' && c <= 'G') || c == 'R';
}

// The compiler's working room, kept from one compile to the next on each thread: the editor
// compiles again and again as the user types, and a room already there costs nothing.
struct WorkRoom {
  Tokeniser tokens;
  std::vector<int> rests;     // indices of rest events, for their key at the end
  std::vector<int> overlaps;  // indices of tied notes that lose a step in the adjusted list
  std::string param;
};

WorkRoom& ThreadWorkRoom() {
  thread_local WorkRoom room;
  return room;
}

class PartCompiler {
 public:
  PartCompiler(int part, int startVolume, const CompileOptions& options, CompileState& state,
               CompiledPart& out)
      : part_(part), options_(options), state_(state), out_(out) {
    currentVolume_ = lastVolume_ = std::clamp(startVolume, 0, 63);
    rests_.clear();
    overlaps_.clear();
    SetDefaultLength("8");
  }

  Result<void> Run(std::string_view mml) {
    out_.warnings.clear();
    // Each rewrite copies the text only when it has something to rewrite.
    std::string_view text = mml;
    std::string stripped;
    if (text.find('\'') != std::string_view::npos) {
      stripped = StripComments(text);
      text = stripped;
    }
    ToneExtraction tone;
    if (text.find("@{") != std::string_view::npos) {
      tone = ExtractToneDefinition(text, part_);
      if (tone.status == ToneExtraction::Status::kInvalid) {
        return std::unexpected(PartError(part_, msg::InvalidToneDefinition(part_)));
      }
    }
    state_.toneDefinition[part_] = tone.bytes;
    state_.toneDefined[part_] = tone.status == ToneExtraction::Status::kDefined;
    if (tone.valueCount > kToneDefinitionValues) ExtraToneValues(text, tone.valueCount);
    if (tone.status == ToneExtraction::Status::kDefined) text = tone.text;
    RepeatExpansion repeats;
    // Two searches for one character each: find_first_of would look up every character.
    if (text.find('[') != std::string_view::npos || text.find(']') != std::string_view::npos) {
      repeats = ExpandRepeats(text);
      if (repeats.status != RepeatExpansion::Status::kOk) {
        const bool unmatched = repeats.status == RepeatExpansion::Status::kUnmatched;
        return std::unexpected(
            PartError(part_, unmatched ? msg::UnmatchedRepeat(part_) : msg::RepeatTooLong(part_)));
      }
      text = repeats.text;
    }
    if (auto split = tokens_.Split(text); !split) {
      const TokeniseError& e = split.error();
      if (e.kind == TokeniseError::Kind::kTooManyTokens) {
        return std::unexpected(CommandError(part_, e.line, msg::kTooManyCommands, ""));
      }
      return std::unexpected(CharacterError(part_, e.line, e.character));
    }
    if (options_.smdMode && options_.smdHook) {
      std::u32string wide;
      std::vector<TokenBounds> bounds;
      tokens_.Widen(wide, bounds);
      out_.smdText =
          options_.smdHook(CommandTokens(wide, bounds), static_cast<int>(bounds.size()) - 1);
    }
    return Execute();
  }

 private:
  // The parameter of a token, in a buffer reused for every token: valid until the next call.
  Parameter ScanParameter(std::string_view token) {
    if (param_.size() < token.size() + 1) param_.resize(token.size() + 1);
    return ScanParameterInto(token, param_.data());
  }

  std::string_view GenericParameter(std::string_view token) { return ScanParameter(token).text; }

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
    const std::size_t expected = std::min<std::size_t>(tokens_.eventBound(), kEventCapacity);
    param_.resize(256);
    // Room for every event the tokens can make.
    out_.events.reserve(expected);
    Result<void> result;
    for (std::size_t idx = 1; idx < tokens_.size(); ++idx) {
      const TokenBounds& t = tokens_.bounds(idx);
      if (t.length == 0) continue;
      const std::string_view token = tokens_.text(idx);
      if (MakesEvent(token[0]) && EmitPlainNote(token, t.line)) continue;
      result = ExecuteToken(token, t.line);
      if (!result) break;
    }
    if (result) {
      const std::int16_t restKey =
          out_.minKey == 255 ? static_cast<std::int16_t>(part_ * 64 + 26) : out_.minKey;
      for (int i : rests_) out_.events[i].key = restKey;
    }
    // The adjusted list is the list as written, in one copy, less the overlaps.
    out_.adjustedEvents.assign(out_.events.begin(), out_.events.end());
    for (int i : overlaps_) --out_.adjustedEvents[i].gate;
    return result;
  }

  Result<void> ExecuteToken(std::string_view token, int line) {
    const char first = token[0];
    const bool signedCommand =
        first != 'T' && token.size() >= 2 && (token[1] == '+' || token[1] == '-');
    auto fail = [&](const char* what) {
      return std::unexpected(CommandError(part_, line, what, token));
    };

    switch (first) {
      case 'O': {
        if (signedCommand) return fail(msg::kSyntaxO);
        std::string_view p = GenericParameter(token);
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
        std::string_view p = GenericParameter(token);
        if (p[0] == '*') {
          std::string_view digits = p.substr(1);
          if (!AllDigits(digits)) return fail(msg::kSyntaxAbsolute);
          std::int64_t n = DigitsValue(digits);
          if (n <= 0 || n >= 193) return fail(msg::kSyntaxAbsolute);
          SetDefaultLength(p);
          return {};
        }
        if (!PlainLengthSteps(p, 48)) return fail(msg::kSyntaxL);
        if (p == "64" && options_.resolution == 0) return fail(msg::kNo64thAt24);
        SetDefaultLength(p);
        return {};
      }
      case 'Q': {
        if (signedCommand) return fail(msg::kSyntaxQ);
        std::string_view p = GenericParameter(token);
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
        std::string_view p = GenericParameter(token);
        if (p != "0") {
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
        pendingData_ = token;  // its text is taken when a note carries it
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
        return std::unexpected(CharacterError(part_, line, CodePointAt(token, 0)));
    }
  }

  struct Length {
    int step = 0;
    int gate = 0;
  };

  // Steps of a length text; on error the diagnostic for `line`.
  Result<int> LengthSteps(std::string_view text, int line) const {
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
  void SetDefaultLength(std::string_view text) {
    defaultLength_ = text;
    auto steps = LengthSteps(text, 0);
    defaultSteps_ = steps ? std::optional<int>(*steps) : std::nullopt;
    // A dot's extension of the default is its number doubled, when that names a length.
    defaultDotSteps_ = std::nullopt;
    if (steps && text[0] != '*' && DigitsValue(text) <= 32) {
      defaultDotSteps_ = NamedLengthSteps(2 * static_cast<int>(DigitsValue(text)),
                                          options_.resolution);
    }
  }

  // Step and gate of a note or rest; on error the diagnostic for `line`.
  Result<Length> NoteLength(std::string_view lengthText, bool tie, std::string_view defaultLength,
                            bool dot, bool rest, int line) {
    return GatedLength(LengthSteps(lengthText == "0" ? defaultLength : lengthText, line), tie,
                       dot, rest);
  }

  Result<Length> GatedLength(Result<int> steps, bool tie, bool dot, bool rest) const {
    if (!steps) return std::unexpected(std::move(steps.error()));
    return Length{*steps, Gate(*steps, tie || dot, rest)};
  }

  // A held note (tied or dotted) sounds into the next one; others lose the Q cut.
  int Gate(int step, bool held, bool rest) const {
    if (rest) return 0;
    if (held) return step + 1;
    return step >= 2 ? std::max(1, step - gateCut_) : 1;
  }

  // The key of a note command; `moved` tells -1 or +1 when the pitch lay below the lowest
  // or above the highest key and was moved there.
  int NoteKey(std::string_view command, int* moved = nullptr) const {
    const int sign = command.size() > 1 ? (command[1] == '+' ? 1 : -1) : 0;
    const int semitone = LetterSemitone(command[0]) + sign;
    const std::int64_t pitch = MldNoteCode(octave_, semitone) + transpose_;
    const std::int64_t top = part_ == 3 ? 62 : 63;
    const std::int64_t note = std::clamp<std::int64_t>(pitch, 0, top);
    if (moved) *moved = pitch < note ? -1 : pitch > note ? 1 : 0;
    return part_ * kMldPartKeys + static_cast<int>(note);
  }

  // A note moved to the lowest or highest key sounds other than written: the report names
  // what sounds, and the user hears of the first such note of each kind.
  void NoteMoved(int moved, int key, const std::string& typed, int line) {
    (moved < 0 ? toldLow_ : toldHigh_) = true;
    Diagnostic d = MakeWarning(msg::NoteMoved(part_, line, typed, MldKeyText(key), moved > 0));
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

  [[gnu::always_inline]] Result<void> Store(const NoteEvent& e, int line) {
    if (out_.count >= kEventCapacity) {
      return std::unexpected(CommandError(part_, line, msg::kTooManyNotes, ""));
    }
    Put(e);
    return {};
  }

  // Keeps the highest and lowest key with their names, and tells of a note moved into the
  // part's keys; returns the key of a note, -1 for a rest.
  int TrackKey(std::string_view command, bool rest, int line) {
    int moved = 0;
    const int key = rest ? -1 : NoteKey(command, &moved);
    auto typed = [&] { return "O" + std::to_string(octave_) + std::string(command); };
    auto name = [&] { return moved != 0 ? MldKeyText(key) : typed(); };
    // Only the first of each kind is told: the others need not have their names written.
    if (moved != 0 && !(moved < 0 ? toldLow_ : toldHigh_)) NoteMoved(moved, key, typed(), line);
    // The first note names the highest so far even at key 0, the lowest key of part 1.
    if (key > out_.maxKey || (!rest && out_.maxName.empty())) {
      out_.maxKey = static_cast<std::int16_t>(key);
      out_.maxName = name();
    }
    if (!rest && key < out_.minKey) {
      out_.minKey = static_cast<std::int16_t>(key);
      out_.minName = name();
    }
    return key;
  }

  // The volume and tone the event sets, when they changed since the last note or rest.
  void MarkChanges(NoteEvent& e) {
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
  }

  // A tie into another pitch must not overlap it when played: the copy of the tied note
  // loses a step. That note stands before this token's events, which are two for a dot.
  void FollowTie(int key, bool tie, bool dot) {
    const int own = dot ? 2 : 1;
    if (prevTie_ && out_.count > own && key != 0 && key != prevKey_) {
      // Each note is the one before at most one token, so it loses at most one step.
      const int before = out_.count - own - 1;
      if (out_.events[before].gate > 0) overlaps_.push_back(before);
    }
    prevTie_ = tie;
    prevKey_ = key;  // of both events of a dotted note
  }

  // Nearly every note and rest: a named or absolute length or none, at most a dot and a
  // tie, no data to take, room left. Read in one pass with no result objects to build;
  // anything else, every error included, is EmitNote's, and this returns false having
  // changed nothing.
  bool EmitPlainNote(std::string_view token, int line) {
    const bool rest = token[0] == 'R';
    const bool hasSign = token.size() >= 2 && (token[1] == '+' || token[1] == '-');
    if (rest && hasSign) return false;
    const QuickLength q = ReadQuickLength(token);
    int steps = 0;
    int extSteps = 0;
    switch (q.kind) {
      case QuickLength::kUnread:
        return false;
      case QuickLength::kDefault:
        if (!defaultSteps_ || (q.dot && !defaultDotSteps_)) return false;
        steps = *defaultSteps_;
        if (q.dot) extSteps = *defaultDotSteps_;
        break;
      case QuickLength::kNamed:
        if (q.dot && q.value == 64) return false;  // its extension, "128", is no length
        steps = NamedLengthSteps(q.value, options_.resolution);
        if (q.dot) extSteps = NamedLengthSteps(2 * q.value, options_.resolution);
        break;
      case QuickLength::kAbsolute:
        if (q.dot) return false;
        steps = q.value;
        break;
    }
    if (!pendingData_.empty() || out_.count + 1 + q.dot > kEventCapacity) return false;

    const int key = TrackKey(token.substr(0, hasSign ? 2 : 1), rest, line);
    NoteEvent e;
    e.key = static_cast<std::int16_t>(key);
    e.step = static_cast<std::int16_t>(steps);
    e.gate = static_cast<std::int16_t>(Gate(steps, q.tie || q.dot, rest));
    MarkChanges(e);
    Put(e);
    if (q.dot) {
      NoteEvent x;
      x.key = e.key;
      x.step = static_cast<std::int16_t>(extSteps);
      x.gate = static_cast<std::int16_t>(Gate(extSteps, q.tie, rest));
      Put(x);
    }
    FollowTie(key, q.tie, q.dot);
    return true;
  }

  // Stores an event the caller made room for.
  void Put(const NoteEvent& e) {
    out_.totalSteps += e.step;
    if (e.key == -1) rests_.push_back(out_.count);
    out_.events.push_back(e);
    ++out_.count;
  }

  Result<void> EmitNote(std::string_view token, int line, bool hasSign) {
    const bool rest = token[0] == 'R';
    const std::string_view command = token.substr(0, hasSign ? 2 : 1);
    const auto [param, tie, dot] = ScanParameter(token);

    const int key = TrackKey(command, rest, line);
    auto length =
        param == "0" && defaultSteps_
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

  const int part_;
  const CompileOptions& options_;
  CompileState& state_;
  CompiledPart& out_;

  WorkRoom& room_ = ThreadWorkRoom();
  Tokeniser& tokens_ = room_.tokens;
  std::vector<int>& rests_ = room_.rests;
  std::vector<int>& overlaps_ = room_.overlaps;
  std::string& param_ = room_.param;

  int octave_ = 3;
  std::string defaultLength_ = "8";
  std::optional<int> defaultSteps_;  // steps of defaultLength_, when it reads as a length
  std::optional<int> defaultDotSteps_;  // steps of a dot's extension of defaultLength_
  int gateCut_ = 0;
  int transpose_ = 0;
  bool toldLow_ = false, toldHigh_ = false;  // a moved note was reported
  int currentVolume_ = 63;
  int lastVolume_ = 63;
  std::int64_t volumeStep_ = 1;
  int toneSlot_ = -1;
  int lastToneSlot_ = -1;
  std::string_view pendingData_;  // the last brace group's token, until a note takes it
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

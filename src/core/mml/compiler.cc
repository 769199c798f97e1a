#include "mml/compiler.h"

#include <algorithm>
#include <climits>

#include "messages.h"
#include "mml/compile_errors.h"
#include "mml/part_compiler.h"
#include "text/cp932.h"

namespace chwr {
namespace part_compile {

WorkRoom& ThreadWorkRoom() {
  thread_local WorkRoom room;
  return room;
}

Result<void> PartCompiler::Run(std::string_view mml) {
  out_.warnings.clear();
  out_.sources.clear();
  source_ = mml;
  // Each rewrite's origins, only when the events are to be mapped to the text.
  const bool sources = options_.wantSources;
  ByteOrigins* const origins = sources ? &room_.rewriteOrigins : nullptr;
  room_.origins.Reset();
  // Each rewrite copies the text only when it has something to rewrite.
  std::string_view text = mml;
  std::string stripped;
  if (text.find('\'') != std::string_view::npos) {
    stripped = StripComments(text, origins);
    text = stripped;
    if (sources) room_.origins.Through(*origins);
  }
  ToneExtraction tone;
  if (text.find("@{") != std::string_view::npos) {
    tone = ExtractToneDefinition(text, part_, origins);
    if (tone.status == ToneExtraction::Status::kInvalid) {
      return std::unexpected(PartError(part_, msg::InvalidToneDefinition(part_)));
    }
  }
  state_.toneDefinition[part_] = tone.bytes;
  state_.toneDefined[part_] = tone.status == ToneExtraction::Status::kDefined;
  if (tone.valueCount > kToneDefinitionValues) ExtraToneValues(text, tone.valueCount);
  if (tone.status == ToneExtraction::Status::kDefined) {
    text = tone.text;
    if (sources) room_.origins.Through(*origins);
  }
  RepeatExpansion repeats;
  // Two searches for one character each: find_first_of would look up every character.
  if (text.find('[') != std::string_view::npos || text.find(']') != std::string_view::npos) {
    repeats = ExpandRepeats(text, origins);
    if (repeats.status != RepeatExpansion::Status::kOk) {
      const bool unmatched = repeats.status == RepeatExpansion::Status::kUnmatched;
      return std::unexpected(
          PartError(part_, unmatched ? msg::UnmatchedRepeat(part_) : msg::RepeatTooLong(part_)));
    }
    text = repeats.text;
    if (sources) room_.origins.Through(*origins);
  }
  if (auto split = tokens_.Split(text, sources); !split) {
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
  return sources ? Execute<true>() : Execute<false>();
}

template <bool kSources>
Result<void> PartCompiler::Execute() {
  out_.count = 0;
  out_.totalSteps = 0;
  out_.volumeChangeCount = out_.toneChangeCount = out_.dataByteCount = 0;
  out_.maxKey = 0;
  out_.minKey = 255;
  out_.maxName.clear();
  out_.minName.clear();
  toldLow_ = toldHigh_ = false;
  out_.events.clear();
  out_.dataText.clear();
  const std::size_t expected = std::min<std::size_t>(tokens_.eventBound(), kEventCapacity);
  param_.resize(256);
  // Room for every event the tokens can make, written by index: push_back was a call per
  // event. Few pages of it go unused, as the bound is close.
  out_.events.resize(expected);
  eventRoom_ = static_cast<int>(expected);
  Result<void> result;
  // The walk runs over plain pointers, and the commands nearly every part repeats most
  // (notes, rests, octave marks) are taken before the general dispatch: this loop runs
  // once for each of up to 50,000 tokens.
  const std::span<const TokenBounds> bounds = tokens_.allBounds();
  const char* const text = tokens_.textData();
  [[maybe_unused]] std::vector<std::uint32_t>& eventTokens = room_.eventTokens;
  [[maybe_unused]] std::uint32_t lastToken = 0;
  [[maybe_unused]] std::size_t mapped = 0;  // events whose token is known
  // The events since the last token began are that token's.
  [[maybe_unused]] auto noteTokens = [&] {
    const auto count = static_cast<std::size_t>(out_.count);
    if (count > eventTokens.size()) [[unlikely]]
      eventTokens.resize(count);
    for (; mapped < count; ++mapped) eventTokens[mapped] = lastToken;
  };
  if constexpr (kSources) eventTokens.resize(expected);
  for (const TokenBounds& t : bounds.subspan(1)) {
    if constexpr (kSources) {
      noteTokens();
      lastToken = static_cast<std::uint32_t>(&t - bounds.data());
    }
    if (t.length == 0) continue;
    const std::string_view token(text + t.start, t.length);
    const char first = token[0];
    if (MakesEvent(first)) {
      if (EmitPlainNote(token, t.line)) continue;
    } else if (token.size() == 1 && (first == '<' || first == '>')) {
      octave_ += first == '<' ? 1 : -1;
      continue;
    }
    if (auto r = ExecuteToken(token, t.line); !r) {
      result = std::move(r);
      break;
    }
  }
  if (result) {
    const std::int16_t restKey =
        out_.minKey == 255 ? static_cast<std::int16_t>(part_ * 64 + 26) : out_.minKey;
    for (int i : rests_) out_.events[i].key = restKey;
  }
  out_.events.resize(static_cast<std::size_t>(out_.count));
  if constexpr (kSources) {
    noteTokens();
    eventTokens.resize(static_cast<std::size_t>(out_.count));
    MapSources(source_, room_.origins, tokens_, eventTokens, out_.sources);
  }
  return result;
}

Result<void> PartCompiler::ExecuteToken(std::string_view token, int line) {
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
        currentVolume_ = static_cast<int>(std::min<std::int64_t>(currentVolume_ + volumeStep_, 63));
      } else {
        currentVolume_ = static_cast<int>(std::max<std::int64_t>(currentVolume_ - volumeStep_, 0));
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

// Values past the 23rd of a tone definition are not read: the phone gets another tone
// than the user may think they wrote. The warning points at the definition's "@{", on
// its line (comments are gone from `text` but their line breaks are not).
void PartCompiler::ExtraToneValues(std::string_view text, int count) {
  const std::size_t at = text.find("@{");
  const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
  Diagnostic d = MakeWarning(msg::ExtraToneValues(part_, line, count, kToneDefinitionValues));
  d.part = part_;
  d.line = line;
  d.searchText = "@{";
  out_.warnings.push_back(std::move(d));
}
}  // namespace part_compile

using part_compile::PartCompiler;

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

#pragma once
// The part compiler: one part's MML text in, its timed event list out.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "mml/preprocess.h"
#include "mml/tokeniser.h"

namespace chwr {

/// Events one part may hold.
inline constexpr int kEventCapacity = 50001;

/// Where an event's data text lies in its part's `dataText`; empty when length is 0.
struct DataRef {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

/// An event's `volume` when the event leaves the volume as it was. Not 0: "V0" is a real
/// volume (silence), which every output must carry.
inline constexpr std::int16_t kVolumeUnchanged = -1;

/// One sounding note, rest or dot extension. Plain values only, so a part of
/// 50,000 events is one flat array and clearing it costs nothing.
struct NoteEvent {
  std::int16_t key = 0;   ///< part * 64 + note; rests get the part's lowest key at the end
  std::int16_t gate = 0;  ///< sounding length in steps (0 for rests)
  std::int16_t step = 0;  ///< steps to the next event
  std::int16_t volume = kVolumeUnchanged;  ///< kVolumeUnchanged, else the new volume 0..63
  std::int16_t tone = 0;                   ///< 0 = unchanged, else tone-definition slot + 1
  /// A note tied into another pitch plays one step shorter, so that the two do not overlap.
  /// A flag rather than a second copy of the list: few notes differ, and the flag fits in
  /// what was padding.
  bool overlapCut = false;
  DataRef data;  ///< the last brace group's text before this event (see DataOf)

  /// The event sets the part's volume (to `volume`, which may be 0).
  bool changesVolume() const { return volume != kVolumeUnchanged; }
  /// The gate as played: less the overlap of a tie into another pitch.
  int adjustedGate() const { return gate - (overlapCut ? 1 : 0); }
};

/// Where the note or rest that made an event was written: its token's place in the part
/// text exactly as given to the compiler (the part box's text, before comments, the tone
/// definition and repeats were taken out). Every pass of a repeat points at the same
/// token; a dot's extension points at its note's whole token ("C4." for both events);
/// a tied note has events of its own, and points at its own token.
///
/// Units: the byte fields count bytes of the UTF-8 text; the others count characters,
/// that is Unicode code points (one for a character beyond U+FFFF, which a QString holds
/// as two UTF-16 units). A line ends at a line feed; its CR, if any, is its last character.
/// The span runs from the token's first character to its last, with what stands between
/// them in the text (blanks, a line break, a comment): "c 4" for the token "C4".
struct SourceSpan {
  std::uint32_t byteOffset = 0;  ///< bytes before the token's first character
  std::uint32_t byteLength = 0;  ///< bytes of the span
  std::uint32_t offset = 0;      ///< characters before the token's first character
  std::int32_t line = 1;         ///< 1-based line of its first character
  std::int32_t column = 1;       ///< 1-based, in characters from the start of that line
  std::int32_t length = 0;       ///< characters of the span
};

/// The compiled form of one part and its statistics.
struct CompiledPart {
  std::vector<NoteEvent> events;  ///< as written; adjustedGate() gives the gate as played
  /// Compiled with CompileOptions::wantSources: sources[i] is where events[i] was written.
  /// Empty otherwise.
  std::vector<SourceSpan> sources;
  int count = 0;  ///< number of events
  std::int32_t totalSteps = 0;
  std::int32_t volumeChangeCount = 0;  ///< events that set the volume (V0 included)
  std::int32_t toneChangeCount = 0;
  std::int32_t dataByteCount = 0;
  std::int16_t maxKey = 0;    ///< highest key, 0 when none
  std::int16_t minKey = 255;  ///< lowest note key, 255 when the part has no note
  std::string maxName;        ///< e.g. "O5C+"
  std::string minName;
  std::string smdText;   ///< what the SMD hook returned for this part
  std::string dataText;  ///< every event's data text, one after the other (UTF-8)
  /// For the user: a tone definition with more than 23 values, notes moved to the lowest or
  /// highest key (the first of each).
  Diagnostics warnings;

  /// The data text of an event of this part (empty when it carries none).
  std::string_view DataOf(const NoteEvent& e) const {
    return std::string_view(dataText).substr(e.data.offset, e.data.length);
  }
};

/// A part's command tokens as the compiler split them (upper case, no blanks, "#" turned
/// into "+"): views into its own text, valid while the hook runs.
class CommandTokens {
 public:
  CommandTokens(std::u32string_view text, std::span<const TokenBounds> bounds)
      : text_(text), bounds_(bounds) {}
  /// Number of tokens; token 0 is empty, the first command is token 1.
  std::size_t size() const { return bounds_.size(); }
  std::u32string_view operator[](std::size_t i) const {
    // The compiler made every bound inside its text.
    return std::u32string_view(text_.data() + bounds_[i].start, bounds_[i].length);
  }

 private:
  std::u32string_view text_;
  std::span<const TokenBounds> bounds_;
};

/// Called right after tokenising when SMD output is wanted: the tokens and the index
/// of the last one.
using SmdHook = std::function<std::string(const CommandTokens& tokens, int lastIndex)>;

/// Song-wide inputs of a compile.
struct CompileOptions {
  int resolution = 1;  ///< 0: 24 steps per quarter note, 1: 48
  bool smdMode = false;
  SmdHook smdHook;
  /// Fill CompiledPart::sources. Off, the compile does no work for them.
  bool wantSources = false;
};

/// Song-level results that outlive a single part's compile.
struct CompileState {
  std::array<ToneDefinitionBytes, 4> toneDefinition{};  ///< slot k is declared by part k + 1
  std::array<bool, 4> toneDefined{};
  std::int32_t markStep = 0;  ///< steps of the last "!" compiled
  bool compileFailed = false;
};

/// Compiles part `part` (0..3) of the song. `startVolume` is the part's starting
/// volume (0..63). On failure the diagnostic carries the exact message, the part,
/// the line and the text to select; `out` then holds what was compiled so far.
Result<void> CompilePart(int part, std::string_view mml, int startVolume,
                         const CompileOptions& options, CompileState& state, CompiledPart& out);

}  // namespace chwr

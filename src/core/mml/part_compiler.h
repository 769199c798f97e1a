#pragma once
// The part compiler's working parts, shared by its two files: compiler.cc runs a part
// (rewrites, tokens, commands) and note_events.cc turns notes and rests into events. The
// quick path of notes stays here, inline, as it runs for nearly every token.

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mml/command_values.h"
#include "mml/compiler.h"
#include "mml/notation.h"
#include "mml/source_map.h"
#include "mml/tokeniser.h"

namespace chwr::part_compile {

using namespace command_values;

/// Notes and rests, the commands that make events.
inline bool MakesEvent(char c) {
  return (c >= 'A' && c <= 'G') || c == 'R';
}

/// The compiler's working room, kept from one compile to the next on each thread: the editor
/// compiles again and again as the user types, and a room already there costs nothing.
struct WorkRoom {
  Tokeniser tokens;
  std::vector<int> rests;  // indices of rest events, for their key at the end
  std::string param;
  // For the source map only: where the text in hand came from, a rewrite's origins, and
  // the token that made each event.
  OriginMap origins;
  ByteOrigins rewriteOrigins;
  std::vector<std::uint32_t> eventTokens;
};

/// This thread's working room.
WorkRoom& ThreadWorkRoom();

/// Compiles one part into its CompiledPart (see CompilePart).
class PartCompiler {
 public:
  PartCompiler(int part, int startVolume, const CompileOptions& options, CompileState& state,
               CompiledPart& out)
      : part_(part), options_(options), state_(state), out_(out) {
    currentVolume_ = lastVolume_ = std::clamp(startVolume, 0, 63);
    rests_.clear();
    SetDefaultLength("8");
  }

  Result<void> Run(std::string_view mml);

 private:
  // The parameter of a token, in a buffer reused for every token: valid until the next call.
  Parameter ScanParameter(std::string_view token) {
    if (param_.size() < token.size() + 1) param_.resize(token.size() + 1);
    return ScanParameterInto(token, param_.data());
  }

  std::string_view GenericParameter(std::string_view token) { return ScanParameter(token).text; }

  // With kSources, also notes the token that made each event, and maps them to the text.
  template <bool kSources>
  Result<void> Execute();

  Result<void> ExecuteToken(std::string_view token, int line);

  struct Length {
    int step = 0;
    int gate = 0;
  };

  // Steps of a length text; on error the diagnostic for `line`.
  Result<int> LengthSteps(std::string_view text, int line) const;

  // Sets the default length; its steps are read once here rather than at every note.
  void SetDefaultLength(std::string_view text);

  // Step and gate of a note or rest; on error the diagnostic for `line`.
  Result<Length> NoteLength(std::string_view lengthText, bool tie, std::string_view defaultLength,
                            bool dot, bool rest, int line);

  Result<Length> GatedLength(Result<int> steps, bool tie, bool dot, bool rest) const;

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
    // In int: the octave moves by one a token and the transposition is 16-bit, far from
    // overflow.
    const int pitch = static_cast<int>(MldNoteCode(octave_, semitone)) + transpose_;
    const int top = part_ == 3 ? 62 : 63;
    const int note = std::clamp(pitch, 0, top);
    if (moved) *moved = pitch < note ? -1 : pitch > note ? 1 : 0;
    return part_ * kMldPartKeys + note;
  }

  // A note moved to the lowest or highest key sounds other than written: the report names
  // what sounds, and the user hears of the first such note of each kind.
  void NoteMoved(int moved, int key, const std::string& typed, int line);

  // Values past the 23rd of a tone definition are not read: the phone gets another tone
  // than the user may think they wrote. The warning points at the definition's "@{", on
  // its line (comments are gone from `text` but their line breaks are not).
  void ExtraToneValues(std::string_view text, int count);

  Result<void> Store(const NoteEvent& e, int line);

  // Keeps the highest and lowest key with their names, and tells of a note moved into the
  // part's keys; returns the key of a note, -1 for a rest (never above the highest key,
  // which starts at 0, and no note).
  int TrackKey(std::string_view command, bool rest, int line) {
    if (rest) return -1;
    int moved = 0;
    const int key = NoteKey(command, &moved);
    // Names are written only when they change, which few notes do.
    if (moved != 0 || key > out_.maxKey || key < out_.minKey || out_.maxName.empty()) {
      NameKey(command, key, moved, line);
    }
    return key;
  }

  void NameKey(std::string_view command, int key, int moved, int line);

  // The volume and tone the event sets, when they changed since the last note or rest.
  [[gnu::always_inline]] void MarkChanges(NoteEvent& e) {
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
  [[gnu::always_inline]] void FollowTie(int key, bool tie, bool dot) {
    const int own = dot ? 2 : 1;
    if (prevTie_ && out_.count > own && key != 0 && key != prevKey_) {
      // Each note is the one before at most one token, so it loses at most one step.
      const int before = out_.count - own - 1;
      if (out_.events[before].gate > 0) out_.events[before].overlapCut = true;
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
  [[gnu::always_inline]] void Put(const NoteEvent& e) {
    out_.totalSteps += e.step;
    if (e.key == -1) rests_.push_back(out_.count);
    // The list was sized from the tokens' bound on events; growing is only a safeguard.
    // The room is kept as a count: the vector's size is a division by the event's size.
    if (out_.count == eventRoom_) [[unlikely]] {
      out_.events.resize(out_.events.size() + 1);
      ++eventRoom_;
    }
    out_.events.data()[out_.count] = e;
    ++out_.count;
  }

  Result<void> EmitNote(std::string_view token, int line, bool hasSign);

  const int part_;
  const CompileOptions& options_;
  CompileState& state_;
  CompiledPart& out_;

  WorkRoom& room_ = ThreadWorkRoom();
  Tokeniser& tokens_ = room_.tokens;
  std::vector<int>& rests_ = room_.rests;
  std::string& param_ = room_.param;
  std::string_view source_;  // the part's text as given, for the source map

  int eventRoom_ = 0;  // the size of out_.events while the tokens run
  int octave_ = 3;
  std::string defaultLength_ = "8";
  std::optional<int> defaultSteps_;     // steps of defaultLength_, when it reads as a length
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

}  // namespace chwr::part_compile

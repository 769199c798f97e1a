#pragma once
// The two conversions of one chosen track or channel into a part's MML: streaming
// (length names, "Q", ties, written note by note) and absolute (a note table first,
// then "*n" lengths and one line per measure). Used by ImportSmf; not a public interface.
//
// A track is read once into its note, volume and program events with their ticks. The
// conversion then sees only the chosen range, as if the track began at the start
// measure: a note that sounds across the start is taken from the start with the rest of
// its length, the volume in effect there still counts, and every position is rounded to
// the part's 48 steps a quarter once, from the start, so that lengths never add up
// rounding errors along the part.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "import/smf_import.h"

namespace chwr::smf {

/// What every part of one conversion shares.
struct ConvertSetup {
  int division = 48;            ///< ticks per quarter note, above 0
  bool format0 = false;         ///< events of one channel only
  int channel = 0;              ///< format 0: the channel nibble used
  std::int64_t startTick = 0;   ///< start measure in ticks, 0 or more
  std::int64_t rangeTicks = 0;  ///< measures to convert in ticks
  int transpose = 0;            ///< semitones added to every note
  bool octave = false;          ///< "O" before the first note
  bool tone = false;            ///< program changes choose the tone
  ImportVolume volume = ImportVolume::kNone;
};

/// A note or volume event of the part's track, at its tick.
struct PartEvent {
  enum class Kind : std::uint8_t { kOn, kOff, kVolume };
  std::int64_t tick = 0;
  std::int64_t at = 0;  ///< once in the range: steps from the start measure
  Kind kind = Kind::kOn;
  std::uint8_t note = 0;   ///< kOn, kOff: the note number
  std::uint8_t value = 0;  ///< kOn: the velocity; kVolume: the part's volume (0..63)
};

/// One chosen track (or channel of a format 0 file), read once.
struct PartSource {
  std::vector<PartEvent> events;    ///< in file order
  std::int64_t endTick = 0;         ///< where the track ends: its end-of-track event or last event
  std::optional<int> toneIndex;     ///< tone list index of the last program change before the range end
  std::optional<std::string> title;   ///< format 0: the track name event's text
  std::size_t titleInvalidBytes = 0;  ///< sequences of the title not in code page 932
};

/// Reads the track whose events begin at `eventsAt`. `buffer` lends its room to the
/// events (a long file's tracks are read one after another into the same memory).
PartSource ReadPartSource(std::span<const std::uint8_t> bytes, std::size_t eventsAt,
                          const ConvertSetup& setup, std::vector<PartEvent> buffer = {});

/// The part as the conversions see it: the chosen range only, as if the track began at
/// the start measure, each event with its position in steps.
struct RangeEvents {
  std::span<const PartEvent> events;
  std::int64_t end = 0;  ///< steps from the start to the end of the range or of the track
};

/// Cuts `events` (a track ending at `endTick`) down in place to the range `setup` chooses,
/// each event's `at` set. Positions are rounded to steps once each, from the start measure,
/// and every length is the difference of two of them: a note is never more than half a
/// step off the source, however many notes came before it.
RangeEvents InRange(std::vector<PartEvent>& events, std::int64_t endTick,
                    const ConvertSetup& setup);

/// One part's result.
struct PartOutcome {
  std::string text;          ///< MML, lines ended by CR LF
  bool lengthCut = false;    ///< a note or rest was longer than any song can be
};

/// Streaming conversion of a part. The source's events are rewritten in place to those
/// of the range (a long track is held once); only their room is of use afterwards.
PartOutcome ConvertStreaming(PartSource& source, const ConvertSetup& setup);

/// Absolute conversion of a part; the source's events are rewritten as for the streaming one.
PartOutcome ConvertAbsolute(PartSource& source, const ConvertSetup& setup);

/// A title from a name event's bytes: up to the first NUL, decoded as code page 932,
/// blanks trimmed; `invalid` counts the sequences that could not be decoded.
std::string TitleText(std::span<const std::uint8_t> bytes, std::size_t& invalid);

/// x rounded to the nearest whole number, halves upward: the one rounding the import uses.
std::int64_t RoundHalfUp(double x);

}  // namespace chwr::smf

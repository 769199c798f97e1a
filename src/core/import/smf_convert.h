#pragma once
// The two conversions of one chosen track or channel into a part's MML: streaming
// (length names, "Q", ties, written as the walk goes) and absolute (a note table first,
// then "*n" lengths and one line per measure). Used by ImportSmf; not a public interface.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "import/smf_import.h"

namespace chwr::smf {

/// What every part of one conversion shares.
struct ConvertSetup {
  int division = 48;          ///< ticks per quarter note, above 0
  bool format0 = false;       ///< events of one channel only
  int channel = 0;            ///< format 0: the channel nibble used
  std::int64_t startTick = 0;   ///< start measure in ticks
  std::int64_t rangeTicks = 0;  ///< measures to convert in ticks
  int transpose = 0;          ///< semitones added to every note
  bool octave = false;        ///< "O" before the first note
  bool tone = false;          ///< program changes choose the tone
  ImportVolume volume = ImportVolume::kNone;
};

/// One part's result.
struct PartOutcome {
  std::string text;                     ///< MML, lines ended by CR LF
  std::optional<int> toneIndex;         ///< tone list index of the last program change
  std::optional<std::string> title;     ///< format 0: the track name event's text
  std::size_t titleInvalidBytes = 0;    ///< sequences of the title not in code page 932
  bool lengthCut = false;               ///< a note or rest was longer than any song can be
};

/// Streaming conversion of the track whose events begin at `eventsAt`.
PartOutcome ConvertStreaming(std::span<const std::uint8_t> bytes, std::size_t eventsAt,
                             const ConvertSetup& setup);

/// Absolute conversion of the track whose events begin at `eventsAt`.
PartOutcome ConvertAbsolute(std::span<const std::uint8_t> bytes, std::size_t eventsAt,
                            const ConvertSetup& setup);

/// A title from a name event's bytes: up to the first NUL, decoded as code page 932,
/// blanks trimmed; `invalid` counts the sequences that could not be decoded.
std::string TitleText(std::span<const std::uint8_t> bytes, std::size_t& invalid);

/// x rounded to the nearest whole number, halves upward: the one rounding the import uses.
std::int64_t RoundHalfUp(double x);

}  // namespace chwr::smf

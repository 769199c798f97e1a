#pragma once
// The SMD writer: each part's MML commands become a run of escaped pitch-and-length
// codes; the file is those runs one after another.
//
// A part's pitches are coded relative to one of three overlapping octave windows of 22
// semitones (O1A..O3F+, O2A..O4F+, O3A..O5F+), so the playable range is O1A..O5F+.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "mml/compiler.h"  // CommandTokens

namespace chwr {

/// What the SMD writer had to change while coding the song; each becomes one warning.
struct SmdFlags {
  bool outOfRange = false;          ///< a note outside O1A..O5F+ was written as a rest
  bool lengthApproximated = false;  ///< an absolute length was rounded to a note length
  bool shortLength = false;         ///< a 32nd or 64th (or a 16th's dot) took another length
};

/// Song-wide inputs of the SMD coding of a part.
struct SmdPartOptions {
  int resolution = 1;         ///< 0: 24 steps per quarter note, 1: 48
  std::string tempo = "120";  ///< the tempo as typed; decides the tempo class
};

/// The two bytes of the tempo class for the tempo as typed, or nullopt for none.
std::optional<std::array<std::uint8_t, 2>> SmdTempoClass(std::string_view tempo);

/// The tempo a run's tempo class stands for, as the reader gives it: "160", "95", "60", or
/// "120" for a run without one.
std::string_view SmdClassTempo(const std::optional<std::array<std::uint8_t, 2>>& tempoClass);

/// A note-length name for the absolute length `length` ("*n"): unchanged when it is a
/// triplet length at this resolution, else rounded to "16".."1" (setting the flag), or ""
/// (flag set) when it is longer than a whole note or not a number.
std::string CnvToneLen(std::string_view length, int resolution, SmdFlags& flags);

/// The SMD run of one part (raw bytes) for its command tokens 1..`lastIndex` (upper case,
/// no blanks, "#" as "+"); empty when the part has no note or rest.
std::string SmdMake(const CommandTokens& tokens, int lastIndex,
                    const SmdPartOptions& options, SmdFlags& flags);

/// The file: parts 1, 2, 3, 4 when part 4's run is not empty, else parts 2, 3, 1.
std::vector<std::uint8_t> SmdFileBytes(const std::array<std::string, 4>& partTexts);

/// The warnings for the flags, in the order the user reads them.
Diagnostics SmdWarnings(const SmdFlags& flags);

namespace smd {
/// Where every part run starts: ESC "$" "D".
inline constexpr std::array<std::uint8_t, 3> kRunStart{0x1B, 0x24, 0x44};
/// Where every part run ends.
inline constexpr std::uint8_t kRunEnd = 0x0F;
/// The lead byte of two-byte control codes.
inline constexpr std::uint8_t kControl = 0x21;
/// Ties the code before it to the code after it.
inline constexpr std::uint8_t kTie = 0x22;
/// Base code of a rest; notes start at kFirstNote, four codes apart.
inline constexpr std::uint8_t kRest = 0x23;
inline constexpr std::uint8_t kFirstNote = 0x28;
/// Semitones a window spans.
inline constexpr int kWindowWidth = 22;
/// Control codes after kControl: window 3, window 1, window 2, repeated triplet, triplet group.
inline constexpr std::uint8_t kWindow3 = 0x22, kWindow1 = 0x23, kWindow2 = 0x24,
                              kTripletRepeat = 0x25, kTripletGroup = 0x26;
/// Tempo classes: fast, rather slow, slow.
inline constexpr std::uint8_t kTempoFast = 0x28, kTempoRatherSlow = 0x2A, kTempoSlow = 0x2B;
/// The note number (as the compiler counts: O1C is 3) of window `w`'s (1..3) lowest note.
constexpr int WindowLowNote(int w) {
  return 12 * w;
}
}  // namespace smd

}  // namespace chwr

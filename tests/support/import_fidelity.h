#pragma once
// How faithfully a MIDI import keeps time: import one track, build the song back into a
// MIDI file, and look for each source note that the part can hold (the last of the notes
// that start together, one step or longer) at its pitch within one step of its onset.
// Used by the import's tests on files they build and by the measuring tool on real files.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "import/smf_import.h"

namespace chwr::test {

/// What one import kept.
struct Fidelity {
  int writable = 0;    ///< source notes in the range the part can hold
  int matched = 0;     ///< of those, found at their pitch within one step
  int outOfRange = 0;  ///< writable notes no part's keys reach (never found)
  std::string failure;              ///< the import or build failed: why
  std::vector<std::string> misses;  ///< the first few notes not found, for messages

  double Ratio() const { return writable == 0 ? 1.0 : static_cast<double>(matched) / writable; }
};

/// Imports `item` (a list item, 0-based) of `file` alone with `choices` (its selection
/// is replaced; the octave option is turned on), builds the song with its MIDI file
/// (normal octave) and compares the notes.
Fidelity MeasureImport(std::span<const std::uint8_t> file, int item, ImportChoices choices);

}  // namespace chwr::test

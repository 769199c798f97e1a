#pragma once
// A decoded MLD file as a Standard MIDI File that plays on a computer as the handset
// played it: every channel on a track of its own, the tempo map, programs, volumes,
// pans and bends, and loop points as markers ("loopStart", "loopEnd") and controller
// 111, which common players and game engines take as the point to loop back to.

#include <cstdint>
#include <optional>
#include <vector>

#include "diagnostic.h"
#include "mld/mld_decoder.h"

namespace chwr {

/// The MIDI file of an MLD file, with notes on what could not be carried over.
struct MldMidi {
  std::vector<std::uint8_t> bytes;
  Diagnostics warnings;
  /// The MIDI channel of each track after the first (the conductor), in file order.
  std::vector<int> trackChannels;
  /// Of each of those tracks: how many notes it strikes, and whether two of them sound at
  /// once (a chord, which a part of a song cannot hold).
  std::vector<int> trackNotes;
  std::vector<bool> trackChords;
};

/// MIDI key of MLD key 0 on a melodic channel (A2) and on a percussion channel: the key
/// a handset sounds for it.
inline constexpr int kMldMelodicBase = 45;
/// MIDI key of MLD key 0 in this program's own MIDI files ("普通"): a file converted with it
/// imports into a song with the keys the ring tone names.
inline constexpr int kMldSongBase = 21;
inline constexpr int kMldPercussionBase = 35;
/// The channel that plays percussion unless the file says otherwise.
inline constexpr int kMldDrumChannel = 9;

/// Writes `music` as a format 1 Standard MIDI File at MldClock::kUnitsPerQuarter ticks a
/// quarter note. Notes of gate 0 (rests, in the files that write them so) make no sound.
/// `melodicBase` is the MIDI key of MLD key 0 on a melodic channel.
MldMidi MldToSmf(const MldMusic& music, int melodicBase = kMldMelodicBase);

/// Where a ring tone's loop runs, in milliseconds from the start.
struct MldLoopSpan {
  std::int64_t startMs = 0;
  std::int64_t endMs = 0;
  bool operator==(const MldLoopSpan&) const = default;
};

/// The loop a player repeats: from the first loop start to the first loop end after it
/// (the song's end when none follows; the song's start when an end has no start before
/// it); nullopt without loop points or when the span is empty. Both are rounded down, so
/// a note at the loop start is never passed over by a player going back to it.
std::optional<MldLoopSpan> MldLoopMs(const MldMusic& music);

}  // namespace chwr

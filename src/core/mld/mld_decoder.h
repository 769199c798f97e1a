#pragma once
// Decoding MLD ring tones in every layout that real files use, not only the one this
// program writes: 3- and 4-byte note events, several tracks of four voices each, the
// "note" and "exst" chunks that change how long events are, tempo and timebase changes
// in any track, per-voice programs, volumes, pans and bends, and loop points.
//
// The decoder keeps what it reads as events on the file's own ticks; MldClock turns
// those ticks into time. What it does not understand it steps over by the event's own
// length and names in a warning: it never guesses a length and never turns unknown
// bytes into notes. Like every reader here it takes any bytes and never reads past the
// end of the image.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// What the header and its info chunks say.
struct MldInfo {
  std::uint8_t majorType = 0;  ///< 01 ring tone, 02 music, 03 also seen
  std::uint8_t minorType = 0;
  int declaredTracks = 0;  ///< the header's track count; the file may hold another number
  std::string title;       ///< "titl", code page 932 decoded to UTF-8
  std::string copyright;   ///< "copy", decoded likewise
  std::string version;     ///< "vers" as it stands, e.g. "0300"
  std::string date;        ///< "date", YYYYMMDD
  std::optional<std::uint8_t> source;  ///< "sorc": origin in bits 7-1, protection in bit 0
  int noteExtraBytes = 0;              ///< "note": bytes every note event has beyond three
  int exstBytes = 0;                   ///< "exst": data bytes beyond one of each extended-A event
  std::vector<std::string> chunkIds;   ///< every info chunk's id in file order
};

/// One note as the file plays it. Small, as a file may hold tens of thousands.
struct MldNote {
  std::int64_t tick = 0;        ///< start, in the file's ticks from the song's start
  std::uint8_t track = 0;       ///< 0.. in file order
  std::uint8_t voice = 0;       ///< 0..3 within the track
  std::uint8_t channel = 0;     ///< where it sounds: 4 * track + voice unless the file moved it
  std::uint8_t key = 0;         ///< 0..62 as written
  std::int8_t octaveShift = 0;  ///< semitones from a 4-byte note's attribute: 0, 12, -24, -12
  std::uint8_t gate = 0;        ///< sounding ticks from its own start (0: see MldToSmf)
  std::uint8_t velocity = 63;   ///< 0..63; a 3-byte note plays at 63
};

/// A setting a voice or the whole sound source takes at a tick.
enum class MldControlKind {
  kProgram,         ///< 0..63; with the bank's low bit as program bit 6
  kBank,            ///< 0..63
  kVolume,          ///< 0..63
  kPan,             ///< 0..63, 32 centre
  kPitchBend,       ///< coarse, 0..63, 32 centre
  kBendRange,       ///< semitones
  kModulation,      ///< 0..63
  kRelativeVolume,  ///< -32..31 added to the voice's volume
  kMasterVolume,    ///< 0..127, the whole sound source
  kChannelMode,     ///< `channel` (0..15) becomes melodic (0) or percussion (1), else silent
};

struct MldControl {
  std::int64_t tick = 0;
  int track = 0;
  int channel = 0;  ///< the channel it acts on; -1 for the whole sound source
  MldControlKind kind = MldControlKind::kProgram;
  int value = 0;
};

/// One step of the song's tempo map. The map is global: a tempo event in any track
/// retimes every track.
struct MldTempo {
  std::int64_t tick = 0;
  int ticksPerQuarter = 48;
  int tempo = 120;  ///< quarter notes a minute
  bool operator==(const MldTempo&) const = default;
};

/// A loop point: where a phone game's background music repeats.
struct MldLoopPoint {
  std::int64_t tick = 0;
  int track = 0;
  int id = 0;     ///< 0..3
  int count = 0;  ///< repeats as written (0..15)
  bool start = true;
};

/// One "trac" chunk as it was walked.
struct MldTrackInfo {
  std::size_t offset = 0;  ///< where its id starts in the file
  std::uint32_t declaredLength = 0;
  std::size_t eventCount = 0;
  std::int64_t endTick = 0;  ///< the tick after its last event (end of track included)
  bool hasEnd = false;       ///< it holds an end-of-track event
  bool clipped = false;      ///< the file ends before its stated length
};

/// A decoded MLD file.
struct MldMusic {
  MldInfo info;
  std::vector<MldTrackInfo> tracks;
  std::vector<MldNote> notes;        ///< by start tick, then track, then file order
  std::vector<MldControl> controls;  ///< likewise
  std::vector<MldTempo> tempos;      ///< never empty: starts at tick 0 (120, 48 a quarter if unset)
  std::vector<MldLoopPoint> loops;
  std::int64_t lengthTicks = 0;  ///< the later of every track's end and every note's end
  Diagnostics warnings;          ///< what was stepped over or doubtful, one per kind
};

/// Decodes an MLD image. Fails with "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。" unless it starts with "melo";
/// anything after that yields what could be read, with warnings.
Result<MldMusic> DecodeMld(std::span<const std::uint8_t> bytes);

/// The file is in the layout this program writes, which it opens as a song: one track of
/// 3-byte notes, no info chunk beyond the title, source, version and protection text.
/// Files in any other layout play and convert through the decoder as they are.
bool IsSongLayout(const MldMusic& music);

/// Turns the file's ticks into time through a tempo map. Timebases differ between files
/// and may change within one, so positions are given on one common scale as well.
class MldClock {
 public:
  /// Positions on the common scale: a multiple of every timebase an MLD file can name.
  static constexpr int kUnitsPerQuarter = 1920;

  explicit MldClock(const std::vector<MldTempo>& tempos);

  /// Where `tick` lies in kUnitsPerQuarter-ths of a quarter note from the start.
  std::int64_t Units(std::int64_t tick) const;
  /// Where `tick` lies in microseconds from the start.
  std::int64_t Microseconds(std::int64_t tick) const;

 private:
  struct Segment {
    std::int64_t tick;
    std::int64_t units;
    std::int64_t micros;  // at tick, before rounding of what follows
    int unitsPerTick;
    int tempo;
  };
  const Segment& At(std::int64_t tick) const;
  std::vector<Segment> segments_;
};

}  // namespace chwr

#pragma once
// The events of a Standard MIDI File track, one at a time: delta time, status (running
// status applied), data. Shared by the import, the list item descriptions, the dump and
// the playback timing, so all of them read a track alike; every read goes through the
// bounds-checked reader.

#include <cstddef>
#include <cstdint>
#include <span>

#include "io/byte_reader.h"

namespace chwr::smf {

/// What kind of event a status byte starts.
enum class EventKind {
  kChannel,  ///< 8n..En: note off/on, key pressure, control, program, channel pressure, bend
  kMeta,     ///< FF type length data
  kSysex,    ///< F0 ... F7
  kEscape,   ///< F7 length data (a sysex continuation or any bytes sent as they are)
  kSystem,   ///< F1..F6, F8..FE: system common and real-time bytes with their data
  kStray,    ///< a data byte where a status was due and no running status is in effect
};

/// One event of a track.
struct Event {
  std::size_t at = 0;        ///< offset of its delta time
  std::size_t statusAt = 0;  ///< offset of its status byte, or of its first data byte
  std::size_t end = 0;       ///< offset just after it
  std::uint32_t delta = 0;   ///< ticks since the previous event
  EventKind kind = EventKind::kChannel;
  std::uint8_t status = 0;    ///< status byte, running status applied (the byte itself for kStray)
  bool running = false;       ///< a channel event whose status byte was left out
  std::uint8_t metaType = 0;  ///< meta events: the type byte
  std::uint8_t data1 = 0;     ///< channel events: first data byte
  std::uint8_t data2 = 0;     ///< channel events: second data byte (0 for Cn and Dn)
  std::span<const std::uint8_t> payload;  ///< meta, sysex and escape data

  /// Channel events: the high nibble (8..14).
  int Kind() const { return status >> 4; }
  /// Channel events: the channel nibble (0..15).
  int Channel() const { return status & 0x0F; }
  /// A note-on with a velocity.
  bool IsNoteOn() const { return kind == EventKind::kChannel && Kind() == 9 && data2 != 0; }
  /// A note-off: 8n, or 9n with velocity 0.
  bool IsNoteOff() const {
    return kind == EventKind::kChannel && (Kind() == 8 || (Kind() == 9 && data2 == 0));
  }
  /// The end-of-track meta event.
  bool IsEndOfTrack() const { return kind == EventKind::kMeta && metaType == 0x2F; }
};

/// How reading the next event went.
enum class ReadStatus {
  kEvent,     ///< an event was read
  kNoMore,    ///< the data ended before the next event (or fewer bytes than asked are left)
  kCutShort,  ///< an event starts but its bytes run past the end
};

/// Reads the events of one track from a start offset up to a limit (the end of the file
/// for the import, which ignores chunk lengths; the end of the chunk for the dump).
class TrackReader {
 public:
  /// `minEventBytes`: fewer bytes than this after a delta time end the track.
  TrackReader(std::span<const std::uint8_t> bytes, std::size_t start, std::size_t limit,
              std::size_t minEventBytes = 1);

  /// Reads the next event into `e`; the reader advances past it (or to the limit).
  ReadStatus Next(Event& e);
  /// Where the next event would start.
  std::size_t pos() const { return r_.pos(); }
  /// The bytes the data of an event cut short would have needed in all, 0 when unknown.
  std::size_t needed() const { return needed_; }

 private:
  ReadStatus Cut(std::size_t needed);

  ByteReader r_;
  std::size_t limit_;
  std::size_t minEventBytes_;
  std::uint8_t running_ = 0;
  std::size_t needed_ = 0;
};

/// The data bytes a channel status takes: 1 for Cn and Dn, else 2.
inline int ChannelDataBytes(std::uint8_t status) {
  const int kind = status >> 4;
  return kind == 0xC || kind == 0xD ? 1 : 2;
}

}  // namespace chwr::smf

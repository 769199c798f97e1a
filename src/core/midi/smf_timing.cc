#include "midi/smf_timing.h"

#include <algorithm>

#include "io/byte_reader.h"
#include "messages.h"
#include "midi/smf_events.h"

namespace chwr {
namespace {

// Walks one track chunk as every reader of a track walks it, collecting tempo changes;
// stops quietly where the track breaks. The tick of an event cut short still counts:
// its delta time was read.
std::uint32_t ScanTrack(std::span<const std::uint8_t> track,
                        std::vector<SmfTiming::Tempo>& tempos) {
  smf::TrackReader reader(track, 0, track.size());
  smf::Event e;
  std::uint32_t tick = 0;
  while (true) {
    const smf::ReadStatus status = reader.Next(e);
    if (status == smf::ReadStatus::kNoMore) break;
    tick += e.delta;
    if (status == smf::ReadStatus::kCutShort || e.IsEndOfTrack()) break;
    if (e.kind == smf::EventKind::kMeta && e.metaType == 0x51 && e.payload.size() == 3) {
      const std::uint32_t us = (e.payload[0] << 16) | (e.payload[1] << 8) | e.payload[2];
      if (us > 0) tempos.push_back({tick, us});
    }
  }
  return tick;
}

}  // namespace

double SmfTiming::TicksToMs(std::uint32_t tick) const {
  if (ticksPerQuarter <= 0) return tick * msPerTickSmpte;
  double ms = 0;
  std::uint32_t at = 0;
  std::uint32_t us = 500000;
  for (const Tempo& t : tempos) {
    if (t.tick >= tick) break;
    ms += static_cast<double>(t.tick - at) * us / ticksPerQuarter / 1000.0;
    at = t.tick;
    us = t.usPerQuarter;
  }
  return ms + static_cast<double>(tick - at) * us / ticksPerQuarter / 1000.0;
}

std::uint32_t SmfTiming::MsToTicks(double ms) const {
  if (ms <= 0) return 0;
  if (ticksPerQuarter <= 0) {
    // Clamped before the conversion: a far position can be more ticks than 32 bits hold.
    return msPerTickSmpte > 0
               ? static_cast<std::uint32_t>(std::min<double>(ms / msPerTickSmpte, totalTicks))
               : 0;
  }
  double elapsed = 0;
  std::uint32_t at = 0;
  std::uint32_t us = 500000;
  for (const Tempo& t : tempos) {
    const double span = static_cast<double>(t.tick - at) * us / ticksPerQuarter / 1000.0;
    if (elapsed + span >= ms) break;
    elapsed += span;
    at = t.tick;
    us = t.usPerQuarter;
  }
  const double ticks = at + (ms - elapsed) * 1000.0 * ticksPerQuarter / us;
  return static_cast<std::uint32_t>(std::min<double>(ticks, totalTicks));
}

Result<SmfTiming> ReadSmfTiming(std::span<const std::uint8_t> bytes) {
  const auto invalid = [] { return Fail(msg::kInvalidFileFormat, DiagnosticCode::kInvalidFormat); };
  ByteReader r(bytes);
  if (!r.Has(14) || !r.MatchesAt(0, "MThd")) return invalid();
  r.Skip(4);
  const std::uint32_t headerLength = *r.U32be();
  if (headerLength < 6) return invalid();
  r.U16be();  // format
  const std::uint16_t trackCount = *r.U16be();
  const std::uint16_t division = *r.U16be();
  if (!r.Skip(headerLength - 6)) return invalid();

  SmfTiming timing;
  if (division & 0x8000) {
    const int fps = -static_cast<std::int8_t>(division >> 8);
    const int perFrame = division & 0xFF;
    timing.ticksPerQuarter = 0;
    timing.msPerTickSmpte = fps > 0 && perFrame > 0 ? 1000.0 / (fps * perFrame) : 0;
  } else {
    timing.ticksPerQuarter = division == 0 ? 1 : division;
  }
  for (int t = 0; t < trackCount;) {
    const auto chunk = r.NextChunk();
    if (!chunk) break;
    // Unknown chunks do not count as tracks.
    if (chunk->tag != "MTrk") continue;
    timing.totalTicks = std::max(timing.totalTicks, ScanTrack(chunk->body, timing.tempos));
    ++t;
  }
  std::stable_sort(
      timing.tempos.begin(), timing.tempos.end(),
      [](const SmfTiming::Tempo& a, const SmfTiming::Tempo& b) { return a.tick < b.tick; });
  return timing;
}

}  // namespace chwr

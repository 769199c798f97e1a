#include "midi/smf_timing.h"

#include <algorithm>

#include "io/byte_reader.h"
#include "messages.h"

namespace chwr {
namespace {

int DataBytes(std::uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 1;
    default:
      return 2;
  }
}

// Walks one track, collecting tempo changes; stops quietly where the track breaks.
std::uint32_t ScanTrack(std::span<const std::uint8_t> track,
                        std::vector<SmfTiming::Tempo>& tempos) {
  ByteReader r(track);
  std::uint32_t tick = 0;
  std::uint8_t running = 0;
  while (!r.AtEnd()) {
    const auto delta = r.Vlq();
    if (!delta) break;
    tick += *delta;
    const auto read = r.U8();
    if (!read) break;
    std::uint8_t status = *read;
    if (status == 0xFF) {
      const auto type = r.U8();
      const auto len = r.Vlq();
      if (!type || !len) break;
      const auto data = r.Take(*len);
      if (!data) break;
      if (*type == 0x51 && *len == 3) {
        const std::uint32_t us = ((*data)[0] << 16) | ((*data)[1] << 8) | (*data)[2];
        if (us > 0) tempos.push_back({tick, us});
      }
      if (*type == 0x2F) break;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      const auto len = r.Vlq();
      if (!len || !r.Skip(*len)) break;
      continue;
    }
    if (status < 0x80) {
      // Running status: the byte was data.
      if (running == 0) break;
      r.Seek(r.pos() - 1);
      status = running;
    } else if (status >= 0xF0) {
      break;  // system messages have no place in a file
    } else {
      running = status;
    }
    if (!r.Skip(static_cast<std::size_t>(DataBytes(status)))) break;
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
  ByteReader r(bytes);
  if (!r.Has(14) || !r.MatchesAt(0, "MThd")) return Fail(msg::kInvalidFileFormat);
  r.Skip(4);
  const std::uint32_t headerLength = *r.U32be();
  if (headerLength < 6) return Fail(msg::kInvalidFileFormat);
  r.U16be();  // format
  const std::uint16_t trackCount = *r.U16be();
  const std::uint16_t division = *r.U16be();
  if (!r.Skip(headerLength - 6)) return Fail(msg::kInvalidFileFormat);

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

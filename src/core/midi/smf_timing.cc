#include "midi/smf_timing.h"

#include <algorithm>

#include "messages.h"

namespace chwr {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> b) : b_(b) {}
  bool Has(std::size_t n) const { return pos_ <= b_.size() && b_.size() - pos_ >= n; }
  std::uint8_t U8() { return b_[pos_++]; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | b_[pos_++];
    return v;
  }
  std::uint16_t U16() {
    std::uint16_t v = static_cast<std::uint16_t>(b_[pos_] << 8 | b_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  // A variable-length quantity of at most four bytes; false when cut short.
  bool Vlq(std::uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      if (!Has(1)) return false;
      const std::uint8_t byte = U8();
      v = (v << 7) | (byte & 0x7F);
      if (!(byte & 0x80)) return true;
    }
    return true;
  }
  bool Skip(std::size_t n) {
    if (!Has(n)) return false;
    pos_ += n;
    return true;
  }
  std::size_t pos() const { return pos_; }
  void Seek(std::size_t p) { pos_ = p; }

 private:
  std::span<const std::uint8_t> b_;
  std::size_t pos_ = 0;
};

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
  Reader r(track);
  std::uint32_t tick = 0;
  std::uint8_t running = 0;
  while (r.Has(1)) {
    std::uint32_t delta;
    if (!r.Vlq(delta)) break;
    tick += delta;
    if (!r.Has(1)) break;
    std::uint8_t status = r.U8();
    if (status == 0xFF) {
      if (!r.Has(1)) break;
      const std::uint8_t type = r.U8();
      std::uint32_t len;
      if (!r.Vlq(len) || !r.Has(len)) break;
      if (type == 0x51 && len == 3) {
        const std::uint32_t us = (r.U8() << 16) | (r.U8() << 8) | r.U8();
        if (us > 0) tempos.push_back({tick, us});
      } else {
        r.Skip(len);
      }
      if (type == 0x2F) break;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      std::uint32_t len;
      if (!r.Vlq(len) || !r.Skip(len)) break;
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
  Reader r(bytes);
  if (!r.Has(14) || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd') {
    return Fail(msg::kInvalidFileFormat);
  }
  r.Skip(4);
  const std::uint32_t headerLength = r.U32();
  if (headerLength < 6) return Fail(msg::kInvalidFileFormat);
  r.U16();  // format
  const std::uint16_t trackCount = r.U16();
  const std::uint16_t division = r.U16();
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
  for (int t = 0; t < trackCount && r.Has(8); ++t) {
    const bool isTrack = bytes[r.pos()] == 'M' && bytes[r.pos() + 1] == 'T' &&
                         bytes[r.pos() + 2] == 'r' && bytes[r.pos() + 3] == 'k';
    r.Skip(4);
    const std::uint32_t length = r.U32();
    const std::size_t start = r.pos();
    const std::size_t available = std::min<std::size_t>(length, bytes.size() - start);
    if (isTrack) {
      timing.totalTicks =
          std::max(timing.totalTicks, ScanTrack(bytes.subspan(start, available), timing.tempos));
    } else {
      --t;  // unknown chunks do not count as tracks
    }
    if (!r.Skip(available)) break;
  }
  std::stable_sort(
      timing.tempos.begin(), timing.tempos.end(),
      [](const SmfTiming::Tempo& a, const SmfTiming::Tempo& b) { return a.tick < b.tick; });
  return timing;
}

}  // namespace chwr

#pragma once
// The timing of a Standard MIDI File: its division and tempo map, enough to turn
// ticks into milliseconds for a position display and for seeking.

#include <cstdint>
#include <span>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// Division and tempo changes of a MIDI file, and where its last event lies.
struct SmfTiming {
  int ticksPerQuarter = 480;  ///< 0 when the file counts SMPTE frames
  double msPerTickSmpte = 0;  ///< milliseconds per tick for SMPTE division
  struct Tempo {
    std::uint32_t tick = 0;
    std::uint32_t usPerQuarter = 500000;
  };
  std::vector<Tempo> tempos;     ///< in tick order; the first one is at tick 0
  std::uint32_t totalTicks = 0;  ///< tick of the last event of the longest track

  /// Milliseconds from the start to `tick`.
  double TicksToMs(std::uint32_t tick) const;
  /// The tick at `ms` milliseconds (the end when beyond it).
  std::uint32_t MsToTicks(double ms) const;
  /// Milliseconds of the whole file.
  double LengthMs() const { return TicksToMs(totalTicks); }
};

/// Reads the timing of a MIDI file; fails with "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。" when the bytes are
/// no Standard MIDI File. Never reads past the end, whatever the bytes.
Result<SmfTiming> ReadSmfTiming(std::span<const std::uint8_t> bytes);

}  // namespace chwr

// MIDI files are played with a position display and seeking: reading the timing of any
// bytes must end cleanly, and the conversions must stay in range for every position.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <span>

#include "fuzz_check.h"
#include "midi/smf_timing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto timing = chwr::ReadSmfTiming(std::span(data, size));
  if (!timing) return 0;
  for (std::size_t i = 1; i < timing->tempos.size(); ++i) {
    FUZZ_CHECK(timing->tempos[i - 1].tick <= timing->tempos[i].tick);
  }

  const double length = timing->LengthMs();
  FUZZ_CHECK(std::isfinite(length) && length >= 0);
  const std::uint32_t total = timing->totalTicks;
  std::uint32_t ticks[] = {
      0, 1, total / 3, total / 2, total, total + 1u, std::numeric_limits<std::uint32_t>::max()};
  std::sort(std::begin(ticks), std::end(ticks));
  double previous = 0;
  for (std::uint32_t tick : ticks) {
    const double ms = timing->TicksToMs(tick);
    FUZZ_CHECK(std::isfinite(ms) && ms >= 0);
    // Later is never earlier.
    FUZZ_CHECK(ms >= previous);
    previous = ms;
  }

  // Seeking anywhere, past the end too, lands inside the file.
  const double positions[] = {0, 0.5, length / 2, length, length + 1, 2 * length + 1000, 1e9};
  for (double ms : positions) FUZZ_CHECK(timing->MsToTicks(ms) <= total);
  return 0;
}

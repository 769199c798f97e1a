// The timing of MIDI files as playback reads it: tempo maps, SMPTE division, seeking
// anywhere, and files that are not what they claim.

#include "midi/smf_timing.h"

#include <gtest/gtest.h>

#include <vector>

#include "messages.h"

namespace chwr {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes Be32(std::uint32_t v) {
  return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

Bytes Header(std::uint16_t division, std::uint16_t tracks = 1) {
  return Cat({{'M', 'T', 'h', 'd'},
              Be32(6),
              {0, 1, std::uint8_t(tracks >> 8), std::uint8_t(tracks)},
              {std::uint8_t(division >> 8), std::uint8_t(division)}});
}

Bytes Track(const Bytes& events) {
  return Cat({{'M', 'T', 'r', 'k'}, Be32(static_cast<std::uint32_t>(events.size())), events});
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

TEST(SmfTiming, ReadsTempoChangesAndConvertsBothWays) {
  // 480 ticks per quarter; 500000 us per quarter, then 250000 from tick 480; ends at 960.
  const Bytes file = Cat({Header(480), Track(Cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                                                  {0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90},
                                                  {0x83, 0x60, 0x90, 60, 100},
                                                  kEnd}))});
  const auto timing = ReadSmfTiming(file);
  ASSERT_TRUE(timing) << timing.error().message;
  EXPECT_EQ(timing->ticksPerQuarter, 480);
  EXPECT_EQ(timing->totalTicks, 960u);
  const struct {
    std::uint32_t tick;
    double ms;
  } points[] = {{0, 0}, {240, 250}, {480, 500}, {720, 625}, {960, 750}};
  for (const auto& p : points) {
    EXPECT_DOUBLE_EQ(timing->TicksToMs(p.tick), p.ms) << p.tick;
    EXPECT_EQ(timing->MsToTicks(p.ms), p.tick) << p.ms;
  }
  EXPECT_DOUBLE_EQ(timing->LengthMs(), 750);
}

// Seeking past the end, however far, lands on the end: with few milliseconds per tick a
// far position is more ticks than a 32-bit count holds.
TEST(SmfTiming, SeekingBeyondTheEndLandsOnTheEnd) {
  const struct {
    std::uint16_t division;
    double ms;
  } cases[] = {
      {480, 1e12},
      {0xE728, 1e9},               // 25 frames of 40 ticks: 1 ms per tick
      {0xE728, 4294967296.0 + 5},  // 2^32 + 5 ticks, not 5
      {0xCFCF, 1e9},               // 49 frames of 207 ticks: 1e9 ms is 1.01e10 ticks
      {0x8101, 1e15},              // 127 frames of 1 tick
  };
  for (const auto& c : cases) {
    const auto timing =
        ReadSmfTiming(Cat({Header(c.division), Track(Cat({{0x7F, 0x90, 64, 1}, kEnd}))}));
    ASSERT_TRUE(timing) << c.division;
    EXPECT_EQ(timing->totalTicks, 127u) << c.division;
    EXPECT_EQ(timing->MsToTicks(c.ms), 127u) << c.division;
    EXPECT_EQ(timing->MsToTicks(-5), 0u) << c.division;
  }
}

TEST(SmfTiming, RefusesWhatIsNoMidiFileAndStopsWhereATrackBreaks) {
  const Bytes refused[] = {
      {},
      {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1},  // too short for a header
      Cat({{'M', 'T', 'h', 'x'}, Be32(6), {0, 1, 0, 1, 1, 0xE0}}),
      Cat({{'M', 'T', 'h', 'd'}, Be32(5), {0, 1, 0, 1, 1, 0xE0}}),
      Cat({{'M', 'T', 'h', 'd'}, Be32(9), {0, 1, 0, 1, 1, 0xE0}}),  // header longer than the file
  };
  for (const Bytes& bytes : refused) {
    const auto timing = ReadSmfTiming(bytes);
    ASSERT_FALSE(timing) << bytes.size();
    EXPECT_EQ(timing.error().message, msg::kInvalidFileFormat);
  }
  // A track that lies about its length, cut inside an event, is read as far as it goes.
  const Bytes cut =
      Cat({Header(96), {'M', 'T', 'r', 'k'}, Be32(1000), {0x10, 0x90, 60, 1, 0x20, 0x90}});
  const auto timing = ReadSmfTiming(cut);
  ASSERT_TRUE(timing);
  EXPECT_EQ(timing->totalTicks, 0x30u);
}

}  // namespace
}  // namespace chwr

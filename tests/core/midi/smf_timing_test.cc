// The timing of MIDI files as playback reads it: tempo maps, SMPTE division, seeking
// anywhere, and files that are not what they claim.

#include "midi/smf_timing.h"

#include <gtest/gtest.h>

#include <vector>

#include "messages.h"
#include "smf_bytes.h"

namespace chwr {
namespace {

using namespace test::smf;

// A format 1 header of one track: `division` as given (SMPTE ones too).
Bytes Header(std::uint16_t division) {
  return Chunk("MThd", {0, 1, 0, 1, std::uint8_t(division >> 8), std::uint8_t(division)});
}

TEST(SmfTiming, ReadsTempoChangesAndConvertsBothWays) {
  // 480 ticks per quarter; 500000 us per quarter, then 250000 from tick 480; ends at 960.
  const Bytes file = Cat({Header(480), Chunk("MTrk", Cat({Tempo(0, 500000), Tempo(480, 250000),
                                                          On(480, 60), End()}))});
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
        ReadSmfTiming(Cat({Header(c.division), Chunk("MTrk", Cat({On(127, 64, 1), End()}))}));
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
      Chunk("MThx", {0, 1, 0, 1, 1, 0xE0}),
      Cat({Chunk("MThd", {0, 1, 0, 1, 1}), {0xE0}}),
      Cat({Ascii("MThd"), {0, 0, 0, 9, 0, 1, 0, 1, 1, 0xE0}}),  // header longer than the file
  };
  for (const Bytes& bytes : refused) {
    const auto timing = ReadSmfTiming(bytes);
    ASSERT_FALSE(timing) << bytes.size();
    EXPECT_EQ(timing.error().message, msg::kInvalidFileFormat);
  }
  // A track that lies about its length, cut inside an event, is read as far as it goes.
  const Bytes cut =
      Cat({Header(96), Ascii("MTrk"), {0, 0, 0x03, 0xE8, 0x10, 0x90, 60, 1, 0x20, 0x90}});
  const auto timing = ReadSmfTiming(cut);
  ASSERT_TRUE(timing);
  EXPECT_EQ(timing->totalTicks, 0x30u);
}

}  // namespace
}  // namespace chwr

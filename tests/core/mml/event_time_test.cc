// Where events fall in time and in the text: what the part boxes mark during playback
// and where play from the caret starts.

#include <gtest/gtest.h>

#include "mml/event_time.h"
#include "test_support.h"

namespace chwr {
namespace {

TEST(EventTime, TheEventHeardAtAStepAndTheStepOfTheMusicPlaying) {
  // "C4 L*0 D E8": an event of no steps (D) is never heard alone.
  const std::vector<std::int32_t> starts = {0, 48, 48, 72};
  const struct {
    std::int32_t step;
    int event;
  } cases[] = {{-1, -1}, {0, 0}, {47, 0}, {48, 2}, {71, 2}, {72, -1}};
  for (const auto& c : cases) EXPECT_EQ(EventAtStep(starts, c.step), c.event) << c.step;
  EXPECT_EQ(EventAtStep({0}, 0), -1);

  // A file that starts at the mark (step 96) and ends at 288; repeated, it plays twice.
  EXPECT_EQ(SongStepAtTick(0, 96, 288, false), 96);
  EXPECT_EQ(SongStepAtTick(100, 96, 288, false), 196);
  EXPECT_EQ(SongStepAtTick(250, 96, 288, false), 288);
  EXPECT_EQ(SongStepAtTick(192 + 10, 96, 288, true), 106);
}

TEST(EventTime, TheCaretFindsTheFirstTimeItsNoteIsHeard) {
  // Offsets count characters with CR LF line breaks, as the song text holds them.
  const SongDocument song = test::Song("C4 D4\r\n[E4 F4]2 G4", "R1");
  const struct {
    std::uint32_t offset;
    std::int32_t step;
  } cases[] = {
      {0, 0},      // on "C4"
      {2, 48},     // between notes: the next one
      {8, 96},     // "E4": its first pass
      {12, 144},   // "F4"
      {16, 288},   // "G4", after both passes
      {40, 288},   // past the end: the last note written
  };
  for (const auto& c : cases) EXPECT_EQ(SongStepAtOffset(song, 0, c.offset), c.step) << c.offset;
  EXPECT_EQ(SongStepAtOffset(test::Song("C4 O9"), 0, 3), 0);  // does not compile
  EXPECT_EQ(SongStepAtOffset(song, 2, 0), 0);                 // an empty part
}

}  // namespace
}  // namespace chwr

#include "score/score_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mml/compiler.h"
#include "mml/notation.h"
#include "score/score_read.h"

namespace chwr {
namespace {

TEST(ScoreLayout, FindsTheCellUnderX) {
  const std::pair<int, std::optional<int>> cases[] = {
      {0, std::nullopt},    {48, std::nullopt}, {49, 1}, {78, 1}, {79, 2}, {1128, 36},
      {1129, std::nullopt}, {-5, std::nullopt},
  };
  for (const auto& [x, cell] : cases) EXPECT_EQ(CellAtX(x), cell) << x;
  EXPECT_EQ(CellLeft(36) + kCellWidth, kCellsRight);
  // A held pointer that leaves the cells keeps selecting up to the end.
  EXPECT_EQ(CellAtXClamped(-300), 1);
  EXPECT_EQ(CellAtXClamped(5000), kShownCells);
  // The slider at 5 brings cell 5 to the left edge of the visible area.
  EXPECT_EQ(CellLeft(5) + StaffLeftForSlider(5), kClefAreaWidth);
}

TEST(ScoreLayout, SnapsPointerRowsToHeadPositions) {
  const int cases[][3] = {
      // y, snapped, where a press or a drag puts the note
      {100, 103, 103}, {101, 103, 103}, {102, 106, 106}, {0, 4, 10},
      {6, 10, 10},     {-1, 1, 10},     {-3, 1, 10},     {-4, -2, 10},
      {191, 193, 193}, {192, 196, 196}, {199, 202, 196}, {900, 904, 196},
  };
  for (const auto& [y, snapped, placed] : cases) {
    EXPECT_EQ(SnapPitchPos(y), snapped) << y;
    EXPECT_EQ(PitchPosAtY(y), placed) << y;
  }
  // The head of a note at 103 takes presses snapping from 97 to 112.
  for (int y = 80; y < 130; ++y) EXPECT_EQ(HitsHead(103, y), y >= 93 && y <= 110) << y;
}

// The staff's lines must be where a reader of a treble staff looks for E4 G4 B4 D5 F5; the
// notes come from the compiler, named by their MIDI numbers, and are placed by the reader.
TEST(ScoreLayout, StaffLinesCarryTheTrebleStaffsNotes) {
  const int midiNotes[] = {77, 74, 71, 67, 64, 60};  // F5 D5 B4 G4 E4, middle C
  std::string mml;
  for (int note : midiNotes) mml += PitchText(MidiNotePitch(note)) + "4";
  CompiledPart part;
  CompileState state;
  ASSERT_TRUE(CompilePart(0, mml, 63, {}, state, part));
  const ScoreReading reading = ReadCompiledPart(part, 1);
  ASSERT_EQ(reading.shown, 6);
  for (int i = 0; i < 5; ++i) {
    const int pos = reading.cells[i + 1].pitchPos;
    EXPECT_EQ(pos, kStaffLines[i]);
    EXPECT_TRUE(IsLinePosition(pos));
    EXPECT_TRUE(LedgerLines(pos).empty());
  }
  EXPECT_EQ(reading.cells[6].pitchPos, 70);  // middle C, on its own ledger line
  EXPECT_EQ(LedgerLines(70), std::vector<int>{70});
  EXPECT_FALSE(IsLinePosition(67));
}

TEST(ScoreLayout, GivesEveryLedgerLineBetweenHeadAndStaff) {
  const std::pair<int, std::vector<int>> cases[] = {
      {43, {}},       {37, {}},
      {34, {34}},     {31, {34}},
      {28, {34, 28}}, {10, {34, 28, 22, 16, 10}},
      {67, {}},       {73, {70}},
      {76, {70, 76}}, {-2, {34, 28, 22, 16, 10, 4, -2}},
  };
  for (const auto& [pos, lines] : cases) EXPECT_EQ(LedgerLines(pos), lines) << pos;
}

}  // namespace
}  // namespace chwr

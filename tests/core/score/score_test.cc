#include "score/score.h"

#include <gtest/gtest.h>

#include <vector>

namespace chwr {
namespace {

// Cells 1..n hold notes that tell each other apart by position (cell c at 10 + 3c).
ScoreCells Row(int n) {
  ScoreCells cells{};
  for (int c = 1; c <= n; ++c) cells[c] = {.pitchPos = 10 + 3 * c, .lengthCode = 4};
  return cells;
}

// The cell each stored cell came from in Row (0 = empty), cells 1..52.
std::vector<int> Origins(const Score& score) {
  std::vector<int> out;
  for (int c = 1; c <= kStoredCells; ++c)
    out.push_back(score.cell(c).empty() ? 0 : (score.cell(c).pitchPos - 10) / 3);
  return out;
}

std::vector<int> Seq(int from, int to) {
  std::vector<int> out;
  for (int v = from; v <= to; ++v) out.push_back(v);
  return out;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Selects cells first..last with the mouse, pressing below the heads.
void SelectRange(Score& score, int first, int last) {
  score.Press(first, 190);
  score.Drag(last, 190);
  score.Release(last);
}

TEST(Score, PressOnAnEmptyCellPlacesANoteAndDragsIt) {
  Score score;
  EXPECT_EQ(score.Press(3, 100).cells, (std::vector<int>{1, 3}));  // old and new current cell
  EXPECT_EQ(score.cell(3), (ScoreCell{.pitchPos = 103, .lengthCode = kStartLengthCode}));
  EXPECT_TRUE(score.modified());
  EXPECT_EQ(score.dragMode(), ScoreDragMode::kNoteDrag);
  // The head follows the pointer in steps of 3 pixels and stays inside the picture.
  const std::pair<int, int> drags[] = {{130, 133}, {-50, 10}, {500, 196}, {61, 64}};
  for (const auto& [y, pos] : drags) {
    EXPECT_EQ(score.Drag(9, y).cells, std::vector<int>{3}) << y;
    EXPECT_EQ(score.cell(3).pitchPos, pos) << y;
  }
  EXPECT_TRUE(score.Drag(20, 62).cells.empty());  // same row: nothing to redraw
  score.Release(20);
  EXPECT_EQ(score.currentCell(), 3);
  EXPECT_TRUE(score.cell(20).empty());
  EXPECT_TRUE(score.Drag(4, 10).cells.empty());  // the button is up
  EXPECT_EQ(score.cell(3).pitchPos, 64);
  // With a rest length chosen, a press places a rest.
  score.SetLength(14);
  score.Press(5, 50);
  EXPECT_TRUE(score.cell(5).isRest());
}

TEST(Score, PressBesideAHeadSelectsARangeAndChangesNothingElse) {
  Score score;
  score.Load(Row(8));
  const ScoreCells before = score.cells();
  score.Press(5, 190);
  EXPECT_EQ(score.dragMode(), ScoreDragMode::kRangeSelection);
  EXPECT_EQ(score.cells(), before);
  EXPECT_FALSE(score.modified());
  EXPECT_EQ(score.Drag(2, 0).cells, (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(score.range(), (CellRange{2, 5}));
  EXPECT_EQ(score.currentCell(), 5);
  score.Release(1);  // reversed: the range is swapped; the released cell becomes current
  EXPECT_EQ(score.range(), (CellRange{1, 5}));
  EXPECT_EQ(score.currentCell(), 1);
  EXPECT_EQ(score.currentLengthCode(), 4);  // the released note's length
  EXPECT_TRUE(score.isSelected(5));
  EXPECT_FALSE(score.isSelected(6));
  EXPECT_EQ(score.cells(), before);
  EXPECT_FALSE(score.modified());
  EXPECT_TRUE(score.Press(0, 100).cells.empty());
  EXPECT_TRUE(score.Press(37, 100).cells.empty());
}

TEST(Score, LengthsAccidentalsTiesAndTripletsFollowTheControls) {
  Score score;
  score.Press(1, 100);
  score.Release(1);
  score.SetLength(4);
  EXPECT_FALSE(score.SetTriplet(true).refused);
  EXPECT_TRUE(score.cell(1).triplet);
  score.SetLength(3);  // dotted: the triplet goes
  EXPECT_FALSE(score.cell(1).triplet);
  EXPECT_TRUE(score.SetTriplet(true).refused);
  EXPECT_FALSE(score.cell(1).triplet);
  EXPECT_TRUE(score.ToggleRest().cells == std::vector<int>{1});
  EXPECT_EQ(score.cell(1).lengthCode, 13);
  EXPECT_TRUE(score.SetTriplet(true).refused);  // a dotted rest neither
  score.ChooseLengthItem(8);                    // the rest item is checked
  EXPECT_EQ(score.cell(1).lengthCode, 18);
  score.ToggleRest();
  EXPECT_EQ(score.cell(1).lengthCode, 8);
  score.SetAccidental(kFlat);
  score.SetTie(true);
  EXPECT_EQ(score.Controls(), (ScoreControls{.lengthCode = 8,
                                             .lengthItem = 8,
                                             .rest = false,
                                             .accidental = kFlat,
                                             .tie = true,
                                             .triplet = false}));
  // Keys: "1".."9" and "0" pick the note lengths, the arrows step through all twenty.
  const std::pair<int, int> digits[] = {{1, 0}, {5, 4}, {9, 8}, {0, 9}};
  for (const auto& [digit, code] : digits) {
    score.PressDigitKey(digit);
    EXPECT_EQ(score.cell(1).lengthCode, code) << digit;
  }
  score.StepLength(+1);
  EXPECT_EQ(score.cell(1).lengthCode, 10);
  for (int i = 0; i < 12; ++i) score.StepLength(+1);
  EXPECT_EQ(score.cell(1).lengthCode, 19);
  score.PressDigitKey(1);
  score.StepLength(-1);
  EXPECT_EQ(score.cell(1).lengthCode, 0);
  EXPECT_EQ(score.currentLengthCode(), 0);
  // On an empty cell the controls show the length the next note gets, and nothing else.
  score.Delete();
  EXPECT_EQ(score.Controls(), (ScoreControls{.lengthCode = 0, .lengthItem = 0}));
}

TEST(Score, UpAndDownStayWithinTheKeysRange) {
  struct Case {
    int from;
    int up;
    int down;
  };
  const Case cases[] = {{25, 25, 28},    {28, 25, 31}, {163, 160, 163},
                        {160, 157, 163}, {10, 10, 13}, {196, 193, 196}};
  for (const Case& c : cases) {
    for (bool up : {true, false}) {
      ScoreCells cells{};
      cells[1] = {.pitchPos = c.from, .lengthCode = 4};
      Score score;
      score.Load(cells);
      const ScoreChange change = up ? score.MoveUp() : score.MoveDown();
      const int expected = up ? c.up : c.down;
      EXPECT_EQ(score.cell(1).pitchPos, expected) << c.from << (up ? " up" : " down");
      EXPECT_EQ(score.modified(), expected != c.from);
      EXPECT_EQ(change.cells.empty(), expected == c.from);
    }
  }
}

TEST(Score, InsertAndDeleteCarryCellsThroughTheHiddenOnes) {
  Score score;
  score.Load(Row(36));
  score.Press(1, 190);
  score.Release(1);
  score.Insert();  // cell 36 goes to the hidden cell 37
  EXPECT_EQ(Origins(score), Concat(Concat({0}, Seq(1, 36)), std::vector<int>(15, 0)));
  EXPECT_TRUE(score.modified());
  score.Delete();  // and comes back
  EXPECT_EQ(Origins(score), Concat(Seq(1, 36), std::vector<int>(16, 0)));

  // Pushed to the end of storage, the last cells fall off; deletes bring each back once.
  for (int i = 0; i < 20; ++i) score.Insert();
  EXPECT_EQ(Origins(score), Concat(std::vector<int>(20, 0), Seq(1, 32)));
  for (int i = 0; i < 20; ++i) score.Delete();
  EXPECT_EQ(Origins(score), Concat(Seq(1, 32), std::vector<int>(20, 0)));

  // A range: insert opens a cell before it, delete takes all of it.
  SelectRange(score, 3, 5);
  score.Insert();
  EXPECT_EQ(Origins(score), Concat(Concat({1, 2, 0}, Seq(3, 32)), std::vector<int>(19, 0)));
  SelectRange(score, 6, 3);  // pressed below a head: cell 3 is empty now
  score.Delete();
  EXPECT_EQ(Origins(score), Concat(Concat({1, 2}, Seq(6, 32)), std::vector<int>(23, 0)));
  EXPECT_EQ(score.currentCell(), 3);
  EXPECT_FALSE(score.range().any());
  for (int i = 0; i < 40; ++i) score.Delete();
  EXPECT_EQ(Origins(score), Concat({1, 2}, std::vector<int>(50, 0)));
}

TEST(Score, ClearEmptiesAndTheDiscardQuestionNeedsAChangedNote) {
  Score score;
  EXPECT_FALSE(score.NeedsDiscardQuestion());
  ScoreCells hidden{};
  hidden[40] = {.pitchPos = 70};
  score.Load(hidden);
  score.Delete();  // only hidden cells moved: nothing shown is filled
  EXPECT_TRUE(score.modified());
  EXPECT_FALSE(score.NeedsDiscardQuestion());
  score.Load(Row(3));
  EXPECT_FALSE(score.NeedsDiscardQuestion());  // as opened
  score.MoveDown();
  EXPECT_TRUE(score.NeedsDiscardQuestion());
  score.SetLength(2);
  score.Press(7, 190);
  score.Drag(9, 190);
  EXPECT_EQ(score.Clear().cells.size(), 36u);
  EXPECT_EQ(score.cells(), ScoreCells{});
  EXPECT_EQ(score.currentCell(), 1);
  EXPECT_EQ(score.currentLengthCode(), kStartLengthCode);
  EXPECT_FALSE(score.range().any());
  EXPECT_FALSE(score.modified());
  EXPECT_FALSE(score.held());
}

}  // namespace
}  // namespace chwr

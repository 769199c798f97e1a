#include "score/score_mml.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mml/notation.h"
#include "part_compile.h"
#include "score/score_read.h"

namespace chwr {
namespace {

CompiledPart Compile(const std::string& mml, int resolution) {
  const auto run = test::CompileText(mml, 0, resolution);
  EXPECT_TRUE(run.ok) << mml << ": " << run.message;
  return run.part;
}

// "pitchPos/code", then "+" for a sharp, "&" for a tie, "t" for a triplet; one per cell.
std::string Describe(const ScoreReading& reading) {
  std::string out;
  for (int c = 1; c <= reading.shown; ++c) {
    const ScoreCell& cell = reading.cells[c];
    if (!out.empty()) out += ' ';
    out += std::to_string(cell.pitchPos) + "/" + std::to_string(cell.lengthCode);
    if (cell.accidental == kSharp) out += '+';
    if (cell.tie) out += '&';
    if (cell.triplet) out += 't';
  }
  return out;
}

TEST(ScoreRead, ReadsCompiledNotesIntoCells) {
  struct Case {
    int resolution;
    const char* mml;
    const char* cells;
  };
  const Case cases[] = {
      // Positions: O4C at 70 (C sharp with its sharp), O3C at 91, an octave is 21 pixels.
      {1, "O4C4C+4D4B4O3C4O6C4O1C4", "70/4 70/4+ 67/4 52/4 91/4 28/4 133/4"},
      // An eighth is 12 steps at 24 and 24 at 48; 8 and 16 are eighth triplets.
      {0, "C8C*8", "91/6 91/6t"},
      {1, "C8C*16", "91/6 91/6t"},
      {0, "C*64C*32C*16C*4C*2", "91/0t 91/2t 91/4t 91/8t 91/9t"},
      {1, "C1C2.C2C4.C4C8.C8C16.C16C32", "91/0 91/1 91/2 91/3 91/4 91/5 91/6 91/7 91/8 91/9"},
      // Rests lie on the middle line, whatever key the compiler gave them.
      {1, "C4R8R*16", "91/4 52/16 52/16t"},
      {1, "R2", "52/12"},
      // A note or rest and its dot extension are one cell, however the text wrote them.
      {1, "C4.D4&D8E4&D8", "91/3 88/3 85/4& 88/6"},
      {0, "C4.&C16.R2.R8R16", "91/3& 91/7 52/11 52/15"},
      {1, "C4&C4C2.&", "91/4& 91/4 91/1&"},
      // One event of a dotted length is that dotted length too.
      {0, "C*36C*9", "91/3 91/7"},
  };
  for (const Case& c : cases) {
    const ScoreReading reading = ReadCompiledPart(Compile(c.mml, c.resolution), c.resolution);
    EXPECT_EQ(Describe(reading), c.cells) << c.mml;
    EXPECT_TRUE(reading.lengthChanges.empty()) << c.mml;
    EXPECT_EQ(reading.notice, "") << c.mml;
  }
}

TEST(ScoreRead, ShowsOtherLengthsAtTheNearestAndSaysSo) {
  struct Case {
    int resolution;
    const char* mml;
    const char* cells;
    std::vector<int> changedSteps;
    const char* notice;
  };
  const Case cases[] = {
      {1,
       "C*30C*3R*190C*100",
       "91/4t 91/9t 52/10 91/2",
       {30, 3, 190, 100},
       "楽譜にない長さの音符・休符4個を近い長さで表示しました。"},
      {0, "C4C*10", "91/4 91/7", {10}, "楽譜にない長さの音符・休符1個を近い長さで表示しました。"},
      {0, "C64", "91/9t", {}, ""},  // two steps at 24: the 32nd triplet
  };
  for (const Case& c : cases) {
    const ScoreReading reading = ReadCompiledPart(Compile(c.mml, c.resolution), c.resolution);
    EXPECT_EQ(Describe(reading), c.cells) << c.mml;
    std::vector<int> steps;
    for (const ScoreLengthChange& change : reading.lengthChanges) steps.push_back(change.steps);
    EXPECT_EQ(steps, c.changedSteps) << c.mml;
    EXPECT_EQ(reading.notice, c.notice) << c.mml;
  }
}

TEST(ScoreRead, CutsALongPartAt36Cells) {
  std::string mml;
  for (int i = 0; i < 40; ++i) mml += "C*10";
  const ScoreReading reading = ReadCompiledPart(Compile(mml, 1), 1);
  EXPECT_EQ(reading.shown, 36);
  EXPECT_EQ(reading.fullCount, 40);
  EXPECT_FALSE(reading.cells[36].empty());
  EXPECT_TRUE(reading.cells[37].empty());
  EXPECT_EQ(reading.lengthChanges.size(), 36u);
  EXPECT_EQ(reading.notice,
            "楽譜にない長さの音符・休符36個を近い長さで表示しました。"
            "37個目からの音符・休符4個は楽譜に入らないため読み込みませんでした。");
  // A dotted note counts as one.
  const ScoreReading dotted = ReadCompiledPart(Compile(std::string(72, 'C') + "D4.", 1), 1);
  EXPECT_EQ(dotted.fullCount, 73);
  EXPECT_EQ(dotted.notice, "37個目からの音符・休符37個は楽譜に入らないため読み込みませんでした。");
  EXPECT_EQ(ReadCompiledPart(CompiledPart{}, 1).shown, 0);
}

ScoreCells Cells(std::initializer_list<ScoreCell> list) {
  ScoreCells cells{};
  int c = 1;
  for (const ScoreCell& cell : list) cells[c++] = cell;
  return cells;
}

TEST(ScoreMml, WritesTheCellsAsMml) {
  const ScoreCell c4{.pitchPos = 91, .lengthCode = 4};
  const ScoreCell d8sharp{.pitchPos = 88, .lengthCode = 6, .accidental = kSharp};
  const ScoreCell r4{.pitchPos = 52, .lengthCode = 14};
  struct Case {
    ScoreCells cells;
    int resolution;
    const char* mml;
    const char* comment;
  };
  const Case cases[] = {
      {Cells({c4, d8sharp, r4}), 1, "C4D+8R4", "ドレ休"},
      {Cells({c4,
              {.pitchPos = 70, .lengthCode = 4},
              {.pitchPos = 103, .lengthCode = 6},
              {.pitchPos = 106, .lengthCode = 6, .accidental = kFlat}}),
       1, "C4<C4>>F8E-8", "ド<ド>>ファミ"},
      {Cells({{.pitchPos = 91, .lengthCode = 4, .triplet = true},
              {.pitchPos = 91, .lengthCode = 9, .tie = true, .triplet = true},
              {.pitchPos = 91, .lengthCode = 14, .triplet = true}}),
       0, "C*16C*2&R*16", "ドド休"},
      {Cells({{.pitchPos = 91, .lengthCode = 4, .triplet = true},
              {.pitchPos = 91, .lengthCode = 0, .triplet = true}}),
       1, "C*32C*128", "ドド"},
      // Naturals write nothing; a dotted cell that claims a triplet keeps its length.
      {Cells({{.pitchPos = 52, .lengthCode = 3, .accidental = kNatural, .triplet = true},
              {.pitchPos = 28, .lengthCode = 7, .tie = true}}),
       1, "<B4.<<C16.&", "<シ<<ド"},
  };
  for (const Case& c : cases) {
    const ScoreMml out = ScoreToMml(c.cells, c.resolution, false);
    EXPECT_EQ(out.mml, c.mml);
    EXPECT_EQ(out.comment, c.comment);
    EXPECT_EQ(out.saved, std::string(c.mml) + "\r\n");
  }
}

TEST(ScoreMml, SavesWithOrWithoutTheCommentLine) {
  ScoreCells cells = Cells({{.pitchPos = 91, .lengthCode = 4},
                            {.pitchPos = 88, .lengthCode = 6, .accidental = kSharp},
                            {.pitchPos = 52, .lengthCode = 14}});
  cells[37] = {.pitchPos = 70, .lengthCode = 4};  // hidden cells are not written
  const ScoreMml with = ScoreToMml(cells, 1, true);
  EXPECT_EQ(with.saved, "'ドレ休\r\nC4D+8R4\r\n");
  EXPECT_EQ(with.shown, "（ｸﾘｯﾌﾟﾎﾞｰﾄﾞに以下の内容を保存しました。）\r\n'ドレ休\r\nC4D+8R4\r\n");
  EXPECT_EQ(ScoreToMml(cells, 1, false).shown,
            "（ｸﾘｯﾌﾟﾎﾞｰﾄﾞに以下の内容を保存しました。）\r\nC4D+8R4\r\n");
  ScoreCells hiddenOnly{};
  hiddenOnly[37] = cells[37];
  for (bool comment : {false, true}) {
    const ScoreMml empty = ScoreToMml(hiddenOnly, 0, comment);
    EXPECT_EQ(empty.mml + empty.comment + empty.saved + empty.shown, "");
  }
}

// What the score can show survives a trip through it: random parts compiled, read into
// cells, written as MML and compiled again give the same events.
TEST(ScoreMml, RoundTripsWhatTheScoreShows) {
  std::mt19937 rng(20261207);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int trial = 0; trial < 400; ++trial) {
    const int resolution = trial % 2;
    const int stepsPerQuarter = resolution == 0 ? 24 : 48;
    std::string mml;
    int cells = 0;
    const int wanted = 1 + pick(36);
    while (cells < wanted) {
      const bool rest = pick(5) == 0;
      std::string name = rest ? std::string("R") : PitchText(MldKeyPitch(3 + pick(61)));
      const int code = pick(10);
      if (pick(4) == 0 && !IsDottedCode(code)) {
        name += "*" + std::to_string(LengthCodeSteps48(code) * 2 / 3 * stepsPerQuarter / 48);
      } else {
        name += std::string(*LengthName(LengthCodeSteps48(code), 48));
      }
      if (!rest && pick(3) == 0) name += "&";
      mml += name;
      ++cells;
    }
    const CompiledPart first = Compile(mml, resolution);
    const ScoreReading reading = ReadCompiledPart(first, resolution);
    ASSERT_TRUE(reading.lengthChanges.empty()) << mml;
    Score score;
    score.Load(reading.cells);
    const ScoreMml out = ScoreToMml(score, resolution, trial % 3 == 0);
    const CompiledPart second = Compile(out.saved, resolution);
    ASSERT_EQ(second.count, first.count) << mml << " -> " << out.saved;
    for (int i = 0; i < first.count; ++i) {
      const NoteEvent& a = first.events[i];
      const NoteEvent& b = second.events[i];
      ASSERT_TRUE(a.key == b.key && a.gate == b.gate && a.step == b.step)
          << mml << " -> " << out.saved << " event " << i;
    }
  }
}

}  // namespace
}  // namespace chwr

// The background compile: every part's first error, the report of a song that builds,
// and the parts that drift against the longest.

#include <gtest/gtest.h>

#include "convert/build_song.h"
#include "convert/song_check.h"
#include "test_support.h"

namespace chwr {
namespace {

TEST(SongCheck, FindsTheFirstErrorOfEveryPart) {
  const SongCheck check = CheckSong(test::Song("C4 D4\r\nO9", "E4", "F:", "G4"));
  ASSERT_TRUE(check.partErrors[0]);
  EXPECT_EQ(check.partErrors[0]->line, 2);
  EXPECT_EQ(check.partErrors[0]->searchText, "O9");
  EXPECT_FALSE(check.partErrors[1]);
  ASSERT_TRUE(check.partErrors[2]);
  EXPECT_EQ(check.partErrors[2]->searchText, ":");
  EXPECT_FALSE(check.partErrors[3]);
  // A song with errors has no size to report.
  EXPECT_TRUE(check.sizeReport.empty());
}

TEST(SongCheck, ReportsTheSizeAsTheBuildDoes) {
  const SongDocument song = test::Song("C4 D4", "E2");
  const SongCheck check = CheckSong(song);
  for (const auto& e : check.partErrors) EXPECT_FALSE(e);
  EXPECT_EQ(check.sizeReport, BuildSong(song)->sizeReport);
  EXPECT_TRUE(check.drift.empty());

  SongDocument titled = song;
  titled.title = std::string(300, 'a');
  EXPECT_TRUE(CheckSong(titled).buildError);
}

TEST(SongCheck, NamesThePartsShorterThanTheLongest) {
  const struct {
    SongDocument song;
    const char* drift;
  } cases[] = {
      // 48 steps a quarter: an eighth is 24 steps, half a beat; a part left empty is no part.
      {test::Song("C4 D4", "E4 F8", "", "G2"), "   ﾊﾟｰﾄ長のずれ: P2 -24ｽﾃｯﾌﾟ(-0.5拍)"},
      {test::Song("C1", "L*13 C", "D2"),
       "   ﾊﾟｰﾄ長のずれ: P2 -179ｽﾃｯﾌﾟ(-3.73拍) P3 -96ｽﾃｯﾌﾟ(-2拍)"},
      {test::Song("C4", "D4"), ""},
      {test::Song("C4"), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckSong(c.song).drift, c.drift);

  SongDocument at24 = test::Song("C4", "D8");
  at24.resolution = 0;
  EXPECT_EQ(CheckSong(at24).drift, "   ﾊﾟｰﾄ長のずれ: P2 -12ｽﾃｯﾌﾟ(-0.5拍)");
}

}  // namespace
}  // namespace chwr

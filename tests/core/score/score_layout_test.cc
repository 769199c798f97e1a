#include "score/score_layout.h"

#include <gtest/gtest.h>

namespace chwr {
namespace {

TEST(ScoreLayout, FindsTheCellUnderX) {
  EXPECT_EQ(CellAtX(48), std::nullopt);
  EXPECT_EQ(CellAtX(49), 1);
}

}  // namespace
}  // namespace chwr

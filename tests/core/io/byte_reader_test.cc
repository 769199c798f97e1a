// The bounds-checked byte reader: lengths that lie never take a read past the end.

#include <gtest/gtest.h>

#include "io/byte_reader.h"
#include "io/byte_writer.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Bytes;

TEST(ByteReader, IntegersAndQuantitiesStopAtTheEnd) {
  const Bytes b = {0x12, 0x34, 0x56, 0x78, 0x81, 0x00, 0xFF};
  ByteReader r(b);
  EXPECT_EQ(r.U16be(), 0x1234);
  EXPECT_EQ(r.U8(), 0x56);
  EXPECT_EQ(r.U8(), 0x78);
  EXPECT_EQ(r.Vlq(), 0x80u);
  EXPECT_EQ(r.U16be(), std::nullopt) << "one byte left";
  EXPECT_EQ(r.pos(), 6u) << "a failed read does not move";
  EXPECT_EQ(r.Vlq(), std::nullopt) << "a quantity cut short";
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(r.U8(), std::nullopt);

  const Bytes fourBytes = {0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  ByteReader q(fourBytes);
  EXPECT_EQ(q.Vlq(), 0x0FFFFFFFu) << "a fourth byte ends the quantity";
  EXPECT_EQ(q.U8(), 0x01);
}

TEST(ByteReader, ChunksAreClippedToWhatTheImageHolds) {
  Bytes image;
  ByteWriter w(image);
  const std::size_t at = w.BeginChunk("MThd");
  w.Raw({1, 2, 3});
  w.EndChunk(at);
  w.Tag("MTrk");
  w.U32be(0xFFFFFFFF);  // a length that lies
  w.Raw({9, 9});
  ByteReader r(image);
  auto first = r.NextChunk();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->tag, "MThd");
  EXPECT_EQ(Bytes(first->body.begin(), first->body.end()), Bytes({1, 2, 3}));
  EXPECT_FALSE(first->clipped);
  auto second = r.NextChunk();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->length, 0xFFFFFFFFu);
  EXPECT_EQ(second->body.size(), 2u);
  EXPECT_TRUE(second->clipped);
  EXPECT_FALSE(r.NextChunk());
}

TEST(ByteReader, PositionalReadsAndSearches) {
  const Bytes b = test::Ascii("xxmelotrac");
  ByteReader r(b);
  EXPECT_TRUE(r.MatchesAt(2, "melo"));
  EXPECT_FALSE(r.MatchesAt(8, "trac")) << "runs past the end";
  EXPECT_EQ(r.Find("trac", 0, b.size()), 6u);
  EXPECT_EQ(r.Find("trac", 0, 9), std::nullopt) << "the needle must end before the limit";
  EXPECT_EQ(r.Find("trac", 20, 30), std::nullopt);
  bool clipped = false;
  EXPECT_EQ(r.TakeAt(8, 5, clipped).size(), 2u);
  EXPECT_TRUE(clipped);
  EXPECT_FALSE(r.Has(11, 0)) << "a position past the end holds nothing";
  EXPECT_TRUE(r.Has(10, 0));
}

}  // namespace
}  // namespace chwr

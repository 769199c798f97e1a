// The SMD listing: every code named, and broken files listed as far as they go.

#include <gtest/gtest.h>

#include "smd/smd_dump.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Ascii;

TEST(DumpSmd, NamesEveryCode) {
  // "ABC", then a part: slow tempo, O4C4, tie, window 3, O5C8, triplet mark, a rest, end.
  const std::string listing =
      DumpSmd(Ascii("ABC\x1B$D\x21\x2B\x66\x22\x21\x22\x65\x21\x26\x25\x21\x24\x0F"));
  EXPECT_EQ(listing,
            "0x0000  41 42 43  title bytes (3)\n"
            "0x0003  1B 24 44  part run 1 starts (window 2)\n"
            "0x0006  21 2B  tempo class: slow (0-94)\n"
            "0x0008  66  note O4C, length index 2 (4)\n"
            "0x0009  22  tie\n"
            "0x000A  21 22  window 3\n"
            "0x000C  65  note O5C, length index 1 (8)\n"
            "0x000D  21 26  triplet mark (three notes)\n"
            "0x000F  25  rest, length index 2 (4)\n"
            "0x0010  21 24  window 2\n"
            "0x0012  0F  part run ends\n");
}

TEST(DumpSmd, BrokenFilesAreListedAsFarAsTheyGo) {
  EXPECT_EQ(DumpSmd({}), "no part run (1B 24 44)\n");
  EXPECT_EQ(DumpSmd(Ascii("\x1B$D\x66\x21")),
            "0x0000  1B 24 44  part run 1 starts (window 2)\n"
            "0x0003  66  note O4C, length index 2 (4)\n"
            "0x0004  21  cut short: control code without its second byte\n"
            "part run 1 is cut short: no 0F\n");
  EXPECT_EQ(DumpSmd(Ascii("\x1B$D\x01\x1B$D\x0F")),
            "0x0000  1B 24 44  part run 1 starts (window 2)\n"
            "0x0003  01  not a code of the tables: skipped\n"
            "part run 1 is cut short: no 0F\n"
            "0x0004  1B 24 44  part run 2 starts (window 2)\n"
            "0x0007  0F  part run ends\n");
}

}  // namespace
}  // namespace chwr

#include "mml/lengths.h"

#include <gtest/gtest.h>

namespace chwr {
namespace {

struct TextCase {
  const char* in;
  const char* out;
};

TEST(NormaliseLengths, RewritesAbsoluteLengths) {
  const TextCase cases[] = {
      {"C*36D*180E*18", "C8.D*180E16."},
      {"C*192D*144E*96F*72G*48A*36B*24", "C1D2.E2F4.G4A8.B8"},
      {"R*18C*12D*9E*6F*3", "R16.C16D32.E32F64"},
      {"*18C*3", "16.C64"},
      {"C*3*3", "C6464"},
      // The short lengths stay when a digit follows them...
      {"C*30D*126E*95F*67G*31H*189", "C*30D*126E*95F*67G*31H*189"},
      // ...the long ones are replaced wherever they stand.
      {"C*240", "C80"},
      {"C*960", "C20"},
      {"C*1920", "C10"},
      {"C*4800", "C400"},
      {"C*1440", "C2.0"},
      {"C4D*5", "C4D*5"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseLengths(c.in), c.out) << c.in;
}

TEST(NormaliseLengthsAt, NamesLengthsAtTheirOwnResolution) {
  const TextCase at24[] = {
      {"C*96D*72E*48F*36G*24A*18B*12", "C1D2.E2F4.G4A8.B8"},
      {"R*9C*6D*3", "R16.C16D32"},
      // Whole numbers only: "*120" and "*180" are lengths a part can hold at 24.
      {"Q1C*120D*180E*240F*30G*96", "Q1C*120D*180E*240F*30G1"},
  };
  for (const auto& c : at24) EXPECT_EQ(NormaliseLengthsAt(c.in, 24), c.out) << c.in;
  EXPECT_EQ(NormaliseLengthsAt("C*36D*240", 48), "C8.D80");
}

TEST(RescaleAbsoluteLengths, HalvesRoundingHalfUp) {
  const TextCase cases[] = {
      {"C*25", "C*13"},  {"L*3", "L*2"},           {"C*1", "C*1"},     {"C*2", "C*1"},
      {"C*0", "C*0"},    {"C*48D*36", "C*24D*18"}, {"C*D*4", "C*D*2"}, {"C*12345", "C*6175"},
      {"C*024", "C*12"}, {"C4D8", "C4D8"},         {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RescaleAbsoluteLengths(c.in, true), c.out) << c.in;
}

TEST(RescaleAbsoluteLengths, Doubles) {
  const TextCase cases[] = {
      {"C*25", "C*50"}, {"C*5D*50", "C*10D*100"}, {"C*9999", "C*19998"}, {"C*12345", "C*24685"},
      {"C*", "C*"},     {"L*0", "L*0"},
  };
  for (const auto& c : cases) EXPECT_EQ(RescaleAbsoluteLengths(c.in, false), c.out) << c.in;
}

}  // namespace
}  // namespace chwr

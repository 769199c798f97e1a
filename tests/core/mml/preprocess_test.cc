#include "mml/preprocess.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace chwr {
namespace {

using Bytes = ToneDefinitionBytes;

// "@{" + the 23 numbers (modulator ML VI AR RR DR SL SU TL EG WF FB, carrier
// likewise, OC) joined by "," + "}".
std::string Definition(const std::array<int, 23>& n) {
  std::string text = "@{";
  for (int k = 0; k < 23; ++k) text += (k ? "," : "") + std::to_string(n[k]);
  return text + "}";
}

// Modulator 1,0,15,7,4,2,0,20,1,0,5; carrier 2,1,12,9,3,5,1,0,0,1,0; OC 3.
constexpr std::array<int, 23> kVoice = {1, 0,  15, 7, 4, 2, 0, 20, 1, 0, 5, 2,
                                        1, 12, 9,  3, 5, 1, 0, 0,  1, 0, 3};
constexpr Bytes kVoiceBytesPart1 = {0x21, 0x29, 0xD3, 0xC9, 0x45, 0x56, 0x4F, 0x14, 0x08, 0x03};

TEST(StripComments, CommentsRunToTheNextCrLf) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C4'comment\r\nD4", "C4\r\nD4"},
      {"'only a comment", ""},
      {"'a\r\n'b\r\nC", "\r\n\r\nC"},
      {"C'x\nD\r\nE", "C\r\nE"},  // a lone line feed does not end a comment
      {"C'x\rD", "C"},
      {"{0A'x}\r\nC", "{0A\r\nC"},
      {"@{1,'2\r\n3}", "@{1,\r\n3}"},
      {"C''D\r\nE'", "C\r\nE"},
      {"C'x\r\r\nD", "C\r\nD"},
      {"CDE", "CDE"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StripComments(c.in), c.out) << c.in;
}

TEST(ToneDefinition, TheFirstDefinitionIsTakenOutOfTheText) {
  using enum ToneExtraction::Status;
  const std::string zeros = Definition({});
  const struct {
    std::string text;
    int part;
    ToneExtraction::Status status;
    Bytes bytes;  // for a definition found
    std::string rest;
  } cases[] = {
      {"' ML VI AR RR DR SL SU TL EG WF FB OC\r\n"
       "@{ 1, 0,15, 7, 4, 2, 0,20, 1, 0, 5,\r\n"
       "   2, 1,12, 9, 3, 5, 1, 0, 0, 1, 0, 3}\r\nO4C",
       1, kDefined, kVoiceBytesPart1, "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n\r\nO4C"},
      // Blanks, tabs and line breaks anywhere; reading stops at a character that cannot
      // continue the number; an empty field is 0; ties round to even; extra numbers after
      // the 23rd are not read.
      {"@{ 1 ,0,1 5,7,3.5,2,0,2\r\n0,1,0,5,\t2,1,12.5,9,3,5,1,0x,,1,a,3,99}", 1, kDefined,
       kVoiceBytesPart1, ""},
      // The first byte names the part.
      {"C" + zeros + "D", 0, kDefined, {0x01}, "CD"},
      {"C" + zeros + "D", 1, kDefined, {0x21}, "CD"},
      {"C" + zeros + "D", 2, kDefined, {0x41}, "CD"},
      {"@{0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,}", 3, kDefined, {0x61}, ""},
      {"C" + Definition(kVoice) + "D@{0A}", 1, kDefined, kVoiceBytesPart1, "CD@{0A}"},
      {"", 2, kNone, {}, ""},
      {"C4{0A}D4", 2, kNone, {}, "C4{0A}D4"},
      {"@V1C}", 2, kNone, {}, "@V1C}"},
      {"{0A}" + Definition(kVoice), 0, kInvalid, {}, ""},  // the group's "}" comes first
      {"C}" + Definition(kVoice), 0, kInvalid, {}, ""},    // a "}" before the "@{"
      {"@{1,2,3", 0, kInvalid, {}, ""},                    // no "}"
      {"@{1,2,3}", 0, kInvalid, {}, ""},                   // fewer than 22 commas
      {"@{0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0}", 0, kInvalid, {}, ""},  // 21 commas
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = ExtractToneDefinition(c.text, c.part);
    ASSERT_EQ(r.status, c.status);
    if (c.status == kInvalid) continue;
    EXPECT_EQ(r.bytes, c.bytes);
    EXPECT_EQ(r.text, c.rest);
  }
}

TEST(ToneDefinition, WideNumbersSpillIntoTheirNeighbours) {
  auto tl64 = kVoice;
  tl64[7] = 64;  // TL 64 is one more SL
  tl64[5] = 0;
  auto sl1 = kVoice;
  sl1[7] = 0;
  sl1[5] = 1;
  EXPECT_EQ(ExtractToneDefinition(Definition(tl64), 0).bytes,
            ExtractToneDefinition(Definition(sl1), 0).bytes);

  auto full = kVoice;  // ML 7, VI 1, SU 1, EG 1, RR 15: byte 1 is exactly 255
  full[0] = 7, full[1] = 1, full[6] = 1, full[8] = 1, full[3] = 15;
  const auto r = ExtractToneDefinition(Definition(full), 0);
  ASSERT_EQ(r.status, ToneExtraction::Status::kDefined);
  EXPECT_EQ(r.bytes[1], 255);
  EXPECT_EQ(r.bytes[2], 0xD3);  // RR AND 3 = 3 as with RR 7

  // Past the 24-bit group the sum carries into the flag byte; past the flag byte and
  // the octave byte it is dropped. Nothing is refused.
  const Bytes base = ExtractToneDefinition(Definition(kVoice), 0).bytes;
  // clang-format off
  struct Spill { int field; int value; int byte; int expected; };
  // clang-format on
  const Spill spills[] = {
      {4, 64 + kVoice[4], 1, base[1] + 1},    // DR 64 more is 2^24 more: one more in byte 1
      {4, 64 + kVoice[4], 2, base[2]},        // and the group is as it was
      {0, 8 + kVoice[0], 1, base[1]},         // ML 8 more is 256 in byte 1: dropped
      {22, 256 + kVoice[22], 9, base[9]},     // OC wraps
      {22, -1, 9, 255},                       // a negative octave is its low byte
  };
  for (const Spill& s : spills) {
    auto v = kVoice;
    v[s.field] = s.value;
    const auto spilled = ExtractToneDefinition(Definition(v), 0);
    ASSERT_EQ(spilled.status, ToneExtraction::Status::kDefined) << s.field;
    EXPECT_EQ(spilled.bytes[s.byte], s.expected) << s.field << " = " << s.value;
  }
  // Numbers far past every field (read up to 2^40) add up without overflowing.
  std::string huge = "@{";
  for (int k = 0; k < 23; ++k) huge += (k % 2 ? "-" : "") + std::string("99999999999999,");
  huge.back() = '}';
  EXPECT_EQ(ExtractToneDefinition(huge, 2).status, ToneExtraction::Status::kDefined);
}

TEST(ToneDefinition, CountsTheValuesWritten) {
  const std::string v22 = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,";
  const struct {
    std::string values;
    int count;
  } cases[] = {
      {v22 + "3", 23},         {v22, 23},           {v22 + "3,", 23},
      {v22 + "3, \r\n, ", 23}, {v22 + "3,4", 24},   {v22 + "3,4,5", 25},
      {v22 + "3,,5", 25},      {v22 + "3,4,,", 24}, {v22 + "3,x", 24},
  };
  for (const auto& c : cases) {
    const auto r = ExtractToneDefinition("@{" + c.values + "}", 0);
    ASSERT_EQ(r.status, ToneExtraction::Status::kDefined) << c.values;
    EXPECT_EQ(r.valueCount, c.count) << c.values;
    EXPECT_EQ(r.bytes[9], 3 * (c.values[v22.size()] == '3')) << c.values;
  }
}

TEST(ExpandRepeats, ExpandsInnermostAndRightmostFirst) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"CDE", "CDE"},
      {"", ""},
      {"[CDE]3", "CDECDECDE"},
      {"[CD/E]3", "CDECDECD"},
      {"[A[B]2C]", "ABBCABBC"},
      {"[C]", "CC"},
      {"[C]0D", "D"},
      {"[C/D]0", "C"},
      {"[C/D]1", "C"},
      {"[C/D/E]3", "CDECDEC"},
      {"[/C]3", "CC"},
      {"[C]12", std::string(12, 'C')},
      {"[C]02", "CC"},
      {"[A]2[B]3", "AABBB"},
      {"[[C]2]3", "CCCCCC"},
      {"[A][2]3", std::string(222, 'A')},  // the count comes from the expanded "[2]3"
      {"[C\r\n]2D", "C\r\nC\r\nD"},
      {"[A/B[C]2]2", "ABCCA"},
      {"[C] 4", "CC 4"},
      {"[C]00000000000000000000D", "D"},
  };
  for (const auto& c : cases) {
    const auto r = ExpandRepeats(c.in);
    EXPECT_EQ(r.status, RepeatExpansion::Status::kOk) << c.in;
    EXPECT_EQ(r.text, c.out) << c.in;
  }
}

// An empty body repeated any number of times is nothing, and comes back at once (a
// hang here is the test run's own time-out).
TEST(ExpandRepeats, EmptyBodiesWithHugeCounts) {
  for (const char* text : {"[]99999999999999999999C", "[/]999999999999C", "[[]9]999999999999C"}) {
    const RepeatExpansion r = ExpandRepeats(text);
    EXPECT_EQ(r.status, RepeatExpansion::Status::kOk) << text;
    EXPECT_EQ(r.text, "C") << text;
  }
}

TEST(ExpandRepeats, UnmatchedBrackets) {
  for (const char* text : {"[C", "C]", "]C[", "[C]]", "[[C]", "C]D[E]"}) {
    EXPECT_EQ(ExpandRepeats(text).status, RepeatExpansion::Status::kUnmatched) << text;
  }
}

TEST(ExpandRepeats, RefusesHugeExpansions) {
  EXPECT_EQ(ExpandRepeats("[[[[C]99]99]99]99").status, RepeatExpansion::Status::kTooLong);
  EXPECT_EQ(ExpandRepeats("[C]99999999999999999999").status, RepeatExpansion::Status::kTooLong);
  // The limit itself is let through.
  const std::string atLimit = "[C]" + std::to_string(kMaxExpandedTextBytes);
  EXPECT_EQ(ExpandRepeats(atLimit).text.size(), kMaxExpandedTextBytes);
  EXPECT_EQ(ExpandRepeats(atLimit + "D").status, RepeatExpansion::Status::kTooLong);
}

}  // namespace
}  // namespace chwr

// The tone editor's clipboard text: the columns it writes for what the user set, the
// numbers it reads from typed text, and that the compiler builds it into an MLD file
// whose tone definition reads back as the very values the user set.

#include "tone/tone_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "build/build_song.h"
#include "mld/mld_reader.h"
#include "test_support.h"

namespace chwr {
namespace {

const std::string kHeader = "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n";
const std::string kDefaultModulator = "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 0,\r\n";
const std::string kDefaultCarrier = "   0, 0,15,15,15,15, 0, 0, 0, 0, 0, 1}\r\n";

TEST(ToneDefinitionText, StartingValuesGiveTheAlignedDefaultDefinition) {
  EXPECT_EQ(ToneDefinitionText({}), kHeader + kDefaultModulator + kDefaultCarrier);
}

TEST(ToneDefinitionText, EachSettingLandsInItsColumn) {
  struct Case {
    const char* what;
    std::function<void(ToneSettings&)> set;
    std::string modulator, carrier;  // the two value lines, without CR LF
  };
  const Case cases[] = {
      {"TL 0 is the highest level, beyond the field",
       [](ToneSettings& s) { s.carrier.totalLevel = "0"; }, "",
       "   0, 0,15,15,15,15, 0,64, 0, 0, 0, 1}"},
      {"a fraction stays a fraction", [](ToneSettings& s) { s.modulator.attackRate = "2.5"; },
       "@{ 0, 0,12.5,15,15,15, 0, 0, 0, 0, 0,", ""},
      {"three characters get no blank", [](ToneSettings& s) { s.modulator.totalLevel = "-100"; },
       "@{ 0, 0,15,15,15,15, 0,164, 0, 0, 0,", ""},
      {"AR RR DR SL in the compiler's order",
       [](ToneSettings& s) {
         s.modulator = {0, 0, 0, 0, 0, "3", "6", "7", "5", "50"};
         s.carrier = {0, 0, 0, 0, 0, "13", "15", "14", "16", "40"};
       },
       "@{ 0, 0,12,11,10, 9, 0,14, 0, 0, 0,", "   0, 0, 2, 0, 1, 2, 0,24, 0, 0, 0, 1}"},
      {"lists give their positions",
       [](ToneSettings& s) {
         s.modulator = {7, 1, 0, 1, 0};
         s.carrier = {3, 0, 1, 0, 1};
         s.octave = "3";
       },
       "@{ 7, 1,15,15,15,15, 1, 0, 0, 0, 0,", "   3, 0,15,15,15,15, 0, 0, 1, 1, 0, 3}"},
      {"FB as typed", [](ToneSettings& s) { s.feedback = "7"; },
       "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 7,", ""},
      {"FB keeps its sign and point", [](ToneSettings& s) { s.feedback = "+3.0"; },
       "@{ 0, 0,15,15,15,15, 0, 0, 0, 0,+3.0,", ""},
      {"FB in full-width digits, blanks around",
       [](ToneSettings& s) { s.feedback = " \xEF\xBC\x95 "; },  // "５"
       "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 5,", ""},
      {"FB that is no number gives the number it starts with",
       [](ToneSettings& s) { s.feedback = "6 sharp"; }, "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 6,", ""},
      {"FB with a comma cannot shift the fields after it",
       [](ToneSettings& s) { s.feedback = "1,2"; }, "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 1,", ""},
      {"FB with a brace cannot end the definition", [](ToneSettings& s) { s.feedback = "}C"; },
       "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 0,", ""},
      {"FB empty", [](ToneSettings& s) { s.feedback = ""; }, "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 0,",
       ""},
  };
  for (const Case& c : cases) {
    ToneSettings s;
    c.set(s);
    const std::string modulator = c.modulator.empty() ? kDefaultModulator : c.modulator + "\r\n";
    const std::string carrier = c.carrier.empty() ? kDefaultCarrier : c.carrier + "\r\n";
    EXPECT_EQ(ToneDefinitionText(s), kHeader + modulator + carrier) << c.what;
  }
}

TEST(ToneNumbers, TypedTextIsReadLenientlyAndCountedDownExactly) {
  struct Case {
    int from;
    const char* typed;
    const char* value;
  };
  const Case cases[] = {
      {15, "2.5", "12.5"},
      {15, "2.50", "12.5"},
      {15, ".5", "14.5"},
      {15, "3.", "12"},
      {15, "0.1", "14.9"},
      {16, "0.0000001", "15.9999999"},
      {15, "15.25", "-0.25"},
      {64, "64.0", "0"},
      {64, "-100", "164"},
      {15, "-0", "15"},
      {15, "+2", "13"},
      {15, "", "15"},
      {15, "abc", "15"},
      {15, "3abc", "12"},
      {15, " 3 ", "12"},
      {16, "1 2", "4"},  // blanks are skipped, as the compiler skips them
      {15, "1e3", "14"},
      {15, "--1", "15"},
      {15, "1.2.3", "13.8"},
      {16, "\xEF\xBC\x91\xEF\xBC\x90", "6"},               // "１０"
      {16, "\xE3\x80\x80\xEF\xBC\x8D\xEF\xBC\x92", "18"},  // "　－２"
      {64, "99999999999999999999", "-99999999999999999935"},
      {15, "-99999999999999999999.5", "100000000000000000014.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountDown(c.from, c.typed), c.value) << c.from << " - \"" << c.typed << "\"";
  }
  EXPECT_EQ(TypedNumber("007.50x"), "7.5");
  EXPECT_EQ(TypedNumber("-"), "0");
}

// The 23 numbers of the first definition in a part's text, as written.
std::vector<int> DefinitionValues(const std::string& text) {
  const std::size_t open = text.find("@{");
  const std::size_t close = text.find('}', open);
  if (open == std::string::npos || close == std::string::npos) return {};
  std::vector<int> values;
  std::stringstream fields(text.substr(open + 2, close - open - 2));
  for (std::string field; std::getline(fields, field, ',');) values.push_back(std::stoi(field));
  return values;
}

// What the definition should hold, in the compiler's order, for whole numbers typed.
std::vector<int> Expected(const std::array<int, 10>& m, const std::array<int, 10>& c, int fb,
                          int oc) {
  // m and c: ML VI EG SU WF, then AR DR SL RR TL as typed.
  auto op = [](const std::array<int, 10>& v) {
    return std::vector<int>{v[0],      v[1], 15 - v[5], 16 - v[8], 16 - v[6],
                            16 - v[7], v[3], 64 - v[9], v[2],      v[4]};
  };
  std::vector<int> values = op(m);
  values.push_back(fb);
  for (int v : op(c)) values.push_back(v);
  values.push_back(0);
  values.push_back(oc);
  return values;
}

ToneOperatorSettings Operator(const std::array<int, 10>& v) {
  return {v[0],
          v[1],
          v[2],
          v[3],
          v[4],
          std::to_string(v[5]),
          std::to_string(v[6]),
          std::to_string(v[7]),
          std::to_string(v[8]),
          std::to_string(v[9])};
}

// Pasted into part `part`, built to MLD and read back: the definition's values.
std::vector<int> RoundTrip(const std::string& clip, int part) {
  std::array<std::string, 4> mml;
  mml[static_cast<std::size_t>(part)] = clip + "O4C4";
  const auto built = BuildSong(test::Song(mml[0], mml[1], mml[2], mml[3]));
  if (!built) {
    ADD_FAILURE() << built.error().message << "\n" << clip;
    return {};
  }
  const auto read = ReadMld(built->mldImage);
  if (!read) {
    ADD_FAILURE() << read.error().message;
    return {};
  }
  return DefinitionValues(read->song.parts[static_cast<std::size_t>(part)].mml);
}

TEST(ToneDefinitionText, WholeNumbersInRangeSurviveTheMldFile) {
  // ML VI EG SU WF AR DR SL RR TL as typed; the ends of every range, then a random sweep.
  struct Case {
    std::array<int, 10> modulator, carrier;
    int fb, oc;
  };
  std::vector<Case> cases = {
      {{0, 0, 0, 0, 0, 0, 1, 1, 1, 64}, {0, 0, 0, 0, 0, 0, 1, 1, 1, 64}, 0, 1},
      {{7, 1, 1, 1, 1, 15, 16, 16, 16, 1}, {7, 1, 1, 1, 1, 15, 16, 16, 16, 1}, 7, 3},
      {{1, 0, 1, 0, 1, 0, 16, 1, 16, 1}, {6, 1, 0, 1, 0, 15, 1, 16, 1, 64}, 4, 2},
  };
  std::mt19937 random(1503);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution(low, high)(random); };
  auto any = [&] {
    return std::array<int, 10>{pick(0, 7),  pick(0, 1),  pick(0, 1),  pick(0, 1),  pick(0, 1),
                               pick(0, 15), pick(1, 16), pick(1, 16), pick(1, 16), pick(1, 64)};
  };
  for (int i = 0; i < 200; ++i) cases.push_back({any(), any(), pick(0, 7), pick(1, 3)});

  int part = 0;
  for (const Case& c : cases) {
    const std::vector<int> expected = Expected(c.modulator, c.carrier, c.fb, c.oc);
    // A tone of nothing but zeros sounds nothing, and the file's reader leaves it out.
    if (std::all_of(expected.begin(), expected.end() - 2, [](int v) { return v == 0; })) continue;
    ToneSettings s{Operator(c.modulator), Operator(c.carrier), std::to_string(c.fb),
                   std::to_string(c.oc)};
    const std::string clip = ToneDefinitionText(s);
    EXPECT_EQ(RoundTrip(clip, part), expected) << clip;
    part = (part + 1) % 4;
  }
}

TEST(ToneDefinitionText, TheCompilerRoundsFractionsAndTakesWideValues) {
  struct Case {
    const char* what;
    std::function<void(ToneSettings&)> set;
    int field;  // in the compiler's order
    int value;
  };
  const Case cases[] = {
      {"AR 2.5 gives 12.5, read as 12 (ties to even)",
       [](ToneSettings& s) { s.modulator.attackRate = "2.5"; }, 2, 12},
      {"AR 1.5 gives 13.5, read as 14", [](ToneSettings& s) { s.modulator.attackRate = "1.5"; }, 2,
       14},
      {"DR 1.6 gives 14.4, read as 14", [](ToneSettings& s) { s.carrier.decayRate = "1.6"; }, 15,
       14},
  };
  for (const Case& c : cases) {
    ToneSettings s;
    c.set(s);
    const std::vector<int> values = RoundTrip(ToneDefinitionText(s), 1);
    ASSERT_EQ(values.size(), 23u) << c.what;
    EXPECT_EQ(values[static_cast<std::size_t>(c.field)], c.value) << c.what;
  }
  // TL "0" writes 64, one beyond its field: the compiler adds it into the fields above,
  // here making SL 14 a 15.
  ToneSettings wide;
  wide.carrier.totalLevel = "0";
  wide.carrier.sustainLevel = "2";
  const std::vector<int> values = RoundTrip(ToneDefinitionText(wide), 0);
  ASSERT_EQ(values.size(), 23u);
  EXPECT_EQ(std::vector<int>(values.begin() + 16, values.begin() + 19), (std::vector{15, 0, 0}));
}

}  // namespace
}  // namespace chwr

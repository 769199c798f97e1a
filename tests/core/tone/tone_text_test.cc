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

#include "convert/build_song.h"
#include "mld/mld_reader.h"
#include "test_support.h"

namespace chwr {

// Failures show boxes as numbers, not as bytes.
void PrintTo(const ToneBoxAt& b, std::ostream* os) {
  *os << (b.carrier ? "carrier " : "modulator ") << static_cast<int>(b.box);
}

namespace {

const std::string kHeader = "' ML VI AR RR DR SL SU TL EG WF FB OC\r\n";
const std::string kModulator = "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 0,";  // starting values
const std::string kCarrier = "   0, 0,15,15,15,15, 0, 0, 0, 0, 0, 1}";

TEST(ToneDefinitionText, EachSettingLandsInItsColumn) {
  struct Case {
    const char* what;
    std::function<void(ToneSettings&)> set;
    std::string modulator = kModulator, carrier = kCarrier;
  };
  const Case cases[] = {
      {"starting values", [](ToneSettings&) {}},
      {"TL 0", [](ToneSettings& s) { s.carrier.totalLevel = "0"; }, kModulator,
       "   0, 0,15,15,15,15, 0,64, 0, 0, 0, 1}"},
      {"AR 2.5", [](ToneSettings& s) { s.modulator.attackRate = "2.5"; },
       "@{ 0, 0,12.5,15,15,15, 0, 0, 0, 0, 0,"},
      {"TL -100", [](ToneSettings& s) { s.modulator.totalLevel = "-100"; },
       "@{ 0, 0,15,15,15,15, 0,164, 0, 0, 0,"},
      {"FB as typed", [](ToneSettings& s) { s.feedback = "+3.0"; },
       "@{ 0, 0,15,15,15,15, 0, 0, 0, 0,+3.0,"},
      // Anything else would reach the compiler: a "," shifts the fields, a "}" cuts them.
      {"FB no number", [](ToneSettings& s) { s.feedback = "1,2"; },
       "@{ 0, 0,15,15,15,15, 0, 0, 0, 0, 1,"},
      {"FB no number at all", [](ToneSettings& s) { s.feedback = "}C"; }},
  };
  for (const Case& c : cases) {
    ToneSettings s;
    c.set(s);
    EXPECT_EQ(ToneDefinitionText(s), kHeader + c.modulator + "\r\n" + c.carrier + "\r\n") << c.what;
  }
}

TEST(ToneDefinitionText, TypedNumbersAreReadLenientlyAndCountedDownExactly) {
  // clang-format off
  struct Case { int from; const char* typed; const char* value; };
  // clang-format on
  const Case cases[] = {
      {15, "2.50", "12.5"},
      {15, ".5", "14.5"},
      {15, "0.1", "14.9"},
      {15, "15.25", "-0.25"},
      {64, "64.0", "0"},
      {15, "-0", "15"},
      {15, "", "15"},
      {15, "3abc", "12"},
      {16, " 1 2", "4"},
      {15, "1e3", "14"},
      {15, "--1", "15"},
      {15, "1.2.3", "13.8"},
      {16, "\xEF\xBC\x91\xEF\xBC\x90", "6"},  // "１０"
      {64, "99999999999999999999", "-99999999999999999935"},
      {15, "-99999999999999999999.5", "100000000000000000014.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountDown(c.from, c.typed), c.value) << c.from << " - \"" << c.typed << "\"";
  }
}

// The values of the tone definition in `text`, as whole numbers; none when it has none.
std::vector<int> DefinitionValues(const std::string& text) {
  const std::size_t open = text.find("@{"), close = text.find('}', open);
  if (open == std::string::npos || close == std::string::npos) return {};
  std::vector<int> values;
  std::stringstream fields(text.substr(open + 2, close - open - 2));
  for (std::string field; std::getline(fields, field, ',');) values.push_back(std::stoi(field));
  return values;
}

// Pasted into part `part`, built to MLD and read back: the definition's 23 values.
std::vector<int> RoundTrip(const ToneSettings& s, int part) {
  SongDocument song;
  song.parts[static_cast<std::size_t>(part)].mml = ToneDefinitionText(s) + "O4C4";
  const auto built = BuildSong(song);
  if (!built) return {-1};
  const auto read = ReadMld(built->mldImage);
  return DefinitionValues(read ? read->song.parts[static_cast<std::size_t>(part)].mml : "");
}

TEST(ToneDefinitionText, WholeNumbersInRangeSurviveTheMldFile) {
  // Per operator, as the user sets them: ML VI EG SU WF, then AR DR SL RR TL typed.
  using Op = std::array<int, 10>;
  struct Case {
    Op modulator, carrier;
    int fb, oc;
  };
  std::vector<Case> cases = {
      {{0, 0, 0, 0, 0, 0, 1, 1, 1, 64}, {0, 0, 0, 0, 0, 0, 1, 1, 1, 64}, 0, 1},
      {{7, 1, 1, 1, 1, 15, 16, 16, 16, 1}, {7, 1, 1, 1, 1, 15, 16, 16, 16, 1}, 7, 3},
  };
  std::mt19937 random(1503);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution(low, high)(random); };
  auto any = [&] {
    return Op{pick(0, 7),  pick(0, 1),  pick(0, 1),  pick(0, 1),  pick(0, 1),
              pick(0, 15), pick(1, 16), pick(1, 16), pick(1, 16), pick(1, 64)};
  };
  for (int i = 0; i < 200; ++i) cases.push_back({any(), any(), pick(0, 7), pick(1, 3)});

  auto settings = [](const Op& v) {
    auto t = [](int n) { return std::to_string(n); };
    return ToneOperatorSettings{v[0],    v[1],    v[2],    v[3],    v[4],
                                t(v[5]), t(v[6]), t(v[7]), t(v[8]), t(v[9])};
  };
  auto written = [](const Op& v) {  // in the compiler's order
    return std::vector<int>{v[0],      v[1], 15 - v[5], 16 - v[8], 16 - v[6],
                            16 - v[7], v[3], 64 - v[9], v[2],      v[4]};
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    std::vector<int> expected = written(c.modulator);
    expected.push_back(c.fb);
    for (int v : written(c.carrier)) expected.push_back(v);
    expected.insert(expected.end(), {0, c.oc});
    // A tone of nothing but zeros sounds nothing, and the file's reader leaves it out.
    if (std::all_of(expected.begin(), expected.end() - 2, [](int v) { return v == 0; })) continue;
    const ToneSettings s{settings(c.modulator), settings(c.carrier), std::to_string(c.fb),
                         std::to_string(c.oc)};
    EXPECT_EQ(RoundTrip(s, static_cast<int>(i % 4)), expected) << ToneDefinitionText(s);
  }
}

// Each box, typed into alone, its operator's other boxes at their starting values.
std::string& BoxText(ToneSettings& s, bool carrier, ToneBox box) {
  ToneOperatorSettings& op = carrier ? s.carrier : s.modulator;
  switch (box) {
    case ToneBox::kAttackRate:
      return op.attackRate;
    case ToneBox::kDecayRate:
      return op.decayRate;
    case ToneBox::kSustainLevel:
      return op.sustainLevel;
    case ToneBox::kReleaseRate:
      return op.releaseRate;
    case ToneBox::kTotalLevel:
      return op.totalLevel;
    case ToneBox::kFeedback:
      break;
  }
  return s.feedback;
}

TEST(ToneRanges, ABoxFitsExactlyWhenTheBuiltToneHoldsWhatWasWritten) {
  const ToneBox boxes[] = {ToneBox::kAttackRate,  ToneBox::kDecayRate,  ToneBox::kSustainLevel,
                           ToneBox::kReleaseRate, ToneBox::kTotalLevel, ToneBox::kFeedback};
  // Just inside and just outside each end of each box's range, for either operator: a
  // value that fits comes back from the MLD file as written; one that does not changes
  // the tone. So the ranges are exact without being listed here.
  for (ToneBox box : boxes) {
    for (bool carrier : {false, true}) {
      if (carrier && box == ToneBox::kFeedback) continue;  // the carrier has no FB box
      const ToneRange range = TypedRange(box);
      for (int typed : {range.low - 2, range.low - 1, range.low, range.low + 1, range.high - 1,
                        range.high, range.high + 1, range.high + 2}) {
        ToneSettings s;
        BoxText(s, carrier, box) = std::to_string(typed);
        const bool fits = typed >= range.low && typed <= range.high;
        const std::string what = ToneDefinitionText(s);
        EXPECT_EQ(FitsItsField(box, std::to_string(typed)), fits) << what;
        EXPECT_EQ(RoundTrip(s, 0) == DefinitionValues(what), fits) << what;
      }
    }
  }
}

TEST(ToneRanges, TypedTextIsJudgedByWhatTheCompilerReads) {
  // clang-format off
  struct Case { ToneBox box; const char* typed; bool fits; };
  // clang-format on
  const Case cases[] = {
      {ToneBox::kAttackRate, "20", false},                      // writes -5
      {ToneBox::kAttackRate, "2.5", true},                      // 12.5, read as 12
      {ToneBox::kAttackRate, "15.4", true},                     // -0.4, read as 0
      {ToneBox::kAttackRate, "15.6", false},                    // -0.6, read as -1
      {ToneBox::kAttackRate, "-0.4", true},                     // 15.4, read as 15
      {ToneBox::kAttackRate, "-0.5", false},                    // 15.5, read as 16 (ties to even)
      {ToneBox::kAttackRate, "abc", true},                      // no number: 0, writes 15
      {ToneBox::kDecayRate, "", false},                         // 16 - 0
      {ToneBox::kDecayRate, "\xEF\xBC\x91\xEF\xBC\x96", true},  // "１６"
      {ToneBox::kTotalLevel, "99999999999999999999", false},
      {ToneBox::kTotalLevel, "-99999999999999999999", false},
      {ToneBox::kFeedback, "7.5", false},  // read as 8
      {ToneBox::kFeedback, "6.5", true},   // read as 6
      {ToneBox::kFeedback, "7,9", true},   // written as 7: nothing after it reaches the text
      {ToneBox::kFeedback, "-1", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitsItsField(c.box, c.typed), c.fits) << static_cast<int>(c.box) << " " << c.typed;
  }
}

TEST(ToneRanges, BoxesOutOfRangeAreListedAsTheWindowShowsThem) {
  ToneSettings s;
  EXPECT_TRUE(BoxesOutOfRange(s).empty());
  s.carrier.attackRate = "20";
  s.modulator.totalLevel = "0";
  s.feedback = "8";
  s.carrier.decayRate = "16";
  s.modulator.sustainLevel = "17";
  const std::vector<ToneBoxAt> expected = {
      {false, ToneBox::kSustainLevel},
      {false, ToneBox::kTotalLevel},
      {false, ToneBox::kFeedback},
      {true, ToneBox::kAttackRate},
  };
  EXPECT_EQ(BoxesOutOfRange(s), expected);
}

}  // namespace
}  // namespace chwr

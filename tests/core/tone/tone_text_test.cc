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

#include "build/build_song.h"
#include "mld/mld_reader.h"
#include "test_support.h"

namespace chwr {
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
  struct Case {
    int from;
    const char* typed;
    const char* value;
  };
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

// Pasted into part `part`, built to MLD and read back: the definition's 23 values.
std::vector<int> RoundTrip(const ToneSettings& s, int part) {
  SongDocument song;
  song.parts[static_cast<std::size_t>(part)].mml = ToneDefinitionText(s) + "O4C4";
  const auto built = BuildSong(song);
  if (!built) return {-1};
  const auto read = ReadMld(built->mldImage);
  const std::string text = read ? read->song.parts[static_cast<std::size_t>(part)].mml : "";
  const std::size_t open = text.find("@{"), close = text.find('}', open);
  if (open == std::string::npos || close == std::string::npos) return {};
  std::vector<int> values;
  std::stringstream fields(text.substr(open + 2, close - open - 2));
  for (std::string field; std::getline(fields, field, ',');) values.push_back(std::stoi(field));
  return values;
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

TEST(ToneDefinitionText, TheCompilerRoundsFractionsAndAddsUpWideValues) {
  struct Case {
    const char* what;
    std::function<void(ToneSettings&)> set;
    std::size_t first;  // in the compiler's order
    std::vector<int> values;
  };
  const Case cases[] = {
      {"AR 2.5 writes 12.5, read as 12 (ties to even)",
       [](ToneSettings& s) { s.modulator.attackRate = "2.5"; },
       2,
       {12}},
      {"AR 1.5 writes 13.5, read as 14",
       [](ToneSettings& s) { s.modulator.attackRate = "1.5"; },
       2,
       {14}},
      // 64 is one beyond TL's field: it carries into SL, here making 14 a 15.
      {"TL 0 writes 64",
       [](ToneSettings& s) {
         s.carrier.totalLevel = "0";
         s.carrier.sustainLevel = "2";
       },
       16,
       {15, 0, 0}},
      // With every other box at its start, TL 0 makes the carrier's sum exactly 2^24: it
      // carries out of the 24-bit group into the flag byte (RR's top bits become SU) and
      // is still a definition the song builds with.
      {"TL 0 alone",
       [](ToneSettings& s) { s.carrier.totalLevel = "0"; },
       11,
       {0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    ToneSettings s;
    c.set(s);
    const std::vector<int> values = RoundTrip(s, 1);
    ASSERT_EQ(values.size(), 23u) << c.what;
    EXPECT_EQ(
        std::vector<int>(values.begin() + c.first, values.begin() + c.first + c.values.size()),
        c.values)
        << c.what;
  }
}

}  // namespace
}  // namespace chwr

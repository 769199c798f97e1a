// The build façade: every output from one compile and one pass, with its warnings.

#include <gtest/gtest.h>

#include "convert/build_song.h"
#include "test_support.h"

namespace chwr {
namespace {

TEST(BuildSong, TempoOutsideTheMldRangeWarnsAndKeepsItsLowBits) {
  const struct {
    const char* tempo;
    int written;  // the MLD tempo byte
    bool warned;
  } cases[] = {
      {"300", 44, true}, {"999", 231, true}, {"0", 0, true},     {"-5", 251, true},
      {"256", 0, true},  {"0.5", 0, true},   {"1", 1, false},    {"255", 255, false},
      {" 96 ", 96, false}, {"120.9", 120, false}, {"abc", 120, false}, {"", 120, false},
  };
  for (const auto& c : cases) {
    SongDocument song = test::Song("C4");
    song.tempo = c.tempo;
    auto build = BuildSong(song);
    ASSERT_TRUE(build) << c.tempo << ": " << build.error().message;
    // The tempo byte follows the track tag, its length and the status FF C3.
    EXPECT_EQ(build->mldImage[10 + build->mldImage[9] + 8 + 3], c.written) << c.tempo;
    if (!c.warned) {
      // A tempo that is no number has a warning of its own.
      for (const Diagnostic& w : build->warnings) {
        EXPECT_EQ(w.code, DiagnosticCode::kTempoReplaced) << c.tempo;
      }
      continue;
    }
    ASSERT_EQ(build->warnings.size(), 1u) << c.tempo;
    EXPECT_EQ(build->warnings[0].kind, DiagnosticKind::Warning);
    std::string typed = c.tempo;
    EXPECT_EQ(build->warnings[0].message, "ﾃﾝﾎﾟ " + typed + " は MLD では " +
                                              std::to_string(c.written) +
                                              " になります。1～255で指定して下さい。");
  }
}

TEST(BuildSong, OneCompileFeedsEveryOutput) {
  BuildRequest request;
  request.midi = true;
  request.selectionTexts = std::array<std::string, 4>{"E4", "", "", ""};
  auto build = BuildSong(test::Song("C4D4", "G2"), request);
  ASSERT_TRUE(build);
  EXPECT_EQ(build->compiled.parts[0].count, 1) << "the selection is built, not the part";
  EXPECT_EQ(build->compiled.parts[1].count, 0);
  EXPECT_EQ(build->sizeReport.substr(0, build->sizeReport.find(' ')),
            std::to_string(build->mldImage.size()) + "ﾊﾞｲﾄ");
  EXPECT_EQ(test::Bytes(build->midiFile.begin(), build->midiFile.begin() + 4), test::Ascii("MThd"));

  // A failure of any output stops the build: here the MIDI file's tempo.
  SongDocument slow = test::Song("C4");
  slow.tempo = "2";
  EXPECT_EQ(BuildSong(slow, request).error().message,
            "ﾃﾝﾎﾟ(2)ではMIDIﾌｧｲﾙを作成できません。4以上にして下さい。");
  EXPECT_TRUE(BuildSong(slow)) << "without MIDI the MLD file is made";
}

}  // namespace
}  // namespace chwr

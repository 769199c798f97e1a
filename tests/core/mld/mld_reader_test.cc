#include "mld/mld_reader.h"

#include <gtest/gtest.h>

#include "mld_bytes.h"

#include <string>
#include <vector>

#include "messages.h"
#include "mml/preprocess.h"
#include "song/choices.h"
#include "text/cp932.h"

namespace chwr {
namespace {

using test::Ascii;
using test::Bytes;
using test::Cat;
using namespace std::literals;

Bytes Cp932(std::string_view utf8) {
  return EncodeCp932(utf8).value();
}

// An image laid out as the builder lays it out: header chunks, then prologue, the first
// delta 00, the music (key, gate, delta triples and extended events) and FF DF 00.
Bytes Image(const Bytes& prologue, const Bytes& music, const Bytes& title = {},
            std::uint8_t protect = 0, const Bytes& cipy = {}) {
  const Bytes info =
      Cat({test::Info("sorc", {protect}), test::Info("titl", title),
           test::Info("vers", Ascii("0100")), cipy.empty() ? cipy : test::Info("cipy", cipy)});
  return test::MldFile(info, {Cat({prologue, {0}, music, {0xFF, 0xDF, 0x00}})});
}

const Bytes kTempo48 = {0x00, 0xFF, 0xC3, 120};

MldRead Read(const Bytes& image) {
  auto read = ReadMld(image);
  EXPECT_TRUE(read.has_value()) << read.error().message;
  return read.value_or(MldRead{});
}

TEST(ReadMld, WorkedExamplesOfOnePart) {
  const Bytes music = {
      0x1B, 47, 48,  // C, 48 steps, gate 47
      0x1D, 24, 36,  // D, 36 steps, gate 24: a note "8" and a sixteenth rest
      0x1F, 20, 30,  // E, 30 steps, gate 20: gap 10 stays inside the note
      0x1B, 49, 48,  // C tied into the next note
      0x1B, 48, 48,  // the last note: its gate is its length
  };
  const MldRead read = Read(Image(kTempo48, music));
  EXPECT_EQ(read.song.parts[0].mml, "Q1C4Q0D8R16Q10E*30Q0C4&C4");
  EXPECT_TRUE(read.warnings.empty());
}

TEST(ReadMld, SilenceBeforeFirstNoteSelectionsAndVolumes) {
  // clang-format off
  const Bytes music = {
      0x1B, 48, 84,                        // part 1 C
      0x5B, 24, 24,                        // part 2 C after 84 silent steps
      0xFF, 0xE2, 0x40 | 12, 0,            // part 2 volume 12
      0xFF, 0xF1, 0, 3, 1, 0x21, 0x80, 0,  // part 2 selects slot 2
      0xFF, 0xE2, 0x00 | 10, 0,            // part 1 volume 10
      0x5B, 24, 24,
  };
  // clang-format on
  const MldRead read = Read(Image(kTempo48, music));
  EXPECT_EQ(read.song.parts[0].mml, "C4");  // V10 waits for a note that never comes
  EXPECT_EQ(read.song.parts[1].mml, "R4.R16C8@V2V12C8");
}

TEST(ReadMld, BreaksLinesPastSixtyCharactersOfNotes) {
  const Bytes c4 = {0x1B, 48, 48};
  std::string c4s;
  Bytes music;
  for (int i = 0; i < 40; ++i) {
    music = Cat({music, c4});
    c4s += "C4";
  }
  EXPECT_EQ(Read(Image(kTempo48, music)).song.parts[0].mml,
            c4s.substr(0, 62) + "\r\n" + c4s.substr(0, 18));

  // "C8." and 29 quarters fill 61 characters: the line breaks after them, not one later.
  music = Cat({{0x1B, 36, 36}, music});
  EXPECT_EQ(Read(Image(kTempo48, music)).song.parts[0].mml,
            "C8." + c4s.substr(0, 58) + "\r\n" + c4s.substr(0, 22));

  // Tone and volume commands written beside the notes do not fill the line.
  const Bytes volume = {0xFF, 0xE2, 10, 0};
  const Bytes selection = {0xFF, 0xF1, 0, 3, 1, 0x01, 0x40, 0};
  music = Cat({c4, volume, selection, c4});
  for (int i = 0; i < 38; ++i) music = Cat({music, c4});
  EXPECT_EQ(Read(Image(kTempo48, music)).song.parts[0].mml,
            "C4@V1V10" + c4s.substr(0, 60) + "\r\n" + c4s.substr(0, 18));
}

TEST(ReadMld, AQThatADottedNameCannotHoldKeepsTheLengthAbsolute) {
  // clang-format off
  const struct { Bytes tempo; std::uint8_t gate, length; std::string mml; } cases[] = {
      {kTempo48, 42, 72, "Q30C*72"},    // as "Q30C4." it would sound 49 steps
      {kTempo48, 46, 72, "Q26C*72"},    // a Q of more than the short third
      {kTempo48, 34, 36, "Q2C8."},      // a small Q fits the dotted name
      {kTempo48, 104, 144, "Q40C2."},   // 40 is below a third of 144
      {kTempo48, 237, 240, "Q3C*240"},  // no name: not mistaken for an eightieth
      {{0x00, 0xFF, 0xC2, 120}, 23, 36, "Q13C*36"},  // at 24 steps "4." is 36
      {{0x00, 0xFF, 0xC2, 120}, 31, 36, "Q5C4."},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Bytes music = {0x1B, c.gate, c.length, 0x1B, 0, 0};
    EXPECT_EQ(Read(Image(c.tempo, music)).song.parts[0].mml, c.mml);
  }
}

TEST(ReadMld, TheTempoRecordSetsTheResolutionLengthsAreNamedAt) {
  const Bytes music = {0x1B, 36, 36, 0x1B, 119, 120, 0x1B, 84, 84, 0x1B, 12, 12};
  const MldRead at24 = Read(Image({0x00, 0xFF, 0xC2, 96}, music));
  EXPECT_EQ(at24.song.tempo, "96");
  EXPECT_EQ(at24.song.resolution, 0);
  EXPECT_EQ(at24.song.parts[0].mml, "C4.Q1C*120Q0C2.&C8C8");
  // A missing or unknown tempo record reads at 48.
  const std::pair<Bytes, std::string> unread[] = {
      {{}, "ﾃﾝﾎﾟの指定がないため、分解能48として読み込みました。"},
      {{0, 0xFF, 0xC5, 100}, "分解能の指定(C5)が読めないため、分解能48として読み込みました。"}};
  for (const auto& [prologue, warning] : unread) {
    const MldRead read = Read(Image(prologue, music));
    EXPECT_EQ(read.song.tempo, prologue.empty() ? "" : "100");
    EXPECT_EQ(read.song.resolution, 1);
    EXPECT_EQ(read.song.parts[0].mml, "C8.Q1C*120Q0C4.&C16C16");
    EXPECT_EQ(test::Messages(read.warnings), std::vector{warning});
  }
}

// Modulator 1,0,15,7,4,2,0,20,1,0,5; carrier 2,1,12,9,3,5,1,0,0,1,0; OC 3; packed for part 2.
const Bytes kVoiceSlot = {0x21, 0x29, 0xD3, 0xC9, 0x45, 0x56, 0x4F, 0x14, 0x08, 0x03};
const char* const kVoiceText =
    "'  ML VI AR RR DR SL SU TL EG WF FB OC\r\n"
    "@{  1, 0,15, 7, 4, 2, 0,20, 1, 0, 5,\r\n"
    "    2, 1,12, 9, 3, 5, 1, 0, 0, 1, 0, 3}\r\n\r\n";

UnpackedToneDefinition ToneText(const Bytes& slot) {
  return UnpackToneDefinition(std::span<const std::uint8_t, 10>(slot.data(), 10));
}

TEST(UnpackToneDefinition, CompilesBackToTheSameSlot) {
  for (Bytes slot :
       {kVoiceSlot, Bytes{0x61, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF8, 0xFF}}) {
    const UnpackedToneDefinition t = ToneText(slot);
    const ToneExtraction back = ExtractToneDefinition(StripComments(t.text), t.part);
    ASSERT_EQ(back.status, ToneExtraction::Status::kDefined) << t.text;
    EXPECT_EQ(Bytes(back.bytes.begin(), back.bytes.end()), slot);
  }
  // The carrier's FB and the OC alone make no tone.
  const UnpackedToneDefinition silent = ToneText({0x41, 0, 0, 0, 0, 0, 0, 0, 0x07, 0xC8});
  EXPECT_EQ(silent.part, 2);
  EXPECT_EQ(silent.text, "");
}

// A tone-definition block with kVoiceSlot in the second of its four slots.
const Bytes kDefinitions = Cat({{0, 0xFF, 0xF0, 0, 41, 1}, Bytes(10, 0), kVoiceSlot, Bytes(20, 0)});

TEST(ReadMld, HeaderVolumesTonesAndDefinitions) {
  const Bytes volumesAndTones = {0,    0xFF, 0xE2, 63,   0,    0xFF, 0xE2, 0x40 | 40, 0,
                                 0xFF, 0xE2, 0x80, 0,    0xFF, 0xE0, 1,    0,         0xFF,
                                 0xE0, 0x42, 0,    0xFF, 0xD0, 7,    0,    0xFF,      0xE0,
                                 0x85, 0,    0xFF, 0xE1, 0x83, 0,    0xFF, 0xE0,      0xC7};
  const MldRead read = Read(Image(Cat({kTempo48, volumesAndTones, kDefinitions}), {0x5B, 48, 48},
                                  Cp932("  着信ﾒﾛ trac cipy "), 1, Cp932(" 保護 ")));
  const SongDocument& s = read.song;
  EXPECT_EQ(s.title, "着信ﾒﾛ trac cipy");  // tag names inside the title are just text
  EXPECT_TRUE(s.copyProtect);
  EXPECT_EQ(s.protectText, " 保護 ");
  std::vector<std::string> volumeAndTone;
  for (const PartSlot& p : s.parts) volumeAndTone.insert(volumeAndTone.end(), {p.volume, p.tone});
  const std::vector<std::string> expected = {"63", "C", "40", "A", "0", GmProgramItemText(70),
                                             "A",  "B"};
  EXPECT_EQ(volumeAndTone, expected);  // part 3: bank 1, tone 5 is program 70
  EXPECT_EQ(s.parts[1].mml, std::string(kVoiceText) + "C4");  // the definition goes on top
  EXPECT_TRUE(read.warnings.empty());
  EXPECT_EQ(MldTitleText(Cp932("　全角 ")), "　全角");  // only U+0020 is trimmed
}

TEST(ReadMld, RefusesWhatIsNotMelo) {
  const std::pair<Result<MldRead>, const char*> cases[] = {
      {ReadMld(Ascii("mel")), msg::kInvalidFileFormat},
      {ReadMld(Ascii("MELO\0\0\0\0"sv)), msg::kInvalidFileFormat},
      {ReadMldFile("/nonexistent/dir/song.mld"), msg::kFileReadFailed}};
  for (const auto& [read, message] : cases) {
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().message, message);
  }
}

TEST(ReadMld, DamagedImagesGiveABestEffortSongAndAWarning) {
  const Bytes good = Image(Cat({kTempo48, kDefinitions}),
                           {0x1B, 47, 48, 0xFF, 0xF1, 0, 3, 1, 1, 0x40, 0, 0x5B, 48, 48},
                           Cp932("曲"), 1, Ascii("x"));
  ASSERT_TRUE(Read(good).warnings.empty());
  // A header length that lies is mended by finding the track tag.
  Bytes badHeaderLength = good;
  badHeaderLength[8] = badHeaderLength[9] = 0xFF;
  EXPECT_EQ(Read(badHeaderLength).song, Read(good).song);

  Bytes titleTooLong = Image(kTempo48, {}, Ascii("ab"));
  titleTooLong[13 + 7 + 4] = 0xFF;  // "titl" length FFxx
  std::vector<Bytes> damaged = {
      Ascii("melo\xFF\xFF\xFF\xFF\xFF\xFF trac\xFF\xFF\xFF\xFF\x00\xFF"sv),
      Ascii("melo garbage, no track tag: sorc titl cipy \xFF\xF0\x00\x29\x01\x21"sv), titleTooLong,
      Image(kTempo48, {0x1B, 48, 48, 0xFF, 0xF1, 0, 3}),  // a cut selection eats the end
  };
  // Cut anywhere: the end of track's own data byte is the only one that may go missing.
  for (std::size_t cut = 4; cut + 2 <= good.size(); ++cut)
    damaged.emplace_back(good.begin(), good.begin() + cut);
  for (const Bytes& b : damaged) {
    auto read = ReadMld(b);
    ASSERT_TRUE(read.has_value());
    EXPECT_FALSE(read->warnings.empty()) << b.size() << ": " << std::string(b.begin(), b.end());
  }
}

}  // namespace
}  // namespace chwr

// The import's frame as the dialog meets it: the facts kept at hand-over, the input
// check, the title, tempo, tones and volumes, the track and channel choice, and what
// each list item holds.

#include "import/smf_import.h"

#include <gtest/gtest.h>

#include "smf_bytes.h"
#include "song/choices.h"

namespace chwr {
namespace {

using test::Bytes;
using namespace test::smf;
using namespace std::string_view_literals;

ImportChoices Items(std::initializer_list<int> numbers) {
  ImportChoices c;
  for (int n : numbers) c.selected[n - 1] = true;
  return c;
}

ImportedSong Import(const Bytes& file, const ImportChoices& choices = Items({1})) {
  const auto facts = ReadSmfFacts(file);
  EXPECT_TRUE(facts) << facts.error().message;
  auto song = ImportSmf(file, facts.value_or(SmfFacts{}), choices);
  EXPECT_TRUE(song) << song.error().message;
  return song.value_or(ImportedSong{});
}

// Two quarter notes, C and D of octave 4, the second straight after the first.
Bytes TwoNotes(int channel = 0) {
  return Cat({On(0, 60, 100, channel), Off(48, 60, channel), On(0, 62, 100, channel),
              Off(48, 62, channel)});
}

TEST(SmfFacts, HeaderAndFirstTempoAnywhere) {
  // clang-format off
  struct Case { const char* name; Bytes bytes; int format, division; double quarterSeconds; };
  // clang-format on
  const Bytes header = Chunk("MThd", {0, 1, 0, 2, 0, 96});
  const Case cases[] = {
      {"no tempo", File(1, 96, {End()}), 1, 96, 0.5},
      {"500000", File(0, 480, {Cat({Tempo(0, 500000), End()})}), 0, 480, 0.5},
      {"428571 rounds to 0.43", File(1, 48, {Cat({Tempo(0, 428571), End()})}), 1, 48, 0.43},
      {"454545 rounds to 0.45", File(1, 48, {Cat({Tempo(0, 454545), End()})}), 1, 48, 0.45},
      {"a half hundredth rounds up", File(1, 48, {Cat({Tempo(0, 455000), End()})}), 1, 48, 0.46},
      {"the first of two, in a later track",
       File(1, 48, {End(), Cat({Tempo(0, 600000), Tempo(96, 400000), End()})}), 1, 48, 0.6},
      {"tempo bytes cut off at the end", Cat({header, Ascii("\xFF\x51\x03\x07"sv)}), 1, 96, 0.5},
      {"a tempo too fast to read counts as none", File(1, 48, {Cat({Tempo(0, 4999), End()})}), 1,
       48, 0.5},
      {"format 2 is kept as it is", File(2, 96, {End()}), 2, 96, 0.5},
      {"header cut short reads zeros", Ascii("MThd\0\0\0\6\0"sv), 0, 0, 0.5},
  };
  for (const Case& c : cases) {
    const auto facts = ReadSmfFacts(c.bytes);
    ASSERT_TRUE(facts) << c.name;
    EXPECT_EQ(facts->format, c.format) << c.name;
    EXPECT_EQ(facts->division, c.division) << c.name;
    EXPECT_DOUBLE_EQ(facts->quarterSeconds, c.quarterSeconds) << c.name;
  }
  for (const Bytes& notMidi : {Bytes{}, Ascii("MTh"), Ascii("RIFF\0\0\0\0MThd"sv), Ascii("mthd")}) {
    const auto facts = ReadSmfFacts(notMidi);
    ASSERT_FALSE(facts);
    EXPECT_EQ(facts.error().message, "SMF ﾌｫｰﾏｯﾄが無効です。");
    EXPECT_EQ(facts.error().kind, DiagnosticKind::Error);
  }
}

TEST(SmfImport, TempoBoxIsSixtyOverTheRoundedSeconds) {
  const struct {
    std::uint32_t us;
    const char* tempo;
  } cases[] = {{500000, "120"}, {454545, "133"}, {428571, "140"}, {320000, "188"}, {1000000, "60"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Import(File(1, 48, {Cat({Tempo(0, c.us), End()}), Cat({TwoNotes(), End()})})).tempo,
              c.tempo)
        << c.us;
  }
  EXPECT_EQ(Import(File(1, 48, {End(), Cat({TwoNotes(), End()})})).tempo, "120");
}

TEST(SmfImport, InputCheckTakesTheFirstFailureInOrder) {
  // clang-format off
  struct Case { ImportChoices choices; std::optional<ImportField> field; const char* message; };
  // clang-format on
  auto with = [](std::initializer_list<int> items, const char* seek, const char* measures,
                 const char* transpose) {
    ImportChoices c = Items(items);
    c.seek = seek;
    c.measures = measures;
    c.transpose = transpose;
    return c;
  };
  const Case cases[] = {
      {with({1}, "0", "32", "0"), std::nullopt, ""},
      {with({1, 2, 3, 16}, "+5", "9999", "-12"), std::nullopt, ""},
      {with({1}, " 3", "1.5", "+12"), std::nullopt, ""},
      {with({1}, "１２", "３２", "１"), std::nullopt, ""},  // full-width digits, 2 bytes each
      {with({}, "abc", "x", "x"), ImportField::kTracks, "変換対象ﾄﾗｯｸが指定されていません。"},
      {with({1, 2, 3, 4, 5}, "0", "32", "0"), ImportField::kTracks, "変換対象ﾄﾗｯｸは4つまでです。"},
      {with({1}, "", "32", "0"), ImportField::kSeek, "開始位置が無効です。"},
      {with({1}, "abc", "32", "0"), ImportField::kSeek, "開始位置が無効です。"},
      {with({1}, "1e3", "32", "0"), ImportField::kSeek, "開始位置が無効です。"},
      {with({1}, "0", "12345", "0"), ImportField::kMeasures, "変換範囲が無効です。"},
      {with({1}, "0", "３２１", "0"), ImportField::kMeasures, "変換範囲が無効です。"},
      {with({1}, "0", "", "0"), ImportField::kMeasures, "変換範囲が無効です。"},
      // Nothing to convert: no measures, or a start before the first.
      {with({1}, "0", "0", "0"), ImportField::kMeasures, "変換範囲が無効です。"},
      {with({1}, "0", "0.5", "0"), ImportField::kMeasures, "変換範囲が無効です。"},
      {with({1}, "0", "-3", "0"), ImportField::kMeasures, "変換範囲が無効です。"},
      {with({1}, "-1", "32", "0"), ImportField::kSeek, "開始位置が無効です。"},
      {with({1}, "0", "32", "-123"), ImportField::kTranspose, "ﾄﾗﾝｽﾎﾟｰｽﾞが無効です。"},
      {with({1}, "0", "32", "1000"), ImportField::kTranspose, "ﾄﾗﾝｽﾎﾟｰｽﾞが無効です。"},
      {with({1}, "0", "32", "+"), ImportField::kTranspose, "ﾄﾗﾝｽﾎﾟｰｽﾞが無効です。"},
  };
  for (const Case& c : cases) {
    const auto refused = CheckImportInput(c.choices);
    ASSERT_EQ(refused.has_value(), c.field.has_value()) << c.message << c.choices.seek;
    if (!refused) continue;
    EXPECT_EQ(refused->field, *c.field);
    EXPECT_EQ(refused->error.message, c.message);
    EXPECT_EQ(DiagnosticTitle(refused->error.kind), std::string("ｴﾗｰ"));
  }
  // A refused input converts nothing: the conversion fails with the check's message.
  const Bytes file = File(1, 48, {End(), Cat({TwoNotes(), End()})});
  const auto refused = ImportSmf(file, *ReadSmfFacts(file), Items({1, 2, 3, 4, 5}));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "変換対象ﾄﾗｯｸは4つまでです。");
}

TEST(SmfImport, FormatOneTracksAreTheChunksAfterTheFirst) {
  const Bytes file = Format1(48, {Cat({TwoNotes(), End()}), Cat({On(0, 64), Off(96, 64), End()})});
  const ImportedSong song = Import(file, Items({2, 1}));
  EXPECT_TRUE(song.converted);
  EXPECT_FALSE(song.error);
  // List order, not click order: item 1 fills part 1.
  EXPECT_EQ(song.parts[0], "Q0C4D4");
  EXPECT_EQ(song.parts[1], "Q0E2");
  EXPECT_EQ(song.parts[2], "");
  EXPECT_EQ(song.title, "無題");

  // An order given (the command line's list) is the order of the parts; a repeat adds no part.
  ImportChoices ordered = Items({1, 2});
  ordered.order = {1, 0, 1};
  const ImportedSong reordered = Import(file, ordered);
  EXPECT_EQ(reordered.parts[0], "Q0E2");
  EXPECT_EQ(reordered.parts[1], "Q0C4D4");
  EXPECT_EQ(reordered.parts[2], "");

  // Three chunks and the third item chosen: the message names it, every part is emptied,
  // and the title found before stays.
  const Bytes three = Format1(48, {Cat({Meta(0, 0x03, "Song"), TwoNotes(), End()}), End()});
  const ImportedSong missing = Import(three, Items({1, 3}));
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->message, "ﾄﾗｯｸ3情報が存在しません。");
  EXPECT_EQ(missing.error->kind, DiagnosticKind::Error);
  EXPECT_EQ(missing.parts, (std::array<std::string, 4>{}));
  EXPECT_EQ(missing.title, "Song");
  EXPECT_EQ(missing.tempo, "");
}

TEST(SmfImport, TitleComesFromTheFirstNameAtDeltaZero) {
  // clang-format off
  struct Case { const char* name; int format; Bytes first; std::optional<std::string> title; };
  // clang-format on
  const Case cases[] = {
      {"format 1, in any track", 1, Cat({End()}), "Melody"},
      {"format 1, trimmed", 1, Cat({Meta(0, 0x03, "  Tune  "), End()}), "Tune"},
      {"format 1, Shift-JIS", 1, Cat({Meta(0, 0x03, "\x83\x81\x83\x8D"), End()}), "メロ"},
      {"format 1, empty name", 1, Cat({Meta(0, 0x03, ""), End()}), "無題"},
      {"format 1, cut at a NUL", 1, Cat({Meta(0, 0x03, std::string_view("Ab\0c", 4)), End()}),
       "Ab"},
      {"format 0, the track's name", 0, Cat({Meta(0, 0x03, "Zero"), TwoNotes(), End()}), "Zero"},
      {"format 0, empty name", 0, Cat({Meta(0, 0x03, " "), TwoNotes(), End()}), "無題"},
      {"format 0, no name", 0, Cat({TwoNotes(), End()}), std::nullopt},
  };
  for (const Case& c : cases) {
    const Bytes melody = Cat({Meta(0, 0x03, "Melody"), TwoNotes(), End()});
    const Bytes file = c.format == 0 ? File(0, 48, {c.first}) : File(1, 48, {c.first, melody});
    EXPECT_EQ(Import(file).title, c.title) << c.name;
  }
  // The first "00 FF 03" of the file wins, even a later track's; none at all is "無題".
  EXPECT_EQ(Import(File(1, 48, {End(), Cat({TwoNotes(), End()})})).title, "無題");
  const ImportedSong bad = Import(File(1, 48, {Cat({Meta(0, 0x03, "A\x81"), End()}), End()}));
  EXPECT_EQ(bad.title, "A\uFFFD");
  EXPECT_EQ(test::Messages(bad.warnings),
            std::vector<std::string>{
                "ﾀｲﾄﾙにｼﾌﾄJISとして読めないﾊﾞｲﾄが1か所あり、「\uFFFD」にしました。"});
}

TEST(SmfImport, FormatZeroItemsAreChannels) {
  // Channel 10 (nibble 9) holds the drums; channel 1 the melody.
  const Bytes file = File(0, 48,
                          {Cat({On(0, 36, 100, 9), On(0, 60), Off(48, 60), Off(0, 36, 9),
                                On(0, 38, 100, 9), On(0, 62), Off(48, 62), Off(0, 38, 9), End()})});
  const ImportedSong song = Import(file, Items({1, 10, 16}));
  EXPECT_EQ(song.parts[0], "Q0C4D4");
  EXPECT_EQ(song.parts[1], "Q0C4D4");  // 36 and 38: C and D an octave and a half lower
  // A channel without events still walks the track: its part is the track's length of rest.
  EXPECT_EQ(song.parts[2], "R2");
  // Channel 10 really is the drums: with the octave, its first note says where it is.
  ImportChoices octave = Items({10});
  octave.octave = true;
  EXPECT_EQ(Import(file, octave).parts[0], "O2Q0C4D4");
}

TEST(SmfImport, TonesAndVolumesFollowTheOptions) {
  const Bytes track =
      Cat({Ev(0, {0xC0, 11}), Ev(0, {0xB0, 7, 100}), Ev(0, {0xB0, 11, 80}), On(0, 60, 90),
           Off(48, 60), Ev(0, {0xB0, 7, 41}), On(0, 62, 30), Off(48, 62), End()});
  const Bytes file = Format1(48, {track});
  struct Case {
    const char* name;
    bool tone;
    ImportVolume volume;
    bool absolute;
    const char* part;
    std::optional<int> toneIndex;
  };
  const Case cases[] = {
      {"nothing taken over", false, ImportVolume::kNone, false, "Q0C4D4", std::nullopt},
      {"tone", true, ImportVolume::kNone, false, "Q0C4D4", 15},
      {"controller 7", false, ImportVolume::kVolume, false, "V50Q0C4V20D4", std::nullopt},
      {"controller 11", false, ImportVolume::kExpression, false, "V40Q0C4D4", std::nullopt},
      // Velocities: only note-ons count, not the note-offs' release velocity 64.
      {"velocity", false, ImportVolume::kVelocity, false, "V45Q0C4V15D4", std::nullopt},
      {"absolute, controller 7", false, ImportVolume::kVolume, true, "V50Q0C*48V20D*48",
       std::nullopt},
      {"absolute, velocity", false, ImportVolume::kVelocity, true, "V45Q0C*48V15D*48",
       std::nullopt},
      {"absolute, none", false, ImportVolume::kNone, true, "Q0C*48D*48", std::nullopt},
  };
  for (const Case& c : cases) {
    ImportChoices choices = Items({1});
    choices.tone = c.tone;
    choices.volume = c.volume;
    choices.absolute = c.absolute;
    const ImportedSong song = Import(file, choices);
    EXPECT_EQ(song.parts[0], c.part) << c.name;
    EXPECT_EQ(song.toneIndex[0], c.toneIndex) << c.name;
  }
  // The index is the part tone list's: program 11 is the twelfth program.
  EXPECT_EQ(ToneItems()[15].text, GmProgramItemText(12));
}

TEST(SmfImport, AppliedToASongAsTheWindowTakesIt) {
  const Bytes file =
      Format1(48, {Cat({Meta(0, 0x03, "Tune"), Ev(0, {0xC0, 0}), TwoNotes(), End()})});
  ImportChoices choices = Items({1});
  choices.tone = true;
  SongDocument song;
  song.resolution = 0;
  song.parts[3].mml = "C";
  ApplyImportedSong(Import(file, choices), song);
  EXPECT_EQ(song.title, "Tune");
  EXPECT_EQ(song.tempo, "120");
  EXPECT_EQ(song.resolution, 1);
  EXPECT_EQ(song.parts[0].mml, "Q0C4D4");
  EXPECT_EQ(song.parts[0].tone, GmProgramItemText(1));
  EXPECT_EQ(song.parts[1].tone, kDefaultToneChoice);
  EXPECT_EQ(song.parts[3].mml, "");

  // A format the dialog does not convert changes nothing.
  const Bytes two = File(2, 48, {Cat({TwoNotes(), End()})});
  const auto notConverted = ImportSmf(two, *ReadSmfFacts(two), Items({1}));
  ASSERT_TRUE(notConverted);
  EXPECT_FALSE(notConverted->converted);
  SongDocument kept = song;
  ApplyImportedSong(*notConverted, kept);
  EXPECT_EQ(kept, song);
}

// An item as "present name channels notes lowest highest", for one comparison.
std::string Describe(const ImportSource& s) {
  std::string out = s.present ? "present " + s.name + " [" : "absent " + s.name + " [";
  for (int c : s.channels) out += std::to_string(c) + ",";
  return out + "] " + std::to_string(s.noteCount) + " " + std::to_string(s.lowestNote) + " " +
         std::to_string(s.highestNote);
}

TEST(SmfImport, ListItemsSayWhatEachTrackOrChannelHolds) {
  const Bytes format1 = Format1(48, {Cat({Meta(0, 0x03, "Lead"), On(0, 72, 100, 2), Off(48, 72, 2),
                                          On(0, 65, 100, 3), Ev(48, {65, 0}), End()}),
                                     Cat({Meta(0, 0x01, "no name, no notes"), End()})});
  const auto items = DescribeImportSources(format1, *ReadSmfFacts(format1));
  EXPECT_EQ(Describe(items[0]), "present Lead [3,4,] 2 65 72");
  EXPECT_EQ(Describe(items[1]), "present  [] 0 -1 -1");
  EXPECT_EQ(Describe(items[2]), "absent  [] 0 -1 -1");

  const Bytes format0 = File(0, 48,
                             {Cat({Ev(0, {0xC9, 0}), On(0, 36, 100, 9), Off(48, 36, 9), On(0, 60),
                                   On(0, 64), Off(48, 60), Off(0, 64), End()})});
  const auto channels = DescribeImportSources(format0, *ReadSmfFacts(format0));
  EXPECT_EQ(Describe(channels[0]), "present  [1,] 2 60 64");
  EXPECT_EQ(Describe(channels[9]), "present  [10,] 1 36 36");
  EXPECT_FALSE(channels[1].present);
  EXPECT_FALSE(DescribeImportSources(format1, SmfFacts{2, 48, 0.5})[0].present);
}

}  // namespace
}  // namespace chwr

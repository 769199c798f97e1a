// Whole files: broken ones built here byte by byte, the edge-case files of the shared test
// data, and a MIDI file opened as a song with the dialog's first choices.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "convert/open_song.h"
#include "import/smf_import.h"
#include "smf_bytes.h"

namespace chwr {
namespace {

using test::Bytes;
using namespace test::smf;
using namespace std::string_view_literals;

// What a conversion of item 1 ends in: a refusal of the file, an error, or part 1.
struct Outcome {
  std::string refused;  // ReadSmfFacts's message
  std::string error;    // the conversion's error
  bool converted = false;
  std::string part1;
  std::optional<std::string> title;
};

Outcome ImportItem(const Bytes& bytes, bool absolute = false, int item = 1) {
  Outcome o;
  const auto facts = ReadSmfFacts(bytes);
  if (!facts) {
    o.refused = facts.error().message;
    return o;
  }
  ImportChoices c;
  c.selected[item - 1] = true;
  c.absolute = absolute;
  c.measures = "9999";
  const auto song = ImportSmf(bytes, *facts, c);
  EXPECT_TRUE(song);
  if (!song) return o;
  o.converted = song->converted;
  if (song->error) o.error = song->error->message;
  o.part1 = song->parts[0];
  o.title = song->title;
  return o;
}

Bytes Scale() {
  return Cat({On(0, 60), Off(48, 60), On(0, 62), Off(48, 62)});
}

TEST(SmfMalformed, BrokenFilesEndCleanlyWithAKnownResult) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* refused;
    const char* error;
    const char* part1;
  };
  const Bytes header0 = Chunk("MThd", {0, 0, 0, 1, 0, 48});
  const Bytes header1 = Chunk("MThd", {0, 1, 0, 2, 0, 48});
  const Bytes lengthPastEnd = Cat({header0, Ascii("MTrk\xFF\xFF\xFF\xFF"sv), Scale(), End()});
  const Case cases[] = {
      {"header cut after its tag", Ascii("MThd"), "", "分解能(0)のMIDIﾌｧｲﾙは変換できません。", ""},
      {"header cut inside its fields", Ascii("MThd\0\0\0\6\0\0\0\1\0"sv), "",
       "分解能(0)のMIDIﾌｧｲﾙは変換できません。", ""},
      {"format 0 without a track", header0, "", "ﾄﾗｯｸ情報が存在しません。", ""},
      {"format 1 with only the first track", Cat({header1, Chunk("MTrk", End())}), "",
       "ﾄﾗｯｸ1情報が存在しません。", ""},
      {"a track length past the end: the length is not needed", lengthPastEnd, "", "", "Q0C4D4"},
      {"no end of track: the walk ends with the data, the last note written",
       Cat({header0, Chunk("MTrk", Scale())}), "", "", "Q0C4D4"},
      {"a last event cut short",
       Cat({header0, Chunk("MTrk", Cat({Scale(), Ev(0, {0xFF, 0x01, 9})}))}), "", "", "Q0C4D4"},
      {"a note-off cut short: its note has no length yet",
       Cat({header0, Chunk("MTrk", Cat({On(0, 60), Off(48, 60), On(0, 62), Ev(48, {0x80})}))}), "",
       "", "Q0C4"},
      {"running status at the start: the stray byte is passed over",
       Cat({header0, Chunk("MTrk", Cat({Ev(0, {0x3C}), Scale(), End()}))}), "", "", "Q0C4D4"},
      {"an endless delta time after notes",
       Cat({header0, Chunk("MTrk", Cat({Scale(), Bytes(40, 0xFF)}))}), "", "", "Q0C4D4"},
      {"a track chunk inside another's data is found by the search",
       Cat({header1, Chunk("MTrk", Cat({Meta(0, 0x01, "MTrk\0\0\0\0"sv), Scale(), End()}))}), "",
       "", "Q0C4D4"},
  };
  for (const Case& c : cases) {
    for (const bool absolute : {false, true}) {
      const Outcome o = ImportItem(c.bytes, absolute);
      EXPECT_EQ(o.refused, c.refused) << c.name;
      EXPECT_EQ(o.error, c.error) << c.name;
      if (!absolute) {
        EXPECT_EQ(o.part1, c.part1) << c.name;
      }
    }
  }
}

std::filesystem::path TestData() {
  if (const char* dir = std::getenv("CHWR_SMF_TESTDATA")) return dir;
  return CHWR_SMF_TESTDATA;
}

TEST(SmfTestData, EveryFileImportsOrIsRefusedAsItShould) {
  const auto dir = TestData();
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no test data at " << dir;
  const std::string scale = "Q0C4D4E4F4G4A4B4<C4";
  struct Case {
    const char* file;
    const char* refused;
    bool converted;
    std::string part1;
    const char* title;
  };
  const Case cases[] = {
      {"test-2-tracks-type-0.mid", "", true, "R4" + scale, "Standard MIDI file type 0 (invalid)"},
      {"test-2-tracks-type-1.mid", "", true, "R4Q0C+4D+4F4F+4G+4A+4<C4C+4",
       "Standard MIDI file type 1"},
      {"test-2-tracks-type-2.mid", "", false, "", nullptr},
      {"test-c-major-scale.mid", "", true, scale, "C Major Scale Test"},
      {"test-corrupt-file-extra-byte.mid", "", true, scale, "Corrupt File: Extra Byte"},
      {"test-corrupt-file-missing-byte.mid", "", true, scale, "Corrupt File: Mising Byte"},
      {"test-empty-file.mid", "SMF ﾌｫｰﾏｯﾄが無効です。", false, "", nullptr},
      {"test-empty.mid", "", true, "", nullptr},
      {"test-illegal-message-all.mid", "", true, scale, "Illegal MIDI messages"},
      {"test-multichannel-chords-0.mid", "", true, scale, "Multi-channel chords Test 0"},
      {"test-non-midi-track.mid", "", true, scale, "Non-MIDI Track Test"},
      {"test-not-a-midi-file.mid", "SMF ﾌｫｰﾏｯﾄが無効です。", false, "", nullptr},
      {"test-note-on-velocity.mid", "", true, "Q0C4C4C4C4C4C4C4C4C4", "Note-On Velocity Test"},
      {"test-running-status-metaevent.mid", "", true, scale,
       "Running status interrupted by metaevent"},
      {"test-running-status-sysex.mid", "", true, scale, "Running status interrupted by SysEx"},
      {"test-smpte-offset.mid", "", true, scale, "SMPTE Offset Test"},
      {"test-vlq-2-byte.mid", "", true, scale, "2-Byte VLQ"},
      {"test-vlq-3-byte.mid", "", true, scale, "3-Byte VLQ"},
      {"test-vlq-4-byte.mid", "", true, scale, "4-Byte VLQ"},
  };
  for (const Case& c : cases) {
    const Bytes bytes = test::ReadBytes(dir / c.file);
    for (const bool absolute : {false, true}) {
      const Outcome o = ImportItem(bytes, absolute);
      EXPECT_EQ(o.refused, c.refused) << c.file;
      EXPECT_EQ(o.converted, c.converted) << c.file;
      EXPECT_EQ(o.error, "") << c.file;
      if (!absolute) {
        EXPECT_EQ(o.part1, c.part1) << c.file;
      }
      EXPECT_EQ(o.title, c.title ? std::optional<std::string>(c.title) : std::nullopt) << c.file;
    }
  }
  // The chords file keeps its three voices on three channels.
  const Bytes chords = test::ReadBytes(dir / "test-multichannel-chords-0.mid");
  EXPECT_EQ(ImportItem(chords, false, 2).part1, "Q0E4F4G4A4B4<C4D4E4");
  EXPECT_EQ(ImportItem(chords, false, 3).part1, "Q0G4A4B4<C4D4E4F4G4");
  EXPECT_EQ(ImportItem(test::ReadBytes(dir / "test-c-major-scale.mid"), true).part1,
            "Q0C*48D*48E*48\r\nF*48G*48A*48B*48\r\n<C*48");
}

TEST(SmfOpen, AMidiFileOpensWithTheDialogsFirstChoices) {
  const Bytes file = Format1(48, {Cat({Meta(0, 0x03, "Tune"), Ev(0, {0xC0, 5}), Scale(), End()}),
                                  Cat({On(0, 64), Off(48, 64), End()})});
  const auto opened = OpenSongBytes(FileKind::kMidi, file);
  ASSERT_TRUE(opened) << opened.error().message;
  EXPECT_EQ(opened->kind, FileKind::kMidi);
  EXPECT_EQ(opened->song.title, "Tune");
  EXPECT_EQ(opened->song.tempo, "120");
  EXPECT_EQ(opened->song.resolution, 1);
  EXPECT_EQ(opened->song.parts[0].mml, "Q0C4D4");
  EXPECT_EQ(opened->song.parts[0].tone, SongDocument{}.parts[0].tone);  // tones not taken over
  EXPECT_EQ(opened->song.parts[1].mml, "");

  const struct {
    Bytes bytes;
    const char* message;
  } refusals[] = {
      {File(2, 48, {End()}), "SMF ﾌｫｰﾏｯﾄ2のMIDIﾌｧｲﾙは変換できません。(ﾌｫｰﾏｯﾄ0と1のみ)"},
      {File(1, 48, {End()}), "ﾄﾗｯｸ1情報が存在しません。"},
  };
  for (const auto& r : refusals) {
    const auto refused = OpenSongBytes(FileKind::kMidi, r.bytes);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, r.message);
  }
}

}  // namespace
}  // namespace chwr

// The MIDI file of a song: golden bytes for the worked examples, built through the
// same step pass as the MLD image.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/build_song.h"
#include "io/byte_reader.h"
#include "smf_bytes.h"

namespace chwr {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace smf = test::smf;

using test::SongOf;

// The part tracks of the song's MIDI file: the chunks after the conductor track.
MidiTracks Tracks(const SongDocument& song, MidiSettings settings = {}) {
  BuildRequest request;
  request.midi = true;
  request.midiSettings = settings;
  auto build = BuildSong(song, request);
  EXPECT_TRUE(build) << build.error().message;
  MidiTracks tracks;
  if (!build) return tracks;
  ByteReader file(build->midiFile);
  file.NextChunk();  // header
  file.NextChunk();  // conductor
  tracks.chunks.assign(build->midiFile.begin() + static_cast<std::ptrdiff_t>(file.pos()),
                       build->midiFile.end());
  while (file.NextChunk()) ++tracks.count;
  return tracks;
}

// The body of the n-th part chunk, and its events between program change and end.
Bytes Body(const MidiTracks& tracks, int n = 0) {
  std::size_t at = 0;
  for (int i = 0;; ++i) {
    const std::size_t len = (tracks.chunks[at + 4] << 24) | (tracks.chunks[at + 5] << 16) |
                            (tracks.chunks[at + 6] << 8) | tracks.chunks[at + 7];
    if (i == n) return Bytes(tracks.chunks.begin() + at + 8, tracks.chunks.begin() + at + 8 + len);
    at += 8 + len;
  }
}

Bytes Events(const MidiTracks& tracks, int n = 0) {
  const Bytes body = Body(tracks, n);
  return Bytes(body.begin() + 7, body.end() - 4);
}

TEST(SmfImage, HeaderAndConductorTrack) {
  SongDocument song = SongOf({"C4", "D4"}, 0);
  auto image = SmfImage(song, Tracks(song), false);
  ASSERT_TRUE(image);
  // Format 1, three tracks, 24 ticks a quarter; an empty copyright and title, tempo 120.
  const Bytes start = smf::Cat(
      {smf::Chunk("MThd", {0, 1, 0, 3, 0, 24}),
       smf::Chunk("MTrk", smf::Cat({smf::Meta(0, 0x02, ""), smf::Meta(0, 0x03, ""),
                                    smf::Tempo(0, 500000), smf::End()}))});
  EXPECT_EQ(Bytes(image->begin(), image->begin() + 41), start);

  song.title = "ABC";
  song.resolution = 1;
  image = SmfImage(song, MidiTracks{}, true);
  ASSERT_TRUE(image);
  EXPECT_EQ((*image)[11], 1);     // only the conductor track
  EXPECT_EQ((*image)[13], 0x30);  // 48 steps per quarter
  EXPECT_EQ(Bytes(image->begin() + 14 + 8 + 4, image->begin() + 14 + 8 + 11),
            Bytes({0x00, 0xFF, 0x03, 0x03, 'A', 'B', 'C'}));
  EXPECT_EQ(Bytes(image->begin() + 14 + 8 + 15, image->begin() + 14 + 8 + 18),
            Bytes({0x03, 0xD0, 0x90}));  // 120 at double speed: 250000

  // A title of 128 bytes or more keeps a valid length field.
  song.title = std::string(130, 'x');
  image = SmfImage(song, MidiTracks{}, false);
  ASSERT_TRUE(image);
  EXPECT_EQ(Bytes(image->begin() + 14 + 8 + 4, image->begin() + 14 + 8 + 9),
            Bytes({0x00, 0xFF, 0x03, 0x81, 0x02}));
  EXPECT_EQ((*image)[14 + 7], 19 + 130 + 1);
}

TEST(SmfImage, Tempo) {
  EXPECT_EQ(*MidiTempo("abc", false), 120);
  EXPECT_EQ(*MidiTempo("", false), 120);
  EXPECT_EQ(*MidiTempo("300", true), 600);
  EXPECT_EQ(*MidiTempo("2", true), 4);
  EXPECT_EQ(*MidiTempo("１５０", false), 150);
  EXPECT_EQ(*MidiTempo("\u3000９６．５ ", false), 96.5);
  for (const char* bad : {"0", "-5", "3.9"}) {
    auto t = MidiTempo(bad, false);
    ASSERT_FALSE(t) << bad;
    EXPECT_EQ(t.error().message,
              "ﾃﾝﾎﾟ(" + std::string(bad) + ")ではMIDIﾌｧｲﾙを作成できません。4以上にして下さい。");
  }
}

TEST(SmfImage, TempoPeriodRoundsToTheNearestMicrosecond) {
  // clang-format off
  const struct { const char* tempo; bool doubleSpeed; std::uint32_t period; } cases[] = {
      {"7", false, 8571429},    // 8571428.57...
      {"120", false, 500000},   //
      {"96.5", false, 621762},  // 621761.66...
      {"1536", false, 39062},   // 39062.5: a tie goes to the even neighbour
      {"512", false, 117188},   // 117187.5
      {"768", true, 39062},     // doubled to 1536
  };
  // clang-format on
  for (const auto& c : cases) {
    SongDocument song = SongOf({"C4"});
    song.tempo = c.tempo;
    auto image = SmfImage(song, MidiTracks{}, c.doubleSpeed);
    ASSERT_TRUE(image) << c.tempo;
    // Header, conductor head, title events: the tempo's three bytes start at 14 + 8 + 12.
    const Bytes period = {static_cast<std::uint8_t>(c.period >> 16),
                          static_cast<std::uint8_t>(c.period >> 8),
                          static_cast<std::uint8_t>(c.period)};
    EXPECT_EQ(Bytes(image->begin() + 34, image->begin() + 37), period) << c.tempo;
  }
}

TEST(MidiTracks, NoteEventsAndPendingTime) {
  // A later note with value 27, gate 12, step 24 at velocity 63: 00 30 7E 0C 30 00,
  // then its 12 pending ticks become the closing filler.
  const MidiTracks tracks = Tracks(SongOf({"C8Q12C8"}));
  ASSERT_EQ(tracks.count, 1);
  EXPECT_EQ(Events(tracks), Bytes({0x00, 0x90, 0x30, 0x7E, 0x18, 0x30, 0x00,  //
                                   0x00, 0x30, 0x7E, 0x0C, 0x30, 0x00,        //
                                   0x0C, 0x01, 0x00, 0x00, 0x01, 0x00}));
  // Volume and program around the events.
  EXPECT_EQ(Bytes(tracks.chunks.begin() + 8, tracks.chunks.begin() + 15),
            Bytes({0x00, 0xB0, 0x07, 0x7F, 0x00, 0xC0, 0x00}));
}

TEST(MidiTracks, OctaveChoice) {
  MidiSettings low;
  low.octaveChoice = 2;
  // "C-" in octave 1 lowered by two is note value 0: key 9 low, 33 high.
  EXPECT_EQ(Events(Tracks(SongOf({"O1T-2C-4"}), low)).at(2), 9);
  MidiSettings high;
  high.octaveChoice = 0;
  EXPECT_EQ(Events(Tracks(SongOf({"O1T-2C-4"}), high)).at(2), 33);
}

TEST(MidiTracks, EachPartStartsAtItsVolumeChoice) {
  const struct {
    const char* choice;
    const char* mml;
    std::vector<int> velocities;  // of the note-ons that sound
  } cases[] = {
      {"A", "C4D4", {126, 126}},  {"B", "C4D4", {108, 108}},   {"C", "C4D4", {76, 76}},
      {"――", "C4D4", {126, 126}}, {"40", "C4V40D4", {80, 80}}, {"40", "C4V63D4", {80, 126}},
      {"1", "C4~D4", {2, 4}},     {"0", "C4D4", {}},           {"0", "C4V5D4", {10}},
  };
  for (const auto& c : cases) {
    // The choice is read for part 2, where its item data also carries the part.
    SongDocument song = SongOf({"", c.mml});
    song.parts[1].volume = c.choice;
    const Bytes events = Events(Tracks(song));
    // The first event carries the status byte; the others are delta, key, velocity (every
    // delta here takes one byte).
    std::vector<int> velocities;
    if (events.size() >= 4 && events[3] != 0) velocities.push_back(events[3]);
    for (std::size_t i = 4; i + 2 < events.size(); i += 3) {
      if (events[i + 2] != 0) velocities.push_back(events[i + 2]);
    }
    EXPECT_EQ(velocities, c.velocities) << c.choice << " " << c.mml;
  }
}

TEST(MidiTracks, VolumeZeroIsSilence) {
  // O4 V0 C4 V1 C4 V0 C4: the notes are struck at velocity 0, 2 and 0, so only the
  // second sounds; every note keeps its place in time.
  EXPECT_EQ(Events(Tracks(SongOf({"O4V0C4V1C4V0C4"}))),
            Bytes({0x00, 0x90, 0x3C, 0x00, 0x30, 0x3C, 0x00,  //
                   0x00, 0x3C, 0x02, 0x30, 0x3C, 0x00,        //
                   0x00, 0x3C, 0x00, 0x30, 0x3C, 0x00}));
  // A silent note after a rest starts after the rest, not where the note before it ended.
  EXPECT_EQ(Events(Tracks(SongOf({"C4R4V0C4V63C4"}))),
            Bytes({0x00, 0x90, 0x30, 0x7E, 0x30, 0x30, 0x00,  //
                   0x30, 0x30, 0x00, 0x30, 0x30, 0x00,        //
                   0x00, 0x30, 0x7E, 0x30, 0x30, 0x00}));
}

TEST(MidiTracks, RestsTiesAndFillers) {
  // A part that begins with a rest opens with a silent note-on and its end.
  EXPECT_EQ(Events(Tracks(SongOf({"R4C4"}))),
            Bytes({0x00, 0x90, 0x30, 0x00, 0x00, 0x30, 0x00,  // the rest takes the key of C
                   0x30, 0x30, 0x7E, 0x30, 0x30, 0x00}));
  // Tied notes of one pitch are struck once and held for both.
  EXPECT_EQ(Events(Tracks(SongOf({"C4&C4"}))), Bytes({0x00, 0x90, 0x30, 0x7E, 0x60, 0x30, 0x00}));
  // A tie into another pitch ends one step early so the next note is struck cleanly.
  EXPECT_EQ(Events(Tracks(SongOf({"C4&D4"}))),
            Bytes({0x00, 0x90, 0x30, 0x7E, 0x30, 0x30, 0x00, 0x00, 0x32, 0x7E, 0x30, 0x32, 0x00}));
  // A part 96 ticks shorter than the longest is carried on with a filler.
  const MidiTracks tracks = Tracks(SongOf({"C1", "C2"}));
  const Bytes second = Events(tracks, 1);
  EXPECT_EQ(Bytes(second.end() - 6, second.end()), Bytes({0x60, 0x01, 0x00, 0x00, 0x01, 0x00}));
}

TEST(MidiTracks, RepeatProgramAndMute) {
  MidiSettings repeat;
  repeat.repeatOn = true;
  EXPECT_EQ(Events(Tracks(SongOf({"C4"}), repeat)),
            Bytes({0x00, 0x90, 0x30, 0x7E, 0x30, 0x30, 0x00,  //
                   0x00, 0x30, 0x7E, 0x30, 0x30, 0x00}));

  SongDocument song = SongOf({"C4", "D4", "E4", "F4"});
  song.parts[0].tone = "A";
  song.parts[3].tone = "41  Violin";
  MidiSettings mute;
  mute.mute[1] = true;
  MidiTracks tracks = Tracks(song, mute);
  ASSERT_EQ(tracks.count, 3);
  // Channels follow the part number: 1, 3 and 4; programs from the tone choices.
  auto opening = [&](int n) {
    const Bytes body = Body(tracks, n);
    return Bytes(body.begin(), body.begin() + 7);
  };
  EXPECT_EQ(opening(0), Bytes({0x00, 0xB0, 0x07, 0x7F, 0x00, 0xC0, 2}));   // "A"
  EXPECT_EQ(opening(1), Bytes({0x00, 0xB2, 0x07, 0x7F, 0x00, 0xC2, 0}));   // "B"
  EXPECT_EQ(opening(2), Bytes({0x00, 0xB3, 0x07, 0x7F, 0x00, 0xC3, 40}));  // Violin
  // Parts as long as the longest still get a filler of 0 ticks.
  const Bytes third = Events(tracks, 2);
  EXPECT_EQ(Bytes(third.end() - 6, third.end()), Bytes({0x00, 0x01, 0x00, 0x00, 0x01, 0x00}));
  MidiSettings program;
  program.allPartsProgram = 80;
  tracks = Tracks(song, program);
  EXPECT_EQ(Body(tracks, 3).at(6), 80);

  // Muted or empty everywhere: only the conductor track is left.
  MidiSettings all;
  all.mute = {true, true, true, true};
  EXPECT_EQ(Tracks(song, all).count, 0);
  EXPECT_EQ(Tracks(SongOf({})).count, 0);
}

TEST(ResetSmf, FortySevenBytes) {
  const Bytes reset = ResetSmfImage();
  ASSERT_EQ(reset.size(), 47u);
  EXPECT_EQ(reset[21], 0x19);
  EXPECT_EQ(reset.size() - 22, 0x19u);
  EXPECT_EQ(Bytes(reset.end() - 4, reset.end()), Bytes({0x00, 0xFF, 0x2F, 0x00}));
}

}  // namespace
}  // namespace chwr

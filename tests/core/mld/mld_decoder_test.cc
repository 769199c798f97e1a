#include "mld/mld_decoder.h"

#include <gtest/gtest.h>

#include "mld_bytes.h"
#include "test_support.h"

#include <string>
#include <vector>

#include "convert/build_song.h"
#include "messages.h"

namespace chwr {
namespace {

using test::Ascii;
using test::Bytes;
using test::Cat;

using test::Info;
using test::MldFile;

MldMusic Decode(const Bytes& bytes) {
  auto music = DecodeMld(bytes);
  EXPECT_TRUE(music.has_value());
  return music ? *music : MldMusic{};
}

// Start tick, channel, key, gate, velocity, shift of each note: what a listener hears.
struct Heard {
  std::int64_t tick;
  int channel, key, gate, velocity, shift;
  bool operator==(const Heard&) const = default;
};
std::vector<Heard> HeardOf(const MldMusic& m) {
  std::vector<Heard> out;
  for (const MldNote& n : m.notes)
    out.push_back({n.tick, n.channel, n.key, n.gate, n.velocity, n.octaveShift});
  return out;
}

const Bytes& kTempo = test::kMldTempo;
const Bytes& kEnd = test::kMldEnd;

TEST(MldDecoder, NoteSizeComesFromTheNoteChunkOnly) {
  // The same bytes are two 4-byte notes or, in 3-byte notes, a different song entirely.
  const Bytes track = Cat({kTempo, {0x00, 0x0A, 0x18, 0xF9, 0x0C, 0x8A, 0x18, 0x02}, kEnd});
  const MldMusic four =
      Decode(MldFile(Cat({Info("vers", Ascii("0300")), Info("note", {0, 1})}), {track}));
  EXPECT_EQ(HeardOf(four), (std::vector<Heard>{{0, 0, 10, 24, 62, 12}, {12, 2, 10, 24, 0, -24}}));
  EXPECT_TRUE(four.warnings.empty()) << four.warnings.front().message;
  EXPECT_EQ(four.tracks.at(0).eventCount, 4u);
  EXPECT_TRUE(four.tracks.at(0).hasEnd);

  // "vers" 0300 without a "note" chunk keeps 3-byte notes: the end event is eaten.
  const MldMusic three = Decode(MldFile(Info("vers", Ascii("0300")), {track}));
  EXPECT_EQ(three.notes.size(), 4u);
  EXPECT_EQ(three.notes[0].velocity, 63);
  EXPECT_FALSE(three.tracks.at(0).hasEnd);
}

TEST(MldDecoder, OctaveShiftsAndGateZero) {
  const Bytes track =
      Cat({kTempo, {0, 0x05, 0, 0x00, 0, 0x05, 1, 0x01, 0, 0x05, 2, 0x02, 0, 0x05, 3, 0x03}, kEnd});
  const MldMusic m = Decode(MldFile(Info("note", {0, 1}), {track}));
  std::vector<int> shifts, gates;
  for (const MldNote& n : m.notes) shifts.push_back(n.octaveShift), gates.push_back(n.gate);
  EXPECT_EQ(shifts, (std::vector<int>{0, 12, -24, -12}));
  EXPECT_EQ(gates, (std::vector<int>{0, 1, 2, 3}));  // gate 0 is a note like any other
}

TEST(MldDecoder, LongDeltaAndChannelRemap) {
  const Bytes track = Cat({kTempo,
                           {0x10, 0xFF, 0xDC, 0x02, 0x05, 0x41, 0x30,   // 16 + 512 + 5
                            0x00, 0xFF, 0xE5, 0x45, 0x00, 0x41, 0x30},  // voice 1 -> channel 5
                           kEnd});
  const MldMusic m = Decode(MldFile({}, {{}, track}));
  ASSERT_EQ(m.notes.size(), 2u);
  EXPECT_EQ(m.notes[0].tick, 16 + 512 + 5);
  EXPECT_EQ(m.notes[0].channel, 4 * 1 + 1);  // track 1, voice 1
  EXPECT_EQ(m.notes[1].channel, 5);

  // Channels past the sixteenth stay past it, however many tracks there are.
  std::vector<Bytes> many(70);
  many.back() = {0x00, 0x01, 0x30};
  EXPECT_EQ(Decode(MldFile({}, many)).notes.at(0).channel, 255);
}

TEST(MldDecoder, UnknownEventsAreSteppedOverByTheirLengthAndNamed) {
  // One unknown in each length class, then a note that must still decode; exst 1 makes
  // every extended-A event one byte longer, audio included.
  const Bytes track = Cat({{0x00, 0xFF, 0x85, 0x11,                    // 1-byte value
                            0x00, 0xFF, 0xF9, 0x00, 0x02, 0xAA, 0xBB,  // length-prefixed
                            0x00, 0xFF, 0x10, 0x01, 0x02,              // extended A, exst 1
                            0x00, 0x7F, 0x00, 0x01, 0x02,              // audio play
                            0x03, 0x07, 0x30},
                           kEnd});
  const Bytes file = MldFile(Info("exst", {0, 1}), {track});
  const MldMusic m = Decode(file);
  ASSERT_EQ(m.notes.size(), 1u);
  EXPECT_EQ(m.notes[0].tick, 3);
  EXPECT_EQ(m.notes[0].key, 7);
  const std::size_t trackAt = file.size() - track.size();
  EXPECT_EQ(test::Messages(m.warnings),
            (std::vector<std::string>{msg::MldUnknownEvent(0, trackAt, 0xFF, 0x85),
                                      msg::MldUnknownEvent(0, trackAt + 4, 0xFF, 0xF9),
                                      msg::MldUnknownEvent(0, trackAt + 11, 0xFF, 0x10),
                                      msg::kMldAudioSkipped}));
  EXPECT_EQ(trackAt, 0x1Du);
  EXPECT_EQ(m.warnings[0].message,
            "ﾄﾗｯｸ1の位置 0x1D に読めないｲﾍﾞﾝﾄ(FF 85)があったため、読み飛ばしました。");
}

TEST(MldDecoder, KeySixtyThreeIsANoteExceptWhereItIsAudio) {
  // This program writes O6C of parts 1-3 as key 63: 3F, 7F and BF statuses.
  const Bytes track = Cat({{0x00, 0x3F, 0x10, 0x00, 0x7F, 0x10, 0x00, 0xBF, 0x10}, kEnd});
  std::vector<int> voices;
  for (const MldNote& n : Decode(MldFile(Info("vers", Ascii("0100")), {track})).notes) {
    EXPECT_EQ(n.key, 63);
    voices.push_back(n.voice);
  }
  EXPECT_EQ(voices, (std::vector<int>{0, 1, 2}));
  // In another program's layout 7F starts an audio event (play: a sample number after it).
  const Bytes audio = Cat({{0x00, 0x3F, 0x10, 0x00, 0x7F, 0x00, 0x01, 0x00, 0xBF, 0x10}, kEnd});
  const MldMusic other = Decode(MldFile(Info("note", {0, 0}), {audio}));
  voices.clear();
  for (const MldNote& n : other.notes) voices.push_back(n.voice);
  EXPECT_EQ(voices, (std::vector<int>{0, 2}));
  EXPECT_EQ(test::Messages(other.warnings), std::vector<std::string>{msg::kMldAudioSkipped});
}

TEST(MldDecoder, RepeatedTroubleIsOneWarningWithItsCount) {
  const Bytes track =
      Cat({{0x00, 0xFF, 0x85, 0x11, 0x00, 0xFF, 0x85, 0x12, 0x00, 0xFF, 0x85, 0x13}, kEnd});
  const MldMusic m = Decode(MldFile({}, {track}));
  ASSERT_EQ(m.warnings.size(), 1u);
  EXPECT_NE(m.warnings[0].message.find("（ほか同様に2か所）"), std::string::npos);
}

TEST(MldDecoder, LongLengthsOddChunksAndUnknownIds) {
  // A machine-dependent block over 32 KB (its length is unsigned), a 29-byte info chunk
  // followed at once by the next id, an unknown info id and an audio data chunk.
  const Bytes maker(0x8001, 0x11);
  const Bytes track =
      Cat({{0x00, 0xFF, 0xFF}, test::U16(maker.size()), maker, {0x00, 0x02, 0x30}, kEnd});
  const Bytes info =
      Cat({Info("copy", Bytes(29, 'c')), Info("zzzz", {1, 2, 3}), Info("titl", Ascii("AB"))});
  Bytes file = MldFile(info, {track});
  const MldMusic m = Decode(file);
  EXPECT_EQ(m.info.title, "AB");
  EXPECT_EQ(m.info.copyright, std::string(29, 'c'));
  EXPECT_EQ(m.info.chunkIds, (std::vector<std::string>{"copy", "zzzz", "titl"}));
  ASSERT_EQ(m.notes.size(), 1u);
  EXPECT_EQ(m.notes[0].key, 2);
  EXPECT_TRUE(m.warnings.empty());
}

TEST(MldDecoder, DamagedFilesGiveWhatCouldBeReadWithWarnings) {
  const Bytes track = Cat({kTempo, {0x00, 0x02, 0x30, 0x00, 0x03, 0x30}, kEnd});
  Bytes file = MldFile({}, {track});
  // The track's stated length runs past the file: the last whole event is kept, the
  // next chunk's bytes are never read as events.
  Bytes cut(file.begin(), file.end() - 3);
  MldMusic m = Decode(cut);
  EXPECT_EQ(m.notes.size(), 2u);
  EXPECT_EQ(test::Messages(m.warnings),
            (std::vector<std::string>{msg::MldFileLengthMismatch(file.size() - 8, cut.size() - 8),
                                      msg::kMldTruncated}));

  // Two tracks declared, one there.
  m = Decode(MldFile({}, {track}, 2));
  EXPECT_EQ(test::Messages(m.warnings),
            (std::vector<std::string>{msg::MldTrackCountMismatch(2, 1)}));

  // Not an MLD file at all.
  const auto bad = DecodeMld(Ascii("MThd"));
  ASSERT_FALSE(bad.has_value());
  EXPECT_EQ(bad.error().message, msg::kInvalidFileFormat);
  EXPECT_EQ(bad.error().code, DiagnosticCode::kInvalidFormat);
}

TEST(MldDecoder, OneTempoMapForEveryTrack) {
  // Track 1 halves the tempo at tick 48; track 0's note at tick 96 is later for it.
  const Bytes t0 = Cat({kTempo, {0x60, 0x01, 0x10}, kEnd});
  const Bytes t1 = {0x30, 0xFF, 0xC3, 0x3C, 0x00, 0xFF, 0xBC, 0x0A, 0x00, 0xFF, 0xDF, 0x00};
  const MldMusic m = Decode(MldFile({}, {t0, t1}));
  EXPECT_EQ(m.tempos, (std::vector<MldTempo>{{0, 48, 120}, {48, 48, 70}}));
  const MldClock clock(m.tempos);
  EXPECT_EQ(clock.Microseconds(48), 500'000);
  EXPECT_EQ(clock.Microseconds(96), 500'000 + 60'000'000 / 70);
  EXPECT_EQ(clock.Units(96), 2 * MldClock::kUnitsPerQuarter);
  EXPECT_EQ(m.lengthTicks, 96 + 16);  // the note ends after every track's end

  // Before any tempo: 120 a minute, 48 a quarter. A timebase change rescales the units.
  const MldClock other({{0, 48, 120}, {48, 96, 120}, {144, 6, 240}});
  EXPECT_EQ(other.Units(144), 2 * MldClock::kUnitsPerQuarter);
  EXPECT_EQ(other.Units(145), 2 * MldClock::kUnitsPerQuarter + 320);
  EXPECT_EQ(other.Microseconds(145), 1'000'000 + 60'000'000 / (240 * 6));
}

TEST(MldDecoder, ControlsAndLoopPoints) {
  const Bytes track = Cat({kTempo,
                           {0x00, 0xFF, 0xE0, 0x45, 0x00, 0xFF, 0xE1, 0x41, 0x00, 0xFF, 0xE2,
                            0x7F, 0x00, 0xFF, 0xE3, 0x20, 0x00, 0xFF, 0xE4, 0x30, 0x00, 0xFF,
                            0xDD, 0x0C, 0x30, 0xFF, 0xDD, 0x0D, 0x00, 0xFF, 0xBA, 0x49},
                           kEnd});
  const MldMusic m = Decode(MldFile({}, {{}, track}));
  std::vector<std::tuple<int, MldControlKind, int>> got;
  for (const MldControl& c : m.controls) got.emplace_back(c.channel, c.kind, c.value);
  using K = MldControlKind;
  EXPECT_EQ(got, (std::vector<std::tuple<int, MldControlKind, int>>{{5, K::kProgram, 5},
                                                                    {5, K::kBank, 1},
                                                                    {5, K::kVolume, 63},
                                                                    {4, K::kPan, 32},
                                                                    {4, K::kPitchBend, 48},
                                                                    {9, K::kChannelMode, 1}}));
  ASSERT_EQ(m.loops.size(), 2u);
  EXPECT_TRUE(m.loops[0].start);
  EXPECT_EQ(m.loops[0].count, 3);
  EXPECT_FALSE(m.loops[1].start);
  EXPECT_EQ(m.loops[1].tick, 0x30);
}

TEST(MldDecoder, OurOwnFilesDecodeToTheNotesTheyWereBuiltFrom) {
  const auto built = BuildSong(test::SongOf({"O4C4D8&D8R4E16", "O2G2", "", "<A1"}));
  ASSERT_TRUE(built.has_value()) << built.error().message;
  const MldMusic m = Decode(built->mldImage);
  EXPECT_TRUE(m.warnings.empty()) << m.warnings.front().message;
  // Every event of every part, with the part as the voice, at its step.
  std::vector<std::tuple<std::int64_t, int, int, int>> want, got;
  for (int part = 0; part < 4; ++part) {
    std::int64_t at = 0;
    for (const NoteEvent& e : built->compiled.parts[part].events) {
      want.emplace_back(at, part, e.key & 63, e.gate);  // a rest is a note of gate 0 here
      at += e.step;
    }
  }
  EXPECT_TRUE(IsSongLayout(m));
  EXPECT_FALSE(IsSongLayout(Decode(MldFile(Info("note", {0, 1}), {kEnd}))));
  EXPECT_FALSE(IsSongLayout(Decode(MldFile({}, {kEnd, kEnd}))));
  for (const MldNote& n : m.notes) got.emplace_back(n.tick, n.voice, n.key, n.gate);
  std::sort(want.begin(), want.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace chwr

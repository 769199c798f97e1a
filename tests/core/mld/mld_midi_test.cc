#include "mld/mld_midi.h"

#include <gtest/gtest.h>

#include "mld_bytes.h"
#include "test_support.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "io/byte_reader.h"
#include "messages.h"
#include "midi/smf_events.h"

namespace chwr {
namespace {

using test::Bytes;
using test::Cat;
using test::Info;
using test::kMldEnd;
using test::kMldTempo;
using test::MldFile;

// What a MIDI file plays, read back with the program's own track reader.
struct Played {
  struct Note {
    int channel, key, velocity;
    std::int64_t on, off;
    bool operator==(const Note&) const = default;
  };
  std::vector<Note> notes;
  std::vector<std::tuple<std::int64_t, int, int, int>> channelEvents;  // at, status, d1, d2
  std::vector<std::pair<std::int64_t, std::string>> markers;
  std::vector<std::pair<std::int64_t, int>> tempos;  // at, microseconds a quarter
  int division = 0;
  std::size_t tracks = 0;
};

Played Play(const std::vector<std::uint8_t>& smf) {
  Played p;
  ByteReader r(smf);
  auto head = r.NextChunk();
  EXPECT_TRUE(head && head->tag == "MThd" && head->body.size() == 6);
  if (!head || head->body.size() < 6) return p;
  p.division = head->body[4] << 8 | head->body[5];
  while (auto chunk = r.NextChunk()) {
    EXPECT_EQ(chunk->tag, "MTrk");
    ++p.tracks;
    const std::size_t start = chunk->offset + 8;
    smf::TrackReader tr(smf, start, start + chunk->body.size());
    smf::Event e;
    std::int64_t now = 0;
    bool ended = false;
    std::vector<std::size_t> open;
    while (tr.Next(e) == smf::ReadStatus::kEvent) {
      now += e.delta;
      if (e.IsEndOfTrack()) ended = true;
      if (e.IsNoteOn()) {
        open.push_back(p.notes.size());
        p.notes.push_back({e.Channel(), e.data1, e.data2, now, -1});
      } else if (e.IsNoteOff()) {
        auto it = std::find_if(open.begin(), open.end(), [&](std::size_t i) {
          return p.notes[i].channel == e.Channel() && p.notes[i].key == e.data1;
        });
        EXPECT_NE(it, open.end()) << "a note-off without its note";
        if (it != open.end()) p.notes[*it].off = now, open.erase(it);
      } else if (e.kind == smf::EventKind::kChannel) {
        p.channelEvents.emplace_back(now, e.status, e.data1, e.data2);
      } else if (e.kind == smf::EventKind::kMeta && e.metaType == 0x06) {
        p.markers.emplace_back(now, std::string(e.payload.begin(), e.payload.end()));
      } else if (e.kind == smf::EventKind::kMeta && e.metaType == 0x51) {
        p.tempos.emplace_back(now, e.payload[0] << 16 | e.payload[1] << 8 | e.payload[2]);
      }
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(open.empty()) << "a note is never released";
  }
  std::stable_sort(p.notes.begin(), p.notes.end(),
                   [](const auto& a, const auto& b) { return a.on < b.on; });
  return p;
}

MldMidi Convert(const Bytes& file) {
  auto music = DecodeMld(file);
  EXPECT_TRUE(music.has_value());
  return music ? MldToSmf(*music) : MldMidi{};
}

constexpr int kPerTick = MldClock::kUnitsPerQuarter / 48;

TEST(MldMidi, NotesSoundWhereAndAsLongAsTheHandsetPlaysThem) {
  // Track 0 (4-byte notes): key 15 an octave up; at tick 24 a note of gate 0 on voice 1, and
  // key 15 two octaves down, struck again at 36 while it still sounds.
  const Bytes t0 = Cat({kMldTempo,
                        {0x00, 0x0F, 0x18, 0xFD, 0x18, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x30, 0x02,
                         0x0C, 0x0F, 0x30, 0x02},
                        kMldEnd});
  // Track 2 voice 1 is channel 9, the drums.
  const Bytes t2 = {0x00, 0x41, 0x10, 0x00};
  const MldMidi midi = Convert(MldFile(Info("note", {0, 1}), {t0, {}, t2}));
  EXPECT_TRUE(midi.warnings.empty());
  const Played p = Play(midi.bytes);
  EXPECT_EQ(p.division, MldClock::kUnitsPerQuarter);
  EXPECT_EQ(p.tracks, 3u);  // the conductor and channels 0 and 9
  EXPECT_EQ(p.notes, (std::vector<Played::Note>{
                         {0, 45 + 15 + 12, 126, 0, 24 * kPerTick},
                         {9, 35 + 1, 1, 0, 16 * kPerTick},
                         // Held on from 24 to 36 + 48: one note, struck once.
                         {0, 45 + 15 - 24, 1, 24 * kPerTick, 84 * kPerTick},
                         // The note of gate 0 on channel 1 is a rest: no click for it.
                     }));
}

TEST(MldMidi, TempoMapLoopsAndVoiceSettings) {
  const Bytes t0 = Cat({kMldTempo,
                        {0x00, 0xFF, 0xE0, 0x45, 0x00, 0xFF, 0xE1, 0x41,  // voice 1: program 69
                         0x00, 0xFF, 0xE2, 0x3F, 0x00, 0xFF, 0xE3, 0x20,  // voice 0: volume, pan
                         0x00, 0xFF, 0xE4, 0x30, 0x00, 0xFF, 0xDD, 0x00,  // bend up, loop start
                         0x30, 0x02, 0x30, 0x00, 0xFF, 0xDD, 0x01},       // a note, loop end
                        kMldEnd});
  // Track 1 sets 60 a minute at 96 ticks a quarter at tick 48: the rest of the song slows.
  const Bytes t1 = {0x30, 0xFF, 0xC4, 0x3C, 0x30, 0x00, 0x30};
  const Played p = Play(Convert(MldFile({}, {t0, t1})).bytes);
  EXPECT_EQ(p.tempos,
            (std::vector<std::pair<std::int64_t, int>>{{0, 500'000}, {48 * kPerTick, 1'000'000}}));
  EXPECT_EQ(p.markers, (std::vector<std::pair<std::int64_t, std::string>>{
                           {0, "loopStart"}, {48 * kPerTick, "loopEnd"}}));
  // After the change a tick is a 96th of a quarter: track 1's note at 96 lies half a
  // quarter later than 48 ticks a quarter would put it.
  ASSERT_EQ(p.notes.size(), 2u);
  EXPECT_EQ(p.notes[1].on, 48 * kPerTick + 48 * (MldClock::kUnitsPerQuarter / 96));
  EXPECT_EQ(p.channelEvents, (std::vector<std::tuple<std::int64_t, int, int, int>>{
                                 {0, 0xB0, 111, 0},  // the loop start, with the conductor
                                 {0, 0xB0, 7, 126},  // channel 0: volume, pan, bend
                                 {0, 0xB0, 10, 64},
                                 {0, 0xE0, 0, 96},
                                 {0, 0xC1, 5, 0},  // channel 1: program, then its bank's bit 6
                                 {0, 0xC1, 64 + 5, 0}}));
}

TEST(MldMidi, ChannelsAHandsetKeepsSilentAreLeftOutAndSaidSo) {
  const Bytes t0 = {0x00, 0xFF, 0xE5, 0x11, 0x00, 0x01, 0x30,   // voice 0 to channel 17
                    0x00, 0xFF, 0xBA, 0x0A, 0x00, 0x41, 0x30};  // channel 1 in mode 2
  const MldMidi midi = Convert(MldFile({}, {t0}));
  EXPECT_TRUE(Play(midi.bytes).notes.empty());
  EXPECT_EQ(test::Messages(midi.warnings), std::vector<std::string>{msg::kMldSilentChannels});
}

TEST(MldMidi, TheLoopRunsFromTheFirstStartToTheEndAfterIt) {
  // Tempo 120 at 48 ticks a quarter: a tick is 10.41 ms. Loop events: delta, FF DD, value.
  const auto loopMs = [](const Bytes& loops) {
    const Bytes events = Cat({kMldTempo, loops, {0x00, 0x01, 0x30}, kMldEnd});  // a note after
    return MldLoopMs(*DecodeMld(MldFile({}, {events})));
  };
  const Bytes start48 = {0x30, 0xFF, 0xDD, 0x00}, end96 = {0x30, 0xFF, 0xDD, 0x01};
  EXPECT_EQ(loopMs({}), std::nullopt);
  EXPECT_EQ(loopMs(Cat({start48, end96})), (MldLoopSpan{500, 1000}));
  EXPECT_EQ(loopMs(start48), (MldLoopSpan{500, 1000})) << "no end: the song's";
  EXPECT_EQ(loopMs(Cat({{0x30}, {0xFF, 0xDD, 0x01}})), (MldLoopSpan{0, 500})) << "no start";
  EXPECT_EQ(loopMs({0x05, 0xFF, 0xDD, 0x40}), (MldLoopSpan{52, 552})) << "rounded down";
  EXPECT_EQ(loopMs(Cat({end96, start48})), (MldLoopSpan{1000, 1500})) << "an end before it";
}

}  // namespace
}  // namespace chwr

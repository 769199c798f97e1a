// What a user hears after a MIDI import: each part converted as if its track began at the
// start measure, all parts in time with each other, every note within a step of the
// source however long the part, and notes played legato, long or struck again kept as
// they sound. The songs are compiled, so the checks are on steps and keys, not on text.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "convert/build_song.h"
#include "import/smf_import.h"
#include "heard.h"
#include "import_fidelity.h"
#include "smf_bytes.h"

namespace chwr {
namespace {

using test::Bytes;
using namespace test::smf;

// A note of a test track: pitch, note-on and note-off ticks.
struct Src {
  int note;
  std::uint32_t on, off;
};

// A track body of notes (any order, overlaps allowed), then the end of track at `end`.
Bytes Track(std::vector<Src> notes, std::uint32_t end) {
  struct Ev {
    std::uint32_t tick;
    int order;  // offs before ons at the same tick, unless given otherwise
    Bytes bytes;
  };
  std::vector<Ev> events;
  for (const Src& n : notes) {
    events.push_back({n.on, 1, {0x90, static_cast<std::uint8_t>(n.note), 100}});
    events.push_back({n.off, 0, {0x80, static_cast<std::uint8_t>(n.note), 64}});
  }
  std::stable_sort(events.begin(), events.end(), [](const Ev& a, const Ev& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  Bytes out;
  std::uint32_t at = 0;
  for (const Ev& e : events) {
    out = Cat({out, Vlq(e.tick - at), e.bytes});
    at = e.tick;
  }
  return Cat({out, End(end - at)});
}

struct Options {
  const char* seek = "0";
  const char* measures = "32";
  const char* transpose = "0";
  bool absolute = false;
};

ImportedSong Import(const Bytes& file, std::initializer_list<int> items, const Options& o) {
  ImportChoices c;
  for (int item : items) c.selected[item - 1] = true;
  c.seek = o.seek;
  c.measures = o.measures;
  c.transpose = o.transpose;
  c.absolute = o.absolute;
  c.octave = true;
  auto song = ImportSmf(file, *ReadSmfFacts(file), c);
  EXPECT_TRUE(song) << song.error().message;
  EXPECT_FALSE(song && song->error) << song->error->message;
  return song.value_or(ImportedSong{});
}

// Each part of an imported song as it sounds, and its length in steps.
struct HeardPart {
  std::vector<test::HeardNote> notes;
  int totalSteps = 0;
};

std::array<HeardPart, 4> Compile(const ImportedSong& imported) {
  SongDocument song;
  ApplyImportedSong(imported, song);
  std::array<HeardPart, 4> parts;
  const auto built = BuildSong(song);
  EXPECT_TRUE(built) << built.error().message;
  if (!built) return parts;
  for (int p = 0; p < 4; ++p) {
    parts[p] = {test::HeardNotes(built->compiled.parts[p]), built->compiled.parts[p].totalSteps};
  }
  return parts;
}

// Three tracks at 96 ticks a quarter (a measure is 384), four measures long:
// 1: a quarter note on every beat, sounding three quarters of it;
// 2: long notes: one from beat 3 of measure 0 through measure 1, then one per measure;
// 3: silent in measure 1, then eighth notes from measure 2 on.
Bytes ThreeTracks() {
  std::vector<Src> beats, longs, eighths;
  for (std::uint32_t b = 0; b < 16; ++b) beats.push_back({60 + static_cast<int>(b % 5), b * 96, b * 96 + 72});
  longs = {{48, 0, 192}, {50, 192, 768}, {52, 768, 1152}, {53, 1152, 1536}};
  for (std::uint32_t e = 0; e < 8; ++e) eighths.push_back({72, e * 48, e * 48 + 40});
  for (std::uint32_t e = 16; e < 32; ++e) eighths.push_back({74 + static_cast<int>(e % 3), e * 48, e * 48 + 40});
  return Format1(96, {Track(beats, 1536), Track(longs, 1536), Track(eighths, 1536)});
}

TEST(SmfRange, EveryPartBeginsAtTheStartMeasureAndAllStayInTime) {
  const Bytes file = ThreeTracks();
  struct Case {
    const char* name;
    const char* seek;
    // Per part: the first note heard (its key, the MIDI note transposed by 2 less 21),
    // where it starts and ends.
    std::array<test::HeardNote, 3> first;
  };
  // Steps are 48 a quarter here (the file's 96 ticks halved); two measures are 384 steps.
  const Case cases[] = {
      {"measure 0", "0", {{{41, 0, 36}, {29, 0, 96}, {53, 0, 20}}}},
      // Track 2's long note began in measure 0 and sounds across the start: it is taken
      // from the start with the rest of its length. Track 3 is silent in measure 1.
      {"inside, across a sounding note", "1", {{{45, 0, 36}, {31, 0, 192}, {56, 192, 212}}}},
      {"on a note boundary", "2", {{{44, 0, 36}, {33, 0, 192}, {56, 0, 20}}}},
      {"the last measure", "3", {{{43, 0, 36}, {34, 0, 192}, {55, 0, 20}}}},
  };
  for (const bool absolute : {false, true}) {
    for (const Case& c : cases) {
      const std::string what = std::string(c.name) + (absolute ? ", absolute" : ", streaming");
      const ImportedSong song = Import(
          file, {1, 2, 3},
          {.seek = c.seek, .measures = "2", .transpose = "+2", .absolute = absolute});
      const auto parts = Compile(song);
      // Measures 0..3 hold 4 - seek measures; two are asked for.
      const int expectedSteps = std::min(2, 4 - std::atoi(c.seek)) * 192;
      for (int p = 0; p < 3; ++p) {
        ASSERT_FALSE(parts[p].notes.empty()) << what << ", part " << p + 1;
        EXPECT_EQ(parts[p].notes.front(), c.first[p]) << what << ", part " << p + 1 << "\n"
                                                       << song.parts[p];
        EXPECT_EQ(parts[p].totalSteps, expectedSteps) << what << ", part " << p + 1;
        // Nothing from before the start: no line break or volume ahead of the music.
        EXPECT_NE(song.parts[p].substr(0, 2), "\r\n") << what << "\n" << song.parts[p];
      }
    }
  }
}

TEST(SmfRange, AStartPastTheEndOfEveryTrackConvertsNothing) {
  const Bytes file = ThreeTracks();
  ImportChoices c;
  c.selected[0] = c.selected[2] = true;
  for (const char* seek : {"4", "99999"}) {
    c.seek = seek;
    const auto refused = ImportSmf(file, *ReadSmfFacts(file), c);
    ASSERT_FALSE(refused) << seek;
    EXPECT_EQ(refused.error().message, "開始位置が曲の終わりより後ろです。(0～3小節)");
  }
  // Past the end of one chosen track only: that part is empty, the others convert.
  const Bytes uneven = Format1(48, {Track({{60, 0, 48}}, 192), Track({{62, 0, 48}, {64, 192, 960}}, 960)});
  c.selected = {true, true};
  c.seek = "2";
  const auto song = ImportSmf(uneven, *ReadSmfFacts(uneven), c);
  ASSERT_TRUE(song && !song->error);
  EXPECT_EQ(song->parts[0], "");
  // Its long E sounds across the start: three measures of it are left.
  EXPECT_EQ(song->parts[1], "Q0E1&E1&E1");
}

TEST(SmfRange, TheVolumeInEffectAtTheStartCounts) {
  // Volume 100 (V50) from the start, 60 (V30) in measure 1, 40 (V20) in measure 2.
  const Bytes events = Cat({Ev(0, {0xB0, 7, 100}), On(0, 60), Off(192, 60), Ev(0, {0xB0, 7, 60}),
                            On(0, 62), Off(192, 62), Ev(0, {0xB0, 7, 40}), On(0, 64),
                            Off(192, 64), End()});
  const Bytes file = File(0, 48, {events});
  ImportChoices c;
  c.selected[0] = true;
  c.volume = ImportVolume::kVolume;
  c.seek = "1";
  for (const bool absolute : {false, true}) {
    c.absolute = absolute;
    const auto song = ImportSmf(file, *ReadSmfFacts(file), c);
    ASSERT_TRUE(song && !song->error);
    const std::string& part = song->parts[0];
    EXPECT_EQ(part.substr(part.find('V'), 3), "V30") << part;
    EXPECT_EQ(part.find("V50"), std::string::npos) << part;
    EXPECT_NE(part.find("V20"), std::string::npos) << part;
  }
}

TEST(SmfRange, NotesPlayedLegatoLongOrStruckAgainSoundAsTheyDo) {
  struct Case {
    const char* name;
    std::vector<Src> notes;
    std::uint32_t end;
    const char* streaming;
    const char* absolute;
  };
  const Case cases[] = {
      // Five quarters of D, its note-off a little after the next note-on: the D is
      // written whole and slurred into the next, not lost to a rest.
      {"a long legato note", {{62, 0, 250}, {64, 240, 288}}, 288, "O4Q0D1&D4&E4",
       "O4\r\nQ0D*192&D*48&E*48"},
      // The same pitch struck again before its note-off: two notes, no tie.
      {"a note struck again", {{60, 0, 49}, {60, 48, 96}}, 96, "O4Q0C4C4", "O4Q0C*48C*48"},
      // A chord first: the part is written from its last note, and so is the octave.
      {"a chord first", {{48, 0, 48}, {72, 0, 48}, {74, 48, 96}}, 96, "O5Q0C4D4", "O5Q0C*48D*48"},
  };
  for (const Case& c : cases) {
    const Bytes file = File(0, 48, {Track(c.notes, c.end)});
    EXPECT_EQ(Import(file, {1}, {}).parts[0], c.streaming) << c.name;
    EXPECT_EQ(Import(file, {1}, {.absolute = true}).parts[0], c.absolute) << c.name;
  }
  // A first note less than half a step from the start (1 tick of 480) starts the part:
  // no rest of length 0 is written.
  const Bytes late = File(0, 480, {Track({{60, 1, 480}, {62, 480, 960}}, 960)});
  EXPECT_EQ(Import(late, {1}, {.absolute = true}).parts[0], "O4Q0C*48D*48");
  EXPECT_EQ(Import(late, {1}, {}).parts[0], "O4Q0C4D4");
}

// Notes off the grid, as played by hand: onsets and lengths wander by a few ticks, some
// notes overlap the next, some are struck again before their note-off, grace notes of a
// tick or two come before a beat, and chords begin together.
Bytes PlayedByHand(std::mt19937& rng, int division) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<Src> notes;
  int beat = division;  // the first beat comes after a rest
  for (int i = 0; i < 300; ++i) {
    const int len = division / 4 * pick(1, 8);
    const int on = std::max(0, beat + pick(-division / 16, division / 16));
    const int pitch = pick(36, 84);
    const int kind = pick(0, 9);
    auto add = [&](int note, int from, int to) {
      notes.push_back({note, static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to)});
    };
    if (kind == 0) add(pitch - 1, on, on + 1);  // a grace note
    if (kind == 1) add(pitch - 12, on + 1, on + len);  // a chord, not quite together
    const int off = on + len + (kind == 2 ? pick(1, division / 8)  // legato, overlapping
                                          : -pick(0, len / 2));
    add(pitch, kind == 0 ? on + 2 : on, off);
    if (kind == 3) add(pitch, on + len - 1, on + len + len / 2);  // struck again
    beat += len;
  }
  std::uint32_t end = 0;
  for (const Src& n : notes) end = std::max(end, n.off);
  return Format1(division, {Track(notes, end)});
}

TEST(SmfRange, NotesStayWithinAStepOfTheSourceAlongTheWholePart) {
  std::mt19937 rng(19);
  for (const int division : {96, 120, 192, 480}) {
    const Bytes file = PlayedByHand(rng, division);
    for (const bool absolute : {false, true}) {
      for (const char* seek : {"0", "3"}) {
        ImportChoices c;
        c.seek = seek;
        c.measures = "200";
        c.absolute = absolute;
        const test::Fidelity f = test::MeasureImport(file, 0, c);
        ASSERT_EQ(f.failure, "");
        EXPECT_GT(f.writable, 200);
        EXPECT_EQ(f.outOfRange, 0);
        EXPECT_EQ(f.matched, f.writable)
            << "division " << division << (absolute ? ", absolute" : ", streaming")
            << ", from measure " << seek << ": " << (f.misses.empty() ? "" : f.misses.front());
      }
    }
  }
}

TEST(SmfRange, LengthsOffTheGridDoNotAddUp) {
  // Twenty notes of 121 ticks at 120 a quarter: 48.4 steps each. Rounded one by one they
  // would come 8 steps early by the end; rounded as positions each starts where it should.
  std::vector<Src> notes;
  for (std::uint32_t i = 0; i < 20; ++i) notes.push_back({60 + static_cast<int>(i % 2) * 2, i * 121, i * 121 + 121});
  const Bytes file = File(0, 120, {Track(notes, 20 * 121)});
  for (const bool absolute : {false, true}) {
    const auto parts = Compile(Import(file, {1}, {.absolute = absolute}));
    ASSERT_EQ(parts[0].notes.size(), 20u);
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(parts[0].notes[i].start, (i * 121 * 48 + 60) / 120) << i;
    }
    EXPECT_EQ(parts[0].totalSteps, (20 * 121 * 48 + 60) / 120);
  }
}

}  // namespace
}  // namespace chwr

// The two conversions note by note: the worked examples of the streaming writer (length
// names, "Q", ties, octaves, transposition) and of the absolute one ("*n", rests, one line
// a measure), the event walk's statuses, and divisions too small for every length.

#include <gtest/gtest.h>

#include "import/smf_import.h"
#include "smf_bytes.h"

namespace chwr {
namespace {

using test::Bytes;
using namespace test::smf;

struct Options {
  bool octave = false;
  const char* transpose = "0";
  const char* seek = "0";
  const char* measures = "32";
};

// Part 1 of a format 0 file holding `events` (then the end of track), channel 1.
std::string Convert(int division, const Bytes& events, bool absolute, Options o = {}) {
  const Bytes file = File(0, division, {Cat({events, End()})});
  ImportChoices c;
  c.selected[0] = true;
  c.absolute = absolute;
  c.octave = o.octave;
  c.transpose = o.transpose;
  c.seek = o.seek;
  c.measures = o.measures;
  auto song = ImportSmf(file, *ReadSmfFacts(file), c);
  EXPECT_TRUE(song && !song->error);
  return song ? song->parts[0] : "";
}

// A note and how long it sounds; the next note-on follows `step` ticks after its own.
// clang-format off
struct N { int note; std::uint32_t sounds; std::uint32_t step; };
// clang-format on
Bytes Notes(std::initializer_list<N> notes, std::uint32_t lead = 0) {
  Bytes out;
  std::uint32_t wait = lead;
  for (const N& n : notes) {
    out = Cat({out, On(wait, n.note), Ev(n.sounds, {0x90, static_cast<std::uint8_t>(n.note), 0})});
    wait = n.step - n.sounds;
  }
  return Cat({out, Ev(wait, {0xFF, 0x01, 0x00})});
}

// clang-format off
struct Case { const char* name; int division; Bytes events; Options options; const char* mml; };
// clang-format on

TEST(SmfStreaming, WorkedExamples) {
  // clang-format off
  const Case cases[] = {
      {"a gated first note with its octave; the next legato one starts with Q0", 48,
       Notes({{60, 36, 48}, {62, 48, 48}}), {.octave = true}, "O4Q12C4Q0D4"},
      {"60 ticks once the gate is already 0", 48, Notes({{60, 48, 48}, {60, 60, 60}, {62, 48, 48}}),
       {}, "Q0C4C4&C16D4"},
      {"45 ticks", 48, Notes({{60, 48, 48}, {60, 45, 45}, {62, 48, 48}}), {}, "Q0C4C8.&C32&C64D4"},
      {"division 480, 100 ticks", 480, Notes({{60, 480, 480}, {60, 100, 100}, {62, 480, 480}}), {},
       "Q0C4C32&C64&C*1D4"},
      {"a silence of more than a whole note: the note, then a rest", 48,
       Notes({{60, 48, 288}, {62, 48, 48}}), {}, "Q0C4R1R4D4"},
      {"a silence before the first note", 48, Notes({{60, 48, 48}}, 96), {}, "R2Q0C4"},
      {"a gate longer than a whole note with silence", 48, Notes({{60, 240, 264}, {62, 48, 48}}),
       {}, "Q0C1&C4R8D4"},
      {"a gate within a whole note keeps its absolute length", 48,
       Notes({{60, 160, 180}, {62, 48, 48}}), {}, "Q20C*180Q0D4"},
      {"transposed an octave up, the octave says so", 48, Notes({{60, 36, 48}, {62, 48, 48}}),
       {.octave = true, .transpose = "12"}, "O5Q12C4Q0D4"},
      {"octaves change by < and >", 48, Notes({{60, 48, 48}, {72, 48, 48}, {47, 48, 48}}), {},
       "Q0C4<C4>>>B4"},
      {"a transposed 23 is a rest", 48, Notes({{35, 48, 48}}), {.transpose = "-12"}, "Q0R4"},
      {"below 24 only multiples of 12 sound", 48, Notes({{23, 48, 48}, {12, 48, 48}}), {},
       "Q0R4C4"},
      // A start measure on a note boundary: the part begins with that note.
      {"a start measure on a note boundary", 48, Notes({{55, 48, 96}, {57, 48, 96}, {60, 48, 48}}),
       {.seek = "1"}, "Q0C4"},
      {"the range ends the part at the first note event after a note starting beyond it", 48,
       Notes({{60, 48, 192}, {62, 96, 192}, {64, 48, 48}}), {.measures = "1"}, "Q144C1"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.division, c.events, false, c.options), c.mml) << c.name;
  }
}

TEST(SmfStreaming, NoteOffsAndGatesAreTakenForWhatTheyAre) {
  const Case cases[] = {
      // A note-off with a release velocity ends a note; it does not make that note the
      // next one to write (D is written, though C's note-off comes last).
      {"legato with note-offs that carry a velocity",
       48,
       Cat({On(0, 60), On(48, 62), Ev(48, {0x80, 62, 64}), Ev(0, {0x80, 60, 64}), On(0, 64),
            Ev(48, {0x80, 64, 64})}),
       {},
       "Q0C4&D4E4"},
      // The first note says its gate, also a gate of 1; a legato note that repeats it
      // keeps it remembered, so the first note without a gap says Q0 again.
      {"a gate of 1 is said and remembered", 48,
       Notes({{60, 47, 48}, {62, 47, 48}, {64, 48, 48}, {65, 48, 48}}), {}, "Q1C4D4Q0E4F4"},
      // A dotted name plays its gate on the short third: a gate that third cannot hold
      // keeps the absolute length; one it can hold is named.
      {"a dotted note whose gate is a third of it", 48, Notes({{60, 24, 36}, {62, 48, 48}}), {},
       "Q12C*36Q0D4"},
      {"a dotted note with a short gate", 48, Notes({{60, 32, 36}, {62, 48, 48}}), {}, "Q4C8.Q0D4"},
      // Transposed below the lowest key a note is written as a rest, which is no slur.
      {"a legato note below the keys", 48,
       Cat({On(0, 35), On(48, 60), Ev(1, {0x90, 35, 0}), Ev(47, {0x90, 60, 0})}),
       {.transpose = "-12"}, "Q0R4C4"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.division, c.events, false, c.options), c.mml) << c.name;
  }
}

TEST(SmfStreaming, NotesThatStartTogetherGiveTheLastOne) {
  // A chord, note-offs as velocity 0: only G, the last at its tick, is written.
  const Bytes chord =
      Cat({On(0, 60), On(0, 64), On(0, 67), Ev(96, {0x90, 60, 0}), Ev(0, {0x90, 64, 0}),
           Ev(0, {0x90, 67, 0}), On(0, 62), Ev(96, {0x90, 62, 0})});
  EXPECT_EQ(Convert(48, chord, false), "Q0G2D2");
  // A note still sounding when the next begins is tied into it.
  const Bytes legato = Cat({On(0, 60), On(48, 62), Ev(0, {0x90, 60, 0}), Ev(48, {0x90, 62, 0})});
  EXPECT_EQ(Convert(48, legato, false), "Q0C4&D4");
}

TEST(SmfStreaming, LinesBreakAfterSixtyCharacters) {
  Bytes events;
  for (int i = 0; i < 64; ++i) events = Cat({events, On(0, 60), Ev(48, {0x90, 60, 0})});
  const std::string part = Convert(48, events, false);
  std::string expected = "Q0";
  for (int i = 0; i < 30; ++i) expected += "C4";
  expected += "\r\n";
  for (int i = 0; i < 31; ++i) expected += "C4";
  expected += "\r\n";
  for (int i = 0; i < 3; ++i) expected += "C4";
  EXPECT_EQ(part, expected);
}

TEST(SmfAbsolute, WorkedExamples) {
  // clang-format off
  const Case cases[] = {
      // The first measure is full at the first note, so the line breaks before it.
      {"division 96: sounds 400 ticks, the next note 480 ticks on", 96,
       Notes({{60, 400, 480}, {62, 96, 96}}), {.octave = true}, "O4\r\nQ0C*192&C*8R*40D*48"},
      {"within a whole note the silence is a gate", 48, Notes({{60, 36, 48}, {62, 48, 48}}), {},
       "Q12C*48Q0D*48"},
      {"a leading rest", 48, Notes({{60, 48, 48}}, 72), {}, "R*72Q0C*48"},
      {"a leading rest of a whole measure breaks the line", 48, Notes({{60, 48, 48}}, 240), {},
       "R*192R*48\r\nQ0C*48"},
      {"an overlapping note is tied",
       48,
       Bytes(Cat({On(0, 60), On(48, 62), Ev(12, {0x90, 60, 0}), Ev(36, {0x90, 62, 0})})),
       {},
       "Q0C*48&D*48"},
      {"a note never ended sounds its full step", 48,
       Bytes(Cat({On(0, 60), On(48, 62), Ev(48, {0xFF, 0x01, 0x00})})), {}, "Q0C*48D*48"},
      {"notes that start together give the last",
       48,
       Bytes(Cat({On(0, 60), On(0, 64), Ev(48, {0x90, 60, 0}), Ev(0, {0x90, 64, 0})})),
       {},
       "Q0E*48"},
      {"transposed, with the octave", 48, Notes({{60, 48, 48}}),
       {.octave = true, .transpose = "-13"}, "O2Q0B*48"},
      {"a start measure: notes before it are left out, time counts from it",
       48,
       Notes({{60, 48, 240}, {62, 48, 96}, {64, 48, 48}, {65, 48, 48}}),
       {.seek = "1"},
       "R*48Q48D*96\r\nQ0E*48F*48"},
      {"the range counts from the start measure",
       48,
       Notes({{60, 48, 240}, {62, 48, 96}, {64, 48, 48}, {65, 48, 48}}),
       {.seek = "1", .measures = "1"},
       "R*48Q48D*96\r\nQ0E*48"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.division, c.events, true, c.options), c.mml) << c.name;
  }
}

TEST(SmfWalk, EveryStatusTakesItsBytes) {
  const Bytes scale = Notes({{60, 48, 48}, {62, 48, 48}});
  struct Walk {
    const char* name;
    Bytes before;
  };
  const Walk walks[] = {
      {"key pressure, control, program, channel pressure, bend",
       Cat({Ev(0, {0xA0, 60, 1}), Ev(0, {0xB0, 1, 2}), Ev(0, {0xC0, 3}), Ev(0, {0xD0, 4}),
            Ev(0, {0xE0, 0, 64})})},
      {"the same under running status", Cat({Ev(0, {0xA0, 60, 1}), Ev(0, {61, 1}), Ev(0, {0xC0, 3}),
                                             Ev(0, {4}), Ev(0, {0xE0, 0, 64}), Ev(0, {1, 64})})},
      {"a system-exclusive message", Ev(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})},
      {"an empty system-exclusive message", Ev(0, {0xF0, 0x00})},
      {"an escape with its length", Ev(0, {0xF7, 0x02, 0xF8, 0xFA})},
      {"system messages a file should not hold",
       Cat({Ev(0, {0xF1, 1}), Ev(0, {0xF2, 1, 2}), Ev(0, {0xF3, 1}), Ev(0, {0xF6}), Ev(0, {0xF8}),
            Ev(0, {0xFE})})},
      {"meta events of every kind",
       Cat({Meta(0, 0x01, "t"), Meta(0, 0x02, "c"), Meta(0, 0x04, "i"), Meta(0, 0x05, "l"),
            Meta(0, 0x06, "m"), Meta(0, 0x20, "\x01"), Meta(0, 0x21, "\x01"), Tempo(0, 500000),
            Meta(0, 0x54, "\x01\x02\x03\x04\x05"), Meta(0, 0x58, "\x04\x02\x18\x08"),
            Meta(0, 0x59, "\x01\x01"), Meta(0, 0x7F, "abc")})},
      {"a text longer than 127 bytes (two-byte length)", Meta(0, 0x01, std::string(200, 'x'))},
      {"a data byte before any status is passed over", Ev(0, {0x3C})},
  };
  for (const Walk& w : walks) {
    EXPECT_EQ(Convert(48, Cat({w.before, scale}), false), "Q0C4D4") << w.name;
  }
  // Running status: a note-on without status byte after a note-on is a 2-byte event.
  EXPECT_EQ(
      Convert(48, Cat({On(0, 60), Ev(48, {60, 0}), Ev(0, {62, 100}), Ev(48, {62, 0})}), false),
      "Q0C4D4");
  // The end of track ends the walk: what follows it is not read.
  EXPECT_EQ(Convert(48, Cat({Notes({{60, 48, 48}}), End(), On(0, 62), Off(48, 62)}), false),
            "Q0C4");
}

TEST(SmfConvert, SmallDivisionsNeverLoopOnEmptyPieces) {
  // Divisions far below 48: every tick is several steps, and lengths are whole steps.
  // Off the 48-step grid each position is rounded once: 3 ticks at 5 a quarter are 28.8
  // steps, so D starts at step 29 and the part ends at step 58 (57.6).
  const struct {
    int division;
    std::uint32_t ticks;
    const char* streaming;
    const char* absolute;
  } cases[] = {
      {1, 1, "Q0C4D4", "Q0C*48D*48"},
      // Each note fills a measure, so each begins a line.
      {1, 5, "Q0C1&C4D1&D4", "\r\nQ0C*192&C*48\r\nD*192&D*48"},
      {4, 1, "Q0C16D16", "Q0C*12D*12"},
      {5, 3, "Q0C8&C64&C*2D8&D64&D*2", "Q0C*29D*29"},
      {7, 1, "Q0C32&C*1D32&D*1", "Q0C*7D*7"},
      {8, 1, "Q0C32D32", "Q0C*6D*6"},
      {15, 2, "Q0C32D32&D*1", "Q0C*6D*7"},
      {15, 3, "Q0C32&C64&C*1D32&D64", "Q0C*10D*9"},
  };
  for (const auto& c : cases) {
    const Bytes events = Notes({{60, c.ticks, c.ticks}, {62, c.ticks, c.ticks}});
    EXPECT_EQ(Convert(c.division, events, false), c.streaming) << c.division << "/" << c.ticks;
    EXPECT_EQ(Convert(c.division, events, true), c.absolute) << c.division << "/" << c.ticks;
  }
  // Division 0 has no ticks a quarter at all: the conversion says so and writes nothing.
  const Bytes zero = File(0, 0, {Cat({Notes({{60, 1, 1}}), End()})});
  ImportChoices c;
  c.selected[0] = true;
  const auto song = ImportSmf(zero, *ReadSmfFacts(zero), c);
  ASSERT_TRUE(song && song->error);
  EXPECT_EQ(song->error->message, "分解能(0)のMIDIﾌｧｲﾙは変換できません。");
  EXPECT_EQ(song->parts[0], "");
}

TEST(SmfConvert, TimeCodeDivisionsBecomeTicksAQuarterAtTheFileTempo) {
  // 25 frames a second, 40 ticks a frame: 1000 ticks a second, 500 a quarter at 120.
  // 30 frames of 1 tick at 0.45 s a quarter: 13.5 ticks a quarter, rounded up to 14.
  const std::tuple<std::uint8_t, std::uint8_t, Bytes> cases[] = {
      {0xE7, 40, Notes({{60, 500, 500}, {62, 250, 250}})},
      {0xE2, 1, Cat({Tempo(0, 450000), Notes({{60, 14, 14}, {62, 7, 7}})})},
  };
  for (const auto& [frames, ticks, events] : cases) {
    const Bytes file = Cat({Chunk("MThd", {0, 0, 0, 1, frames, ticks}),
                            Chunk("MTrk", Cat({events, End()}))});
    ImportChoices c;
    c.selected[0] = true;
    const auto song = ImportSmf(file, *ReadSmfFacts(file), c);
    ASSERT_TRUE(song && !song->error);
    EXPECT_EQ(song->parts[0], "Q0C4D8") << int(frames);
  }
}

TEST(SmfConvert, LengthsNoSongCanHoldAreCut) {
  // A note-on 2^27 ticks after the last: far beyond the 50,000 steps any song may last.
  const Bytes file =
      File(0, 48, {Cat({Notes({{60, 48, 48}}), On(1u << 27, 62), Off(48, 62), End()})});
  ImportChoices c;
  c.selected[0] = true;
  c.measures = "9999";
  for (const bool absolute : {false, true}) {
    c.absolute = absolute;
    const auto song = ImportSmf(file, *ReadSmfFacts(file), c);
    ASSERT_TRUE(song && !song->error);
    EXPECT_LT(song->parts[0].size(), 2000u);
    EXPECT_EQ(test::Messages(song->warnings),
              std::vector<std::string>{
                  "50000ｽﾃｯﾌﾟより長い音符または休符があったため、50000ｽﾃｯﾌﾟまでにしました。"});
  }
}

}  // namespace
}  // namespace chwr

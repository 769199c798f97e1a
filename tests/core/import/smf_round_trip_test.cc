// MIDI files we write ourselves come back note for note: a song built with its MIDI file
// (normal octave, 48 steps a quarter) and imported with the octave option compiles to the
// same sounding notes, pitch, start and length in steps, by either conversion. The MML text
// differs (a short silence comes back as "Q", not "R"), so the compiled notes are compared.

#include <gtest/gtest.h>

#include <random>

#include "convert/build_song.h"
#include "import/smf_import.h"
#include "test_support.h"

namespace chwr {
namespace {

struct Sounding {
  int key, start, end;
  bool operator==(const Sounding&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Sounding& s) {
  return os << "{" << s.key << " " << s.start << ".." << s.end << "}";
}

// Where each note sounds: pieces tied to the same key (ties, dots) are one note, and a tie
// into another key ends where the MIDI file ends it (the adjusted gate).
std::vector<Sounding> SoundingNotes(const CompiledPart& part) {
  std::vector<Sounding> out;
  int t = 0;
  bool tied = false;
  for (int i = 0; i < part.count; ++i) {
    const NoteEvent& e = part.events[i];
    const int gate = part.adjustedEvents[i].gate;
    const int key = e.key & 63;
    if (gate > 0) {
      if (tied && !out.empty() && out.back().key == key) {
        out.back().end = t + gate;
      } else {
        out.push_back({key, t, t + gate});
      }
      tied = e.gate > e.step;
    } else {
      tied = false;
    }
    t += e.step;
  }
  return out;
}

// A random part in octaves 2 to 5: notes of every length, gate values, dots, ties and
// slurs, octave moves, and rests. It keeps to what the conversion can bring back exactly:
// ties only under Q0 (a tie's gate is the whole note, which comes back as Q0).
// Every part starts with a note (a part of rests gets no track) and ends with a whole rest
// (so the padding of shorter parts to the longest is a rest of its own).
std::string RandomPart(std::mt19937& rng) {
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char* kNames[] = {"C", "C+", "D", "D+", "E", "F", "F+", "G", "G+", "A", "A+", "B"};
  static const char* kLengths[] = {"1", "2", "4", "8", "16", "32"};
  int octave = 2 + pick(4);
  std::string mml = "O" + std::to_string(octave);
  const int items = 1 + pick(40);
  bool tieOpen = false;
  int q = 0;
  for (int i = 0; i < items; ++i) {
    const int what = pick(10);
    if (what == 0 && !tieOpen) {
      q = pick(3) == 0 ? 0 : 1 + pick(12);
      mml += "Q" + std::to_string(q);
    } else if (what == 1 && !tieOpen) {
      if (octave < 5 && pick(2)) {
        mml += "<";
        ++octave;
      } else if (octave > 2) {
        mml += ">";
        --octave;
      }
    }
    if (i > 0 && !tieOpen && pick(6) == 0) {
      mml += std::string("R") + kLengths[pick(6)];
      continue;
    }
    mml += kNames[pick(12)];
    mml += kLengths[pick(6)];
    if (pick(5) == 0) mml += ".";
    tieOpen = q == 0 && i + 1 < items && pick(5) == 0;
    if (tieOpen) mml += "&";
  }
  return mml + "R1";
}

TEST(SmfRoundTrip, OurMidiFilesComeBackNoteForNote) {
  std::mt19937 rng(20261207);
  BuildRequest request;
  request.midi = true;  // the normal octave: note = key + 21
  for (int round = 0; round < 60; ++round) {
    const SongDocument song =
        test::Song(RandomPart(rng), RandomPart(rng), RandomPart(rng), RandomPart(rng));
    const auto built = BuildSong(song, request);
    ASSERT_TRUE(built) << built.error().message;
    const auto facts = ReadSmfFacts(built->midiFile);
    ASSERT_TRUE(facts);
    ImportChoices choices;
    choices.selected = {true, true, true, true};
    choices.octave = true;
    choices.measures = "9999";
    for (const bool absolute : {false, true}) {
      choices.absolute = absolute;
      const auto imported = ImportSmf(built->midiFile, *facts, choices);
      ASSERT_TRUE(imported && !imported->error);
      SongDocument back;
      ApplyImportedSong(*imported, back);
      const auto rebuilt = BuildSong(back);
      ASSERT_TRUE(rebuilt) << rebuilt.error().message;
      for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(SoundingNotes(rebuilt->compiled.parts[p]),
                  SoundingNotes(built->compiled.parts[p]))
            << (absolute ? "absolute" : "streaming") << ", part " << p + 1 << "\n"
            << song.parts[p].mml << "\n"
            << back.parts[p].mml;
      }
    }
  }
}

}  // namespace
}  // namespace chwr

// MIDI files we write ourselves come back note for note: a song built with its MIDI file
// (normal octave, 48 steps a quarter) and imported with the octave option compiles to the
// same sounding notes, pitch, start and length in steps, by either conversion. The MML text
// differs (a short silence comes back as "Q", not "R"), so the compiled notes are compared.

#include <gtest/gtest.h>

#include <random>

#include "convert/build_song.h"
#include "heard.h"
#include "import/smf_import.h"
#include "test_support.h"

namespace chwr {
namespace {

TEST(SmfRoundTrip, OurMidiFilesComeBackNoteForNote) {
  std::mt19937 rng(20261207);
  // Octaves 2 to 5, every length dotted or not, gates and ties: what the conversion can
  // bring back exactly.
  test::PartShape shape;
  shape.lowKey = 15;
  shape.highKey = 50;
  shape.lengths = {"1", "2", "4", "8", "16", "32", "1.", "2.", "4.", "8.", "16.", "32."};
  shape.maxQ = 12;
  BuildRequest request;
  request.midi = true;  // the normal octave: note = key + 21
  for (int round = 0; round < 60; ++round) {
    const SongDocument song =
        test::Song(test::RandomPart(rng, shape), test::RandomPart(rng, shape),
                   test::RandomPart(rng, shape), test::RandomPart(rng, shape));
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
        EXPECT_EQ(test::HeardNotes(rebuilt->compiled.parts[p]),
                  test::HeardNotes(built->compiled.parts[p]))
            << (absolute ? "absolute" : "streaming") << ", part " << p + 1 << "\n"
            << song.parts[p].mml << "\n"
            << back.parts[p].mml;
      }
    }
  }
}

}  // namespace
}  // namespace chwr

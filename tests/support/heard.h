#pragma once
// What a listener hears of a song, for the tests that write a song into a file, read it
// back and expect it to sound the same; and random parts for them to write.

#include <array>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "mml/compiler.h"
#include "song/song_document.h"

namespace chwr::test {

/// One sounding note: its key (without the part's bits), where it starts and ends in
/// steps, and the volume and tone it sounds with.
struct HeardNote {
  int key = 0, start = 0, end = 0, volume = 0, tone = 0;
  bool operator==(const HeardNote&) const = default;
};
std::ostream& operator<<(std::ostream& os, const HeardNote& n);

/// The notes of a compiled part as they sound: pieces of one key tied together (ties and
/// dots) are one note, and a note ends where its adjusted gate ends it.
std::vector<HeardNote> HeardNotes(const CompiledPart& part, int startVolume = 0);

/// Every part of `song` built and heard; the test fails when the song does not build.
std::array<std::vector<HeardNote>, 4> Listen(const SongDocument& song);

/// What a random part may hold.
struct PartShape {
  int lowKey = 3, highKey = 63;  ///< the keys its notes take (3 is O1C, 63 O6C)
  /// The lengths of notes and rests, written as they stand ("4", "8.", "*13", "").
  std::vector<std::string> lengths = {"1", "2", "4", "8", "16", "32"};
  /// Absolute lengths that come three in a row (triplets); none when empty.
  std::vector<std::string> triplets;
  int maxQ = 0;          ///< gate settings Q0 to this now and then; none at 0
  bool volumes = false;  ///< volume settings V0 to V63 now and then
  bool spellings = false;  ///< keys spelt another way now and then (B+, C-, E+ ...)
  int maxItems = 40;
};

/// A random part of that shape. It starts with a note and ends with a whole rest; ties
/// stand only under Q0, where the tied note keeps its whole length.
std::string RandomPart(std::mt19937& rng, const PartShape& shape);

}  // namespace chwr::test

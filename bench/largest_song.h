#pragma once
// The largest song the MLD format allows: four parts, each filling the 50,000-step
// limit with notes of 1 to 3 steps (about 25,000 events a part). Shared by the
// benchmarks of the build, the reader and the MIDI tracks.

#include <random>
#include <string>

#include "mld/mld_builder.h"

namespace chwr::bench {

inline std::string FullPart(unsigned seed) {
  std::mt19937 rng(seed);
  const char* notes[] = {"C", "D", "E", "F", "G", "A", "B", "C+", "F+", "A+"};
  std::string text = "O4";
  int steps = 0;
  int i = 0;
  while (steps < kMaxSongSteps) {
    int len = 1 + static_cast<int>(rng() % 3);
    len = std::min(len, kMaxSongSteps - steps);
    if (rng() % 50 == 0) text += (rng() % 2) ? "<" : ">";
    if (rng() % 40 == 0) text += "V" + std::to_string(20 + rng() % 40);
    text += notes[rng() % 10];
    text += "*" + std::to_string(len);
    steps += len;
    if (++i % 30 == 0) text += "\r\n";
  }
  return text;
}

inline SongDocument LargestSong() {
  SongDocument song;
  for (int p = 0; p < 4; ++p) song.parts[p].mml = FullPart(77u + p);
  return song;
}

}  // namespace chwr::bench

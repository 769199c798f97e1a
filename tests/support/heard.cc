#include "heard.h"

#include <gtest/gtest.h>

#include "convert/build_song.h"

namespace chwr::test {

std::ostream& operator<<(std::ostream& os, const HeardNote& n) {
  return os << "{key " << n.key << " " << n.start << ".." << n.end << " v" << n.volume << " t"
            << n.tone << "}";
}

std::vector<HeardNote> HeardNotes(const CompiledPart& part, int startVolume) {
  std::vector<HeardNote> out;
  int t = 0, volume = startVolume, tone = 0;
  bool tied = false;
  for (int i = 0; i < part.count; ++i) {
    const NoteEvent& e = part.events[i];
    if (e.changesVolume()) volume = e.volume;
    if (e.tone != 0) tone = e.tone;
    const int gate = part.events[i].adjustedGate();
    const int key = e.key & 63;
    if (gate > 0) {
      if (tied && !out.empty() && out.back().key == key) {
        out.back().end = t + gate;
      } else {
        out.push_back({key, t, t + gate, volume, tone});
      }
      tied = e.gate > e.step;
    } else {
      tied = false;
    }
    t += e.step;
  }
  return out;
}

std::array<std::vector<HeardNote>, 4> Listen(const SongDocument& song) {
  std::array<std::vector<HeardNote>, 4> heard;
  const auto built = BuildSong(song);
  EXPECT_TRUE(built) << built.error().message;
  if (!built) return heard;
  for (int p = 0; p < 4; ++p) {
    heard[p] = HeardNotes(built->compiled.parts[p], StartingVolume(song.parts[p]));
  }
  return heard;
}

std::string RandomPart(std::mt19937& rng, const PartShape& shape) {
  static const char* kSharp[] = {"C", "C+", "D", "D+", "E", "F", "F+", "G", "G+", "A", "A+", "B"};
  // The same keys spelt from the next name: B+ belongs to the octave below, C- to the one above.
  static const char* kOther[] = {"B+", "D-", "D", "E-", "F-", "E+",
                                 "G-", "G",  "A-", "A", "B-", "C-"};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto pitch = [&]() {
    const int m = shape.lowKey + pick(shape.highKey - shape.lowKey + 1) - 3;
    int octave = m / 12 + 1;
    if (shape.spellings && pick(3) == 0) {
      if (m % 12 == 0) --octave;
      if (m % 12 == 11) ++octave;
      return "O" + std::to_string(octave) + kOther[m % 12];
    }
    return "O" + std::to_string(octave) + kSharp[m % 12];
  };
  auto length = [&] { return shape.lengths[pick(static_cast<int>(shape.lengths.size()))]; };
  std::string mml;
  const int items = 1 + pick(shape.maxItems);
  bool tieOpen = false;
  int q = 0;
  for (int i = 0; i < items; ++i) {
    const int what = pick(10);
    if (what == 0 && shape.maxQ > 0 && !tieOpen) {
      q = pick(3) == 0 ? 0 : pick(shape.maxQ + 1);
      mml += "Q" + std::to_string(q);
    } else if (what == 1 && shape.volumes) {
      mml += "V" + std::to_string(pick(64));
    } else if (what == 2 && !shape.triplets.empty() && !tieOpen && i > 0) {
      const std::string len = shape.triplets[pick(static_cast<int>(shape.triplets.size()))];
      for (int k = 0; k < 3; ++k) mml += (pick(3) == 0 ? std::string("R") : pitch()) + len;
      continue;
    }
    if (i > 0 && !tieOpen && pick(6) == 0) {
      mml += "R" + length();
      continue;
    }
    const std::string len = length();
    mml += pitch() + len;
    tieOpen = q == 0 && i + 1 < items && len.find('*') == std::string::npos && pick(5) == 0;
    if (tieOpen) mml += "&";
  }
  return mml + "R1";
}

}  // namespace chwr::test

// Building the SMD file the way the editor's SMD command builds it (compile, then code
// each part's commands; no MLD image), for the largest MLD song and for a song of four
// parts of 32,000 notes in everything SMD can say.

#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "convert/build_song.h"
#include "largest_song.h"

namespace {

// 32,000 notes and rests of plain, dotted, tied and triplet lengths, moving through all
// three octave windows.
std::string SmdPart(unsigned seed) {
  std::mt19937 rng(seed);
  const char* names[] = {"C", "D", "E", "F", "G", "A", "B", "C+", "F+", "R"};
  const char* lengths[] = {"16", "8", "4", "2", "1", "8.", "4.", "16&", "*16", "*32"};
  std::string text = "O3";
  int octave = 3;
  for (int i = 0; i < 32'000;) {
    if (rng() % 20 == 0) {
      const bool up = octave < 2 || (octave < 5 && rng() % 2);
      text += up ? "<" : ">";
      octave += up ? 1 : -1;
    }
    const char* length = lengths[rng() % 10];
    const int count = length[0] == '*' ? 3 : 1;  // a triplet group is three notes
    for (int k = 0; k < count; ++k, ++i) {
      text += names[rng() % 10];
      text += length;
    }
    if (i % 30 < count) text += "\r\n";
  }
  return text;
}

void BuildSmd(benchmark::State& state, const chwr::SongDocument& song) {
  chwr::BuildRequest request;
  request.smd = true;
  request.mld = false;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto build = chwr::BuildSong(song, request);
    if (!build) {
      state.SkipWithError(build.error().message.c_str());
      return;
    }
    bytes = build->smdFile.size();
    benchmark::DoNotOptimize(build);
  }
  state.counters["smd_bytes"] = static_cast<double>(bytes);
}

void BM_BuildLargestSmd(benchmark::State& state) {
  BuildSmd(state, chwr::bench::LargestSong());
}
BENCHMARK(BM_BuildLargestSmd)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_BuildSmd4x32000Notes(benchmark::State& state) {
  chwr::SongDocument song;
  for (int p = 0; p < 4; ++p) song.parts[p].mml = SmdPart(5u + p);
  BuildSmd(state, song);
}
BENCHMARK(BM_BuildSmd4x32000Notes)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

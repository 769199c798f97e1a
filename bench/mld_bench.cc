// Building and reading the MLD image of the largest song the format allows: four
// parts, each filling the 50,000-step limit with notes of 1 to 3 steps.

#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "convert/build_song.h"
#include "largest_song.h"
#include "mld/mld_reader.h"

namespace {

using chwr::bench::LargestSong;

void BM_BuildLargestMld(benchmark::State& state) {
  const chwr::SongDocument song = LargestSong();
  std::size_t bytes = 0;
  long long events = 0;
  for (auto _ : state) {
    auto build = chwr::BuildSong(song);
    if (!build) {
      state.SkipWithError(build.error().message.c_str());
      return;
    }
    bytes = build->mldImage.size();
    events = 0;
    for (const auto& p : build->compiled.parts) events += p.count;
    benchmark::DoNotOptimize(build);
  }
  state.counters["events"] = static_cast<double>(events);
  state.counters["image_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildLargestMld)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ReadLargestMld(benchmark::State& state) {
  const auto build = chwr::BuildSong(LargestSong());
  if (!build) {
    state.SkipWithError(build.error().message.c_str());
    return;
  }
  for (auto _ : state) {
    auto read = chwr::ReadMld(build->mldImage);
    if (!read) state.SkipWithError(read.error().message.c_str());
    benchmark::DoNotOptimize(read);
  }
}
BENCHMARK(BM_ReadLargestMld)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

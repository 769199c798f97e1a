// Building and reading the MLD image of the largest song the format allows: four
// parts, each filling the 50,000-step limit with notes of 1 to 3 steps.

#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "largest_song.h"
#include "mld/mld_builder.h"
#include "mld/mld_reader.h"

namespace {

using chwr::bench::LargestSong;

void BM_BuildLargestMld(benchmark::State& state) {
  const chwr::SongDocument song = LargestSong();
  chwr::SongCompile compiled;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto build = chwr::BuildMld(song, compiled);
    if (!build) state.SkipWithError(build.error().message.c_str());
    bytes = build ? build->mldImage.size() : 0;
    benchmark::DoNotOptimize(build);
  }
  long long events = 0;
  for (const auto& p : compiled.parts) events += p.count;
  state.counters["events"] = static_cast<double>(events);
  state.counters["image_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildLargestMld)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ReadLargestMld(benchmark::State& state) {
  chwr::SongCompile compiled;
  const auto build = chwr::BuildMld(LargestSong(), compiled);
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

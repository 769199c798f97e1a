// Compiling the largest song the part limits allow: four parts of about 50,000
// tokens each. Reports time per whole-song compile and heap allocations per compile.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "largest_song.h"
#include "mml/song_compile.h"

namespace {

std::atomic<long long> g_allocations{0};

}  // namespace

// Counting replacements of the global allocator; malloc and free underneath.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

// A part of roughly `tokens` tokens once its repeats are expanded: notes with lengths,
// dots and ties, rests, octave and volume changes, a brace group now and then.
std::string MakePart(int part, int tokens, unsigned seed) {
  std::mt19937 rng(seed);
  const char* notes[] = {"C", "D", "E", "F", "G", "A", "B", "C+", "D-", "F#"};
  const char* lengths[] = {"", "4", "8", "16", "8.", "4.", "*3", "*12", "32"};
  auto piece = [&](int count) {
    std::string s;
    int octave = 4;
    for (int i = 0; i < count; ++i) {
      switch (rng() % 16) {
        case 0:
          octave = 2 + static_cast<int>(rng() % 4);
          s += "O" + std::to_string(octave);
          break;
        case 1:
          s += (rng() % 2) ? "<" : ">";
          break;
        case 2:
          s += "V" + std::to_string(rng() % 64);
          break;
        case 3:
          s += "R" + std::string(lengths[rng() % 4]);
          break;
        case 4:
          s += (rng() % 2) ? "~" : "_";
          break;
        case 5:
          if (rng() % 8 == 0) {
            s += "{0A1B}C8";  // a group always leads into a note
            break;
          }
          [[fallthrough]];
        default: {
          std::string len = lengths[rng() % 9];
          s += notes[rng() % 10] + len;
          if (len.find('*') == std::string::npos && rng() % 6 == 0) s += "&";
        }
      }
      if (i % 24 == 23) s += "\r\n";
    }
    return s;
  };
  (void)part;
  // Four repeated blocks and plain text in between.
  const int block = tokens / 16;
  std::string text = "T0L8Q2\r\n";
  int written = 3;
  for (int r = 0; r < 4; ++r) {
    text += "[" + piece(block) + "]2\r\n";
    written += 2 * block;
  }
  text += piece(tokens - written - 8);
  return text;
}

chwr::SongDocument MaximalSong() {
  chwr::SongDocument song;
  for (int p = 0; p < 4; ++p) song.parts[p].mml = MakePart(p, 49000, 1234u + p);
  return song;
}

void CompileMaximalSong(benchmark::State& state, const chwr::SongCompileOptions& options) {
  const chwr::SongDocument song = MaximalSong();
  chwr::SongCompile compiled;
  long long events = 0;
  long long allocations = 0;
  for (auto _ : state) {
    const long long before = g_allocations.load();
    auto result = chwr::CompileSong(song, compiled, options);
    allocations = g_allocations.load() - before;
    if (!result) state.SkipWithError(result.error().message.c_str());
    events = 0;
    for (const auto& p : compiled.parts) events += p.count;
    benchmark::DoNotOptimize(compiled);
  }
  state.counters["events"] = static_cast<double>(events);
  state.counters["allocs_per_compile"] = static_cast<double>(allocations);
}

void BM_CompileMaximalSong(benchmark::State& state) {
  CompileMaximalSong(state, {});
}
BENCHMARK(BM_CompileMaximalSong)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The same with every event mapped to its token, as the editor compiles a part in the
// background to show the note playing: each part must take well under a 16 ms frame.
void BM_CompileMaximalSongWithSources(benchmark::State& state) {
  chwr::SongCompileOptions options;
  options.wantSources = true;
  CompileMaximalSong(state, options);
}
BENCHMARK(BM_CompileMaximalSongWithSources)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The largest song the MLD format takes (bench/largest_song.h, as bench/startup.sh builds
// it): the compile's share of `chwr build`.
void BM_CompileLargestSong(benchmark::State& state) {
  const chwr::SongDocument song = chwr::bench::LargestSong();
  chwr::SongCompile compiled;
  for (auto _ : state) {
    auto result = chwr::CompileSong(song, compiled);
    if (!result) state.SkipWithError(result.error().message.c_str());
    benchmark::DoNotOptimize(compiled);
  }
}
BENCHMARK(BM_CompileLargestSong)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

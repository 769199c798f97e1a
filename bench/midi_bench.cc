// What MIDI output costs: the largest song built with and without its MIDI tracks
// (four parts, each filling the 50,000-step limit with notes of 1 to 3 steps), and
// rendering a 30-second four-part song to WAV, as audio seconds per wall second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>

#include "convert/build_song.h"
#include "largest_song.h"
#include "playback/fluidsynth_player.h"

namespace {

using chwr::bench::LargestSong;

void BuildLargest(benchmark::State& state, bool midiWanted) {
  const chwr::SongDocument song = LargestSong();
  chwr::BuildRequest request;
  request.midi = midiWanted;
  std::size_t midiBytes = 0;
  for (auto _ : state) {
    auto build = chwr::BuildSong(song, request);
    if (!build) {
      state.SkipWithError(build.error().message.c_str());
      return;
    }
    midiBytes = build->midiFile.size();
    benchmark::DoNotOptimize(build);
  }
  state.counters["midi_bytes"] = static_cast<double>(midiBytes);
}

void BM_MidiBuildLargestWithoutMidi(benchmark::State& state) {
  BuildLargest(state, false);
}
BENCHMARK(BM_MidiBuildLargestWithoutMidi)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_MidiBuildLargestWithMidi(benchmark::State& state) {
  BuildLargest(state, true);
}
BENCHMARK(BM_MidiBuildLargestWithMidi)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// 60 quarter notes at tempo 120 in every part: eighths, quarters, halves and a
// sixteenth-note accompaniment.
chwr::SongDocument ThirtySecondSong() {
  const auto repeat = [](const std::string& bar, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += bar + "\r\n";
    return text;
  };
  chwr::SongDocument song;
  song.parts[0].mml = "O5" + repeat("C8D8E8F8G8A8B8>C8<", 15);
  song.parts[1].mml = "O4" + repeat("E4G4C4G4", 15);
  song.parts[2].mml = "O3" + repeat("C2G2", 15);
  song.parts[3].mml = "O4" + repeat("C16E16G16E16C16E16G16E16C16E16G16E16C16E16G16E16", 15);
  return song;
}

void BM_RenderWavThirtySeconds(benchmark::State& state) {
  const chwr::SongDocument song = ThirtySecondSong();
  chwr::BuildRequest request;
  request.midi = true;
  auto build = chwr::BuildSong(song, request);
  if (!build) {
    state.SkipWithError(build.error().message.c_str());
    return;
  }
  const std::vector<std::uint8_t>* midi = &build->midiFile;
  auto font = chwr::FindSoundFont({});
  if (!font) {
    state.SkipWithError(font.error().message.c_str());
    return;
  }
  double audioSeconds = 0;
  for (auto _ : state) {
    auto wav = chwr::RenderWav(*midi, *font);
    if (!wav) {
      state.SkipWithError(wav.error().message.c_str());
      return;
    }
    // 44.1 kHz, two channels of two bytes, after a 44-byte header.
    audioSeconds = static_cast<double>(wav->size() - 44) / (44100.0 * 4);
    benchmark::DoNotOptimize(wav);
  }
  state.counters["audio_s"] = audioSeconds;
  state.counters["x_realtime"] = benchmark::Counter(
      audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderWavThirtySeconds)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

// Decoding a ring tone of another program's layout and writing it as MIDI: what `chwr
// convert`, play and render do for every such file. A 100 KB file of four tracks of
// 4-byte notes, with tempo changes, voice settings and long gaps, as real files hold.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "mld/mld_decoder.h"
#include "mld/mld_midi.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t v) {
  b.push_back(std::uint8_t(v >> 8)), b.push_back(std::uint8_t(v));
}
void Put32(Bytes& b, std::size_t v) {
  Put16(b, v >> 16), Put16(b, v & 0xFFFF);
}

Bytes LargeForeignFile(std::size_t size) {
  std::mt19937 rng(5);
  std::vector<Bytes> tracks(4);
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    Bytes& e = tracks[t];
    if (t == 0) e.insert(e.end(), {0x00, 0xFF, 0xC3, 0x78});
    while (e.size() < size / 4 - 16) {
      switch (rng() % 16) {
        case 0:
          e.insert(e.end(), {0x00, 0xFF, 0xE2, std::uint8_t(rng() & 0xFF)});
          break;
        case 1:
          e.insert(e.end(), {0xFF, 0xFF, 0xDE, 0x00});
          break;
        case 2:
          if (t == 0) e.insert(e.end(), {0x00, 0xFF, 0xC3, std::uint8_t(60 + rng() % 120)});
          break;
        default:
          e.insert(e.end(), {std::uint8_t(rng() % 24), std::uint8_t(rng() % 4 << 6 | (rng() % 60)),
                             std::uint8_t(1 + rng() % 48), std::uint8_t(rng() & 0xFF)});
      }
    }
    e.insert(e.end(), {0x00, 0xFF, 0xDF, 0x00});
  }
  Bytes head = {0x01, 0x01, 0x04, 'n', 'o', 't', 'e', 0x00, 0x02, 0x00, 0x01};
  Bytes body;
  Put16(body, head.size());
  body.insert(body.end(), head.begin(), head.end());
  for (const Bytes& t : tracks) {
    body.insert(body.end(), {'t', 'r', 'a', 'c'});
    Put32(body, t.size());
    body.insert(body.end(), t.begin(), t.end());
  }
  Bytes file = {'m', 'e', 'l', 'o'};
  Put32(file, body.size());
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

void BM_DecodeAndWriteMidi100K(benchmark::State& state) {
  const Bytes file = LargeForeignFile(100'000);
  std::size_t notes = 0, midiBytes = 0;
  for (auto _ : state) {
    auto music = chwr::DecodeMld(file);
    if (!music) {
      state.SkipWithError(music.error().message.c_str());
      return;
    }
    const chwr::MldMidi midi = chwr::MldToSmf(*music);
    notes = music->notes.size();
    midiBytes = midi.bytes.size();
    benchmark::DoNotOptimize(midi);
  }
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.counters["notes"] = static_cast<double>(notes);
  state.counters["midi_bytes"] = static_cast<double>(midiBytes);
}
BENCHMARK(BM_DecodeAndWriteMidi100K)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

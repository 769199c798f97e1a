// What importing a MIDI file costs: a generated format 1 file of about 200 KB (a conductor
// track and four tracks of 8,200 notes each, with program and volume changes, running
// status and text events), all four tracks converted over their whole length, by the
// streaming and by the absolute conversion. Target: at most 16 ms each.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "import/smf_import.h"
#include "io/byte_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes GeneratedFile() {
  std::mt19937 rng(14);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  Bytes file;
  chwr::ByteWriter out(file);
  const std::size_t header = out.BeginChunk("MThd");
  out.U16be(1);
  out.U16be(5);
  out.U16be(96);
  out.EndChunk(header);
  const std::size_t conductor = out.BeginChunk("MTrk");
  out.Raw({0x00, 0xFF, 0x03, 0x05, 'B', 'e', 'n', 'c', 'h', 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1,
           0x20, 0x00, 0xFF, 0x2F, 0x00});
  out.EndChunk(conductor);
  for (int track = 0; track < 4; ++track) {
    const std::size_t at = out.BeginChunk("MTrk");
    const auto status = static_cast<std::uint8_t>(0x90 + track);
    out.Raw({0x00, static_cast<std::uint8_t>(0xC0 + track), static_cast<std::uint8_t>(track * 8)});
    std::uint32_t rest = 0;
    for (int i = 0; i < 8200; ++i) {
      if (i % 64 == 0) {
        // A volume change and a text now and then; both end the running status.
        out.Vlq(rest);
        out.Raw({static_cast<std::uint8_t>(0xB0 + track), 7,
                 static_cast<std::uint8_t>(64 + pick(64))});
        out.Raw({0x00, 0xFF, 0x01, 0x04, 'b', 'a', 'r', '.'});
        rest = 0;
        out.Vlq(0);
        out.U8(status);
      } else {
        out.Vlq(rest);
      }
      static constexpr std::uint32_t kLengths[] = {12, 24, 24, 48, 48, 72, 96};
      const std::uint32_t length = kLengths[pick(7)];
      const std::uint32_t sounds = length - static_cast<std::uint32_t>(pick(3)) * length / 4;
      const auto note = static_cast<std::uint8_t>(48 + pick(30));
      out.Raw({note, static_cast<std::uint8_t>(40 + pick(80))});
      out.Vlq(sounds);
      out.Raw({note, 0x00});
      rest = length - sounds;
    }
    out.Raw({0x00, 0xFF, 0x2F, 0x00});
    out.EndChunk(at);
  }
  return file;
}

void Import(benchmark::State& state, bool absolute) {
  const Bytes file = GeneratedFile();
  const auto facts = chwr::ReadSmfFacts(file);
  chwr::ImportChoices choices;
  choices.selected = {true, true, true, true};
  choices.measures = "9999";
  choices.absolute = absolute;
  choices.octave = true;
  choices.tone = true;
  choices.volume = chwr::ImportVolume::kVolume;
  std::size_t mml = 0;
  for (auto _ : state) {
    auto song = chwr::ImportSmf(file, *facts, choices);
    if (!song || song->error) {
      state.SkipWithError("the generated file did not convert");
      return;
    }
    mml = 0;
    for (const std::string& part : song->parts) mml += part.size();
    benchmark::DoNotOptimize(song);
  }
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.counters["mml_bytes"] = static_cast<double>(mml);
}

void BM_SmfImportStreaming(benchmark::State& state) {
  Import(state, false);
}
BENCHMARK(BM_SmfImportStreaming)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SmfImportAbsolute(benchmark::State& state) {
  Import(state, true);
}
BENCHMARK(BM_SmfImportAbsolute)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

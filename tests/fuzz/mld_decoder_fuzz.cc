// Ring tones from every source reach the decoder: any bytes must decode cleanly, and what
// comes out must be something a player and the MIDI writer can take as it is.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "io/byte_reader.h"
#include "midi/smf_events.h"
#include "mld/mld_decoder.h"
#include "mld/mld_midi.h"
#include "mld_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto music = chwr::DecodeMld(std::span(data, size));
  if (!music) return 0;
  FUZZ_CHECK(IsValidUtf8(music->info.title) && IsValidUtf8(music->info.copyright));
  for (const auto& w : music->warnings) FUZZ_CHECK(IsValidUtf8(w.message));
  FUZZ_CHECK(!music->tempos.empty() && music->tempos.front().tick == 0);
  FUZZ_CHECK(std::is_sorted(music->notes.begin(), music->notes.end(),
                            [](const auto& a, const auto& b) { return a.tick < b.tick; }));
  for (const auto& n : music->notes) {
    FUZZ_CHECK(n.key < 64);
    FUZZ_CHECK(n.velocity < 64 && n.voice < 4);
    FUZZ_CHECK(n.tick + n.gate <= music->lengthTicks);
  }
  // Time never runs backwards, whatever tempo map the file makes.
  const chwr::MldClock clock(music->tempos);
  std::int64_t last = 0;
  for (const auto& t : music->tempos) {
    const std::int64_t now = clock.Microseconds(t.tick);
    FUZZ_CHECK(now >= last);
    last = now;
  }
  FUZZ_CHECK(clock.Microseconds(music->lengthTicks) >= last);
  // A loop to play lies within the song.
  if (const auto loop = chwr::MldLoopMs(*music)) {
    FUZZ_CHECK(0 <= loop->startMs && loop->startMs <= loop->endMs);
    FUZZ_CHECK(loop->endMs <= clock.Microseconds(music->lengthTicks) / 1000);
  }

  // The MIDI file made of it is whole: every track reads to its end-of-track event.
  const chwr::MldMidi midi = chwr::MldToSmf(*music);
  chwr::ByteReader r(midi.bytes);
  const auto head = r.NextChunk();
  FUZZ_CHECK(head && head->tag == "MThd" && !head->clipped);
  std::size_t tracks = 0;
  while (const auto chunk = r.NextChunk()) {
    FUZZ_CHECK(chunk->tag == "MTrk" && !chunk->clipped);
    ++tracks;
    const std::size_t start = chunk->offset + 8;
    chwr::smf::TrackReader reader(midi.bytes, start, start + chunk->body.size());
    chwr::smf::Event e;
    bool ended = false;
    while (reader.Next(e) == chwr::smf::ReadStatus::kEvent) ended = e.IsEndOfTrack();
    FUZZ_CHECK(ended && reader.pos() == start + chunk->body.size());
  }
  FUZZ_CHECK(tracks == (std::size_t{head->body[2]} << 8 | head->body[3]));
  return 0;
}

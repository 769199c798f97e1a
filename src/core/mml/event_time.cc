#include "mml/event_time.h"

#include <algorithm>

#include "mml/song_compile.h"

namespace chwr {

std::vector<std::int32_t> EventStarts(const CompiledPart& part) {
  std::vector<std::int32_t> starts;
  starts.reserve(static_cast<std::size_t>(part.count) + 1);
  std::int32_t at = 0;
  for (int i = 0; i < part.count; ++i) {
    starts.push_back(at);
    at += part.events[i].step;
  }
  starts.push_back(at);
  return starts;
}

int EventAtStep(const std::vector<std::int32_t>& starts, std::int32_t step) {
  if (starts.size() < 2 || step < 0 || step >= starts.back()) return -1;
  // The last event starting at or before the step: of several starting there (events of
  // no steps), the one that lasts.
  const auto after = std::upper_bound(starts.begin(), starts.end() - 1, step);
  return static_cast<int>(after - starts.begin()) - 1;
}

int EventAtOffset(const CompiledPart& part, std::uint32_t offset) {
  if (part.sources.size() < static_cast<std::size_t>(part.count) || part.count == 0) return -1;
  // Repeats play a token more than once; the first time it is heard is the one meant.
  int best = -1;
  std::uint32_t bestStart = 0;
  int before = -1;
  std::uint32_t beforeStart = 0;
  for (int i = 0; i < part.count; ++i) {
    const SourceSpan& s = part.sources[i];
    if (offset >= s.offset && offset < s.offset + static_cast<std::uint32_t>(s.length)) return i;
    if (s.offset >= offset) {
      if (best < 0 || s.offset < bestStart) {
        best = i;
        bestStart = s.offset;
      }
    } else if (before < 0 || s.offset > beforeStart) {
      before = i;
      beforeStart = s.offset;
    }
  }
  return best >= 0 ? best : before;
}

std::int32_t SongStepAtOffset(const SongDocument& song, int part, std::uint32_t offset) {
  SongCompile compiled;
  SongCompileOptions options;
  options.wantSources = true;
  if (part < 0 || part > 3 || !CompileSong(song, compiled, options)) return 0;
  const CompiledPart& written = compiled.parts[part];
  const int event = EventAtOffset(written, offset);
  return event < 0 ? 0 : EventStarts(written)[static_cast<std::size_t>(event)];
}

std::int32_t SongStepAtTick(std::int64_t tick, std::int32_t markStep, std::int32_t endStep,
                            bool repeated) {
  const std::int64_t length = std::max<std::int64_t>(endStep - markStep, 1);
  if (tick < 0) tick = 0;
  if (repeated && tick >= length) tick -= length;
  return static_cast<std::int32_t>(std::min<std::int64_t>(markStep + tick, endStep));
}

}  // namespace chwr

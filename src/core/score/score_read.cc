#include "score/score_read.h"

#include <algorithm>

namespace chwr {

ScoreReading ReadScoreEvents(std::span<const NoteEvent>, int) {
  return {};
}

ScoreReading ReadCompiledPart(const CompiledPart& part, int resolution) {
  const std::size_t count =
      std::min(static_cast<std::size_t>(std::max(part.count, 0)), part.events.size());
  return ReadScoreEvents(std::span(part.events).first(count), resolution);
}

}  // namespace chwr

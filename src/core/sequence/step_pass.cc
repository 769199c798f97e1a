#include "sequence/step_pass.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "messages.h"

namespace chwr {
namespace {

// Per part: where the pass is. Events are met in order, so the step each starts on is a
// running sum rather than a table of them all (a table was a page fault every 1,000 events).
struct PartCursor {
  int next = 0;
  std::int32_t at = 0;                ///< the step event `next` starts on
  std::optional<NoteEvent> markRest;  ///< the event spanning the mark, turned into a rest
  int markRestIndex = -1;
};

}  // namespace

Result<void> CheckPartLengths(const SongCompile& compiled) {
  for (int p = 0; p < 4; ++p) {
    const int steps = compiled.parts[p].totalSteps;
    if (steps > kMaxSongSteps) return Fail(msg::PartTooLong(p, steps, kMaxSongSteps));
  }
  return {};
}

Result<void> StepPass(const SongCompile& compiled, std::span<StepListener* const> listeners) {
  if (auto r = CheckPartLengths(compiled); !r) return r;
  std::array<PartCursor, 4> cursors;
  int endStep = 0;
  for (int p = 0; p < 4; ++p) endStep = std::max(endStep, compiled.parts[p].totalSteps);

  const int mark = compiled.state.markStep;
  if (mark > 0) {
    for (int p = 0; p < 4; ++p) {
      const CompiledPart& part = compiled.parts[p];
      PartCursor& c = cursors[p];
      if (part.count == 0) continue;
      // The first event starting on or after the mark; steps are never negative.
      int before = 0;
      std::int32_t at = 0;
      while (before < part.count && at < mark) at += part.events[before++].step;
      c.next = before;
      c.at = at;
      if (before < part.count && at == mark) continue;
      // A part that has ended by the mark has nothing left to play.
      if (part.totalSteps <= mark) {
        c.next = part.count;
        continue;
      }
      // The event sounding across the mark becomes a rest from the mark to its end,
      // which is also where the part's next event starts.
      const int k = before - 1;
      NoteEvent rest = part.events[k];
      rest.key = part.minKey == 255 ? static_cast<std::int16_t>(p * 64 + 26) : part.minKey;
      rest.gate = 0;
      rest.step = static_cast<std::int16_t>(at - mark);  // `at` is where event k ends
      c.markRest = rest;
      c.markRestIndex = k;
      c.next = k;
      c.at = mark;
    }
  }

  const int first = std::max(mark, 0);
  for (StepListener* l : listeners) l->Begin(first, endStep);
  std::vector<ScheduledEvent> step;
  step.reserve(8);
  for (int t = first; t <= endStep; ++t) {
    step.clear();
    for (int p = 0; p < 4; ++p) {
      const CompiledPart& part = compiled.parts[p];
      PartCursor& c = cursors[p];
      // Zero-length events share a step with the next one; all of them are kept so
      // the part's later events stay on their steps.
      while (c.next < part.count && c.at == t) {
        // Filled where it stays: a copy made on the stack field by field and then moved
        // whole was read back before the narrow writes had landed, a stall an event.
        ScheduledEvent& s = step.emplace_back();
        s.part = p;
        s.index = c.next;
        if (c.next == c.markRestIndex) {
          s.event = *c.markRest;
          s.adjustedGate = 0;
        } else {
          s.event = part.events[c.next];
          s.adjustedGate = part.events[c.next].adjustedGate();
        }
        s.data = part.DataOf(s.event);
        c.at += s.event.step;
        ++c.next;
      }
    }
    if (step.empty()) continue;
    for (StepListener* l : listeners) {
      if (auto r = l->Check(step); !r) return r;
    }
    int nextStart = endStep;
    for (int p = 0; p < 4; ++p) {
      const PartCursor& c = cursors[p];
      if (c.next < compiled.parts[p].count) nextStart = std::min(nextStart, c.at);
    }
    for (StepListener* l : listeners) l->Step(t, step, nextStart - t);
  }
  return {};
}

}  // namespace chwr

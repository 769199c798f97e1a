#pragma once
// The step pass: a compiled song handed, step by step and in stream order, to every
// output built from it (the MLD stream, the MIDI part tracks, ...). The pass knows no
// format; each listener checks what its own format cannot hold.

#include <cstdint>
#include <span>
#include <string_view>

#include "diagnostic.h"
#include "mml/song_compile.h"

namespace chwr {

/// Highest step position a song may reach; a part may not be longer.
inline constexpr int kMaxSongSteps = 50000;

/// Fails, naming the part, when a part is longer than kMaxSongSteps: no output may hold
/// such a song.
Result<void> CheckPartLengths(const SongCompile& compiled);

/// One event as the step pass hands it on.
struct ScheduledEvent {
  int part = 0;                   ///< 0..3
  int index = 0;                  ///< index in the part's event list
  NoteEvent event;                ///< the event as played (the rest at a "!" mark included)
  std::int16_t adjustedGate = 0;  ///< the gate of the tie-adjusted copy (0 for the mark rest)
  std::string_view data;          ///< the event's data text (hex digits), empty when none
};

/// Receives the song step by step, in stream order.
class StepListener {
 public:
  virtual ~StepListener() = default;
  /// Called once before the first step: the step the music starts at and the song's end.
  virtual void Begin(int startStep, int endStep) { (void)startStep, (void)endStep; }
  /// Called with every step's events before the step is handed on; a failure ends the
  /// pass with that diagnostic, before any listener has seen the step.
  virtual Result<void> Check(std::span<const ScheduledEvent> events) {
    (void)events;
    return {};
  }
  /// All events that start at step `t`, parts in order, and the number of steps to the
  /// next step with events (or to the end of the longest part after the last step).
  virtual void Step(int t, std::span<const ScheduledEvent> events, int delta) = 0;
};

/// The one pass over the steps: from the "!" mark (or 0) to the end of the longest
/// part, every event of every part in stream order, handed to each listener. Fails
/// when a part is longer than kMaxSongSteps or a listener refuses an event.
Result<void> StepPass(const SongCompile& compiled, std::span<StepListener* const> listeners);

}  // namespace chwr

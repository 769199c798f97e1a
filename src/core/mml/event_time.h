#pragma once
// Where a compiled part's events fall in time and in the text: the event heard at a step
// of the song, the step an event starts at, and the event written at a place in the text.
// The editor follows playback in the part boxes with them and plays from the caret.

#include <cstdint>
#include <vector>

#include "mml/compiler.h"
#include "song/song_document.h"

namespace chwr {

/// Every event's start step, and where the part ends: starts[i] is the sum of the steps
/// before event i; starts.back() is the part's total steps.
std::vector<std::int32_t> EventStarts(const CompiledPart& part);

/// The event that sounds (or rests) at `step`, from `starts` (EventStarts); -1 before the
/// first event or from the part's end on. An event of no steps is never heard alone: the
/// one after it is.
int EventAtStep(const std::vector<std::int32_t>& starts, std::int32_t step);

/// The first event written at or after `offset` (characters into the part text, as
/// SourceSpan counts them), or the last one written before it when none follows; -1 when
/// the part has no sources. An event whose span holds the offset is the one.
int EventAtOffset(const CompiledPart& part, std::uint32_t offset);

/// The step of the song at which the note written at `offset` (characters into part
/// `part`'s text, line breaks CR LF) starts, as EventAtOffset finds it; 0 when the part
/// has no event or the song does not compile.
std::int32_t SongStepAtOffset(const SongDocument& song, int part, std::uint32_t offset);

/// The step of the song (steps from its start) that a playback is at, `tick` ticks into a
/// file that starts at `markStep` and, with `repeated`, plays the song from the mark twice;
/// `endStep` is where the longest part ends.
std::int32_t SongStepAtTick(std::int64_t tick, std::int32_t markStep, std::int32_t endStep,
                            bool repeated);

}  // namespace chwr

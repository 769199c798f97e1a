#include "score/score_read.h"

#include <algorithm>
#include <cstdlib>

#include "messages.h"
#include "mml/notation.h"

namespace chwr {
namespace {

// A length the score can show, in steps at 48 a quarter note.
struct ShownLength {
  int steps48;
  int code;
  bool triplet;
};

// Plain lengths longest first, then the triplets (two thirds of each undotted length, the
// thirty-second's "*2" at 24 included), so that on a tie the plain length wins.
std::vector<ShownLength> MakeShownLengths() {
  std::vector<ShownLength> lengths;
  for (int code = 0; code < kRestCodeOffset; ++code)
    lengths.push_back({LengthCodeSteps48(code), code, false});
  for (int code = 0; code < kRestCodeOffset; ++code) {
    if (!IsDottedCode(code)) lengths.push_back({LengthCodeSteps48(code) * 2 / 3, code, true});
  }
  return lengths;
}

const ShownLength& NearestLength(int steps48) {
  static const std::vector<ShownLength> kLengths = MakeShownLengths();
  const ShownLength* best = &kLengths.front();
  for (const ShownLength& length : kLengths) {
    if (std::abs(length.steps48 - steps48) < std::abs(best->steps48 - steps48)) best = &length;
  }
  return *best;
}

bool IsRestEvent(const NoteEvent& e) {
  return e.gate == 0;
}

// A note or rest followed by its dot extension: the compiler writes "C4." as a tied C4 and
// a C8 (so "C4&C8" is the same two events), and a dotted rest as two rests.
bool HasDotExtension(const NoteEvent& e, const NoteEvent& next, int stepFactor) {
  if (e.step != 2 * next.step) return false;
  const int steps48 = e.step * stepFactor;
  if (steps48 != 96 && steps48 != 48 && steps48 != 24 && steps48 != 12) return false;
  if (IsRestEvent(e) || IsRestEvent(next)) return IsRestEvent(e) && IsRestEvent(next);
  return (e.key & 63) == (next.key & 63) && e.step < e.gate;
}

// Where the note of compiler value `note` sits, and whether it needs a sharp.
void PlaceNote(int note, ScoreCell& cell) {
  const NotePitch pitch = MldKeyPitch(note);
  const std::string_view name = PitchName(pitch.pitchClass);
  const int letterIndex = static_cast<int>(std::string_view("CDEFGAB").find(name[0]));
  cell.pitchPos = PitchPosOf(pitch.octave, letterIndex);
  cell.accidental = name.size() > 1 ? kSharp : kNoAccidental;
}

}  // namespace

ScoreReading ReadScoreEvents(std::span<const NoteEvent> events, int resolution) {
  const int stepFactor = resolution == 0 ? 2 : 1;  // steps at 48 per step of the part
  ScoreReading reading;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const NoteEvent& e = events[i];
    const bool dotted = i + 1 < events.size() && HasDotExtension(e, events[i + 1], stepFactor);
    const NoteEvent& last = dotted ? events[i + 1] : e;
    ++reading.fullCount;
    if (reading.fullCount > kShownCells) {
      if (dotted) ++i;
      continue;
    }
    ScoreCell& cell = reading.cells[reading.fullCount];
    const int steps48 = e.step * stepFactor + (dotted ? last.step * stepFactor : 0);
    const ShownLength& length = NearestLength(steps48);
    if (length.steps48 != steps48) {
      reading.lengthChanges.push_back({reading.fullCount, e.step + (dotted ? last.step : 0)});
    }
    cell.lengthCode = length.code;
    cell.triplet = length.triplet;
    if (IsRestEvent(e)) {
      cell.pitchPos = kRestPitchPos;
      cell.lengthCode += kRestCodeOffset;
    } else {
      PlaceNote(e.key & 63, cell);
      cell.tie = last.step < last.gate;
    }
    if (dotted) ++i;
  }
  reading.shown = std::min(reading.fullCount, kShownCells);
  reading.notice = msg::ScoreReadNotice(
      reading.lengthChanges.size(), static_cast<std::size_t>(reading.fullCount - reading.shown));
  return reading;
}

ScoreReading ReadCompiledPart(const CompiledPart& part, int resolution) {
  const std::size_t count =
      std::min(static_cast<std::size_t>(std::max(part.count, 0)), part.events.size());
  return ReadScoreEvents(std::span(part.events).first(count), resolution);
}

}  // namespace chwr

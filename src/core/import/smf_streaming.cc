// The streaming conversion of a part: length names, "Q" and ties, written note by note
// as the track plays.
#include "import/smf_convert.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "import/smf_note_writer.h"
#include "mml/lengths.h"
#include "mml/notation.h"

namespace chwr::smf {
namespace {

// Steps (at 48 a quarter) of the last piece the compiler plays for a length written
// after a note name: "*n" is n; a dotted name plays as the name and half of it, tied.
std::int64_t LastPieceSteps(std::string_view length) {
  const bool absolute = !length.empty() && length.front() == '*';
  if (absolute) length.remove_prefix(1);
  const bool dotted = !length.empty() && length.back() == '.';
  if (dotted) length.remove_suffix(1);
  if (!absolute) {
    const std::optional<int> steps = PlainLengthSteps(length, 48);
    if (!steps) return 0;
    return dotted ? *steps / 2 : *steps;
  }
  std::int64_t n = 0;
  for (char c : length) {
    if (c < '0' || c > '9') return 0;
    n = std::min<std::int64_t>(n * 10 + (c - '0'), 1'000'000);
  }
  return n;
}

// Absolute lengths named where a name says the same. A named length may play as tied
// pieces (a dot, or "4&16"), and the gate shortens only the last of them: a note whose
// gate `q` that piece cannot hold keeps its absolute length, which carries the gate whole.
std::string NamedLengths(const std::string& text, std::int64_t q) {
  std::string named = NormaliseLengths(text);
  if (q <= 0) return named;
  const std::size_t name = named.find_last_of("CDEFGABR");
  if (name == std::string::npos || named[name] == 'R') return named;
  std::string_view length = std::string_view(named).substr(name + 1);
  if (!length.empty() && length.front() == '+') length.remove_prefix(1);
  return q < LastPieceSteps(length) ? named : text;
}

class StreamingPart {
 public:
  explicit StreamingPart(const ConvertSetup& s)
      : setup_(s), writer_(s), octavePending_(s.octave) {}

  PartOutcome Run(const RangeEvents& range) {
    const std::span<const PartEvent> events = range.events;
    for (std::size_t k = 0; k < events.size(); ++k) {
      const PartEvent& e = events[k];
      since_ = e.at - lastOnAt_;
      if (e.kind == PartEvent::Kind::kVolume) {
        curVolume_ = e.value;
      } else {
        Note(e, e.kind == PartEvent::Kind::kOn ? NextWritten(range, k) : -1);
      }
    }
    // The range (or the track) ends: the note still pending lasts up to there.
    since_ = range.end - lastOnAt_;
    out_.text += PendingText(-1);
    out_.lengthCut = writer_.lengthCut();
    return std::move(out_);
  }

 private:
  // The note that the note-on at `k` lets follow in the text: of the notes that begin
  // at its step only the last is written; -1 when none is (the range ends there).
  static int NextWritten(const RangeEvents& range, std::size_t k) {
    const std::span<const PartEvent> events = range.events;
    const std::int64_t at = events[k].at;
    if (at >= range.end) return -1;
    int note = events[k].note;
    for (std::size_t j = k + 1; j < events.size() && events[j].at == at; ++j) {
      if (events[j].kind == PartEvent::Kind::kOn) note = events[j].note;
    }
    return note;
  }

  // One note event; `next` is the note written after the pending one (note-ons only).
  void Note(const PartEvent& e, int next) {
    const bool off = e.kind == PartEvent::Kind::kOff;
    // Only a note-on speaks for the notes that follow: a note-off's release velocity
    // (often a fixed 64) is no loudness, and the note it ends is not the next to write.
    if (setup_.volume == ImportVolume::kVelocity && !off) curVolume_ = e.value / 2;
    if (off && open_[e.note]-- > 1) {
      // The pitch was struck again before this note-off: it ends the earlier note, and
      // the one pending still sounds.
      noteOffSeen_ = false;
    } else if (off) {
      noteOffSeen_ = e.note == prevNote_;
      if (noteOffSeen_) {
        gate_ = since_;
        // A note shorter than half a step still sounds: as one step, not as none.
        if (gate_ == 0 && e.tick > onTick_) gate_ = 1;
      }
    }
    std::string text;
    if (!off) text = PendingText(next);
    out_.text += text;
    if (curVolume_ != lastVolume_) {
      out_.text += "V" + std::to_string(curVolume_);
      lastVolume_ = curVolume_;
    }
    lineLength_ += text.size();
    if (lineLength_ > 60) {
      out_.text += "\r\n";
      lineLength_ = 0;
    }
    if (!off) {
      ++open_[e.note];
      prevNote_ = e.note;
      onTick_ = e.tick;
      lastOnAt_ = e.at;
    }
  }

  // The note that began at the last note-on, now that its length is known; `next` is
  // the note written after it, -1 when none follows.
  std::string PendingText(int next) {
    const int pending = prevNote_;
    const bool hadOctave = writer_.firstOctave().has_value();
    // No note-off of it yet: it sounds up to the next note, however long that is.
    const bool sounding = gate_ == 0;
    std::string text;
    if (sounding || since_ <= kWhole) {
      text = writer_.Streamed(prevNote_, since_, gate_);
    } else {
      // A silence of more than a whole note: the note as it sounded, then a rest.
      text = writer_.Streamed(prevNote_, gate_, gate_);
      int rest = 0;
      text += writer_.Streamed(rest, since_ - gate_, since_ - gate_);
    }
    if (text.find('*') != std::string::npos) text = NamedLengths(text, writer_.lastQ());
    // A note still sounding when the next begins is slurred into it; into a note of its
    // own pitch it is not, or the two would become one and the second never be struck.
    // A note written as a rest (transposed below the lowest key) is not slurred either.
    if (next >= 0 && next != pending && !text.empty() && !noteOffSeen_ && pending != 0 &&
        PitchClass(prevNote_) >= 0 && gate_ == 0) {
      text += '&';
    }
    // The octave is said with the first note that is written and sounds, transposed.
    if (octavePending_ && !hadOctave && writer_.firstOctave()) {
      text = OctavePrefix(*writer_.firstOctave()) + text;
      octavePending_ = false;
    }
    noteOffSeen_ = false;
    gate_ = 0;
    return text;
  }

  const ConvertSetup& setup_;
  NoteWriter writer_;
  PartOutcome out_;
  std::int64_t since_ = 0;     // steps since the last note-on (or the start)
  std::int64_t lastOnAt_ = 0;  // position of the last note-on
  std::int64_t onTick_ = 0;    // its tick
  std::int64_t gate_ = 0;      // steps from it to its note-off, 0 while none was seen
  bool noteOffSeen_ = false;
  std::array<int, 128> open_{};  // notes begun and not yet ended, by pitch
  int prevNote_ = 0;
  int curVolume_ = 0;
  int lastVolume_ = 0;
  std::size_t lineLength_ = 0;
  bool octavePending_;
};

}  // namespace

PartOutcome ConvertStreaming(PartSource& source, const ConvertSetup& setup) {
  return StreamingPart(setup).Run(InRange(source.events, source.endTick, setup));
}

}  // namespace chwr::smf

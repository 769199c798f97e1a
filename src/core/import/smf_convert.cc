#include "import/smf_convert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>
#include <vector>

#include "messages.h"
#include "midi/smf_events.h"
#include "mml/lengths.h"
#include "sequence/step_pass.h"
#include "text/cp932.h"

namespace chwr::smf {
namespace {

// Parts are written at 48 steps a quarter; a whole note is 192.
constexpr std::int64_t kStepsPerQuarter = 48;
constexpr std::int64_t kWhole = 4 * kStepsPerQuarter;

constexpr std::array<std::string_view, 12> kPitchNames = {"C",  "C+", "D",  "D+", "E",  "F",
                                                          "F+", "G",  "G+", "A",  "A+", "B"};

// The streaming writer's length names in steps, longest first; there is no dotted 32nd.
struct LengthRow {
  std::int64_t steps;
  std::string_view name;
};
constexpr std::array<LengthRow, 11> kLengthRows = {{{192, "1"},
                                                    {144, "2."},
                                                    {96, "2"},
                                                    {72, "4."},
                                                    {48, "4"},
                                                    {36, "8."},
                                                    {24, "8"},
                                                    {18, "16."},
                                                    {12, "16"},
                                                    {6, "32"},
                                                    {3, "64"}}};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::string Num(std::int64_t v) {
  return std::to_string(v);
}

// The pitch class a (transposed) note number is written with; negative below 24 where
// the note is no multiple of 12: such notes are written as rests.
int PitchClass(int note) {
  return (note - 24) % 12;
}

// Steps (at 48 a quarter) of the last piece the compiler plays for a length written
// after a note name: "*n" is n; a dotted name plays as the name and half of it, tied.
std::int64_t LastPieceSteps(std::string_view length) {
  const bool absolute = !length.empty() && length.front() == '*';
  if (absolute) length.remove_prefix(1);
  const bool dotted = !length.empty() && length.back() == '.';
  if (dotted) length.remove_suffix(1);
  std::int64_t n = 0;
  for (char c : length) {
    if (c < '0' || c > '9') return 0;
    n = std::min<std::int64_t>(n * 10 + (c - '0'), 1'000'000);
  }
  if (absolute) return n;
  if (n <= 0 || 192 % n != 0) return 0;
  return dotted ? 96 / n : 192 / n;
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

using StepEvent = PartEvent;

// The part as the conversions see it: the chosen range only, as if the track began at
// the start measure, each event with its position in steps.
struct RangeEvents {
  std::span<const StepEvent> events;
  std::int64_t end = 0;  // steps from the start to the end of the range or of the track
};

// Positions are rounded to steps once each, from the start measure, and every length is
// the difference of two of them: a note is never more than half a step off the source,
// however many notes came before it. The track's events are reused in place: a long
// track is held once.
RangeEvents InRange(std::vector<PartEvent>& events, std::int64_t endTick, const ConvertSetup& s) {
  using Kind = PartEvent::Kind;
  const std::int64_t from = s.startTick;
  const std::int64_t to = std::min(from + s.rangeTicks, endTick);
  const std::int64_t division = s.division;
  auto steps = [&](std::int64_t tick) {
    return (2 * kStepsPerQuarter * (tick - from) + division) / (2 * division);
  };
  RangeEvents range;
  if (to <= from) {
    events.clear();
    return range;
  }

  // Before the start: the volume then in effect, and the last note begun, which is
  // taken from the start when it still sounds there. Volumes and note-offs at the start
  // itself (up to its first note-on) belong to what went before.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t sounding = kNone;
  int volume = -1;
  std::size_t i = 0;
  for (; i < events.size(); ++i) {
    const PartEvent& e = events[i];
    if (e.tick > from || (e.tick == from && e.kind == Kind::kOn)) break;
    if (e.kind == Kind::kVolume) volume = e.value;
    if (e.kind == Kind::kOn) sounding = i;
    if (e.kind == Kind::kOff && sounding != kNone && events[sounding].note == e.note) {
      sounding = kNone;
    }
  }
  std::vector<StepEvent> lead;
  if (volume >= 0) lead.push_back({from, 0, Kind::kVolume, 0, static_cast<std::uint8_t>(volume)});
  if (sounding != kNone) {
    lead.push_back({from, 0, Kind::kOn, events[sounding].note, events[sounding].value});
  }
  if (i < lead.size()) {
    events.insert(events.begin(), lead.size() - i, StepEvent{});
    i = lead.size();
  }
  // Which notes sound: a note-off of no note begun in the range ends one from before it
  // and is passed over.
  std::array<int, 128> open{};
  std::size_t w = 0;
  for (const StepEvent& e : lead) {
    if (e.kind == Kind::kOn) ++open[e.note];
    events[w++] = e;
  }
  for (; i < events.size() && events[i].tick < to; ++i) {
    StepEvent e = events[i];
    if (e.kind == Kind::kOn) ++open[e.note];
    if (e.kind == Kind::kOff) {
      if (open[e.note] == 0) continue;
      --open[e.note];
    }
    e.at = steps(e.tick);
    events[w++] = e;
  }
  events.resize(w);
  range.events = events;
  range.end = steps(to);
  return range;
}

// Writes notes and rests as MML and keeps what one note passes to the next: the octave
// of the last note and the last gate value. Lengths are in steps.
class NoteWriter {
 public:
  explicit NoteWriter(const ConvertSetup& s) : transpose_(s.transpose) {}

  bool lengthCut() const { return lengthCut_; }
  /// The gate the part plays with now (the last "Q" written).
  std::int64_t lastQ() const { return lastQ_; }
  /// The octave of the first note written that sounds, once there is one.
  std::optional<int> firstOctave() const { return firstOctave_; }

  // The streaming note writer: length names, "Q" for the silent tail, ties.
  std::string Streamed(int& note, std::int64_t step, std::int64_t gate) {
    Clip(step);
    Clip(gate);
    int pc = -1;
    std::string gateText;
    if (note != 0 && !(step == 0 && gate == 0)) {
      note += transpose_;
      pc = PitchClass(note);
      if (step == 0) gate = 0;
      if (step < gate) gate = 0;
      if (gate == 0) gate = step;
      const std::int64_t q = step - gate;
      // A gate that is still in force is not said again.
      if (q != lastQ_) gateText = "Q" + Num(q);
      lastQ_ = q;
    }
    const bool rest = pc < 0;
    const int before = curOctave_;
    std::string text = OctaveText(note, rest);
    const std::string_view name = rest ? std::string_view("R") : kPitchNames[pc];

    std::string length;
    std::int64_t remaining = step;
    // Length names are safe only while no gate is in force: a gate shortens the last of
    // the tied pieces alone. Otherwise the note is one absolute length, named afterwards
    // where its last piece holds the gate.
    if (gateText == "Q0" || (gateText.empty() && (rest || lastQ_ == 0))) {
      for (const LengthRow& row : kLengthRows) {
        for (std::int64_t n = remaining / row.steps; n > 0; --n) {
          length += name;
          length += row.name;
          if (!rest) length += '&';
        }
        remaining %= row.steps;
      }
    } else {
      std::int64_t len = step;
      while (len > kWhole) {
        length += name;
        length += "*192&";
        len -= kWhole;
      }
      length += name;
      length += "*" + Num(len) + "&";
      remaining = 0;
    }
    if (remaining > 0) {
      length += name;
      length += "*" + Num(remaining);
    }
    if (!rest && remaining == 0 && !length.empty()) length.pop_back();
    if (length.empty()) {
      // Nothing sounds: the octave stays where the last written note left it.
      curOctave_ = before;
      text.clear();
    } else if (!rest && !firstOctave_) {
      firstOctave_ = curOctave_;
    }
    return text + gateText + length;
  }

  // The absolute note writer: "*n" lengths, explicit rests after long notes.
  // `slur`: a note still sounding at the next one's start may be tied into it (not when
  // the next is of the same pitch, which must be struck again).
  std::string Absolute(int& note, std::int64_t step, std::int64_t gate, bool slur = true) {
    Clip(step);
    Clip(gate);
    int pc = -1;
    if (note != 0) {
      note += transpose_;
      pc = PitchClass(note);
      if (step == 0) gate = 0;
      if (gate == 0) gate = step;
    }
    const bool rest = pc < 0;
    std::string text = OctaveText(note, rest);
    const std::string_view name = rest ? std::string_view("R") : kPitchNames[pc];

    std::int64_t gap = step - gate;
    std::string length;
    std::int64_t q = 0;
    if (step <= kWhole) {
      std::string_view tie;
      if (gap < 0) {
        if (!rest && slur) tie = "&";
        gap = 0;
      }
      length += name;
      length += "*" + Num(step);
      length += tie;
      q = gap;
    } else {
      std::string_view tie;
      std::int64_t sounds = gate;
      if (gap < 0) {
        // Still sounding when the next note begins: it lasts up to it, tied, and never
        // past it, or every later note would come late.
        if (!rest && slur) tie = "&";
        sounds = step;
        gap = 0;
      }
      while (sounds > kWhole) {
        length += name;
        length += rest ? "*192" : "*192&";
        sounds -= kWhole;
      }
      length += name;
      length += "*" + Num(sounds);
      length += tie;
      if (gap > 0) {
        while (gap > kWhole) {
          length += "R*192";
          gap -= kWhole;
        }
        length += "R*" + Num(gap);
      }
    }
    if (q != lastQ_ && !rest) {
      text += "Q" + Num(q);
      lastQ_ = q;
    }
    if (!rest && !firstOctave_) firstOctave_ = curOctave_;
    return text + length;
  }

 private:
  // No song holds a note longer than its step limit; a longer one (a delta time of
  // years in a broken file) is cut there, so its text stays a few hundred pieces.
  void Clip(std::int64_t& steps) {
    if (steps > kMaxSongSteps) {
      steps = kMaxSongSteps;
      lengthCut_ = true;
    }
  }

  // "<" or ">" from the last note's octave to this one's; rests keep the octave.
  std::string OctaveText(int note, bool rest) {
    const int oct = rest ? 0 : static_cast<int>(FloorDiv(note, 12));
    if (curOctave_ == 0) curOctave_ = oct;
    std::string text;
    if (!rest && oct != curOctave_) {
      text.assign(static_cast<std::size_t>(std::abs(oct - curOctave_)),
                  oct < curOctave_ ? '>' : '<');
      curOctave_ = oct;
    }
    return text;
  }

  int transpose_;
  int curOctave_ = 0;
  std::optional<int> firstOctave_;
  // No gate written yet: the first note always says its own, also a gate of 1 (the
  // compiler starts at Q0, so taking 1 as already said would lose it); a first Q0 is
  // written as before.
  std::int64_t lastQ_ = -1;
  bool lengthCut_ = false;
};

// The "O" that puts the part in the octave of its first sounding note.
std::string OctavePrefix(int octave) {
  return "O" + Num(octave - 1);
}

class StreamingPart {
 public:
  explicit StreamingPart(const ConvertSetup& s)
      : setup_(s), writer_(s), octavePending_(s.octave) {}

  PartOutcome Run(const RangeEvents& range) {
    const std::span<const StepEvent> events = range.events;
    for (std::size_t k = 0; k < events.size(); ++k) {
      const StepEvent& e = events[k];
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
    const std::span<const StepEvent> events = range.events;
    const std::int64_t at = events[k].at;
    if (at >= range.end) return -1;
    int note = events[k].note;
    for (std::size_t j = k + 1; j < events.size() && events[j].at == at; ++j) {
      if (events[j].kind == PartEvent::Kind::kOn) note = events[j].note;
    }
    return note;
  }

  // One note event; `next` is the note written after the pending one (note-ons only).
  void Note(const StepEvent& e, int next) {
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
      out_.text += "V" + Num(curVolume_);
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

class AbsolutePart {
 public:
  explicit AbsolutePart(const ConvertSetup& s) : setup_(s), writer_(s) {}

  PartOutcome Run(const RangeEvents& range) {
    records_.reserve(range.events.size() / 2 + 1);  // a note-on and its note-off a note
    for (const StepEvent& e : range.events) {
      if (e.kind == PartEvent::Kind::kVolume) {
        curVolume_ = e.value;
      } else {
        Note(e);
      }
    }
    Write(range.end);
    out_.lengthCut = writer_.lengthCut();
    return std::move(out_);
  }

 private:
  struct Record {
    std::int64_t start = 0;  // steps
    std::int64_t tick = 0;   // the note-on's tick
    int note = 0;
    int volume = 0;
    std::int64_t step = 0;
    std::int64_t gate = 0;
  };

  void Note(const StepEvent& e) {
    if (e.kind == PartEvent::Kind::kOn) {
      const int volume = setup_.volume == ImportVolume::kVelocity ? e.value / 2 : curVolume_;
      open_[e.note].push_back(records_.size());
      records_.push_back({e.at, e.tick, e.note, volume, 0, 0});
      return;
    }
    // A note-off closes the first open record of its note from the one the previous
    // note-off closed onward. A record closed at its own tick keeps gate 0 and so stays
    // open, as an unclosed one does.
    std::vector<std::size_t>& open = open_[e.note];
    const auto hit = std::lower_bound(open.begin(), open.end(), lastClosed_);
    if (hit == open.end()) return;
    Record& r = records_[*hit];
    r.gate = e.at - r.start;
    // A note shorter than half a step still sounds: as one step, not as none.
    if (r.gate == 0 && e.tick > r.tick) r.gate = 1;
    lastClosed_ = *hit;
    if (r.gate != 0) open.erase(hit);
  }

  void Write(std::int64_t end) {
    if (records_.empty()) return;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      records_[i].step = (i + 1 < records_.size() ? records_[i + 1].start : end) - records_[i].start;
    }
    std::string& text = out_.text;
    std::int64_t measure = 0;
    int lastVolume = 64;
    const Record& first = records_.front();
    if (first.start != 0) {
      int rest = 0;
      text += writer_.Absolute(rest, first.start, first.start);
      measure += first.start;
      if (measure >= kWhole) {
        text += "\r\n";
        measure = 0;
      }
    }
    // The octave comes from the first note written that sounds: notes that start
    // together are written as the last of them alone.
    if (setup_.octave) {
      for (const Record& r : records_) {
        const int note = r.note + setup_.transpose;
        if (r.step == 0 || r.note == 0 || PitchClass(note) < 0) continue;
        text += OctavePrefix(static_cast<int>(FloorDiv(note, 12)));
        break;
      }
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
      Record& r = records_[i];
      measure += r.step;
      if (measure >= kWhole) {
        text += "\r\n";
        measure = 0;
      }
      if (setup_.volume != ImportVolume::kNone && r.volume != lastVolume) {
        text += "V" + Num(r.volume);
        lastVolume = r.volume;
      }
      if (r.step == 0) continue;
      // Of the notes that start together only the last is written.
      std::size_t next = i + 1;
      while (next + 1 < records_.size() && records_[next + 1].start == records_[next].start) ++next;
      const bool slur = next < records_.size() && records_[next].step != 0 &&
                        records_[next].note != r.note;
      text += writer_.Absolute(r.note, r.step, r.gate, slur);
    }
  }

  const ConvertSetup& setup_;
  NoteWriter writer_;
  PartOutcome out_;
  int curVolume_ = 63;
  std::vector<Record> records_;
  std::array<std::vector<std::size_t>, 128> open_;
  std::size_t lastClosed_ = 0;
};

}  // namespace

PartSource ReadPartSource(std::span<const std::uint8_t> bytes, std::size_t eventsAt,
                          const ConvertSetup& setup, std::vector<PartEvent> buffer) {
  PartSource source;
  source.events = std::move(buffer);
  source.events.clear();
  const std::int64_t rangeEnd = setup.startTick + setup.rangeTicks;
  TrackReader reader(bytes, eventsAt, bytes.size(), 3);
  Event e;
  std::int64_t tick = 0;
  while (reader.Next(e) == ReadStatus::kEvent) {
    tick += e.delta;
    source.endTick = tick;
    if (e.IsEndOfTrack()) break;
    if (e.kind == EventKind::kMeta) {
      if (e.metaType == 0x03 && setup.format0) {
        std::string title = TitleText(e.payload, source.titleInvalidBytes);
        source.title = title.empty() ? std::string(msg::kUntitled) : std::move(title);
      }
      continue;
    }
    if (e.kind != EventKind::kChannel) continue;
    if (setup.format0 && e.Channel() != setup.channel) continue;
    switch (e.Kind()) {
      case 0xB:
        if ((e.data1 == 7 && setup.volume == ImportVolume::kVolume) ||
            (e.data1 == 11 && setup.volume == ImportVolume::kExpression)) {
          source.events.push_back(
              {tick, 0, PartEvent::Kind::kVolume, 0, static_cast<std::uint8_t>(e.data2 / 2)});
        }
        break;
      case 0xC:
        // The tone list holds the 128 programs; a byte beyond them names no item.
        if (setup.tone && e.data1 < 128 && tick < rangeEnd) source.toneIndex = e.data1 + 4;
        break;
      case 0x8:
      case 0x9: {
        // Note numbers beyond 127 (a broken file) are passed over: no key has them.
        if (e.data1 > 127) break;
        const bool on = e.IsNoteOn();
        source.events.push_back({tick, 0, on ? PartEvent::Kind::kOn : PartEvent::Kind::kOff,
                                 e.data1, e.data2});
        break;
      }
      default:
        break;
    }
  }
  return source;
}

PartOutcome ConvertStreaming(PartSource& source, const ConvertSetup& setup) {
  return StreamingPart(setup).Run(InRange(source.events, source.endTick, setup));
}

PartOutcome ConvertAbsolute(PartSource& source, const ConvertSetup& setup) {
  return AbsolutePart(setup).Run(InRange(source.events, source.endTick, setup));
}

std::int64_t RoundHalfUp(double x) {
  return static_cast<std::int64_t>(std::floor(x + 0.5));
}

std::string TitleText(std::span<const std::uint8_t> bytes, std::size_t& invalid) {
  const auto nul = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  const DecodedText decoded =
      DecodeCp932(bytes.first(static_cast<std::size_t>(nul - bytes.begin())));
  invalid += decoded.invalidCount;
  const std::size_t first = decoded.utf8.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return decoded.utf8.substr(first, decoded.utf8.find_last_not_of(' ') - first + 1);
}

}  // namespace chwr::smf

#include "import/smf_convert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

#include "import/smf_events.h"
#include "messages.h"
#include "mml/lengths.h"
#include "sequence/step_pass.h"
#include "text/cp932.h"

namespace chwr::smf {
namespace {

constexpr std::array<std::string_view, 12> kPitchNames = {"C",  "C+", "D",  "D+", "E",  "F",
                                                          "F+", "G",  "G+", "A",  "A+", "B"};

// The streaming writer's length names, longest first; there is no dotted 32nd.
struct LengthRow {
  double quarters;
  std::string_view name;
};
constexpr std::array<LengthRow, 11> kLengthRows = {{{4, "1"},
                                                    {3, "2."},
                                                    {2, "2"},
                                                    {1.5, "4."},
                                                    {1, "4"},
                                                    {0.75, "8."},
                                                    {0.5, "8"},
                                                    {0.375, "16."},
                                                    {0.25, "16"},
                                                    {0.125, "32"},
                                                    {0.0625, "64"}}};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::string Num(std::int64_t v) {
  return std::to_string(v);
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

// Writes notes and rests as MML and keeps what one note passes to the next: the octave
// of the last note and the last gate value.
class NoteWriter {
 public:
  explicit NoteWriter(const ConvertSetup& s)
      : division_(s.division),
        transpose_(s.transpose),
        // No song holds a note longer than its step limit; a longer one (a delta time of
        // years in a broken file) is cut there, so its text stays a few hundred pieces.
        maxTicks_(static_cast<std::int64_t>(
            std::ceil(static_cast<double>(kMaxSongSteps) * s.division / 48.0))) {}

  bool lengthCut() const { return lengthCut_; }
  /// The gate the part plays with now (the last "Q" written).
  std::int64_t lastQ() const { return lastQ_; }

  // The streaming note writer: length names, "Q" for the silent tail, ties.
  std::string Streamed(int& note, std::int64_t step, std::int64_t gate) {
    Clip(step);
    Clip(gate);
    int pc = -1;
    std::string gateText;
    if (note != 0 && !(step == 0 && gate == 0)) {
      note += transpose_;
      pc = (note - 24) % 12;  // negative below 24: written as a rest
      if (step == 0) gate = 0;
      if (step < gate) gate = 0;
      if (gate == 0) gate = step;
      const std::int64_t q = RoundHalfUp(static_cast<double>(step - gate) * 48 / division_);
      if (step > gate + 2) {
        if (q != lastQ_) gateText = "Q" + Num(q);
        lastQ_ = q;
      } else if (q == lastQ_) {
        // The gate in force is still q: remembering it keeps the next "Q0" from being
        // left out while the part still plays with q.
      } else {
        gateText = "Q" + Num(q);
        lastQ_ = q;
      }
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
        const std::int64_t piece = RoundHalfUp(division_ * row.quarters);
        // Below 16 ticks a quarter the shortest pieces round to nothing; they are left out.
        if (piece <= 0) continue;
        for (std::int64_t n = remaining / piece; n > 0; --n) {
          length += name;
          length += row.name;
          if (!rest) length += '&';
        }
        remaining %= piece;
      }
    } else {
      double len = static_cast<double>(step) * 48 / division_;
      while (len > 192) {
        length += name;
        length += "*192&";
        len -= 192;
      }
      length += name;
      length += "*" + Num(RoundHalfUp(len)) + "&";
      remaining = 0;
    }
    const std::int64_t r = static_cast<std::int64_t>(
        std::floor(static_cast<double>(remaining) * 48 / division_ + 0.5));
    if (r > 0) {
      length += name;
      length += "*" + Num(r);
    }
    if (!rest && r == 0 && !length.empty()) length.pop_back();
    if (length.empty()) {
      // Nothing sounds: the octave stays where the last written note left it.
      curOctave_ = before;
      text.clear();
    }
    return text + gateText + length;
  }

  // The absolute note writer: "*n" lengths, explicit rests after long notes.
  std::string Absolute(int& note, std::int64_t step, std::int64_t gate) {
    Clip(step);
    Clip(gate);
    int pc = -1;
    if (note != 0) {
      note += transpose_;
      pc = (note - 24) % 12;  // negative below 24: written as a rest
      if (step == 0) gate = 0;
      if (gate == 0) gate = step;
    }
    const bool rest = pc < 0;
    std::string text = OctaveText(note, rest);
    const std::string_view name = rest ? std::string_view("R") : kPitchNames[pc];

    const double s = static_cast<double>(step) * 48 / division_;
    double g = static_cast<double>(gate) * 48 / division_;
    double gap = s - g;
    std::string length;
    std::int64_t q = 0;
    if (step <= 4 * static_cast<std::int64_t>(division_)) {
      std::string_view tie;
      if (gap < 0) {
        tie = "&";
        gap = 0;
      }
      length += name;
      length += "*" + Num(RoundHalfUp(s));
      length += tie;
      q = RoundHalfUp(gap);
    } else {
      std::string_view tie;
      if (gap < 0) {
        if (!rest) tie = "&";
        gap = 0;
      }
      while (g > 192) {
        length += name;
        length += rest ? "*192" : "*192&";
        g -= 192;
      }
      length += name;
      length += "*" + Num(RoundHalfUp(g));
      length += tie;
      if (gap > 0) {
        while (gap > 192) {
          length += "R*192";
          gap -= 192;
        }
        length += "R*" + Num(RoundHalfUp(gap));
      }
    }
    if (q != lastQ_ && !rest) {
      text += "Q" + Num(q);
      lastQ_ = q;
    }
    return text + length;
  }

 private:
  void Clip(std::int64_t& ticks) {
    if (ticks > maxTicks_) {
      ticks = maxTicks_;
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

  int division_;
  int transpose_;
  std::int64_t maxTicks_;
  int curOctave_ = 0;
  // No gate written yet: the first note always says its own, also a gate of 1 (the
  // compiler starts at Q0, so taking 1 as already said would lose it); a first Q0 is
  // written as before.
  std::int64_t lastQ_ = -1;
  bool lengthCut_ = false;
};

// The part of a walk both conversions share: which channel events count, the format 0
// title, program changes and the volume controllers.
class PartBase {
 protected:
  explicit PartBase(const ConvertSetup& s) : setup_(s), writer_(s) {}

  // Whether a channel event belongs to the part.
  bool Ours(const Event& e) const { return !setup_.format0 || e.Channel() == setup_.channel; }

  // Track names (format 0 only), program changes and volume controllers; true for notes.
  bool Common(const Event& e, int& curVolume) {
    if (e.kind == EventKind::kMeta) {
      if (e.metaType == 0x03 && setup_.format0) {
        std::string title = TitleText(e.payload, out_.titleInvalidBytes);
        out_.title = title.empty() ? std::string(msg::kUntitled) : std::move(title);
      }
      return false;
    }
    if (e.kind != EventKind::kChannel || !Ours(e)) return false;
    switch (e.Kind()) {
      case 0xB:
        if ((e.data1 == 7 && setup_.volume == ImportVolume::kVolume) ||
            (e.data1 == 11 && setup_.volume == ImportVolume::kExpression)) {
          curVolume = e.data2 / 2;
        }
        return false;
      case 0xC:
        // The tone list holds the 128 programs; a byte beyond them names no item.
        if (setup_.tone && e.data1 < 128) out_.toneIndex = e.data1 + 4;
        return false;
      case 0x8:
      case 0x9:
        return true;
      default:
        return false;
    }
  }

  PartOutcome Finish() {
    out_.lengthCut = writer_.lengthCut();
    return std::move(out_);
  }

  const ConvertSetup& setup_;
  NoteWriter writer_;
  PartOutcome out_;
};

class StreamingPart : PartBase {
 public:
  explicit StreamingPart(const ConvertSetup& s) : PartBase(s), octavePending_(s.octave) {}

  PartOutcome Run(std::span<const std::uint8_t> bytes, std::size_t eventsAt) {
    TrackReader reader(bytes, eventsAt, bytes.size(), 3);
    Event e;
    while (reader.Next(e) == ReadStatus::kEvent) {
      ticksSince_ += e.delta;
      if (e.IsEndOfTrack()) break;
      if (Common(e, curVolume_) && !Note(e)) return Finish();
    }
    // The walk ran out (end of track or of data), not into the range end: the note
    // still pending is written too.
    out_.text += PendingText(false);
    return Finish();
  }

 private:
  // One note event; false when the range has ended.
  bool Note(const Event& e) {
    const int v = e.data2;
    const bool off = e.Kind() == 8 || v == 0;
    // Only a note-on speaks for the notes that follow: a note-off's release velocity
    // (often a fixed 64) is no loudness, and the note it ends is not the next to write.
    if (setup_.volume == ImportVolume::kVelocity && !off) curVolume_ = v / 2;
    if (off) {
      noteOffSeen_ = e.data1 == prevNote_;
      if (noteOffSeen_) gate_ = ticksSince_;
    }
    if (setup_.startTick + setup_.rangeTicks <= absTick_) return false;
    std::string text;
    if (!off) text = PendingText(true);
    if (setup_.startTick <= absTick_) out_.text += text;
    if (curVolume_ != lastVolume_) {
      out_.text += "V" + Num(curVolume_);
      lastVolume_ = curVolume_;
    }
    lineLength_ += text.size();
    if (lineLength_ > 60) {
      out_.text += "\r\n";
      lineLength_ = 0;
    }
    if (!off) prevNote_ = e.data1;
    return true;
  }

  // The note that began at the last note-on, now that its length is known.
  std::string PendingText(bool tieCheck) {
    std::string text;
    const std::int64_t whole = 4 * static_cast<std::int64_t>(setup_.division);
    if (ticksSince_ <= whole) {
      text = writer_.Streamed(prevNote_, ticksSince_, gate_);
    } else {
      // A silence of more than a whole note: the note as it sounded, then a rest.
      text = writer_.Streamed(prevNote_, gate_, gate_);
      int rest = 0;
      text += writer_.Streamed(rest, ticksSince_ - gate_, ticksSince_ - gate_);
    }
    if (text.find('*') != std::string::npos) text = NamedLengths(text, writer_.lastQ());
    if (tieCheck && !text.empty() && !noteOffSeen_ && prevNote_ != 0 && gate_ == 0) text += '&';
    if (octavePending_ && prevNote_ != 0) {
      text = "O" + Num(FloorDiv(prevNote_, 12) - 1) + text;
      octavePending_ = false;
    }
    absTick_ += ticksSince_;
    noteOffSeen_ = false;
    gate_ = 0;
    ticksSince_ = 0;
    return text;
  }

  std::int64_t ticksSince_ = 0;
  std::int64_t gate_ = 0;
  bool noteOffSeen_ = false;
  int prevNote_ = 0;
  std::int64_t absTick_ = 0;
  int curVolume_ = 0;
  int lastVolume_ = 0;
  std::size_t lineLength_ = 0;
  bool octavePending_;
};

class AbsolutePart : PartBase {
 public:
  explicit AbsolutePart(const ConvertSetup& s)
      : PartBase(s), from_(std::max<std::int64_t>(s.startTick, 0)) {}

  PartOutcome Run(std::span<const std::uint8_t> bytes, std::size_t eventsAt) {
    TrackReader reader(bytes, eventsAt, bytes.size(), 3);
    Event e;
    // The start measure applies as in the streaming conversion: notes before it are
    // left out, and the range is counted from it.
    const std::int64_t end = from_ + setup_.rangeTicks;
    while (reader.Next(e) == ReadStatus::kEvent) {
      absTick_ += e.delta;
      if (end <= absTick_ || e.IsEndOfTrack()) break;
      if (Common(e, curVolume_)) Note(e);
    }
    Write();
    return Finish();
  }

 private:
  struct Record {
    std::int64_t start = 0;
    int note = 0;
    int volume = 0;
    std::int64_t step = 0;
    std::int64_t gate = 0;
  };

  void Note(const Event& e) {
    const std::int64_t at = absTick_ - from_;
    if (e.IsNoteOn()) {
      if (at < 0) return;
      const int volume = setup_.volume == ImportVolume::kVelocity ? e.data2 / 2 : curVolume_;
      open_[e.data1].push_back(records_.size());
      records_.push_back({at, e.data1, volume, 0, 0});
      return;
    }
    // A note-off closes the first open record of its note from the one the previous
    // note-off closed onward. A record closed at its own tick keeps gate 0 and so stays
    // open, as an unclosed one does.
    std::vector<std::size_t>& open = open_[e.data1];
    const auto hit = std::lower_bound(open.begin(), open.end(), lastClosed_);
    if (hit == open.end()) return;
    Record& r = records_[*hit];
    r.gate = at - r.start;
    lastClosed_ = *hit;
    if (r.gate != 0) open.erase(hit);
  }

  void Write() {
    if (records_.empty()) return;
    const std::int64_t endAt = absTick_ - from_;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      records_[i].step =
          (i + 1 < records_.size() ? records_[i + 1].start : endAt) - records_[i].start;
    }
    std::string& text = out_.text;
    const double perTick = 48.0 / setup_.division;
    double measure = 0;
    int lastVolume = 64;
    const Record& first = records_.front();
    if (first.start != 0) {
      int rest = 0;
      text += writer_.Absolute(rest, first.start, first.start);
      measure += static_cast<double>(first.start) * perTick;
      if (measure >= 192) {
        text += "\r\n";
        measure = 0;
      }
    }
    if (setup_.octave && first.note != 0) {
      text += "O" + Num(FloorDiv(first.note + setup_.transpose, 12) - 1);
    }
    for (Record& r : records_) {
      measure += static_cast<double>(r.step) * perTick;
      if (measure >= 192) {
        text += "\r\n";
        measure = 0;
      }
      if (setup_.volume != ImportVolume::kNone && r.volume != lastVolume) {
        text += "V" + Num(r.volume);
        lastVolume = r.volume;
      }
      if (r.step != 0) text += writer_.Absolute(r.note, r.step, r.gate);
    }
  }

  std::int64_t from_;
  std::int64_t absTick_ = 0;
  int curVolume_ = 63;
  std::vector<Record> records_;
  std::array<std::vector<std::size_t>, 256> open_;
  std::size_t lastClosed_ = 0;
};

}  // namespace

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

PartOutcome ConvertStreaming(std::span<const std::uint8_t> bytes, std::size_t eventsAt,
                             const ConvertSetup& setup) {
  return StreamingPart(setup).Run(bytes, eventsAt);
}

PartOutcome ConvertAbsolute(std::span<const std::uint8_t> bytes, std::size_t eventsAt,
                            const ConvertSetup& setup) {
  return AbsolutePart(setup).Run(bytes, eventsAt);
}

}  // namespace chwr::smf

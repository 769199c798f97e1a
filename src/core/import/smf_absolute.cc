// The absolute conversion of a part: the notes gathered into a table first, then written
// with "*n" lengths, one line a measure.
#include "import/smf_convert.h"

#include <algorithm>
#include <array>
#include <vector>

#include "import/smf_note_writer.h"

namespace chwr::smf {
namespace {

class AbsolutePart {
 public:
  explicit AbsolutePart(const ConvertSetup& s) : setup_(s), writer_(s) {}

  PartOutcome Run(const RangeEvents& range) {
    records_.reserve(range.events.size() / 2 + 1);  // a note-on and its note-off a note
    for (const PartEvent& e : range.events) {
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

  void Note(const PartEvent& e) {
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
        text += OctavePrefix(WriterOctave(note));
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
        text += "V" + std::to_string(r.volume);
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

PartOutcome ConvertAbsolute(PartSource& source, const ConvertSetup& setup) {
  return AbsolutePart(setup).Run(InRange(source.events, source.endTick, setup));
}

}  // namespace chwr::smf

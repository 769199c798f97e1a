#include "mld/mld_midi.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "io/byte_writer.h"
#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

constexpr int kChannels = 16;

// One MIDI event of a track. Events at the same time are ordered by `rank`: a note that
// ends at T is released before anything else happens at T, and a note struck at T
// hears the program and volume set at T.
struct Event {
  std::int64_t at = 0;
  std::uint8_t rank = 1;
  std::uint8_t size = 0;
  std::array<std::uint8_t, 14> data{};
};
constexpr int kRankOff = 0;
constexpr int kRankControl = 1;
constexpr int kRankOn = 2;

Event Make(std::int64_t at, int rank, std::initializer_list<std::uint8_t> bytes) {
  Event e;
  e.at = at;
  e.rank = static_cast<std::uint8_t>(rank);
  for (std::uint8_t b : bytes) e.data[e.size++] = b;
  return e;
}

Event Marker(std::int64_t at, std::string_view text) {
  Event e = Make(at, kRankControl, {0xFF, 0x06, static_cast<std::uint8_t>(text.size())});
  for (char c : text) e.data[e.size++] = static_cast<std::uint8_t>(c);
  return e;
}

std::uint8_t Clamp7(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 127));
}

struct ChannelState {
  int program = 0;
  int bank = 0;
  int volume = 63;
  int mode = 0;  // 0 melodic, 1 percussion, anything else plays nothing
};

class Writer {
 public:
  Writer(const MldMusic& music, int melodicBase)
      : music_(music), clock_(music.tempos), melodicBase_(melodicBase) {
    state_[kMldDrumChannel].mode = 1;
  }

  MldMidi Run() {
    Conductor();
    std::size_t c = 0;
    for (const MldNote& note : music_.notes) {
      // Settings made at a note's tick reach it: they are applied first.
      for (; c < music_.controls.size() && music_.controls[c].tick <= note.tick; ++c) {
        Control(music_.controls[c]);
      }
      Note(note);
    }
    for (; c < music_.controls.size(); ++c) Control(music_.controls[c]);
    return Finish();
  }

 private:
  void Conductor() {
    const auto text = [&](std::uint8_t type, const std::string& utf8) {
      if (utf8.empty()) return;
      // Japanese players read MIDI text as Shift_JIS, as the ring tone held it.
      auto encoded = EncodeCp932(utf8);
      const std::vector<std::uint8_t> bytes =
          encoded ? *encoded : std::vector<std::uint8_t>(utf8.begin(), utf8.end());
      texts_.push_back({type, bytes});
    };
    text(0x03, music_.info.title);
    text(0x02, music_.info.copyright);
    for (const MldTempo& t : music_.tempos) {
      const std::uint32_t micros = 60'000'000u / static_cast<std::uint32_t>(t.tempo);
      conductor_.push_back(Make(clock_.Units(t.tick), kRankControl,
                                {0xFF, 0x51, 0x03, std::uint8_t(micros >> 16),
                                 std::uint8_t(micros >> 8), std::uint8_t(micros)}));
    }
    for (const MldLoopPoint& loop : music_.loops) {
      const std::int64_t at = clock_.Units(loop.tick);
      conductor_.push_back(Marker(at, loop.start ? "loopStart" : "loopEnd"));
      if (loop.start) conductor_.push_back(Make(at, kRankControl, {0xB0, 111, 0}));
    }
  }

  std::vector<Event>& Track(int channel) {
    std::vector<Event>& track = tracks_[channel];
    // A note is two events; most of a file's events are notes.
    if (track.empty()) track.reserve(2 * music_.notes.size() / 4 + 16);
    return track;
  }

  // The MIDI channel that plays what the file sends to `channel`: the drum channel for
  // a percussion channel, since General MIDI has only the one.
  int MidiChannel(int channel) const {
    return state_[channel].mode == 1 ? kMldDrumChannel : channel;
  }

  void Control(const MldControl& c) {
    const std::int64_t at = clock_.Units(c.tick);
    if (c.channel < 0) {  // the whole sound source: master volume, as a universal message
      const int level = std::clamp(c.value, 0, 127) << 7;
      conductor_.push_back(Make(at, kRankControl,
                                {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, std::uint8_t(level & 0x7F),
                                 std::uint8_t(level >> 7), 0xF7}));
      return;
    }
    if (c.kind == MldControlKind::kChannelMode) {
      if (c.channel < kChannels) state_[c.channel].mode = c.value;
      return;
    }
    if (c.channel >= kChannels) return;  // nothing sounds there
    ChannelState& s = state_[c.channel];
    const int ch = MidiChannel(c.channel);
    const auto cc = [&](int number, int value) {
      Track(ch).push_back(
          Make(at, kRankControl, {std::uint8_t(0xB0 | ch), std::uint8_t(number), Clamp7(value)}));
    };
    switch (c.kind) {
      case MldControlKind::kProgram:
      case MldControlKind::kBank:
        (c.kind == MldControlKind::kProgram ? s.program : s.bank) = c.value;
        Track(ch).push_back(Make(
            at, kRankControl,
            {std::uint8_t(0xC0 | ch), std::uint8_t(((s.bank & 1) << 6) | (s.program & 0x3F))}));
        break;
      case MldControlKind::kVolume:
        s.volume = c.value;
        cc(7, 2 * s.volume);
        break;
      case MldControlKind::kRelativeVolume:
        s.volume = std::clamp(s.volume + c.value, 0, 63);
        cc(7, 2 * s.volume);
        break;
      case MldControlKind::kPan:
        cc(10, 2 * c.value);
        break;
      case MldControlKind::kModulation:
        cc(1, 2 * c.value);
        break;
      case MldControlKind::kBendRange:  // registered parameter 0: the bend's range
        cc(101, 0);
        cc(100, 0);
        cc(6, c.value);
        cc(38, 0);
        break;
      case MldControlKind::kPitchBend: {
        const int bend = std::clamp(c.value * 256, 0, 16383);
        Track(ch).push_back(
            Make(at, kRankControl,
                 {std::uint8_t(0xE0 | ch), std::uint8_t(bend & 0x7F), std::uint8_t(bend >> 7)}));
        break;
      }
      case MldControlKind::kMasterVolume:
      case MldControlKind::kChannelMode:
        break;
    }
  }

  void Note(const MldNote& n) {
    if (n.channel >= kChannels || (state_[n.channel].mode != 0 && state_[n.channel].mode != 1)) {
      silent_ = true;
      return;
    }
    const bool drums = state_[n.channel].mode == 1;
    const int ch = MidiChannel(n.channel);
    const int key =
        std::clamp((drums ? kMldPercussionBase : melodicBase_) + n.key + n.octaveShift, 0, 127);
    // A note of gate 0 is how this program's own files, and others like them, write a
    // rest: a synthesiser would sound a click with its whole release for it, so it is left
    // out. (Some players strike it for the shortest time a MIDI file can say.)
    if (n.gate == 0) return;
    const std::int64_t on = clock_.Units(n.tick);
    const std::int64_t off = clock_.Units(n.tick + n.gate);
    std::vector<Event>& track = Track(ch);
    Sounding& sounding = sounding_[ch * 128 + key];
    if (sounding.end > on) {
      // Struck again while it sounds: the handset holds the note on rather than striking it
      // twice, so the earlier note only lasts longer.
      sounding.end = std::max(sounding.end, off);
      track[sounding.offIndex].at = sounding.end;
      return;
    }
    // Notes struck together make a chord; a note that only overlaps the next one's start
    // is legato, as a tie into another pitch is, which a part plays.
    TrackCount& count = counts_[ch];
    count.chord = count.chord || (count.notes > 0 && count.lastOn == on);
    ++count.notes;
    count.lastOn = on;
    track.push_back(Make(
        on, kRankOn,
        {std::uint8_t(0x90 | ch), std::uint8_t(key), std::uint8_t(std::max(1, 2 * n.velocity))}));
    track.push_back(Make(off, kRankOff, {std::uint8_t(0x80 | ch), std::uint8_t(key), 0x40}));
    sounding = Sounding{off, track.size() - 1};
  }

  static void Body(ByteWriter& w, std::vector<Event>& events, std::int64_t end) {
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
      return a.at != b.at ? a.at < b.at : a.rank < b.rank;
    });
    std::int64_t now = 0;
    const auto wait = [&](std::int64_t until) {
      // A delta time holds 28 bits; a longer silence is bridged by empty text events.
      constexpr std::int64_t kLongest = 0x0FFFFFFF;
      for (; until - now > kLongest; now += kLongest) {
        w.Vlq(static_cast<std::uint32_t>(kLongest));
        w.Raw({0xFF, 0x01, 0x00});
      }
      w.Vlq(static_cast<std::uint32_t>(std::max<std::int64_t>(until - now, 0)));
      now = std::max(now, until);
    };
    for (const Event& e : events) {
      wait(e.at);
      w.Raw(std::span(e.data.data(), e.size));
    }
    wait(end);
    w.Raw({0xFF, 0x2F, 0x00});
  }

  MldMidi Finish() {
    MldMidi out;
    std::int64_t end = clock_.Units(music_.lengthTicks);
    for (const auto& [channel, events] : tracks_) {
      for (const Event& e : events) end = std::max(end, e.at);
    }
    std::size_t eventCount = conductor_.size();
    for (const auto& [channel, track] : tracks_) eventCount += track.size();
    out.bytes.reserve(64 + 5 * eventCount);  // a note's two events take about ten bytes
    ByteWriter w(out.bytes);
    w.Tag("MThd");
    w.U32be(6);
    w.U16be(1);
    w.U16be(static_cast<std::uint32_t>(1 + tracks_.size()));
    w.U16be(MldClock::kUnitsPerQuarter);

    std::size_t at = w.BeginChunk("MTrk");
    for (const auto& [type, bytes] : texts_) {
      w.Raw({0x00, 0xFF, type});
      w.Vlq(static_cast<std::uint32_t>(bytes.size()));
      w.Raw(bytes);
    }
    Body(w, conductor_, end);
    w.EndChunk(at);
    for (auto& [channel, events] : tracks_) {
      out.trackChannels.push_back(channel);
      out.trackNotes.push_back(counts_[channel].notes);
      out.trackChords.push_back(counts_[channel].chord);
      at = w.BeginChunk("MTrk");
      Body(w, events, end);
      w.EndChunk(at);
    }
    if (silent_) out.warnings.push_back(MakeWarning(msg::kMldSilentChannels));
    return out;
  }

  struct TrackCount {
    int notes = 0;
    bool chord = false;
    std::int64_t lastOn = 0;
  };
  struct Sounding {
    std::int64_t end = 0;
    std::size_t offIndex = 0;
  };

  const MldMusic& music_;
  const MldClock clock_;
  const int melodicBase_;
  std::array<TrackCount, kChannels> counts_{};
  std::array<ChannelState, kChannels> state_{};
  std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> texts_;
  std::vector<Event> conductor_;
  std::map<int, std::vector<Event>> tracks_;  // by MIDI channel, in channel order
  std::vector<Sounding> sounding_ = std::vector<Sounding>(kChannels * 128);  // channel * 128 + key
  bool silent_ = false;
};

}  // namespace

MldMidi MldToSmf(const MldMusic& music, int melodicBase) {
  return Writer(music, melodicBase).Run();
}

std::optional<MldLoopSpan> MldLoopMs(const MldMusic& music) {
  const auto& loops = music.loops;  // in tick order
  const auto start = std::find_if(loops.begin(), loops.end(), [](auto& l) { return l.start; });
  const std::int64_t from = start != loops.end() ? start->tick : 0;
  const auto end =
      std::find_if(loops.begin(), loops.end(), [&](auto& l) { return !l.start && l.tick > from; });
  const std::int64_t to = end != loops.end() ? end->tick : music.lengthTicks;
  if (loops.empty() || to <= from) return std::nullopt;
  const MldClock clock(music.tempos);
  return MldLoopSpan{clock.Microseconds(from) / 1000, clock.Microseconds(to) / 1000};
}

}  // namespace chwr

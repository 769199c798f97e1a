#include "import/smf_convert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>
#include <vector>

#include "import/smf_note_writer.h"
#include "messages.h"
#include "midi/smf_events.h"
#include "text/cp932.h"

namespace chwr::smf {

// The track's events are reused in place: a long track is held once.
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
  std::vector<PartEvent> lead;
  if (volume >= 0) lead.push_back({from, 0, Kind::kVolume, 0, static_cast<std::uint8_t>(volume)});
  if (sounding != kNone) {
    lead.push_back({from, 0, Kind::kOn, events[sounding].note, events[sounding].value});
  }
  if (i < lead.size()) {
    events.insert(events.begin(), lead.size() - i, PartEvent{});
    i = lead.size();
  }
  // Which notes sound: a note-off of no note begun in the range ends one from before it
  // and is passed over.
  std::array<int, 128> open{};
  std::size_t w = 0;
  for (const PartEvent& e : lead) {
    if (e.kind == Kind::kOn) ++open[e.note];
    events[w++] = e;
  }
  for (; i < events.size() && events[i].tick < to; ++i) {
    PartEvent e = events[i];
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

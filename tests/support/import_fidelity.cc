#include "import_fidelity.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "convert/build_song.h"
#include "io/byte_reader.h"
#include "midi/smf_events.h"

namespace chwr::test {
namespace {

struct NoteOn {
  std::int64_t tick = 0;
  int note = 0;
};

struct Track {
  std::vector<NoteOn> notes;
  std::int64_t end = 0;
};

// The note-ons of the chunk found after `skip` other "MTrk" chunks (format 0: of one
// channel only), in file order, and the track's last tick.
Track ReadTrack(std::span<const std::uint8_t> file, int skip, int channel) {
  const ByteReader r(file);
  std::size_t from = 0;
  std::optional<std::size_t> hit;
  for (int i = 0; i <= skip; ++i) {
    hit = r.Find("MTrk", from, r.size());
    if (!hit) return {};
    from = *hit + 8;
  }
  Track track;
  smf::TrackReader reader(file, from, file.size(), 3);
  smf::Event e;
  std::int64_t tick = 0;
  while (reader.Next(e) == smf::ReadStatus::kEvent) {
    tick += e.delta;
    track.end = tick;
    if (e.IsEndOfTrack()) break;
    if (e.IsNoteOn() && (channel < 0 || e.Channel() == channel)) track.notes.push_back({tick, e.data1});
  }
  return track;
}

double Number(const std::string& text) {
  return std::floor(std::strtod(text.c_str(), nullptr));
}

}  // namespace

Fidelity MeasureImport(std::span<const std::uint8_t> file, int item, ImportChoices choices) {
  Fidelity f;
  choices.selected = {};
  choices.selected[item] = true;
  choices.order.clear();
  choices.octave = true;
  const auto facts = ReadSmfFacts(file);
  if (!facts) {
    f.failure = facts.error().message;
    return f;
  }
  const auto imported = ImportSmf(file, *facts, choices);
  if (!imported || imported->error) {
    f.failure = imported ? imported->error->message : imported.error().message;
    return f;
  }
  SongDocument song;
  ApplyImportedSong(*imported, song);
  BuildRequest request;
  request.midi = true;  // normal octave: key + 21
  const auto built = BuildSong(song, request);
  if (!built) {
    f.failure = built.error().message;
    return f;
  }

  // The source: onsets in the range, the last note at each tick, with the step to the next.
  const int division = facts->division;
  const bool format0 = facts->format == 0;
  const Track source = ReadTrack(file, format0 ? 0 : item + 1, format0 ? item : -1);
  const std::int64_t quarters = 4LL * division;
  const std::int64_t from = static_cast<std::int64_t>(Number(choices.seek)) * quarters;
  const std::int64_t to =
      std::min(from + static_cast<std::int64_t>(Number(choices.measures)) * quarters, source.end);
  std::map<std::int64_t, int> onsets;  // later notes at a tick replace earlier ones
  for (const NoteOn& n : source.notes) {
    if (n.tick >= from && n.tick < to) onsets[n.tick] = n.note;
  }
  const int transpose = static_cast<int>(std::lround(std::strtod(choices.transpose.c_str(), nullptr)));

  // The rebuilt part: its track's note-ons in steps.
  const Track rebuilt = ReadTrack(built->midiFile, 1, -1);
  std::multimap<int, std::int64_t> heard;  // note -> step
  for (const NoteOn& n : rebuilt.notes) heard.emplace(n.note, n.tick);

  for (auto it = onsets.begin(); it != onsets.end(); ++it) {
    const auto next = std::next(it);
    const std::int64_t until = next == onsets.end() ? to : next->first;
    // Shorter than a step: no part can hold it apart from its neighbour.
    if ((until - it->first) * 48 < division) continue;
    ++f.writable;
    const int note = it->second + transpose;
    if (note - 21 < 0 || note - 21 > 63) {
      ++f.outOfRange;
      continue;
    }
    const double at = static_cast<double>(it->first - from) * 48 / division;
    auto [lo, hi] = heard.equal_range(note);
    auto found = std::find_if(lo, hi, [&](const auto& h) { return std::abs(h.second - at) <= 1.0; });
    if (found != hi) {
      ++f.matched;
      heard.erase(found);
    } else if (f.misses.size() < 5) {
      f.misses.push_back("note " + std::to_string(note) + " at tick " + std::to_string(it->first) +
                         " (step " + std::to_string(at) + ")");
    }
  }
  return f;
}

}  // namespace chwr::test

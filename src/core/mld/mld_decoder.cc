#include "mld/mld_decoder.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <tuple>

#include "io/byte_reader.h"
#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kHeaderLengthAt = 8;
constexpr std::size_t kFirstInfoAt = 13;
constexpr std::size_t kInfoRegionAt = 10;  // the header length counts from here

// Ticks a quarter note for the low four bits of a tempo status; 0 where reserved.
constexpr std::array<int, 16> kTimebases = {6,  12, 24, 48,  96,  192, 384, 0,
                                            15, 30, 60, 120, 240, 480, 960, 0};

constexpr int kDefaultTempo = 120;
constexpr int kDefaultTimebase = 48;

// A tempo event before the map is folded: relative changes and resets only mean
// something once every track's events stand in one order.
struct RawTempo {
  enum Kind { kSet, kRelative, kReset } kind;
  std::int64_t tick;
  int track;
  std::size_t order;
  int timebase;
  int value;
};

// Notes the same kind of trouble once, with how often it happened.
class WarningList {
 public:
  void Add(std::string key, std::string message) {
    auto [it, added] = index_.try_emplace(std::move(key), items_.size());
    if (added) {
      items_.push_back({std::move(message), 1});
    } else {
      ++items_[it->second].count;
    }
  }
  /// A trouble that is told once however often it happens.
  void Once(std::string message) {
    const std::string key = "once " + message;
    if (index_.try_emplace(key, items_.size()).second) items_.push_back({std::move(message), 1});
  }
  Diagnostics Take() {
    Diagnostics out;
    for (auto& item : items_) {
      out.push_back(MakeWarning(item.count > 1 ? msg::MldRepeated(item.message, item.count)
                                               : std::move(item.message)));
    }
    return out;
  }

 private:
  struct Item {
    std::string message;
    std::size_t count;
  };
  std::map<std::string, std::size_t> index_;
  std::vector<Item> items_;
};

std::string Text(Bytes bytes, std::string_view field, WarningList& warnings) {
  DecodedText decoded = DecodeCp932(bytes);
  if (decoded.invalidCount > 0) {
    warnings.Add(std::string(field), msg::MldUndecodableBytes(field, decoded.invalidCount));
  }
  return std::move(decoded.utf8);
}

std::string Ascii(Bytes bytes) {
  std::string s;
  for (std::uint8_t b : bytes) s.push_back(b >= 0x20 && b < 0x7F ? char(b) : '?');
  return s;
}

// Reads the info chunks between offset 13 and the end the header length gives. Returns
// where the data chunks start.
std::size_t ReadInfo(const ByteReader& img, MldInfo& info, WarningList& warnings) {
  info.majorType = img.Has(10, 1) ? img.U8At(10) : 0;
  info.minorType = img.Has(11, 1) ? img.U8At(11) : 0;
  info.declaredTracks = img.Has(12, 1) ? img.U8At(12) : 0;
  const std::size_t stated =
      kInfoRegionAt + (img.Has(kHeaderLengthAt, 2) ? img.U16At(kHeaderLengthAt) : 0);
  const std::size_t regionEnd = std::min(stated, img.size());
  if (stated > img.size()) warnings.Once(msg::kMldTruncated);

  bool seenNote = false, seenExst = false, seenVers = false, seenSorc = false, seenDate = false;
  std::size_t pos = kFirstInfoAt;
  while (pos + 6 <= regionEnd) {
    const std::string id = Ascii(img.bytes().subspan(pos, 4));
    const std::size_t length = img.U16At(pos + 4);
    bool clipped = false;
    const Bytes body = img.TakeAt(pos + 6, std::min(length, regionEnd - (pos + 6)), clipped);
    if (body.size() < length) warnings.Once(msg::MldHeaderLengthMismatch());
    info.chunkIds.push_back(id);
    // Duplicates are not seen in real files; the first of each wins, as the players do.
    if (id == "titl" && info.title.empty()) {
      info.title = Text(body, msg::kTitleField, warnings);
    } else if (id == "copy" && info.copyright.empty()) {
      info.copyright = Text(body, msg::kCopyrightField, warnings);
    } else if (id == "vers" && !seenVers) {
      seenVers = true;
      info.version = Ascii(body);
    } else if (id == "date" && !seenDate) {
      seenDate = true;
      info.date = Ascii(body);
    } else if (id == "sorc" && !seenSorc && !body.empty()) {
      seenSorc = true;
      info.source = body[0];
    } else if ((id == "note" || id == "exst") && body.size() >= 2) {
      bool& seen = id == "note" ? seenNote : seenExst;
      if (!seen) {
        seen = true;
        const int value = body[0] << 8 | body[1];
        (id == "note" ? info.noteExtraBytes : info.exstBytes) = value;
      }
    }
    pos += 6 + length;
  }
  if (pos < regionEnd) warnings.Once(msg::MldHeaderLengthMismatch());
  return regionEnd;
}

// The header is the one this program writes: one track, 3-byte notes, no extended data
// and no info chunk beyond the title, source, version and protection text.
bool IsSongHeader(const MldInfo& info) {
  const auto songChunk = [](const std::string& id) {
    return id == "sorc" || id == "titl" || id == "vers" || id == "cipy";
  };
  return info.declaredTracks == 1 && info.noteExtraBytes == 0 && info.exstBytes == 0 &&
         std::all_of(info.chunkIds.begin(), info.chunkIds.end(), songChunk);
}

// The per-track state of the event walk.
struct TrackWalk {
  int track = 0;
  std::array<int, 4> channelOf{};  // voice -> channel
  std::int64_t highDelta = 0;      // a long-delta event's high byte, for the next event

  void ResetChannels() {
    for (int v = 0; v < 4; ++v) channelOf[v] = 4 * track + v;
  }
};

struct Decoder {
  const ByteReader& img;
  MldMusic& music;
  WarningList& warnings;
  bool songLayout = false;  // the header is this program's own layout's
  std::vector<RawTempo> rawTempos;

  void Unknown(int track, std::size_t offset, std::uint8_t status, std::uint8_t ext) {
    warnings.Add("unknown " + std::to_string(status) + " " + std::to_string(ext),
                 msg::MldUnknownEvent(track, offset, status, ext));
  }

  void Control(const TrackWalk& walk, std::int64_t tick, int voice, MldControlKind kind,
               int value) {
    music.controls.push_back({tick, walk.track, walk.channelOf[voice], kind, value});
  }

  // What an "FF" event with the one-byte value `v` does.
  void Normal(TrackWalk& walk, std::int64_t tick, std::size_t offset, std::size_t order,
              std::uint8_t x, std::uint8_t v) {
    const int voice = v >> 6;
    const int low = v & 0x3F;
    switch (x) {
      case 0xB0:
      case 0xBD:  // read as a level, as the newer players do
        music.controls.push_back({tick, walk.track, -1, MldControlKind::kMasterVolume, v & 0x7F});
        return;
      case 0xB1:  // master balance and tuning: nothing a General MIDI file carries alike
      case 0xB3:
      case 0xBE:  // stop and mute
      case 0xD0:  // cue points: only the handset's preview uses them
      case 0xDE:  // no operation, often a filler for long gaps
        return;
      case 0xBA:
        music.controls.push_back(
            {tick, walk.track, (v >> 3) & 0x0F, MldControlKind::kChannelMode, v & 0x07});
        return;
      case 0xBC:
        rawTempos.push_back(
            {RawTempo::kRelative, tick, walk.track, order, 0, static_cast<std::int8_t>(v)});
        return;
      case 0xBF:
        rawTempos.push_back({RawTempo::kReset, tick, walk.track, order, 0, 0});
        walk.ResetChannels();
        return;
      case 0xDC:
        walk.highDelta = std::int64_t{v} * 256;
        return;
      case 0xDD:
        if ((v & 3) <= 1) {
          music.loops.push_back({tick, walk.track, v >> 6, (v >> 2) & 0x0F, (v & 3) == 0});
        } else {
          Unknown(walk.track, offset, 0xFF, x);
        }
        return;
      case 0xDF:
        return;  // the caller notes the track's end
      case 0xE0:
        Control(walk, tick, voice, MldControlKind::kProgram, low);
        return;
      case 0xE1:
        Control(walk, tick, voice, MldControlKind::kBank, low);
        return;
      case 0xE2:
        Control(walk, tick, voice, MldControlKind::kVolume, low);
        return;
      case 0xE3:
        Control(walk, tick, voice, MldControlKind::kPan, low);
        return;
      case 0xE4:
        Control(walk, tick, voice, MldControlKind::kPitchBend, low);
        return;
      case 0xE5:
        walk.channelOf[voice] = low;
        return;
      case 0xE6:
        Control(walk, tick, voice, MldControlKind::kRelativeVolume, low - 32);
        return;
      case 0xE7:
        Control(walk, tick, voice, MldControlKind::kBendRange, low);
        return;
      case 0xE8:  // fine pitch: below what a ring tone's bend resolution makes audible
      case 0xE9:
        return;
      case 0xEA:
        Control(walk, tick, voice, MldControlKind::kModulation, low);
        return;
      default:
        break;
    }
    if (x >= 0xC0 && x <= 0xCF && kTimebases[x & 0x0F] != 0) {
      rawTempos.push_back({RawTempo::kSet, tick, walk.track, order, kTimebases[x & 0x0F], v});
      return;
    }
    Unknown(walk.track, offset, 0xFF, x);
  }

  void Track(int track, Bytes body, MldTrackInfo& info) {
    TrackWalk walk;
    walk.track = track;
    walk.ResetChannels();
    const ByteReader events(body);
    const std::size_t noteSize = 3 + static_cast<std::size_t>(music.info.noteExtraBytes);
    const std::size_t exst = static_cast<std::size_t>(music.info.exstBytes);
    std::int64_t tick = 0;
    std::size_t pos = 0;
    std::size_t order = 0;
    while (pos < body.size()) {
      if (!events.Has(pos, 2)) break;
      const std::uint8_t status = events.U8At(pos + 1);
      // Key 63 of voices 0 and 2 (3F, BF) is a note, as this program writes O6C and other
      // players read it; no real file uses those statuses as escapes. 7F is audio in the
      // other programs' layouts, where sampled sound lives, and a note of voice 1 in the
      // layout this program writes, which has none.
      const bool escape = status == 0xFF || (status == 0x7F && !songLayout);
      std::size_t size = noteSize;
      std::uint8_t x = 0;
      if (escape) {
        if (!events.Has(pos, 3)) break;
        x = events.U8At(pos + 2);
        if (x < 0x80) {
          size = 4 + exst;
        } else if (x < 0xF0) {
          size = 4;
        } else {
          if (!events.Has(pos + 3, 2)) break;
          size = 5 + std::size_t{events.U16At(pos + 3)};
        }
      }
      if (!events.Has(pos, size)) break;
      tick += events.U8At(pos) + walk.highDelta;
      walk.highDelta = 0;
      const std::size_t offset = info.offset + 8 + pos;
      if (!escape) {
        MldNote note;
        note.tick = tick;
        // Past the sixteenth track nothing sounds; the numbers only need to stay there.
        note.track = static_cast<std::uint8_t>(std::min(track, 255));
        note.voice = status >> 6;
        note.channel = static_cast<std::uint8_t>(std::min(walk.channelOf[note.voice], 255));
        note.key = status & 0x3F;
        note.gate = events.U8At(pos + 2);
        if (noteSize > 3) {
          const std::uint8_t attr = events.U8At(pos + 3);
          note.velocity = attr >> 2;
          constexpr std::array<std::int8_t, 4> kShift = {0, 12, -24, -12};
          note.octaveShift = kShift[attr & 3];
        }
        music.notes.push_back(note);
      } else if (status == 0xFF && x >= 0x80 && x < 0xF0) {
        Normal(walk, tick, offset, order, x, events.U8At(pos + 3));
        if (x == 0xDF) info.hasEnd = true;
      } else if (status == 0x7F) {
        // Audio: sampled sound the handset mixes in. There is no sound to make of it here.
        warnings.Once(msg::kMldAudioSkipped);
      } else if (status == 0xFF && x >= 0xF0 && (x <= 0xF3 || x >= 0xFE)) {
        // Long events (voice edits, karaoke text, maker data) hold nothing a player needs.
      } else {
        Unknown(track, offset, status, x);
      }
      ++info.eventCount;
      ++order;
      pos += size;
    }
    if (pos < body.size()) {
      // An event runs past the track's end: what follows would be the next chunk's bytes.
      warnings.Once(msg::kMldTruncated);
    }
    info.endTick = tick;
  }

  void FoldTempos() {
    std::stable_sort(rawTempos.begin(), rawTempos.end(), [](const RawTempo& a, const RawTempo& b) {
      return std::tie(a.tick, a.track, a.order) < std::tie(b.tick, b.track, b.order);
    });
    MldTempo now{0, kDefaultTimebase, kDefaultTempo};
    music.tempos = {now};
    for (const RawTempo& raw : rawTempos) {
      now.tick = raw.tick;
      switch (raw.kind) {
        case RawTempo::kSet:
          now.ticksPerQuarter = raw.timebase;
          now.tempo = std::max(raw.value, 20);  // a tempo under 20 plays as 20
          break;
        case RawTempo::kRelative:
          now.tempo = std::clamp(now.tempo + raw.value, 20, 255);
          break;
        case RawTempo::kReset:
          now.ticksPerQuarter = kDefaultTimebase;
          now.tempo = kDefaultTempo;
          break;
      }
      if (music.tempos.back().tick == now.tick) {
        music.tempos.back() = now;
      } else if (!(music.tempos.back().ticksPerQuarter == now.ticksPerQuarter &&
                   music.tempos.back().tempo == now.tempo)) {
        music.tempos.push_back(now);
      }
    }
  }
};

}  // namespace

Result<MldMusic> DecodeMld(std::span<const std::uint8_t> bytes) {
  const ByteReader img(bytes);
  if (!img.MatchesAt(0, "melo"))
    return Fail(msg::kInvalidFileFormat, DiagnosticCode::kInvalidFormat);
  MldMusic music;
  WarningList warnings;
  if (!img.Has(4, 4) || img.U32At(4) != bytes.size() - 8) {
    warnings.Add("length", msg::MldFileLengthMismatch(img.Has(4, 4) ? img.U32At(4) : 0,
                                                      bytes.size() >= 8 ? bytes.size() - 8 : 0));
  }
  const std::size_t dataAt = ReadInfo(img, music.info, warnings);
  // At most one note every three bytes: one allocation for the whole file.
  music.notes.reserve(bytes.size() / (3 + static_cast<std::size_t>(music.info.noteExtraBytes)));
  Decoder decoder{img, music, warnings, IsSongHeader(music.info), {}};

  ByteReader chunks(bytes, dataAt);
  while (auto chunk = chunks.NextChunk()) {
    if (chunk->clipped) warnings.Once(msg::kMldTruncated);
    if (chunk->tag == "trac") {
      MldTrackInfo track;
      track.offset = chunk->offset;
      track.declaredLength = chunk->length;
      track.clipped = chunk->clipped;
      decoder.Track(static_cast<int>(music.tracks.size()), chunk->body, track);
      music.tracks.push_back(track);
    } else if (chunk->tag != "adat") {
      warnings.Add("chunk " + std::string(chunk->tag),
                   msg::MldUnknownChunk(
                       Ascii(Bytes(reinterpret_cast<const std::uint8_t*>(chunk->tag.data()), 4))));
    }
  }
  if (chunks.Remaining() > 0) warnings.Once(msg::kMldTruncated);
  if (music.tracks.empty()) {
    warnings.Once(msg::kMldNoTrack);
  } else if (static_cast<int>(music.tracks.size()) != music.info.declaredTracks) {
    warnings.Add("track count",
                 msg::MldTrackCountMismatch(music.info.declaredTracks, music.tracks.size()));
  }
  decoder.FoldTempos();

  // Tracks were walked one after another; the song plays them side by side.
  const auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(music.notes.begin(), music.notes.end(), byTick);
  std::stable_sort(music.controls.begin(), music.controls.end(), byTick);
  std::stable_sort(music.loops.begin(), music.loops.end(), byTick);
  for (const MldTrackInfo& t : music.tracks)
    music.lengthTicks = std::max(music.lengthTicks, t.endTick);
  for (const MldNote& n : music.notes) {
    music.lengthTicks = std::max(music.lengthTicks, n.tick + n.gate);
  }
  music.warnings = warnings.Take();
  return music;
}

bool IsSongLayout(const MldMusic& music) {
  return IsSongHeader(music.info) && music.tracks.size() == 1;
}

// ---- clock -------------------------------------------------------------------------------

MldClock::MldClock(const std::vector<MldTempo>& tempos) {
  Segment now{0, 0, 0, kUnitsPerQuarter / kDefaultTimebase, kDefaultTempo};
  for (const MldTempo& t : tempos) {
    if (t.ticksPerQuarter <= 0 || kUnitsPerQuarter % t.ticksPerQuarter != 0 || t.tempo <= 0) {
      continue;
    }
    if (t.tick > now.tick) {
      const std::int64_t units = (t.tick - now.tick) * now.unitsPerTick;
      now.micros += units * 60'000'000 / (std::int64_t{now.tempo} * kUnitsPerQuarter);
      now.units += units;
      now.tick = t.tick;
    }
    now.unitsPerTick = kUnitsPerQuarter / t.ticksPerQuarter;
    now.tempo = t.tempo;
    if (!segments_.empty() && segments_.back().tick == now.tick) {
      segments_.back() = now;
    } else {
      segments_.push_back(now);
    }
  }
  if (segments_.empty()) segments_.push_back(now);
}

const MldClock::Segment& MldClock::At(std::int64_t tick) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                             [](std::int64_t t, const Segment& s) { return t < s.tick; });
  return it == segments_.begin() ? segments_.front() : *(it - 1);
}

std::int64_t MldClock::Units(std::int64_t tick) const {
  const Segment& s = At(tick);
  return s.units + (tick - s.tick) * s.unitsPerTick;
}

std::int64_t MldClock::Microseconds(std::int64_t tick) const {
  const Segment& s = At(tick);
  // A unit lasts 60,000,000 / (tempo * 1920) microseconds.
  return s.micros +
         (tick - s.tick) * s.unitsPerTick * 60'000'000 / (std::int64_t{s.tempo} * kUnitsPerQuarter);
}

}  // namespace chwr

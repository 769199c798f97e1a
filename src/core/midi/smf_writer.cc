#include "midi/smf_writer.h"

#include <cmath>
#include <cstdlib>

#include "io/byte_writer.h"
#include "messages.h"
#include "song/choices.h"
#include "text/cp932.h"
#include "text/numbers.h"

namespace chwr {
namespace {

// Two silent running-status events on key 1: they carry a track on to a later tick.
void AppendFiller(std::vector<std::uint8_t>& body, std::uint32_t ticks) {
  ByteWriter out(body);
  out.Vlq(ticks);
  out.Raw({0x01, 0x00, 0x00, 0x01, 0x00});
}

// The file's header chunk and its conductor track but for the title's bytes.
constexpr std::size_t kHeadRoom = 14 + 8 + 7 + 4 + 11;

// A track holding only its volume, program change and end has no events.
constexpr std::size_t kEmptyChunkSize = 19;

}  // namespace

MidiTrackBuilder::MidiTrackBuilder(const SongDocument& song, const MidiSettings& settings)
    : song_(song), settings_(settings) {
  // Every part starts at its volume choice, as on the phone, which the MLD file tells so.
  for (int i = 0; i < 4; ++i) parts_[i].velocity = StartingVolume(song.parts[i]);
}

void MidiTrackBuilder::Begin(int startStep, int endStep) {
  // About eight bytes an event at most, and a dense part (an event every one to three steps)
  // takes about three a step: four a step saves regrowing (and copying) large tracks, and
  // what a sparse part leaves unwritten costs no page.
  for (int i = 0; i < 4; ++i) {
    parts_[i].body.reserve(static_cast<std::size_t>(std::max(endStep - startStep, 0)) * 4 + 16);
  }
}

void MidiTrackBuilder::Step(int, std::span<const ScheduledEvent> events, int) {
  for (const ScheduledEvent& s : events) Handle(s.part, s);
}

void MidiTrackBuilder::Handle(int part, const ScheduledEvent& s) {
  Part& p = parts_[part];
  // The tie-adjusted gate: a tie into another pitch must end before that pitch starts.
  const std::uint32_t gate = static_cast<std::uint32_t>(std::max<int>(s.adjustedGate, 0));
  const std::uint32_t step = static_cast<std::uint32_t>(std::max<int>(s.event.step, 0));
  if (s.event.changesVolume()) p.velocity = s.event.volume;
  const auto key = static_cast<std::uint8_t>((s.event.key & 63) + 33 - 12 * settings_.octaveChoice);
  const auto velocity = static_cast<std::uint8_t>(gate == 0 ? 0 : 2 * p.velocity);
  const auto status = static_cast<std::uint8_t>(0x90 + part);

  // An event's bytes (at most two deltas of four bytes and four more) are put together
  // here and appended at once: a push onto the track for every byte was a sixth of a
  // large build.
  std::vector<std::uint8_t>& body = p.body;
  std::uint8_t bytes[16];
  std::size_t n = 0;
  auto vlq = [&](std::uint32_t v) { n += ByteWriter::PutVlq(bytes + n, v); };
  auto noteOff = [&](std::uint32_t after) {
    vlq(after);
    bytes[n++] = key;
    bytes[n++] = 0x00;
  };
  if (body.empty()) {
    // The first event opens the track with delta 0 and the status byte.
    bytes[n++] = 0x00;
    bytes[n++] = status;
    bytes[n++] = key;
    bytes[n++] = velocity;
    if (gate <= step) {
      noteOff(gate);
      p.heldTicks = 0;
      p.pendingDelta = step - gate;
    } else {
      p.heldTicks += step;
    }
  } else if (gate == 0) {
    p.pendingDelta += step;
  } else if (gate <= step) {
    const std::size_t size = body.size();
    // A note continued by a tie is not struck again. A silent note (volume 0) is written
    // all the same: the bytes it would match are the end of an earlier note, and leaving
    // it out would lose the time before it.
    if (velocity == 0 || !(size >= 2 && body[size - 2] == key && body[size - 1] == velocity)) {
      vlq(p.pendingDelta);
      bytes[n++] = key;
      bytes[n++] = velocity;
    }
    noteOff(gate + p.heldTicks);
    p.heldTicks = 0;
    p.pendingDelta = step - gate;
  } else {
    p.heldTicks += step;
  }
  body.insert(body.end(), bytes, bytes + n);
  p.partEnd += step;
}

MidiTracks MidiTrackBuilder::Finish() {
  for (Part& p : parts_) {
    if (p.pendingDelta > 0) AppendFiller(p.body, p.pendingDelta);
  }
  int longest = 0;
  for (int i = 1; i < 4; ++i) {
    if (parts_[i].partEnd > parts_[longest].partEnd) longest = i;
  }
  for (int i = 0; i < 4; ++i) {
    if (i == longest || parts_[i].body.empty()) continue;
    AppendFiller(parts_[i].body, parts_[longest].partEnd - parts_[i].partEnd);
  }

  // Each track is written straight into its chunk, with room for all of them made at once:
  // a track of the largest song is some 150 KB, and a copy of it was pages touched for nothing.
  MidiTracks tracks;
  std::vector<std::uint8_t>& all = tracks.chunks;
  std::size_t room = 0;
  for (const Part& p : parts_) room += 8 + 7 + p.body.size() * (settings_.repeatOn ? 2 : 1) + 5;
  // And room for the file's header and conductor track, which SmfImage puts in front.
  all.reserve(room + kHeadRoom + song_.title.size());
  ByteWriter chunks(all);
  for (int i = 0; i < 4; ++i) {
    if (settings_.mute[i]) continue;
    const std::vector<std::uint8_t>& body = parts_[i].body;
    const auto channel = static_cast<std::uint8_t>(i);
    const int program =
        settings_.allPartsProgram >= 0
            ? settings_.allPartsProgram
            : FindToneProgram(song_.parts[i].tone).value_or(*FindToneProgram(kDefaultToneChoice));
    const std::size_t start = all.size();
    const std::size_t length = chunks.BeginChunk("MTrk");
    chunks.Raw({0x00, static_cast<std::uint8_t>(0xB0 + channel), 0x07, 0x7F, 0x00,
                static_cast<std::uint8_t>(0xC0 + channel), static_cast<std::uint8_t>(program)});
    chunks.Raw(body);
    if (settings_.repeatOn && !body.empty()) {
      // The second copy runs on the first copy's status, 0 ticks after it ends.
      all.push_back(0x00);
      all.insert(all.end(), body.begin() + 2, body.end());
    }
    chunks.Raw({0x00, 0xFF, 0x2F, 0x00});
    // A track with no note is left out, taken back off the end.
    if (all.size() - start == kEmptyChunkSize) {
      all.resize(start);
      continue;
    }
    chunks.EndChunk(length);
    ++tracks.count;
  }
  return tracks;
}

Result<double> MidiTempo(std::string_view typed, bool doubleSpeed) {
  const std::string number = NumberText(typed);
  const std::string_view text = number;
  double tempo = 120;
  if (!text.empty() && IsPlainNumber(text)) tempo = std::strtod(number.c_str(), nullptr);
  if (doubleSpeed) tempo *= 2;
  // The tempo period has three bytes: below 4 beats a minute it no longer fits, and
  // at 0 or less there is no period at all.
  if (!(tempo >= 4) || std::nearbyint(60 / tempo * 1000000) < 1) {
    return Fail(msg::MidiTempoTooLow(text));
  }
  return tempo;
}

Result<std::vector<std::uint8_t>> SmfImage(const SongDocument& song, MidiTracks tracks,
                                           bool doubleSpeed) {
  auto tempo = MidiTempo(song.tempo, doubleSpeed);
  if (!tempo) return std::unexpected(tempo.error());
  auto title = EncodeCp932(song.title);
  if (!title) return Fail(msg::ProblemIn(msg::kTitleField, title.error().message));
  const auto period = static_cast<std::uint32_t>(std::nearbyint(60 / *tempo * 1000000));

  std::vector<std::uint8_t> head;
  ByteWriter out(head);
  const std::uint8_t division = song.resolution == 0 ? 24 : 48;
  const std::size_t header = out.BeginChunk("MThd");
  out.U16be(1);  // format 1
  out.U16be(static_cast<std::uint32_t>(tracks.count + 1));
  out.U16be(division);
  out.EndChunk(header);
  const std::size_t conductor = out.BeginChunk("MTrk");
  out.Raw({0x00, 0xFF, 0x02, 0x00, 0x00, 0xFF, 0x03});
  // A title of 128 bytes or more needs a longer length field to stay a valid file.
  out.Vlq(static_cast<std::uint32_t>(title->size()));
  out.Raw(*title);
  out.Raw({0x00, 0xFF, 0x51, 0x03, static_cast<std::uint8_t>(period >> 16),
           static_cast<std::uint8_t>(period >> 8), static_cast<std::uint8_t>(period), 0x00, 0xFF,
           0x2F, 0x00});
  out.EndChunk(conductor);
  // The tracks stay where they were built and the head goes in front: the tracks of a
  // large song are half a megabyte, which a copy would touch again.
  std::vector<std::uint8_t> image = std::move(tracks.chunks);
  image.insert(image.begin(), head.begin(), head.end());
  return image;
}

std::vector<std::uint8_t> ResetSmfImage() {
  return {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01,
          0x00, 0x18, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x19, 0x02, 0xF0,
          0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x02, 0xF0, 0x0A, 0x41, 0x10, 0x42,
          0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
}

}  // namespace chwr

#include "midi/smf_events.h"

#include <algorithm>

namespace chwr::smf {
namespace {

// Data bytes of the system common and real-time statuses, as a sequencer sends them:
// a file that holds them (which the file standard does not allow) keeps its alignment.
int SystemDataBytes(std::uint8_t status) {
  switch (status) {
    case 0xF1:
    case 0xF3:
      return 1;
    case 0xF2:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

TrackReader::TrackReader(std::span<const std::uint8_t> bytes, std::size_t start, std::size_t limit,
                         std::size_t minEventBytes)
    : r_(bytes.first(std::min(limit, bytes.size())),
         std::min(start, std::min(limit, bytes.size()))),
      limit_(std::min(limit, bytes.size())),
      minEventBytes_(std::max<std::size_t>(minEventBytes, 1)) {}

ReadStatus TrackReader::Cut(std::size_t needed) {
  needed_ = needed;
  r_.Seek(limit_);
  return ReadStatus::kCutShort;
}

ReadStatus TrackReader::Next(Event& e) {
  needed_ = 0;
  e = Event{};
  e.at = r_.pos();
  const auto delta = r_.Vlq();
  if (!delta || r_.Remaining() < minEventBytes_) {
    r_.Seek(limit_);
    return ReadStatus::kNoMore;
  }
  e.delta = *delta;
  e.statusAt = r_.pos();
  const std::uint8_t first = r_.U8At(e.statusAt);

  if (first < 0x80) {
    if (running_ == 0) {
      // Nothing to continue: the byte is passed over alone, so the walk still advances.
      r_.Skip(1);
      e.kind = EventKind::kStray;
      e.status = first;
      e.end = r_.pos();
      return ReadStatus::kEvent;
    }
    e.running = true;
    e.status = running_;
  } else {
    e.status = first;
    r_.Skip(1);
  }

  if (e.status < 0xF0) {
    // Meta and system events leave the running status alone: files in the wild run
    // on across a text event or a sysex, and a reader that stopped there would derail.
    running_ = e.status;
    e.kind = EventKind::kChannel;
    const int n = ChannelDataBytes(e.status);
    if (!r_.Has(static_cast<std::size_t>(n))) return Cut(r_.pos() - e.statusAt + n);
    e.data1 = *r_.U8();
    if (n == 2) e.data2 = *r_.U8();
  } else if (e.status == 0xFF) {
    e.kind = EventKind::kMeta;
    const auto type = r_.U8();
    if (!type) return Cut(0);
    e.metaType = *type;
    const auto length = r_.Vlq();
    if (e.metaType == 0x2F) {
      // The end of track ends the walk whatever it states after its type byte.
      r_.Skip(std::min<std::size_t>(length.value_or(0), r_.Remaining()));
    } else {
      if (!length) return Cut(0);
      const std::size_t bodyAt = r_.pos();
      const auto body = r_.Take(*length);
      if (!body) return Cut(bodyAt - e.statusAt + *length);
      e.payload = *body;
    }
  } else if (e.status == 0xF0) {
    e.kind = EventKind::kSysex;
    // Up to and including the next F7; F0 00 is an empty message of two bytes.
    const std::size_t from = r_.pos();
    if (r_.Has(1) && r_.U8At(from) == 0x00) {
      r_.Skip(1);
    } else {
      const std::uint8_t f7 = 0xF7;
      const auto hit = r_.Find(std::span<const std::uint8_t>(&f7, 1), from, limit_);
      if (!hit) return Cut(0);
      e.payload = r_.bytes().subspan(from, *hit - from);
      r_.Seek(*hit + 1);
    }
  } else if (e.status == 0xF7) {
    e.kind = EventKind::kEscape;
    const auto length = r_.Vlq();
    if (!length) return Cut(0);
    const std::size_t bodyAt = r_.pos();
    const auto body = r_.Take(*length);
    if (!body) return Cut(bodyAt - e.statusAt + *length);
    e.payload = *body;
  } else {
    e.kind = EventKind::kSystem;
    const int n = SystemDataBytes(e.status);
    if (!r_.Skip(static_cast<std::size_t>(n))) return Cut(1 + static_cast<std::size_t>(n));
  }
  e.end = r_.pos();
  return ReadStatus::kEvent;
}

}  // namespace chwr::smf

#pragma once
// Small Standard MIDI File images for tests, written event by event so that a test
// shows the bytes it feeds the reader: a header, track chunks, and events of one or a
// few bytes each behind their delta time.

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "test_support.h"

namespace chwr::test::smf {

// A test that uses these builders gets the byte helpers they are made of along with them.
using test::Ascii;
using test::Bytes;
using test::Cat;

/// A delta time as a variable-length quantity.
inline Bytes Vlq(std::uint32_t v) {
  Bytes out;
  if (v >= 0x200000) out.push_back(static_cast<std::uint8_t>(((v >> 21) & 0x7F) | 0x80));
  if (v >= 0x4000) out.push_back(static_cast<std::uint8_t>(((v >> 14) & 0x7F) | 0x80));
  if (v >= 0x80) out.push_back(static_cast<std::uint8_t>(((v >> 7) & 0x7F) | 0x80));
  out.push_back(static_cast<std::uint8_t>(v & 0x7F));
  return out;
}

/// An event: its delta time, then its bytes as given (status or not).
inline Bytes Ev(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
  Bytes out = Vlq(delta);
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

/// Note on (9n) with a velocity.
inline Bytes On(std::uint32_t delta, int note, int velocity = 100, int channel = 0) {
  return Ev(delta, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(note),
                    static_cast<std::uint8_t>(velocity)});
}

/// Note off (8n, release velocity 64).
inline Bytes Off(std::uint32_t delta, int note, int channel = 0) {
  return Ev(delta,
            {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(note), 0x40});
}

/// A meta event with a short text or data.
inline Bytes Meta(std::uint32_t delta, std::uint8_t type, std::string_view data) {
  Bytes out = Ev(delta, {0xFF, type});
  const Bytes length = Vlq(static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), length.begin(), length.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

/// The tempo meta event: microseconds a quarter note.
inline Bytes Tempo(std::uint32_t delta, std::uint32_t us) {
  return Ev(delta, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(us >> 16),
                    static_cast<std::uint8_t>(us >> 8), static_cast<std::uint8_t>(us)});
}

/// The end-of-track meta event.
inline Bytes End(std::uint32_t delta = 0) {
  return Ev(delta, {0xFF, 0x2F, 0x00});
}

/// A chunk: tag, four-byte length, body.
inline Bytes Chunk(std::string_view tag, const Bytes& body) {
  const auto n = static_cast<std::uint32_t>(body.size());
  Bytes out = Ascii(tag);
  out.insert(out.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                         static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

/// A whole file: header of `format` and `division`, one "MTrk" chunk per track body.
inline Bytes File(int format, int division, const std::vector<Bytes>& tracks) {
  Bytes out = Chunk("MThd", {0, static_cast<std::uint8_t>(format), 0,
                             static_cast<std::uint8_t>(tracks.size()),
                             static_cast<std::uint8_t>(division >> 8),
                             static_cast<std::uint8_t>(division)});
  for (const Bytes& t : tracks) {
    const Bytes c = Chunk("MTrk", t);
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

/// A format 1 file: an empty first track (not offered for import), then `tracks`.
inline Bytes Format1(int division, std::vector<Bytes> tracks) {
  tracks.insert(tracks.begin(), End());
  return File(1, division, tracks);
}

}  // namespace chwr::test::smf

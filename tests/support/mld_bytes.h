#pragma once
// MLD files built byte by byte, in any layout: the header with its lengths right, info
// chunks (two-byte lengths) and tracks (four-byte lengths).

#include <string_view>
#include <vector>

#include "test_support.h"

namespace chwr::test {

inline Bytes U16(std::size_t v) {
  return {std::uint8_t(v >> 8), std::uint8_t(v)};
}
inline Bytes U32(std::size_t v) {
  return Cat({U16(v >> 16), U16(v & 0xFFFF)});
}

/// An info chunk.
inline Bytes Info(std::string_view id, const Bytes& body) {
  return Cat({Ascii(id), U16(body.size()), body});
}
/// A "trac" chunk around `events`.
inline Bytes Trac(const Bytes& events) {
  return Cat({Ascii("trac"), U32(events.size()), events});
}

/// A whole file: the header, `info`, then a track for each of `tracks`; the header's track
/// count is `trackCount` when given.
inline Bytes MldFile(const Bytes& info, const std::vector<Bytes>& tracks, int trackCount = -1) {
  Bytes data;
  for (const Bytes& t : tracks) data = Cat({data, Trac(t)});
  const Bytes head = Cat(
      {{0x01, 0x01, std::uint8_t(trackCount < 0 ? tracks.size() : std::size_t(trackCount))}, info});
  const Bytes afterLength = Cat({U16(head.size()), head, data});
  return Cat({Ascii("melo"), U32(afterLength.size()), afterLength});
}

/// Tempo 120 at 48 ticks a quarter, and the end of a track, each at delta 0.
inline const Bytes kMldTempo = {0x00, 0xFF, 0xC3, 0x78};
inline const Bytes kMldEnd = {0x00, 0xFF, 0xDF, 0x00};

}  // namespace chwr::test

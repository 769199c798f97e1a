#pragma once
// A readable listing of an MLD image for people who inspect melody files: the file
// header, each header chunk, the track chunk and every track record with its offset,
// delta, running step position and decoded event.
//
// The listing never fails: where the layout breaks (a truncated record, a length
// past the end, an unknown FF status, a missing "melo" or "trac") it says so on a
// line of its own with the offset, and goes on only where the layout still tells
// where the next item starts.

#include <cstdint>
#include <span>
#include <string>

namespace chwr {

/// The listing of `bytes` as UTF-8 text, one item per line, each line ended by LF.
std::string DumpMld(std::span<const std::uint8_t> bytes);

}  // namespace chwr

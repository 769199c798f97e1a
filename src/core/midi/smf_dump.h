#pragma once
// A readable listing of a Standard MIDI File for people who inspect what the import
// reads: the header, what the import keeps of it, every chunk and every event of each
// track chunk with its offset, delta time, absolute tick, status and meaning.
//
// The listing never fails: where the file breaks (a header cut short, a length past the
// end, an event cut short, a missing end of track, bytes no chunk holds) it says so on a
// line of its own and goes on wherever the layout still tells where the next item starts.

#include <cstdint>
#include <span>
#include <string>

namespace chwr {

/// The listing of `bytes` as UTF-8 text, one item per line, each line ended by LF.
std::string DumpSmf(std::span<const std::uint8_t> bytes);

}  // namespace chwr

#pragma once
// A readable listing of an SMD file: every code with its meaning, so a file from a
// handset or another program can be compared with what we write.

#include <cstdint>
#include <span>
#include <string>

namespace chwr {

/// One line per code: its offset, its bytes and what it means (title bytes, part start,
/// tempo class, window, note name and length index, tie, triplet mark, part end). Never
/// fails: a run the file cuts short is listed as far as it goes and said to be cut.
std::string DumpSmd(std::span<const std::uint8_t> bytes);

}  // namespace chwr

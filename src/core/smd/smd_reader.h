#pragma once
// Reading an SMD file back into a song: an optional title before the first part run,
// then up to four part runs, each turned into MML.
//
// Any bytes are safe: a run that the file cuts short is read as far as it goes, a code
// the format does not define is passed over, and a file without a run is an empty song.

#include <cstdint>
#include <span>
#include <string>

#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr {

/// A song read from an SMD file, with notes for the user about what could not be read.
struct SmdRead {
  SongDocument song;     ///< title, tempo and up to four parts; the rest at its default
  Diagnostics warnings;  ///< warnings, one per problem; empty for a clean file
};

/// Reads an SMD file's bytes (never fails: a file without a part run gives empty parts
/// and a warning).
SmdRead ReadSmd(std::span<const std::uint8_t> bytes);

/// The title bytes (before the first run) decoded: JIS escapes, shifted katakana and
/// plain Shift-JIS bytes, as UTF-8. `invalidCount` counts what could not be decoded.
std::string SmdTitleGet(std::span<const std::uint8_t> bytes, std::size_t* invalidCount = nullptr);

/// The MML of one part run (without its start and end codes); `tempo` becomes the tempo
/// its class stands for, "120" without one.
std::string SmdToMll(std::span<const std::uint8_t> run, std::string& tempo);

}  // namespace chwr

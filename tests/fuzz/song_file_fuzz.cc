// Song text files come from anywhere: reading must never fail badly, and a song that was
// read must survive being written and read again unchanged.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "song/song_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto read = chwr::ParseSongFile(std::span(data, size));
  if (!read) return 0;

  // Bytes code page 932 does not define come back as U+FFFD, which cannot be written:
  // that is a clean refusal, not a loss.
  const auto bytes = chwr::SerializeSongFile(read->song);
  if (!bytes) return 0;

  const auto again = chwr::ParseSongFile(*bytes);
  FUZZ_CHECK(again.has_value());
  // A file this program wrote has nothing to repair.
  FUZZ_CHECK(again->warnings.empty());
  // An empty tempo is written as the tempo a new song has.
  chwr::SongDocument expected = read->song;
  if (expected.tempo.empty()) expected.tempo = "120";
  FUZZ_CHECK(again->song == expected);

  const auto bytesAgain = chwr::SerializeSongFile(again->song);
  FUZZ_CHECK(bytesAgain.has_value() && *bytesAgain == *bytes);
  return 0;
}

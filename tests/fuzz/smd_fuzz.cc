// SMD files come from phones and other programs: reading and listing any bytes must end
// cleanly, and what is read must be a song the compiler takes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "convert/build_song.h"
#include "convert/open_song.h"
#include "fuzz_check.h"
#include "smd/smd_dump.h"
#include "smd/smd_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const chwr::SmdRead read = chwr::ReadSmd(bytes);
  (void)chwr::DumpSmd(bytes);
  // The reader writes MML of its own: it compiles (or fails with a message, never a crash).
  (void)chwr::BuildSong(read.song);
  // Opened by its name, a file of another kind is refused instead of read.
  const auto kind = chwr::SniffFileKind(bytes);
  const bool smd = !kind || *kind == chwr::FileKind::kSmd;
  FUZZ_CHECK(chwr::OpenSongBytes(chwr::FileKind::kSmd, bytes).has_value() == smd);
  return 0;
}

#pragma once
// What holds for any MLD image, shared by the MLD and melody-mail targets: reading and
// listing never fail badly, and what comes out is something the rest of the program takes.

#include <cstdint>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "mld/mld_dump.h"
#include "mld/mld_reader.h"
#include "mml/song_compile.h"
#include "song/choices.h"
#include "text/cp932.h"

inline bool IsValidUtf8(const std::string& s) {
  return chwr::Utf32ToUtf8(chwr::Utf8ToUtf32(s)) == s;
}

inline void CheckMldImage(std::span<const std::uint8_t> bytes) {
  const std::string listing = chwr::DumpMld(bytes);
  FUZZ_CHECK(IsValidUtf8(listing));
  FUZZ_CHECK(listing.empty() || listing.back() == '\n');

  const auto read = chwr::ReadMld(bytes);
  if (!read) return;
  const chwr::SongDocument& song = read->song;
  FUZZ_CHECK(IsValidUtf8(song.title) && IsValidUtf8(song.protectText));
  for (const chwr::PartSlot& part : song.parts) {
    // The editor's lists must hold what the reader chose, or saving the song would warn.
    FUZZ_CHECK(chwr::FindVolumeValue(part.volume).has_value());
    FUZZ_CHECK(chwr::FindToneProgram(part.tone).has_value());
    FUZZ_CHECK(IsValidUtf8(part.mml));
  }
  // The user compiles what was read next; it may be refused, but cleanly.
  chwr::SongCompile compiled;
  (void)chwr::CompileSong(song, compiled);
}

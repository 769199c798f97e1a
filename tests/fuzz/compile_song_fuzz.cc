// A song's four part texts come from files and from the clipboard: compiling any text must
// end with events or a message, never a crash or a hang.
//
// Input layout: one settings byte (bit 0: resolution 24 or 48; bit 1: SMD mode; bits 2-7:
// the volume list item every part starts with), then the four part texts separated by
// 0x00 bytes; missing parts are empty.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "mml/lengths.h"
#include "mml/song_compile.h"
#include "song/choices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t settings = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  chwr::SongDocument song;
  song.resolution = settings & 1;
  const auto volumes = chwr::VolumeItems(0);
  const std::string& volume = volumes[(settings >> 2) % volumes.size()].text;
  for (chwr::PartSlot& part : song.parts) {
    const std::size_t end = rest.find('\0');
    part.mml = std::string(rest.substr(0, end));
    part.volume = volume;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }

  // A resolution change reads the same texts: it names what it would round, then rewrites.
  std::array<std::string, 4> texts;
  for (int i = 0; i < 4; ++i) texts[i] = song.parts[i].mml;
  for (const chwr::InexactLength& l : chwr::InexactHalvings(texts)) {
    FUZZ_CHECK(l.part >= 0 && l.part <= 3 && l.line >= 1);
    FUZZ_CHECK(l.written.find('*') != std::string::npos &&
               l.rescaled.find('*') != std::string::npos);
  }
  for (const std::string& text : texts) {
    (void)chwr::RescaleAbsoluteLengths(text, true);
    (void)chwr::RescaleAbsoluteLengths(text, false);
  }

  chwr::SongCompileOptions options;
  options.smdMode = (settings & 2) != 0;
  std::size_t hookCalls = 0;
  options.smdHook = [&](const chwr::CommandTokens& tokens, int lastIndex) {
    ++hookCalls;
    FUZZ_CHECK(lastIndex == static_cast<int>(tokens.size()) - 1);
    return std::string();
  };

  chwr::SongCompile out;
  const auto result = chwr::CompileSong(song, out, options);
  if (!result) {
    const chwr::Diagnostic& d = result.error();
    FUZZ_CHECK(!d.message.empty());
    FUZZ_CHECK(d.part >= -1 && d.part <= 3);
    return 0;
  }
  for (const chwr::CompiledPart& part : out.parts) {
    FUZZ_CHECK(part.count == static_cast<int>(part.events.size()));
    FUZZ_CHECK(part.events.size() <= static_cast<std::size_t>(chwr::kEventCapacity));
    for (const chwr::NoteEvent& e : part.events) {
      FUZZ_CHECK(static_cast<std::size_t>(e.data.offset) + e.data.length <= part.dataText.size());
    }
  }
  if (!options.smdMode) FUZZ_CHECK(hookCalls == 0);
  return 0;
}

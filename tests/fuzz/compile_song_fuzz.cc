// A song's four part texts come from files and from the clipboard: compiling any text must
// end with events or a message, never a crash or a hang.
//
// Input layout: one settings byte (bit 0: resolution 24 or 48; bit 1: SMD mode; bits 2-7:
// the volume list item every part starts with), then the four part texts separated by
// 0x00 bytes; missing parts are empty. The song is compiled a second time with the source
// map, which must leave the events as they were and point inside each part's text.

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
  chwr::SongCompileOptions mapped = options;
  mapped.wantSources = true;
  chwr::SongCompile withSources;
  FUZZ_CHECK(chwr::CompileSong(song, withSources, mapped).has_value());
  for (int p = 0; p < 4; ++p) {
    const chwr::CompiledPart& part = withSources.parts[p];
    FUZZ_CHECK(out.parts[p].sources.empty());
    FUZZ_CHECK(part.sources.size() == part.events.size());
    FUZZ_CHECK(part.events.size() == out.parts[p].events.size());
    for (std::size_t i = 0; i < part.events.size(); ++i) {
      const chwr::NoteEvent& a = part.events[i];
      const chwr::NoteEvent& b = out.parts[p].events[i];
      FUZZ_CHECK(a.key == b.key && a.gate == b.gate && a.step == b.step && a.volume == b.volume &&
                 a.tone == b.tone && a.overlapCut == b.overlapCut);
    }
    const std::string& text = song.parts[p].mml;
    for (const chwr::SourceSpan& s : part.sources) {
      FUZZ_CHECK(s.byteLength > 0 && s.byteOffset + std::size_t{s.byteLength} <= text.size());
      FUZZ_CHECK(s.line >= 1 && s.column >= 1 && s.length >= 1 && s.length <= s.byteLength);
      FUZZ_CHECK(s.offset <= s.byteOffset && s.column <= static_cast<int>(s.offset) + 1);
    }
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

// The MIDI listing: every event with its delta, tick and meaning, and broken files listed
// as far as they go, saying where they break.

#include <gtest/gtest.h>

#include "midi/smf_dump.h"
#include "smf_bytes.h"

namespace chwr {
namespace {

using test::Bytes;
using namespace test::smf;
using namespace std::string_view_literals;

TEST(DumpSmf, ListsEveryEvent) {
  const Bytes file =
      Format1(96, {Cat({Meta(0, 0x03, "Lead"), Tempo(0, 500000), Ev(0, {0xC1, 5}),
                        On(0, 60, 100, 1), Ev(96, {60, 0}), Ev(0, {0xB1, 7, 90}),
                        Ev(0, {0xF0, 0x01, 0x02, 0xF7}), Ev(10, {0xE1, 0, 64}), End()})});
  EXPECT_EQ(DumpSmf(file),
            "0x0000  MThd length 6: format 1, 2 track(s), division 96 ticks a quarter\n"
            "import reads: format 1, division 96, 0.50 s a quarter\n"
            "0x000E  MTrk 1, length 4 (not offered for import)\n"
            "0x0016  delta 0  tick 0  FF 2F  end of track\n"
            "0x001A  MTrk 2, length 42 (import list: ﾄﾗｯｸ1)\n"
            "0x0022  delta 0  tick 0  FF 03  track name \"Lead\"\n"
            "0x002A  delta 0  tick 0  FF 51  tempo 500000 us a quarter (120.00 a minute)\n"
            "0x0031  delta 0  tick 0  C1  program change  ch 2  program 5\n"
            "0x0034  delta 0  tick 0  91  note on  ch 2  key 60 (O4C) vel 100\n"
            "0x0038  delta 96  tick 96  91 (running)  note on (velocity 0: off)  ch 2  key 60 "
            "(O4C) vel 0\n"
            "0x003B  delta 0  tick 96  B1  control change  ch 2  controller 7 (volume) value 90\n"
            "0x003F  delta 0  tick 96  F0  system exclusive, 2 bytes to F7: 01 02; skipped\n"
            "0x0044  delta 10  tick 106  E1  pitch bend  ch 2  value 0\n"
            "0x0048  delta 0  tick 106  FF 2F  end of track\n");
}

TEST(DumpSmf, SaysWhereABrokenFileBreaks) {
  const Bytes header = Chunk("MThd", {0, 0, 0, 1, 0, 48});
  struct Case {
    const char* name;
    Bytes bytes;
    std::vector<std::string> lines;  // lines the listing ends with
  };
  // clang-format off
  const Case cases[] = {
      {"no header", Ascii("RIFF"),
       {"0x0000  no \"MThd\" header: not a MIDI file (52 49 46 46); stopped"}},
      {"nothing at all", {}, {"0x0000  no \"MThd\" header: not a MIDI file (); stopped"}},
      {"header cut short", Ascii("MThd\0\0\0\6\0"sv), {"0x0000  MThd cut short: 9 byte(s) in all",
       "import reads: format 0, division 0, 0.50 s a quarter", "no MTrk chunk: nothing to import"}},
      {"a chunk longer than the file",
       Cat({header, Ascii("MTrk\0\0\0\x10"sv), On(0, 60)}),
       {"0x000E  MTrk 1, length 16; the file ends 12 byte(s) before its end",
        "0x0016  delta 0  tick 0  90  note on  ch 1  key 60 (O4C) vel 100",
        "0x001A  no end-of-track event"}},
      {"an event cut short by its chunk",
       Cat({header, Chunk("MTrk", Cat({On(0, 60), Ev(0, {0xFF, 0x01, 0x05, 'a'})}))}),
       {"0x001A  cut short: the event at 0x001B (status FF) needs 8 byte(s), 4 left"}},
      {"a delta time cut short", Cat({header, Chunk("MTrk", Ev(0, {0x90, 60, 1, 0x81}))}),
       {"0x001A  cut short: a delta time runs past the chunk's end"}},
      {"bytes after the end of track and after the last chunk",
       Cat({header, Chunk("MTrk", Cat({End(), Ascii("xy")})), Ascii("MT")}),
       {"0x0016  delta 0  tick 0  FF 2F  end of track",
        "0x001A  2 byte(s) after the end of track: 78 79",
        "0x001C  2 byte(s) after the last chunk, too few for a chunk head: 4D 54"}},
      {"a chunk of another kind",
       Cat({header, Chunk("Junk", Ascii("abc")), Chunk("MTrk", End())}),
       {"0x000E  chunk \"Junk\" length 3: not a track chunk, skipped", "0x0019  MTrk 1, length 4",
        "0x0021  delta 0  tick 0  FF 2F  end of track"}},
      {"stray data and system bytes",
       Cat({header, Chunk("MTrk", Cat({Ev(0, {0x3C}), Ev(0, {0xF8}), End()}))}),
       {"0x0016  delta 0  tick 0  3C  data byte with no running status; skipped",
        "0x0018  delta 0  tick 0  F8  system message (not for files); skipped with its data",
        "0x001A  delta 0  tick 0  FF 2F  end of track"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string listing = DumpSmf(c.bytes);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < listing.size();) {
      const std::size_t end = listing.find('\n', at);
      ASSERT_NE(end, std::string::npos) << c.name;
      lines.push_back(listing.substr(at, end - at));
      at = end + 1;
    }
    ASSERT_GE(lines.size(), c.lines.size()) << c.name << "\n" << listing;
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(c.lines.size()),
                                       lines.end()),
              c.lines)
        << c.name << "\n"
        << listing;
  }
}

}  // namespace
}  // namespace chwr

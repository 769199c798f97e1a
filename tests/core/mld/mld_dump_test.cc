#include "mld/mld_dump.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace chwr {
namespace {

using namespace std::string_view_literals;

// A complete image laid out by hand: every header chunk and every kind of record.
constexpr std::string_view kImage =
    "melo\0\0\0\x83\0\x26\1\1\1"                                // file length 131, header length 38
    "sorc\0\1\1titl\0\3\xC3\xBD\xC4vers\0\4"                    // title ﾃｽﾄ
    "0100cipy\0\3abctrac\0\0\0\x53"                             // track length 83
    "\0\xFF\xC3\x78\0\xFF\xE2\x3F\0\xFF\xE0\x45\0\xFF\xE1\x42"  // tempo, volume, tone, bank
    "\0\xFF\xF0\0\x29\1\1\2\3\4\5\6\7\x08\x09\x0A"              // definitions: slot 0
    "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"  // slots 1-3
    "\0\xFF\xF1\0\3\1\x21\x40"                                      // selection
    "\0\x27\x18\x18\x43\x0C\x0C\x80\0\0\xFF\xDF\0"sv;               // notes, end of track

std::string Dump(std::string_view image) {
  return DumpMld(std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()));
}

// Anything may arrive from a file: the listing must stay within the bytes (the
// sanitizers watch that) and keep one item per line.
std::string SafeListing(std::string_view image, const std::string& what) {
  const std::string dump = Dump(image);
  EXPECT_TRUE(dump.ends_with('\n')) << what;
  for (std::size_t at = 0; dump.ends_with('\n') && at < dump.size(); at = dump.find('\n', at) + 1)
    EXPECT_EQ(dump.compare(at, 2, "0x"), 0) << what << "\n" << dump;
  return dump;
}

// Each case overwrites a few bytes of the image at `at` (none for the first ones, which
// list items of the well-formed image) and names a line the listing must then hold.
TEST(MldDump, ListsItemsAndSaysWhereTheLayoutBreaks) {
  const std::tuple<std::size_t, std::string_view, std::string_view> cases[] = {
      {0, "", "0x0008  header length 38 (\"trac\" expected at 0x0030)\n0x000A  fixed 01 01 01\n"},
      {0, "", "0x0030  chunk \"trac\" length 83 (event stream 0x0038 to 0x008B)"},
      {0, "", "0x0038  delta 0  step 0  FF C3 tempo 120, 48 steps per quarter"},
      {0, "", "FF E1 bank: part 2, bank 2"},
      {0, "", "0x0048  delta 0  step 0  FF F0 tone definitions, length 41, first byte 01"},
      {0, "", "0x004E    slot 0: 01 02 03 04 05 06 07 08 09 0A\n"},
      {0, "", "0x006C    slot 3: 00 00 00 00 00 00 00 00 00 00 (empty)"},
      {0, "", "0x0076  delta 0  step 0  FF F1 definition selection: part 2, slot 1 (01 21 40)"},
      {0, "", "0x0084  delta 12  step 36  note key 0x80: part 3, code 0 O0A, gate 0 rest"},
      {0, "", "0x0087  delta 0  step 36  FF DF end of track\n"},
      {4, "\0\0\0\x09"sv, "0x0004  file length 9, disagrees with the file size 139 (expected 131)"},
      {0, "MELO", "0x0000  magic \"MELO\" is not \"melo\": not an MLD file; stopped"},
      {11, "\x02", "0x000A  fixed 01 02 01 (expected 01 01 01)"},
      {26, "\x81\x20", "title \"\xEF\xBF\xBD ﾄ\" (81 20 C4), 1 sequence(s) not in code page 932"},
      {26, "\n", "0x0014  chunk \"titl\" length 3: title \"\\x0Aｽﾄ\" (0A BD C4)"},
      {29, "verx", "0x001D  chunk \"verx\" length 4: unknown tag: 30 31 30 30"},
      {9, "\x20", "0x002A  no \"trac\" tag where the header length points"},
      {9, "\x20", "0x0030  \"trac\" found after the last header chunk"},
      {9, "\x28", "0x0030  \"trac\" tag before the header end 0x0032"},
      {9, "\x14", "0x0030  \"trac\" found by searching the file"},
      {43, "\xFF", "chunk \"cipy\" length 65283 runs past the end of the file (94 bytes left)"},
      {48, "trak", "0x008B  no \"trac\" chunk in the file; stopped"},
      {52, "\0\0\x01\0"sv, "0x0034  the track length runs past the end of the file"},
      {52, "\0\0\0\x3E"sv, "0x0076  the stream ends without FF DF end of track"},
      {52, "\0\0\0\x3E"sv, "0x0076  21 byte(s) after the track chunk"},
      {0x3E, "\xE7", "0x003C  delta 0  step 0  FF E7 unknown status: its length is unknown"},
      {0x3A, "\xC5", "FF C5 tempo 120, unknown resolution 5"},
      {0x4B, "\x29", "0x0048  delta 0  step 0  truncated record: FF F0 length 10537 runs past"},
      {0x7A, "\x04", "FF F1 definition selection, length 4 (expected 3): 01 21 40 00"},
      {0x7F, "\xFF\xDF", "0x007E  delta 0  step 0  FF DF end of track, data 18 (expected 00)"},
      {0x7F, "\xFF\xDF", "0x0082  9 byte(s) after the end of track"},
  };
  for (const auto& [at, patch, line] : cases) {
    std::string image(kImage);
    image.replace(at, patch.size(), patch);
    const std::string dump = SafeListing(image, std::string(line));
    EXPECT_NE(dump.find(line), std::string::npos) << line << "\n" << dump;
  }
}

TEST(MldDump, EveryTruncationSaysWhereItStopped) {
  for (std::size_t size = 0; size < kImage.size(); ++size) {
    const std::string dump = SafeListing(kImage.substr(0, size), "prefix " + std::to_string(size));
    const std::string tail = dump.substr(dump.rfind('\n', dump.size() - 2) + 1);
    EXPECT_TRUE(tail.ends_with("; stopped\n") || tail.ends_with("without FF DF end of track\n"))
        << dump;
  }
}

}  // namespace
}  // namespace chwr

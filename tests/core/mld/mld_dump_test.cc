#include "mld/mld_dump.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace chwr {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
}
void Append(Bytes& out, std::initializer_list<std::uint8_t> b) {
  out.insert(out.end(), b);
}
void Put32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

// A complete image laid out by hand: every header chunk and every kind of record.
Bytes SmallImage() {
  Bytes b;
  Append(b, "melo");
  Append(b, {0, 0, 0, 0, 0, 38, 1, 1, 1});
  Append(b, "sorc");
  Append(b, {0, 1, 1});
  Append(b, "titl");
  Append(b, {0, 3, 0xC3, 0xBD, 0xC4});  // ﾃｽﾄ
  Append(b, "vers");
  Append(b, {0, 4});
  Append(b, "0100");
  Append(b, "cipy");
  Append(b, {0, 3});
  Append(b, "abc");
  Append(b, "trac");
  Append(b, {0, 0, 0, 0});
  Append(b, {0, 0xFF, 0xC3, 120, 0, 0xFF, 0xE2, 0x3F, 0, 0xFF, 0xE0, 0x45, 0, 0xFF, 0xE1, 0x42});
  Append(b, {0, 0xFF, 0xF0, 0, 41, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  b.resize(b.size() + 30, 0);
  Append(b, {0, 0xFF, 0xF1, 0, 3, 1, 0x21, 0x40});
  Append(b, {0, 0x27, 24, 24, 0x43, 12, 12, 0x80, 0, 0, 0xFF, 0xDF, 0});
  Put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
  Put32(b, 52, static_cast<std::uint32_t>(b.size() - 56));
  return b;
}

TEST(MldDump, ListsEveryItemOfAWellFormedImage) {
  EXPECT_EQ(DumpMld(SmallImage()),
            "0x0000  magic \"melo\", file size 139 bytes\n"
            "0x0004  file length 131 (file size - 8)\n"
            "0x0008  header length 38 (\"trac\" expected at 0x0030)\n"
            "0x000A  fixed 01 01 01\n"
            "0x000D  chunk \"sorc\" length 1: copy protection on (01)\n"
            "0x0014  chunk \"titl\" length 3: title \"ﾃｽﾄ\" (C3 BD C4)\n"
            "0x001D  chunk \"vers\" length 4: version \"0100\"\n"
            "0x0027  chunk \"cipy\" length 3: protection text \"abc\" (61 62 63)\n"
            "0x0030  chunk \"trac\" length 83 (event stream 0x0038 to 0x008B)\n"
            "0x0038  delta 0  step 0  FF C3 tempo 120, 48 steps per quarter\n"
            "0x003C  delta 0  step 0  FF E2 volume: part 1, volume 63\n"
            "0x0040  delta 0  step 0  FF E0 tone: part 2, tone 5\n"
            "0x0044  delta 0  step 0  FF E1 bank: part 2, bank 2\n"
            "0x0048  delta 0  step 0  FF F0 tone definitions, length 41, first byte 01\n"
            "0x004E    slot 0: 01 02 03 04 05 06 07 08 09 0A\n"
            "0x0058    slot 1: 00 00 00 00 00 00 00 00 00 00 (empty)\n"
            "0x0062    slot 2: 00 00 00 00 00 00 00 00 00 00 (empty)\n"
            "0x006C    slot 3: 00 00 00 00 00 00 00 00 00 00 (empty)\n"
            "0x0076  delta 0  step 0  FF F1 definition selection: part 2, slot 1 (01 21 40)\n"
            "0x007E  delta 0  step 0  note key 0x27: part 1, code 39 O4C, gate 24\n"
            "0x0081  delta 24  step 24  note key 0x43: part 2, code 3 O1C, gate 12\n"
            "0x0084  delta 12  step 36  note key 0x80: part 3, code 0 O0A, gate 0 rest\n"
            "0x0087  delta 0  step 36  FF DF end of track\n");
}

// Each case overwrites a few bytes of the small image at `at` and names a line the
// listing must then hold.
TEST(MldDump, SaysWhereTheLayoutBreaks) {
  using namespace std::string_view_literals;
  const struct {
    std::size_t at;
    std::string_view patch;
    std::string_view line;
  } cases[] = {
      {4, "\0\0\0\x09"sv, "0x0004  file length 9, disagrees with the file size 139 (expected 131)"},
      {0, "MELO", "0x0000  magic \"MELO\" is not \"melo\": not an MLD file; stopped"},
      {11, "\x02", "0x000A  fixed 01 02 01 (expected 01 01 01)"},
      {26, "\x81\x20", "title \"\xEF\xBF\xBD ﾄ\" (81 20 C4), 1 sequence(s) not in code page 932"},
      {26, "\n", "title \"\\x0Aｽﾄ\" (0A BD C4)"},
      {29, "verx", "0x001D  chunk \"verx\" length 4: unknown tag: 30 31 30 30"},
      {9, "\x20", "0x002A  no \"trac\" tag where the header length points"},
      {9, "\x20", "0x0030  \"trac\" found after the last header chunk"},
      {9, "\x28",
       "0x0030  \"trac\" tag before the header end 0x0032: the header length is too large"},
      {9, "\x14", "0x0030  \"trac\" found by searching the file"},
      {43, "\xFF",
       "0x0027  chunk \"cipy\" length 65283 runs past the end of the file (94 bytes left)"},
      {48, "trak", "0x008B  no \"trac\" chunk in the file; stopped"},
      {52, "\0\0\x01\0"sv,
       "0x0034  the track length runs past the end of the file; 83 bytes follow"},
      {52, "\0\0\0\x3E"sv, "0x0076  the stream ends without FF DF end of track"},
      {52, "\0\0\0\x3E"sv, "0x0076  21 byte(s) after the track chunk"},
      {0x3E, "\xE7",
       "0x003C  delta 0  step 0  FF E7 unknown status: its length is unknown; stopped"},
      {0x3A, "\xC5", "FF C5 tempo 120, unknown resolution 5"},
      {0x4B, "\x29",
       "0x0048  delta 0  step 0  truncated record: FF F0 length 10537 runs past the stream"},
      {0x7A, "\x04",
       "0x0076  delta 0  step 0  FF F1 definition selection, length 4 (expected 3): 01 21 40 00"},
      {0x7F, "\xFF\xDF", "0x007E  delta 0  step 0  FF DF end of track, data 18 (expected 00)"},
      {0x7F, "\xFF\xDF", "0x0082  9 byte(s) after the end of track"},
  };
  for (const auto& c : cases) {
    Bytes image = SmallImage();
    std::copy(c.patch.begin(), c.patch.end(), image.begin() + c.at);
    const std::string dump = DumpMld(image);
    EXPECT_NE(dump.find(c.line), std::string::npos) << c.line << "\n" << dump;
  }
}

// Anything may arrive from a file: the listing must stay within the bytes (the
// sanitizers watch that), keep one item per line, and end by naming the break.
void ExpectSafeListing(const Bytes& image, const std::string& what) {
  const std::string dump = DumpMld(image);
  ASSERT_FALSE(dump.empty()) << what;
  ASSERT_EQ(dump.back(), '\n') << what;
  for (std::size_t at = 0; at < dump.size(); at = dump.find('\n', at) + 1)
    ASSERT_EQ(dump.compare(at, 2, "0x"), 0) << what << "\n" << dump;
}

TEST(MldDump, SurvivesTruncatedAndGarbageImages) {
  const Bytes whole = SmallImage();
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const Bytes prefix(whole.begin(), whole.begin() + size);
    ExpectSafeListing(prefix, "prefix " + std::to_string(size));
    const std::string dump = DumpMld(prefix);
    const std::string tail = dump.substr(dump.rfind('\n', dump.size() - 2) + 1);
    EXPECT_TRUE(tail.ends_with("; stopped\n") || tail.ends_with("without FF DF end of track\n"))
        << "prefix " << size << "\n"
        << dump;
  }

  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    Bytes image(rng() % 200);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    ExpectSafeListing(image, "random " + std::to_string(round));
    // Behind a valid file header the chunk and record walkers see the garbage too;
    // extra FF bytes make extended events with random statuses and lengths.
    Bytes behind(whole.begin(), whole.begin() + 13 + rng() % 50);
    behind.insert(behind.end(), image.begin(), image.end());
    for (int k = 0; k < 8; ++k)
      behind.insert(behind.begin() + 13 + rng() % (behind.size() - 12), 0xFF);
    ExpectSafeListing(behind, "garbage after header " + std::to_string(round));
  }

  for (std::size_t at : {4, 8, 24, 43, 52, 0x4B, 0x79}) {
    Bytes image = whole;
    image[at] = image[at + 1] = 0xFF;
    ExpectSafeListing(image, "huge length at " + std::to_string(at));
  }
}

}  // namespace
}  // namespace chwr

#include "text/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chwr {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Cp932, CharactersRoundTripWithTheirWindowsCodes) {
  const std::pair<std::string, Bytes> cases[] = {
      {"亜腕", {0x88, 0x9F, 0x98, 0x72}},    // first and last JIS level-1 kanji
      {"ﾃｽﾄ", {0xC3, 0xBD, 0xC4}},           // half-width katakana: one byte each
      {"―", {0x81, 0x5C}},                   // U+2015, not U+2014
      {"～", {0x81, 0x60}},                  // U+FF5E, not U+301C
      {"①", {0x87, 0x40}},                   // NEC row 13
      {"髙", {0xFB, 0xFC}},                  // IBM extension
      {"\\~", {0x5C, 0x7E}},                 // ASCII, not yen sign and overline
      {"\x1A\x1C\x7F", {0x1A, 0x1C, 0x7F}},  // control codes stay as they are
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(EncodeCp932(text), bytes) << text;
    DecodedText decoded = DecodeCp932(bytes);
    EXPECT_EQ(decoded.utf8, text);
    EXPECT_EQ(decoded.invalidCount, 0u);
  }
}

// Duplicated characters (NEC and IBM copies) may come back under their other code,
// but text must never change on the way through a file.
TEST(Cp932, EveryDecodablePairKeepsItsCharacter) {
  std::size_t level1 = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const Bytes pair = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
      DecodedText decoded = DecodeCp932(pair);
      if (decoded.invalidCount > 0) continue;
      auto encoded = EncodeCp932(decoded.utf8);
      ASSERT_TRUE(encoded) << lead << " " << trail;
      EXPECT_EQ(DecodeCp932(*encoded).utf8, decoded.utf8);
      // JIS level 1 has no duplicates: each of its kanji keeps its own code.
      if (const int code = lead << 8 | trail; code >= 0x889F && code <= 0x9872) {
        EXPECT_EQ(*encoded, pair) << code;
        ++level1;
      }
    }
  }
  EXPECT_EQ(level1, 2965u);                              // the size of JIS level 1
  EXPECT_EQ(DecodeCp932(Bytes{0xEE, 0xE0}).utf8, "髙");  // NEC-selected copy
}

TEST(Cp932, LookAlikesEncodeAsWindowsWritesThem) {
  const std::pair<std::string, Bytes> cases[] = {
      {"〜", {0x81, 0x60}}, {"¬", {0x81, 0xCA}}, {"¢£", {0x81, 0x91, 0x81, 0x92}}};
  for (const auto& [text, bytes] : cases) EXPECT_EQ(EncodeCp932(text), bytes) << text;
}

TEST(Cp932, UndefinedBytesDecodeAsReplacementCharacters) {
  const std::tuple<Bytes, std::string, std::size_t> cases[] = {
      {{0x81, 0x0D, 0x0A}, "\uFFFD\r\n", 1},  // a bad trail byte is kept: the line still ends
      {{0x80, 0xA0, 0xFD, 0xFE, 0xFF}, "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", 5},
      {{0x85, 0x40}, "\uFFFD", 1},   // well-formed but unassigned
      {{0x41, 0x81}, "A\uFFFD", 1},  // lead byte at the end
  };
  for (const auto& [bytes, text, invalid] : cases) {
    DecodedText decoded = DecodeCp932(bytes);
    EXPECT_EQ(decoded.utf8, text);
    EXPECT_EQ(decoded.invalidCount, invalid);
  }
}

TEST(Cp932, CharactersOutsideCodePage932AreNamed) {
  const std::pair<std::string, std::string> cases[] = {
      {"ab😀", "ｼﾌﾄJISで表せない文字(😀)があります。"},
      {"café", "ｼﾌﾄJISで表せない文字(é)があります。"},
      {"\uF8F0", "ｼﾌﾄJISで表せない文字(\uF8F0)があります。"},  // would come back as U+FFFD
      {"a\xFF", "ｼﾌﾄJISで表せない文字(\uFFFD)があります。"},   // not UTF-8 at all
  };
  for (const auto& [text, message] : cases) {
    auto encoded = EncodeCp932(text);
    ASSERT_FALSE(encoded) << text;
    EXPECT_EQ(encoded.error().message, message);
  }
  EXPECT_EQ(Cp932Length("ﾃｽﾄ亜"), 5u);
  EXPECT_EQ(Cp932Length("😀"), std::nullopt);
}

TEST(Utf8, MalformedSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf32("a\xC3(\xE0\x80\x80\xED\xA0\x80z"), U"a\uFFFD(\uFFFD\uFFFDz");
  EXPECT_EQ(Utf32ToUtf8(U"\U0001F600"), "😀");
  EXPECT_EQ(Utf32ToUtf8(std::u32string{0xD800, 0x110000}), "\uFFFD\uFFFD");
}

}  // namespace
}  // namespace chwr

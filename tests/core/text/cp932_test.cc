#include "text/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chwr {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Cp932, CharactersRoundTripWithTheirWindowsCodes) {
  struct Case {
    std::string text;
    Bytes bytes;
  };
  const Case cases[] = {
      {"亜腕", {0x88, 0x9F, 0x98, 0x72}},    // first and last JIS level-1 kanji
      {"ﾃｽﾄ", {0xC3, 0xBD, 0xC4}},           // half-width katakana: one byte each
      {"―", {0x81, 0x5C}},                   // U+2015, not U+2014
      {"～", {0x81, 0x60}},                  // U+FF5E, not U+301C
      {"①", {0x87, 0x40}},                   // NEC row 13
      {"髙", {0xFB, 0xFC}},                  // IBM extension
      {"\\~", {0x5C, 0x7E}},                 // ASCII, not yen sign and overline
      {"\x1A\x1C\x7F", {0x1A, 0x1C, 0x7F}},  // control codes stay as they are
  };
  for (const Case& c : cases) {
    auto encoded = EncodeCp932(c.text);
    ASSERT_TRUE(encoded) << c.text;
    EXPECT_EQ(*encoded, c.bytes) << c.text;
    DecodedText decoded = DecodeCp932(c.bytes);
    EXPECT_EQ(decoded.utf8, c.text);
    EXPECT_EQ(decoded.invalidCount, 0u);
  }
}

TEST(Cp932, EveryLevel1KanjiRoundTrips) {
  Bytes all;
  for (int lead = 0x88; lead <= 0x98; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const int code = lead << 8 | trail;
      if (trail == 0x7F || code < 0x889F || code > 0x9872) continue;
      all.push_back(static_cast<std::uint8_t>(lead));
      all.push_back(static_cast<std::uint8_t>(trail));
    }
  }
  DecodedText decoded = DecodeCp932(all);
  EXPECT_EQ(decoded.invalidCount, 0u);
  EXPECT_EQ(Utf8ToUtf32(decoded.utf8).size(), 2965u);  // the size of JIS level 1
  EXPECT_EQ(EncodeCp932(decoded.utf8), all);
}

// Duplicated characters (NEC and IBM copies) may come back under their other code,
// but text must never change on the way through a file.
TEST(Cp932, EveryDecodablePairKeepsItsCharacter) {
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const Bytes pair = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
      DecodedText decoded = DecodeCp932(pair);
      if (decoded.invalidCount > 0) continue;
      auto encoded = EncodeCp932(decoded.utf8);
      ASSERT_TRUE(encoded) << lead << " " << trail;
      EXPECT_EQ(DecodeCp932(*encoded).utf8, decoded.utf8);
    }
  }
  EXPECT_EQ(DecodeCp932(Bytes{0xEE, 0xE0}).utf8, "髙");  // NEC-selected copy
}

TEST(Cp932, LookAlikesEncodeAsWindowsWritesThem) {
  const std::pair<std::string, Bytes> cases[] = {
      {"〜", {0x81, 0x60}}, {"¬", {0x81, 0xCA}}, {"¢£", {0x81, 0x91, 0x81, 0x92}}};
  for (const auto& [text, bytes] : cases) EXPECT_EQ(EncodeCp932(text), bytes) << text;
}

TEST(Cp932, UndefinedBytesDecodeAsReplacementCharacters) {
  struct Case {
    Bytes bytes;
    std::string text;
    std::size_t invalid;
  };
  const Case cases[] = {
      {{0x81, 0x20}, "\uFFFD ", 1},  // bad trail byte is kept
      {{0x81, 0x0D, 0x0A}, "\uFFFD\r\n", 1},
      {{0xA0}, "\uFFFD", 1},
      {{0x80}, "\uFFFD", 1},
      {{0xFD, 0xFE, 0xFF}, "\uFFFD\uFFFD\uFFFD", 3},
      {{0x85, 0x40}, "\uFFFD", 1},   // well-formed but unassigned
      {{0x41, 0x81}, "A\uFFFD", 1},  // lead byte at the end
      {{0x82, 0xA0, 0xFF, 0x41}, "あ\uFFFDA", 1},
  };
  for (const Case& c : cases) {
    DecodedText decoded = DecodeCp932(c.bytes);
    EXPECT_EQ(decoded.utf8, c.text);
    EXPECT_EQ(decoded.invalidCount, c.invalid);
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

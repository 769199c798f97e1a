#include "mail/melody_mail.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace chwr {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

// RFC 4648 section 10; together they cover lengths 3n, 3n + 1 and 3n + 2.
TEST(MelodyMail, EncodesTheStandardVectors) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, code] : cases) EXPECT_EQ(EncodeBase64(B(plain)), code) << plain;
  // Every index, the high ones included, lands on the right character.
  EXPECT_EQ(
      EncodeBase64(Bytes{0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30, 0xD3, 0x8F,
                         0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96, 0x9B, 0x71, 0xD7, 0x9F,
                         0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7, 0xA2, 0x9A, 0xAB, 0xB2, 0xDB, 0xAF,
                         0xC3, 0x1C, 0xB3, 0xD3, 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF}),
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(MelodyMail, DecodesThreeBytesPerGroupWhateverTheSeparators) {
  const std::pair<std::string_view, Bytes> cases[] = {
      {"Zm9vYmFy", B("foobar")},
      {"Zg==", B(std::string_view("f\0\0", 3))},  // padding turns into 00 bytes
      {"Zm8=", B(std::string_view("fo\0", 3))},
      {"Zm9vYg", B(std::string_view("foob\0\0", 6))},  // a short last group counts as 0
      {"Zm9vY", B(std::string_view("foo`\0\0", 6))},
      {"Zm9vYmFy\r\n", B("foobar")},
      {"Zm9v\nYmFy\n", B("foobar")},
      {"Zm9v\rYmFy\r", B("foobar")},
      {"\r\n Zm9v\tYm Fy\u3000\r\n", B("foobar")},
  };
  for (const auto& [text, bytes] : cases) {
    auto decoded = DecodeBase64(text);
    ASSERT_TRUE(decoded) << text << ": " << decoded.error().message;
    EXPECT_EQ(*decoded, bytes) << text;
  }
}

TEST(MelodyMail, RefusesForeignCharactersNamingTheFirst) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Zm9v-YmFy", "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(-)があります。"},
      {"Zm9vＹmFy", "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(Ｙ)があります。"},
      {"Zm9v_Ym.Fy", "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(_)があります。"},
      {"Zm9v\x01YmFy", "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(U+0001)があります。"},
      {"", "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列がありません。"},
      {" \r\n\u3000", "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列がありません。"},
  };
  for (const auto& [text, message] : cases) {
    auto decoded = DecodeBase64(text);
    ASSERT_FALSE(decoded) << text;
    EXPECT_EQ(decoded.error().message, message);
  }
  for (char32_t c : {U'-', U'_', U' ', U'\u00C1', U'Ａ', U'\U0001F600'})
    EXPECT_EQ(Base64Index(c), -1);
}

TEST(MelodyMail, MakesTheMailTextAndItsReport) {
  const std::string mail = MakeMailText(B("foob"));
  EXPECT_EQ(mail, "--B:M\r\nZm9vYg==");
  EXPECT_EQ(MailReportText(mail),
            "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾒｰﾙ(15ﾊﾞｲﾄ)を保存しました。ﾒｰﾙ本文に貼り付けて下さい。\r\n\r\n"
            "(注意：最後の行に改行は入れないで下さい。)");
}

TEST(MelodyMail, ReadsClipboardTextWithOrWithoutTheMarker) {
  const std::pair<std::string_view, Bytes> cases[] = {
      {"--B:M\r\nZm9vYmFy", B("foobar")},
      {"--B:M\r\nZm9vYmFy\r\n", B("foobar")},
      {"--B:M\nZm9vYmFy", B("foobar")},
      {"Zm9vYmFy", B("foobar")},
      {"\r\n--B:M\r\nZm9vYmFy", B("foobar")},  // a seven-character cut would eat "Zm"
      {"ｺﾚ聴いて!\r\n--B:M\r\nZm9vYmFy", B("foobar")},
  };
  for (const auto& [text, bytes] : cases) {
    auto decoded = MailTextToBytes(text);
    ASSERT_TRUE(decoded) << text << ": " << decoded.error().message;
    EXPECT_EQ(*decoded, bytes) << text;
  }
  EXPECT_EQ(MailTextToBytes("--B:M\r\n").error().message, "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列がありません。");
  EXPECT_EQ(MailTextToBytes("--B:M\r\nZm9v!").error().message,
            "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(!)があります。");
}

TEST(MelodyMail, RoundTripsRandomImagesUpToThePadding) {
  std::mt19937 rng(20240521);
  for (std::size_t size = 1; size < 200; ++size) {
    Bytes image(size);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    auto decoded = MailTextToBytes(MakeMailText(image));
    ASSERT_TRUE(decoded) << size;
    Bytes expected = image;
    expected.resize((size + 2) / 3 * 3, 0);
    EXPECT_EQ(*decoded, expected) << size;
  }
}

}  // namespace
}  // namespace chwr

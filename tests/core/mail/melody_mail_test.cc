#include "mail/melody_mail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace chwr {
namespace {

using test::Bytes;
using namespace std::string_view_literals;
constexpr auto B = test::Ascii;

// RFC 4648 section 10: the prefixes of "foobar" cover lengths 3n, 3n + 1 and 3n + 2.
TEST(MelodyMail, EncodesTheStandardVectors) {
  const std::string_view codes[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (std::size_t n = 0; n < std::size(codes); ++n)
    EXPECT_EQ(EncodeBase64(B("foobar"sv.substr(0, n))), codes[n]) << n;
  // Every index, the high ones included, lands on the right character.
  EXPECT_EQ(
      EncodeBase64(Bytes{0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30, 0xD3, 0x8F,
                         0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96, 0x9B, 0x71, 0xD7, 0x9F,
                         0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7, 0xA2, 0x9A, 0xAB, 0xB2, 0xDB, 0xAF,
                         0xC3, 0x1C, 0xB3, 0xD3, 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF}),
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(MelodyMail, DecodesThreeBytesPerGroupWhateverTheSeparators) {
  auto decoded = [](std::string_view text) { return DecodeBase64(text).value_or(Bytes{}); };
  EXPECT_EQ(decoded("Zm9vYmFy"), B("foobar"));
  EXPECT_EQ(decoded("Zg=="), B("f\0\0"sv));       // padding turns into 00 bytes
  EXPECT_EQ(decoded("Zm9vYg"), B("foob\0\0"sv));  // so do the characters a short last group lacks
  EXPECT_EQ(decoded("Zm9vY"), B("foo`\0\0"sv));
  EXPECT_EQ(decoded("\r\n Zm9v\tYm\rFy\u3000\n"), B("foobar"));
}

TEST(MelodyMail, RefusesForeignCharactersNamingTheFirst) {
  const std::pair<std::string_view, std::string_view> cases[] = {
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
  for (std::string_view text : {"--B:M\nZm9vYmFy", "Zm9vYmFy", "ｺﾚ聴いて!\r\n--B:M\r\nZm9vYmFy\r\n",
                                "\r\n--B:M\r\nZm9vYmFy"}) {  // a seven-character cut would eat "Zm"
    EXPECT_EQ(MailTextToBytes(text).value_or(Bytes{}), B("foobar")) << text;
  }
  EXPECT_EQ(MailTextToBytes("--B:M\r\n").error().message, "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列がありません。");
  EXPECT_EQ(MailTextToBytes("--B:M\r\nZm9v!").error().message,
            "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(!)があります。");
}

}  // namespace
}  // namespace chwr

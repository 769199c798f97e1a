#pragma once
// Code page 932 (Shift-JIS as Windows writes it) <-> UTF-8.
//
// Decoding never fails: a byte sequence that code page 932 does not define
// becomes U+FFFD, and the count of such places is reported so callers can warn.
// Encoding refuses text with a character that code page 932 lacks instead of
// silently writing "?" in its place; the caller names the character to the user.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// The outcome of decoding code page 932 bytes.
struct DecodedText {
  std::string utf8;              ///< the text, invalid sequences replaced by U+FFFD
  std::size_t invalidCount = 0;  ///< how many sequences were replaced
};

/// Decodes code page 932 bytes to UTF-8 (never fails).
DecodedText DecodeCp932(std::span<const std::uint8_t> bytes);

/// Encodes UTF-8 text as code page 932. Fails, naming the first character that
/// code page 932 cannot hold (or invalid UTF-8), with the message
/// "ｼﾌﾄJISで表せない文字(X)があります。".
Result<std::vector<std::uint8_t>> EncodeCp932(std::string_view utf8);

/// Byte length of `utf8` once encoded as code page 932, or nullopt when it cannot be.
std::optional<std::size_t> Cp932Length(std::string_view utf8);

/// UTF-8 <-> UTF-32 helpers used by the text-processing code. Invalid UTF-8
/// sequences decode to U+FFFD.
std::u32string Utf8ToUtf32(std::string_view utf8);
std::string Utf32ToUtf8(std::u32string_view text);
/// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace chwr

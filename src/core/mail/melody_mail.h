#pragma once
// Melody mail: an MLD image as base64 text behind the marker line "--B:M", meant to
// be pasted into the body of a mail to a handset, and the way back from such text.
//
// The codec is the handsets' own: the encoder is plain RFC 4648 base64 on one line;
// the decoder turns every group of four characters into three bytes, so padding
// comes back as trailing 00 bytes (the MLD reader ignores bytes past the lengths the
// image states). Blanks and line breaks that mail programs add are skipped; any
// other foreign character refuses the text rather than yielding a garbled song.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// The marker line that opens every melody mail.
inline constexpr std::string_view kMailMarker = "--B:M";

/// Standard base64 of `bytes` on one line, "=" padded.
std::string EncodeBase64(std::span<const std::uint8_t> bytes);

/// Position of `c` in the base64 alphabet (0..63), 0 for "=", -1 for anything else.
int Base64Index(char32_t c);

/// Decodes UTF-8 base64 text, three bytes per group of four characters (padding and
/// missing characters of a short last group count as 0). Blanks and line breaks are
/// skipped. Fails with "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(X)があります。" naming the first
/// other foreign character, and with "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列がありません。" when nothing is left.
Result<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

/// The mail text for an MLD image: marker, CR LF, base64; no trailing line break.
std::string MakeMailText(std::span<const std::uint8_t> mldImage);

/// The confirmation shown after the mail text went to the clipboard.
std::string MailReportText(std::string_view mailText);

/// Decodes clipboard text: anything up to and including the first marker and the
/// line break after it is dropped; text without the marker is decoded whole.
Result<std::vector<std::uint8_t>> MailTextToBytes(std::string_view clipboardText);

}  // namespace chwr

#include "mail/melody_mail.h"

#include <cstdio>

#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Mail programs and editors wrap, indent and re-break pasted text; none of these
// characters can be part of the code, so dropping them cannot change the song.
bool IsBlankOrBreak(char32_t c) {
  switch (c) {
    case U' ':
    case U'\t':
    case U'\r':
    case U'\n':
    case U'\v':
    case U'\f':
    case U'\u0085':  // next line
    case U'\u2028':  // line separator
    case U'\u2029':  // paragraph separator
    case U'\u3000':  // ideographic space, typed by Japanese input methods
      return true;
    default:
      return false;
  }
}

// A control character would be invisible inside the message, so it is named by
// its code instead.
std::string NameCharacter(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
  }
  std::string out;
  AppendUtf8(out, c);
  return out;
}

}  // namespace

std::string EncodeBase64(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const unsigned b1 = bytes[i];
    const unsigned b2 = left > 1 ? bytes[i + 1] : 0;
    const unsigned b3 = left > 2 ? bytes[i + 2] : 0;
    out += kAlphabet[b1 >> 2];
    out += kAlphabet[((b1 & 3) << 4) + (b2 >> 4)];
    out += left > 1 ? kAlphabet[((b2 & 15) << 2) + (b3 >> 6)] : '=';
    out += left > 2 ? kAlphabet[b3 & 63] : '=';
  }
  return out;
}

int Base64Index(char32_t c) {
  if (c == U'=') return 0;
  if (c > 0x7F) return -1;
  const std::size_t pos = kAlphabet.find(static_cast<char>(c));
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

Result<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<int> indices;
  indices.reserve(text.size());
  for (char32_t c : Utf8ToUtf32(text)) {
    if (IsBlankOrBreak(c)) continue;
    const int index = Base64Index(c);
    if (index < 0) {
      return Fail(msg::BadMailCharacter(NameCharacter(c)), DiagnosticCode::kInvalidFormat);
    }
    indices.push_back(index);
  }
  if (indices.empty()) return Fail(msg::kNoMailText, DiagnosticCode::kInvalidFormat);

  std::vector<std::uint8_t> out;
  out.reserve((indices.size() + 3) / 4 * 3);
  for (std::size_t g = 0; g < indices.size(); g += 4) {
    auto at = [&](std::size_t k) { return g + k < indices.size() ? indices[g + k] : 0; };
    const int i1 = at(0), i2 = at(1), i3 = at(2), i4 = at(3);
    out.push_back(static_cast<std::uint8_t>(i1 * 4 + (i2 & 48) / 16));
    out.push_back(static_cast<std::uint8_t>((i2 & 15) * 16 + (i3 & 60) / 4));
    out.push_back(static_cast<std::uint8_t>((i3 & 3) * 64 + i4));
  }
  return out;
}

std::string MakeMailText(std::span<const std::uint8_t> mldImage) {
  std::string text(kMailMarker);
  text += "\r\n";
  text += EncodeBase64(mldImage);
  return text;
}

std::string MailReportText(std::string_view mailText) {
  // The mail text is ASCII, so its byte count is its character count.
  return msg::MailSaved(mailText.size());
}

Result<std::vector<std::uint8_t>> MailTextToBytes(std::string_view clipboardText) {
  // Dropping a fixed seven characters would eat code when the marker is not at the
  // very start, or keep a greeting in front of it; cutting at the marker itself
  // behaves the same for the mail text we write and mends both cases.
  std::string_view rest = clipboardText;
  if (const std::size_t at = rest.find(kMailMarker); at != std::string_view::npos) {
    rest.remove_prefix(at + kMailMarker.size());
    if (rest.starts_with("\r\n")) {
      rest.remove_prefix(2);
    } else if (rest.starts_with('\r') || rest.starts_with('\n')) {
      rest.remove_prefix(1);
    }
  }
  return DecodeBase64(rest);
}

}  // namespace chwr

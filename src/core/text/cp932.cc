#include "text/cp932.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>

#include "messages.h"

namespace chwr {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's "windows-31j" has code page 932's double-byte characters, NEC and IBM
// extensions included, and prefers the IBM codes (0xFA-0xFC) for the duplicates as
// Windows does; its single-byte table differs and is not used.
ConverterPtr OpenCp932() {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr cnv(ucnv_open("windows-31j", &status));
  if (U_FAILURE(status)) return nullptr;
  return cnv;
}

// Code page 932 byte classes. 0x80, 0xA0 and 0xFD-0xFF are undefined: Windows
// hands them out as private-use characters, which no handset or text file means.
bool IsLeadByte(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrailByte(std::uint8_t b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
bool IsHalfWidthKana(std::uint8_t b) {
  return b >= 0xA1 && b <= 0xDF;
}

constexpr int kLeadCount = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);
constexpr int kTrailSpan = 0xFC - 0x40 + 1;

int PairIndex(std::uint8_t lead, std::uint8_t trail) {
  const int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1);
  return row * kTrailSpan + (trail - 0x40);
}

// The double-byte half of code page 932, taken from ICU once; 0 marks a pair
// without a character. Single bytes are decoded by hand because ICU's
// "windows-31j" (really IBM-943) swaps 0x1A, 0x1C and 0x7F with other control
// codes, which Windows does not do.
const std::vector<char16_t>& PairTable() {
  static const std::vector<char16_t> table = [] {
    std::vector<char16_t> t(kLeadCount * kTrailSpan, 0);
    ConverterPtr cnv = OpenCp932();
    if (!cnv) return t;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsLeadByte(static_cast<std::uint8_t>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (!IsTrailByte(static_cast<std::uint8_t>(trail))) continue;
        const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        UChar out[4];
        status = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(cnv.get(), out, 4, in, 2, &status);
        if (U_SUCCESS(status) && n == 1 && !U16_IS_SURROGATE(out[0])) {
          t[static_cast<std::size_t>(PairIndex(static_cast<std::uint8_t>(lead),
                                               static_cast<std::uint8_t>(trail)))] = out[0];
        }
      }
    }
    return t;
  }();
  return table;
}

// Windows "best fit" writes these Latin-1 signs as their full-width forms; ICU has no
// mapping for them, and refusing a pasted "¬" would only puzzle the user.
std::optional<std::uint16_t> ExtraFallback(char32_t cp) {
  switch (cp) {
    case 0x00A2:  // ¢ -> ￠
      return 0x8191;
    case 0x00A3:  // £ -> ￡
      return 0x8192;
    case 0x00AC:  // ¬ -> ￢
      return 0x81CA;
    default:
      return std::nullopt;
  }
}

// What ICU may produce that decoding would not give back: the single bytes Windows
// reserves for private-use characters.
bool DecodesBack(const char* bytes, int32_t length) {
  if (length == 1)
    return static_cast<std::uint8_t>(bytes[0]) < 0x80 ||
           IsHalfWidthKana(static_cast<std::uint8_t>(bytes[0]));
  return length == 2 && IsLeadByte(static_cast<std::uint8_t>(bytes[0])) &&
         IsTrailByte(static_cast<std::uint8_t>(bytes[1]));
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  // Surrogates and values past Unicode have no UTF-8 form; keep the output valid.
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::u32string Utf8ToUtf32(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i = ok ? j : std::max(j, i + 1);
      continue;
    }
    out.push_back(cp);
    i = j;
  }
  return out;
}

std::string Utf32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) AppendUtf8(out, cp);
  return out;
}

DecodedText DecodeCp932(std::span<const std::uint8_t> bytes) {
  DecodedText result;
  result.utf8.reserve(bytes.size() + bytes.size() / 2);
  // The pair table is built on first use: a text of ASCII and half-width katakana, as
  // most songs are, never pays for it.
  const std::vector<char16_t>* pairs = nullptr;
  auto invalid = [&] {
    AppendUtf8(result.utf8, 0xFFFD);
    ++result.invalidCount;
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      // ASCII goes over in runs.
      std::size_t end = i + 1;
      while (end < bytes.size() && bytes[end] < 0x80) ++end;
      result.utf8.append(reinterpret_cast<const char*>(bytes.data() + i), end - i);
      i = end - 1;
    } else if (IsHalfWidthKana(b)) {
      AppendUtf8(result.utf8, 0xFF61 + (b - 0xA1));
    } else if (!IsLeadByte(b)) {
      invalid();
    } else if (i + 1 < bytes.size() && IsTrailByte(bytes[i + 1])) {
      // An unassigned pair is one bad character; a bad trail byte is not swallowed
      // by the lead before it, so "\x81\r\n" still ends a line.
      if (!pairs) pairs = &PairTable();
      const char16_t u = (*pairs)[static_cast<std::size_t>(PairIndex(b, bytes[i + 1]))];
      ++i;
      if (u == 0) {
        invalid();
      } else {
        AppendUtf8(result.utf8, u);
      }
    } else {
      invalid();
    }
  }
  return result;
}

Result<std::vector<std::uint8_t>> EncodeCp932(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  if (utf8.empty()) return out;
  ConverterPtr cnv = OpenCp932();
  if (!cnv) return Fail(msg::kCp932Unavailable);
  // Some characters have a one-way mapping that Windows also uses when saving
  // (e.g. U+301C WAVE DASH -> 0x8160); with fallbacks on we write what a
  // Windows program would, instead of refusing text that looks fine on screen.
  ucnv_setFallback(cnv.get(), true);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  // Convert one code point at a time so a refusal can name the character.
  // Invalid UTF-8 arrives here as U+FFFD, which code page 932 lacks as well.
  const std::u32string text = Utf8ToUtf32(utf8);
  out.reserve(utf8.size());
  char buffer[8];
  for (char32_t cp : text) {
    if (cp < 0x80) {
      // ASCII is itself in code page 932; ICU's table would swap some control codes.
      out.push_back(static_cast<std::uint8_t>(cp));
      continue;
    }
    if (std::optional<std::uint16_t> pair = ExtraFallback(cp)) {
      out.push_back(static_cast<std::uint8_t>(*pair >> 8));
      out.push_back(static_cast<std::uint8_t>(*pair & 0xFF));
      continue;
    }
    UChar u[2];
    int32_t ulen = 0;
    if (cp > 0xFFFF) {
      u[0] = U16_LEAD(cp), u[1] = U16_TRAIL(cp), ulen = 2;
    } else {
      u[0] = static_cast<UChar>(cp), ulen = 1;
    }
    status = U_ZERO_ERROR;
    const int32_t blen = ucnv_fromUChars(cnv.get(), buffer, sizeof buffer, u, ulen, &status);
    if (U_FAILURE(status) || blen <= 0 || !DecodesBack(buffer, blen)) {
      std::string shown;
      AppendUtf8(shown, cp);
      return Fail(msg::NotInCp932(shown));
    }
    out.insert(out.end(), buffer, buffer + blen);
  }
  return out;
}

std::optional<std::size_t> Cp932Length(std::string_view utf8) {
  auto bytes = EncodeCp932(utf8);
  if (!bytes) return std::nullopt;
  return bytes->size();
}

}  // namespace chwr

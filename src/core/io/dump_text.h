#pragma once
// What the file listings (`chwr dump` of MLD, SMD and MIDI files) share: offsets, bytes
// and lines written one way.

#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <string_view>

namespace chwr {

/// An offset into a file as the listings print it: "0x002A".
inline std::string DumpOffset(std::uint64_t at) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%04llX", static_cast<unsigned long long>(at));
  return buf;
}

/// One byte as two upper-case hexadecimal digits.
inline std::string DumpHex2(unsigned v) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFFu);
  return buf;
}

/// Bytes as blank-separated hex pairs: at most `max` of them, then the count of the rest.
inline std::string DumpHexRun(std::span<const std::uint8_t> bytes,
                              std::size_t max = std::numeric_limits<std::size_t>::max()) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
    if (!out.empty()) out += ' ';
    out += DumpHex2(bytes[i]);
  }
  if (bytes.size() > max) out += " ... (" + std::to_string(bytes.size() - max) + " more)";
  return out;
}

/// A text as one quoted item that keeps to its line whatever it holds: control bytes as
/// "\xNN", quotes and backslashes escaped, everything else as it is.
inline std::string DumpQuoted(std::string_view utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) {
      out += "\\x" + DumpHex2(b);
    } else {
      if (ch == '"' || ch == '\\') out += '\\';
      out += ch;
    }
  }
  return out + "\"";
}

/// Appends one listing line: the offset, two blanks, the text.
inline void AppendDumpLine(std::string& out, std::uint64_t at, std::string_view text) {
  out += DumpOffset(at);
  out += "  ";
  out += text;
  out += '\n';
}

}  // namespace chwr

#include "smd/smd_dump.h"

#include <cstdio>
#include <string_view>

#include "io/byte_reader.h"
#include "io/dump_text.h"
#include "mml/notation.h"
#include "smd/smd_writer.h"

namespace chwr {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
    out += buf;
  }
  return out;
}

// The length a length index stands for outside triplets: a sixteenth, doubling up to a half.
std::string_view LengthOfIndex(int index) {
  return *LengthName(12 << (index & 3), 48);
}

// The k-th note of window w, counted as the MLD counts its note codes.
std::string WindowNote(int window, int k) {
  return MldKeyText(smd::WindowLowNote(window) + k);
}

}  // namespace

std::string DumpSmd(std::span<const std::uint8_t> bytes) {
  std::string out;
  auto line = [&](std::size_t at, std::size_t n, std::string_view meaning) {
    out += DumpOffset(at) + "  " + Hex(bytes.subspan(at, n)) + "  ";
    out += meaning;
    out += '\n';
  };
  const ByteReader r(bytes);
  const std::size_t first = r.Find("\x1B$D", 0, bytes.size()).value_or(bytes.size());
  if (first > 0) line(0, first, "title bytes (" + std::to_string(first) + ")");
  if (first == bytes.size()) {
    out += "no part run (1B 24 44)\n";
    return out;
  }
  std::size_t at = first;
  int part = 0;
  while (at < bytes.size()) {
    if (!r.MatchesAt(at, "\x1B$D")) {
      line(at, 1, "outside a part run: skipped");
      ++at;
      continue;
    }
    line(at, 3, "part run " + std::to_string(++part) + " starts (window 2)");
    at += 3;
    int window = 2;
    bool ended = false;
    bool tempoPlace = true;
    while (at < bytes.size() && !ended) {
      const std::uint8_t b = bytes[at];
      if (b == 0x0F) {
        line(at, 1, "part run ends");
        ++at;
        ended = true;
      } else if (b == 0x1B && r.MatchesAt(at, "\x1B$D")) {
        break;
      } else if (b == 0x21) {
        if (at + 1 >= bytes.size()) {
          line(at, 1, "cut short: control code without its second byte");
          ++at;
          break;
        }
        const std::uint8_t c = bytes[at + 1];
        std::string meaning;
        if (tempoPlace && (c == 0x28 || c == 0x2A || c == 0x2B)) {
          meaning = c == 0x28 ? "tempo class: fast (126-255)"
                    : c == 0x2A ? "tempo class: a little slow (95-107)"
                                : "tempo class: slow (0-94)";
        } else if (c == 0x22 || c == 0x23 || c == 0x24) {
          window = c == 0x22 ? 3 : c == 0x23 ? 1 : 2;
          meaning = "window " + std::to_string(window);
        } else if (c == 0x25) {
          meaning = "triplet mark (one note three times)";
        } else if (c == 0x26) {
          meaning = "triplet mark (three notes)";
        } else {
          meaning = "unknown control code";
        }
        line(at, 2, meaning);
        at += 2;
      } else if (b == 0x22) {
        line(at, 1, "tie");
        ++at;
      } else if (b >= 0x23 && b <= 0x26) {
        line(at, 1, "rest, length index " + std::to_string(b - 0x23) + " (" +
                        std::string(LengthOfIndex(b - 0x23)) + ")");
        ++at;
      } else if (b >= 0x28 && b <= 0x7F) {
        const int index = b & 3;
        line(at, 1, "note " + WindowNote(window, (b - 0x28) / 4) + ", length index " +
                        std::to_string(index) + " (" + std::string(LengthOfIndex(index)) + ")");
        ++at;
      } else {
        line(at, 1, "not a code of the tables: skipped");
        ++at;
      }
      tempoPlace = false;
    }
    if (!ended) out += "part run " + std::to_string(part) + " is cut short: no 0F\n";
  }
  return out;
}

}  // namespace chwr

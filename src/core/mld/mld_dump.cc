#include "mld/mld_dump.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "io/byte_reader.h"
#include "io/dump_text.h"
#include "mld/mld_format.h"
#include "mml/notation.h"
#include "text/cp932.h"

namespace chwr {
namespace {

using mld::kDefinitionBlockLength;
using mld::kDefinitionSlotSize;
using mld::kFixedAt;
constexpr std::size_t kChunksAt = mld::kFirstChunkAt;

std::string HexRun(std::span<const std::uint8_t> bytes) {
  return bytes.empty() ? "(empty)" : DumpHexRun(bytes);
}

// ASCII fields (tags, "vers"): bytes past 0x7F would not be valid UTF-8 in the listing.
std::string QuotedAscii(std::span<const std::uint8_t> bytes) {
  std::string out = "\"";
  for (std::uint8_t b : bytes) {
    if (b < 0x20 || b >= 0x7F) {
      out += "\\x" + DumpHex2(b);
    } else {
      if (b == '"' || b == '\\') out += '\\';
      out += static_cast<char>(b);
    }
  }
  return out + "\"";
}

std::string CodePageText(std::span<const std::uint8_t> bytes) {
  const DecodedText text = DecodeCp932(bytes);
  std::string out = DumpQuoted(text.utf8) + " (" + HexRun(bytes) + ")";
  if (text.invalidCount > 0)
    out += ", " + std::to_string(text.invalidCount) + " sequence(s) not in code page 932";
  return out;
}

std::string PartOf(std::uint8_t b) {
  return "part " + std::to_string((b >> 6) + 1);
}

class Dumper {
 public:
  explicit Dumper(std::span<const std::uint8_t> bytes) : b_(bytes), r_(bytes) {}

  std::string Run() {
    if (!Header()) return std::move(out_);
    std::optional<std::size_t> trac = Chunks();
    if (!trac) trac = FindTrack();
    if (trac) Track(*trac);
    return std::move(out_);
  }

 private:
  void Line(std::size_t at, std::string_view text) { AppendDumpLine(out_, at, text); }

  bool Has(std::size_t at, std::size_t n) const { return r_.Has(at, n); }
  std::size_t Left(std::size_t at) const { return at < b_.size() ? b_.size() - at : 0; }

  bool Truncated(std::size_t at, std::string_view what, std::size_t need) {
    Line(at, "truncated: " + std::string(what) + " needs " + std::to_string(need) + " byte(s), " +
                 std::to_string(Left(at)) + " left; stopped");
    return false;
  }

  unsigned U16(std::size_t at) const { return r_.U16At(at); }
  std::uint32_t U32(std::size_t at) const { return r_.U32At(at); }
  bool TagAt(std::size_t at, std::string_view tag) const { return r_.MatchesAt(at, tag); }

  bool Header() {
    const std::string size = std::to_string(b_.size());
    if (!Has(0, 4)) return Truncated(0, "the magic \"melo\"", 4);
    if (!TagAt(0, mld::kMagic)) {
      Line(0, "magic " + QuotedAscii(b_.first(4)) + " is not \"melo\": not an MLD file; stopped");
      return false;
    }
    Line(0, "magic \"melo\", file size " + size + " bytes");

    if (!Has(4, 4)) return Truncated(4, "the file length", 4);
    const std::uint32_t fileLength = U32(4);
    std::string text = "file length " + std::to_string(fileLength);
    if (fileLength == b_.size() - 8) {
      text += " (file size - 8)";
    } else {
      text += ", disagrees with the file size " + size + " (expected " +
              std::to_string(b_.size() - 8) + ")";
    }
    Line(4, text);

    if (!Has(8, 2)) return Truncated(8, "the header length", 2);
    headerEnd_ = kFixedAt + U16(8);
    text = "header length " + std::to_string(U16(8)) + " (\"trac\" expected at " +
           DumpOffset(headerEnd_) + ")";
    if (headerEnd_ < kChunksAt) text += ", shorter than the 3 fixed bytes";
    Line(8, text);

    if (!Has(kFixedAt, 3)) return Truncated(kFixedAt, "the fixed bytes", 3);
    text = "fixed " + HexRun(b_.subspan(kFixedAt, 3));
    if (b_[10] != 1 || b_[11] != 1 || b_[12] != 1) text += " (expected 01 01 01)";
    Line(kFixedAt, text);
    return true;
  }

  static std::string ChunkData(std::string_view tag, std::span<const std::uint8_t> data) {
    if (tag == "sorc" && data.size() == 1) {
      if (data[0] == 0) return "copy protection off (00)";
      if (data[0] == 1) return "copy protection on (01)";
      return "copy protection, unexpected value " + DumpHex2(data[0]);
    }
    if (tag == "titl") return "title " + CodePageText(data);
    if (tag == "cipy") return "protection text " + CodePageText(data);
    if (tag == "vers") return "version " + QuotedAscii(data);
    if (tag == "sorc") return "copy protection, unexpected length: " + HexRun(data);
    return "unknown tag: " + HexRun(data);
  }

  // Walks the header chunks up to the header end. Returns the offset of a mld::kTrackTag
  // chunk met on the way (the header length was too large); otherwise leaves the
  // offset where the walk stopped cleanly in walkEnd_.
  std::optional<std::size_t> Chunks() {
    std::size_t at = kChunksAt;
    while (at < headerEnd_) {
      if (!Has(at, 6)) {
        Line(at, "truncated chunk: tag and length need 6 bytes, " + std::to_string(Left(at)) +
                     " left; header ends here");
        return std::nullopt;
      }
      const std::string_view tag(reinterpret_cast<const char*>(b_.data() + at), 4);
      if (tag == mld::kTrackTag) {
        Line(at, "\"trac\" tag before the header end " + DumpOffset(headerEnd_) +
                     ": the header length is too large");
        return at;
      }
      const std::size_t length = U16(at + 4);
      const std::string head =
          "chunk " + QuotedAscii(b_.subspan(at, 4)) + " length " + std::to_string(length);
      if (!Has(at + 6, length)) {
        Line(at, head + " runs past the end of the file (" + std::to_string(Left(at + 6)) +
                     " bytes left); header ends here");
        return std::nullopt;
      }
      Line(at, head + ": " + ChunkData(tag, b_.subspan(at + 6, length)));
      at += 6 + length;
      if (at > headerEnd_) {
        Line(at, "the chunk ends past the header end " + DumpOffset(headerEnd_));
      }
    }
    walkEnd_ = at;
    return std::nullopt;
  }

  // Where the header length does not lead to mld::kTrackTag, the next best places are the
  // end of the last chunk and, failing that, the first mld::kTrackTag anywhere after the
  // fixed bytes; either is announced so the reader of the listing knows it is a guess.
  std::optional<std::size_t> FindTrack() {
    if (TagAt(headerEnd_, mld::kTrackTag)) return headerEnd_;
    Line(headerEnd_, "no \"trac\" tag where the header length points");
    if (walkEnd_ && *walkEnd_ != headerEnd_ && TagAt(*walkEnd_, mld::kTrackTag)) {
      Line(*walkEnd_, "\"trac\" found after the last header chunk");
      return walkEnd_;
    }
    for (std::size_t at = kChunksAt; Has(at, 4); ++at) {
      if (TagAt(at, mld::kTrackTag)) {
        Line(at, "\"trac\" found by searching the file");
        return at;
      }
    }
    Line(b_.size(), "no \"trac\" chunk in the file; stopped");
    return std::nullopt;
  }

  void Track(std::size_t at) {
    if (!Has(at, 8)) {
      Truncated(at, "the \"trac\" tag and length", 8);
      return;
    }
    const std::uint32_t length = U32(at + 4);
    const std::size_t start = at + 8;
    const std::uint64_t statedEnd = std::uint64_t{start} + length;
    Line(at, "chunk \"trac\" length " + std::to_string(length) + " (event stream " +
                 DumpOffset(start) + " to " + DumpOffset(statedEnd) + ")");
    std::size_t end = start + length;
    if (statedEnd > b_.size()) {
      Line(at + 4, "the track length runs past the end of the file; " +
                       std::to_string(Left(start)) + " bytes follow");
      end = b_.size();
    }
    Records(start, end);
    if (end < b_.size()) {
      Line(end, std::to_string(b_.size() - end) + " byte(s) after the track chunk");
    }
  }

  void Records(std::size_t at, std::size_t end) {
    std::uint64_t step = 0;
    while (at < end) {
      const unsigned delta = b_[at];
      step += delta;
      const std::string head =
          "delta " + std::to_string(delta) + "  step " + std::to_string(step) + "  ";
      const std::size_t e = at + 1;
      if (e >= end) {
        Line(at, head + "truncated record: the stream ends after the delta; stopped");
        return;
      }
      if (b_[e] != mld::kExtended) {
        if (e + 2 > end) {
          Line(at, head + "truncated note: key " + DumpHex2(b_[e]) + " without its gate; stopped");
          return;
        }
        Line(at, head + Note(b_[e], b_[e + 1]));
        at = e + 2;
        continue;
      }
      if (e + 2 > end) {
        Line(at, head + "truncated record: FF without its status; stopped");
        return;
      }
      const unsigned status = b_[e + 1];
      const std::string ff = "FF " + DumpHex2(status) + " ";
      const std::size_t d = e + 2;
      const bool blockEvent = status == mld::kDefinitions || status == mld::kSelection;
      const bool byteEvent = (status >= mld::kTempoFirst && status <= mld::kTempoLast) ||
                             status == mld::kTone || status == mld::kBank ||
                             status == mld::kVolume || status == mld::kSkipped ||
                             status == mld::kEndOfTrack;
      if (!blockEvent && !byteEvent) {
        Line(at, head + ff + "unknown status: its length is unknown; stopped");
        return;
      }
      if (byteEvent) {
        if (d + 1 > end) {
          Line(at, head + "truncated record: " + ff + "needs 1 data byte; stopped");
          return;
        }
        Line(at, head + ff + ByteEvent(status, b_[d]));
        at = d + 1;
        if (status == mld::kEndOfTrack) {
          if (at < end) Line(at, std::to_string(end - at) + " byte(s) after the end of track");
          return;
        }
        continue;
      }
      if (d + 2 > end) {
        Line(at, head + "truncated record: " + ff + "needs a 2-byte length; stopped");
        return;
      }
      const std::size_t length = U16(d);
      if (d + 2 + length > end) {
        Line(at, head + "truncated record: " + ff + "length " + std::to_string(length) +
                     " runs past the stream end " + DumpOffset(end) + "; stopped");
        return;
      }
      const auto data = b_.subspan(d + 2, length);
      if (status == mld::kDefinitions) {
        Definitions(at, head + ff, d + 2, data);
      } else {
        Line(at, head + ff + Selection(data));
      }
      at = d + 2 + length;
    }
    Line(end, "the stream ends without FF DF end of track");
  }

  static std::string Note(std::uint8_t key, std::uint8_t gate) {
    const int code = key & 63;
    std::string text = "note key 0x" + DumpHex2(key) + ": " + PartOf(key) + ", code " +
                       std::to_string(code) + " " + MldKeyText(code) + ", gate " +
                       std::to_string(gate);
    if (gate == 0) text += " rest";
    return text;
  }

  static std::string ByteEvent(unsigned status, std::uint8_t v) {
    switch (status) {
      case mld::kTone:
        return "tone: " + PartOf(v) + ", tone " + std::to_string(v & 63);
      case mld::kBank:
        return "bank: " + PartOf(v) + ", bank " + std::to_string(v & 63);
      case mld::kVolume:
        return "volume: " + PartOf(v) + ", volume " + std::to_string(v & 63);
      case mld::kSkipped:
        return "data " + DumpHex2(v) + " (skipped by readers)";
      case mld::kEndOfTrack:
        return v == 0 ? "end of track" : "end of track, data " + DumpHex2(v) + " (expected 00)";
      default:
        break;
    }
    std::string text = "tempo " + std::to_string(v) + ", ";
    if ((status & 0x0F) == 2) return text + "24 steps per quarter";
    if ((status & 0x0F) == 3) return text + "48 steps per quarter";
    return text + "unknown resolution " + std::to_string(status & 0x0F);
  }

  void Definitions(std::size_t at, const std::string& head, std::size_t dataAt,
                   std::span<const std::uint8_t> data) {
    const std::string text = head + "tone definitions, length " + std::to_string(data.size());
    if (data.size() != kDefinitionBlockLength) {
      Line(at, text + " (expected 41): " + HexRun(data));
      return;
    }
    Line(at, text + ", first byte " + DumpHex2(data[0]) + (data[0] == 1 ? "" : " (expected 01)"));
    for (std::size_t slot = 0; slot < 4; ++slot) {
      const std::size_t from = 1 + slot * kDefinitionSlotSize;
      const auto bytes = data.subspan(from, kDefinitionSlotSize);
      const bool empty = std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0; });
      Line(dataAt + from,
           "  slot " + std::to_string(slot) + ": " + HexRun(bytes) + (empty ? " (empty)" : ""));
    }
  }

  static std::string Selection(std::span<const std::uint8_t> data) {
    if (data.size() != 3) {
      return "definition selection, length " + std::to_string(data.size()) +
             " (expected 3): " + HexRun(data);
    }
    return "definition selection: part " + std::to_string((data[1] >> 5) + 1) + ", slot " +
           std::to_string(data[2] >> 6) + " (" + HexRun(data) + ")";
  }

  std::span<const std::uint8_t> b_;
  ByteReader r_;
  std::string out_;
  std::size_t headerEnd_ = 0;
  std::optional<std::size_t> walkEnd_;
};

}  // namespace

std::string DumpMld(std::span<const std::uint8_t> bytes) {
  return Dumper(bytes).Run();
}

}  // namespace chwr

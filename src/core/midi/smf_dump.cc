#include "midi/smf_dump.h"

#include <cstdio>
#include <string_view>

#include "import/smf_import.h"
#include "io/byte_reader.h"
#include "io/dump_text.h"
#include "midi/smf_events.h"
#include "mml/notation.h"
#include "text/cp932.h"

namespace chwr {
namespace {

std::string HexRun(std::span<const std::uint8_t> bytes) {
  return DumpHexRun(bytes, 16);
}

// A text event as one quoted item: decoded as code page 932, control bytes escaped.
std::string Quoted(std::span<const std::uint8_t> bytes) {
  const DecodedText text = DecodeCp932(bytes);
  std::string out = DumpQuoted(text.utf8);
  if (text.invalidCount > 0) {
    out += " (" + std::to_string(text.invalidCount) + " sequence(s) not in code page 932)";
  }
  return out;
}

// Note 60 is the C of octave 4, as the import writes it.
std::string KeyName(int key) {
  return std::to_string(key) + " (" + PitchText(MidiNotePitch(key)) + ")";
}

std::string ChannelMeaning(const smf::Event& e) {
  const std::string ch = "ch " + std::to_string(e.Channel() + 1) + "  ";
  switch (e.Kind()) {
    case 0x8:
      return "note off  " + ch + "key " + KeyName(e.data1) + " vel " + std::to_string(e.data2);
    case 0x9:
      return (e.data2 == 0 ? "note on (velocity 0: off)  " : "note on  ") + ch + "key " +
             KeyName(e.data1) + " vel " + std::to_string(e.data2);
    case 0xA:
      return "key pressure  " + ch + "key " + KeyName(e.data1) + " value " +
             std::to_string(e.data2);
    case 0xB: {
      std::string text = "control change  " + ch + "controller " + std::to_string(e.data1);
      if (e.data1 == 7) text += " (volume)";
      if (e.data1 == 11) text += " (expression)";
      return text + " value " + std::to_string(e.data2);
    }
    case 0xC:
      return "program change  " + ch + "program " + std::to_string(e.data1);
    case 0xD:
      return "channel pressure  " + ch + "value " + std::to_string(e.data1);
    default:
      return "pitch bend  " + ch + "value " + std::to_string((e.data2 << 7 | e.data1) - 8192);
  }
}

std::string MetaMeaning(const smf::Event& e) {
  const auto& p = e.payload;
  switch (e.metaType) {
    case 0x01:
      return "text " + Quoted(p);
    case 0x02:
      return "copyright " + Quoted(p);
    case 0x03:
      return "track name " + Quoted(p);
    case 0x04:
      return "instrument " + Quoted(p);
    case 0x05:
      return "lyric " + Quoted(p);
    case 0x06:
      return "marker " + Quoted(p);
    case 0x07:
      return "cue point " + Quoted(p);
    case 0x20:
      return p.size() == 1 ? "channel prefix " + std::to_string(p[0] + 1) : "channel prefix";
    case 0x21:
      return p.size() == 1 ? "port " + std::to_string(p[0]) : "port";
    case 0x2F:
      return "end of track";
    case 0x51:
      if (p.size() == 3) {
        const unsigned us = p[0] << 16 | p[1] << 8 | p[2];
        char buf[64];
        std::snprintf(buf, sizeof buf, "tempo %u us a quarter (%.2f a minute)", us,
                      us == 0 ? 0.0 : 60e6 / us);
        return buf;
      }
      return "tempo (" + std::to_string(p.size()) + " bytes, not 3)";
    case 0x54:
      return "SMPTE offset " + HexRun(p);
    case 0x58:
      if (p.size() == 4) {
        return "time signature " + std::to_string(p[0]) + "/" +
               std::to_string(p[1] < 16 ? 1u << p[1] : 0u);
      }
      return "time signature " + HexRun(p);
    case 0x59:
      if (p.size() == 2) {
        return "key signature " + std::to_string(static_cast<std::int8_t>(p[0])) +
               (p[1] ? " minor" : " major");
      }
      return "key signature " + HexRun(p);
    case 0x7F:
      return "sequencer specific " + HexRun(p);
    default:
      return "meta type " + DumpHex2(e.metaType) + " (" + std::to_string(p.size()) + " bytes)";
  }
}

std::string Meaning(const smf::Event& e) {
  switch (e.kind) {
    case smf::EventKind::kChannel:
      return ChannelMeaning(e);
    case smf::EventKind::kMeta:
      return MetaMeaning(e);
    case smf::EventKind::kSysex:
      return "system exclusive, " + std::to_string(e.payload.size()) +
             " bytes to F7: " + HexRun(e.payload) + "; skipped";
    case smf::EventKind::kEscape:
      return "escaped bytes, " + std::to_string(e.payload.size()) + ": " + HexRun(e.payload) +
             "; skipped";
    case smf::EventKind::kSystem:
      return "system message (not for files); skipped with its data";
    case smf::EventKind::kStray:
      return "data byte with no running status; skipped";
  }
  return {};
}

class Dumper {
 public:
  explicit Dumper(std::span<const std::uint8_t> bytes) : b_(bytes), r_(bytes) {}

  std::string Run() {
    if (!Header()) return std::move(out_);
    int tracks = 0;
    while (r_.pos() < b_.size()) {
      const std::size_t at = r_.pos();
      const auto chunk = r_.NextChunk();
      if (!chunk) {
        Line(at, std::to_string(b_.size() - at) +
                     " byte(s) after the last chunk, too few for "
                     "a chunk head: " +
                     HexRun(b_.subspan(at)));
        break;
      }
      std::string head =
          "chunk \"" + Printable(chunk->tag) + "\" length " + std::to_string(chunk->length);
      if (chunk->clipped) {
        head += "; the file ends " + std::to_string(chunk->length - chunk->body.size()) +
                " byte(s) before its end";
      }
      if (chunk->tag != "MTrk") {
        Line(at, head + ": not a track chunk, skipped");
        continue;
      }
      ++tracks;
      head = "MTrk " + std::to_string(tracks) + ", length " + std::to_string(chunk->length);
      if (format_ == 1) {
        head += tracks == 1 ? " (not offered for import)"
                            : " (import list: ﾄﾗｯｸ" + std::to_string(tracks - 1) + ")";
      }
      if (chunk->clipped) {
        head += "; the file ends " + std::to_string(chunk->length - chunk->body.size()) +
                " byte(s) before its end";
      }
      Line(at, head);
      Track(at + 8, at + 8 + chunk->body.size());
    }
    if (tracks == 0) out_ += "no MTrk chunk: nothing to import\n";
    return std::move(out_);
  }

 private:
  void Line(std::size_t at, std::string_view text) { AppendDumpLine(out_, at, text); }

  static std::string Printable(std::string_view tag) {
    std::string out;
    for (char c : tag) {
      const auto b = static_cast<unsigned char>(c);
      if (b < 0x20 || b >= 0x7F) {
        out += "\\x" + DumpHex2(b);
      } else {
        out += c;
      }
    }
    return out;
  }

  bool Header() {
    if (!r_.MatchesAt(0, "MThd")) {
      Line(0, "no \"MThd\" header: not a MIDI file (" +
                  HexRun(b_.first(std::min<std::size_t>(b_.size(), 4))) + "); stopped");
      return false;
    }
    const auto chunk = r_.NextChunk();
    if (!chunk || chunk->body.size() < 6) {
      Line(0, "MThd cut short: " + std::to_string(b_.size()) + " byte(s) in all");
      r_.Seek(b_.size());
    } else {
      const auto& h = chunk->body;
      format_ = h[0] << 8 | h[1];
      const unsigned count = h[2] << 8 | h[3];
      const unsigned division = h[4] << 8 | h[5];
      std::string text = "MThd length " + std::to_string(chunk->length) + ": format " +
                         std::to_string(format_) + ", " + std::to_string(count) +
                         " track(s), division ";
      if (division & 0x8000) {
        text += "time code: " + std::to_string(256 - (division >> 8)) + " frames a second, " +
                std::to_string(division & 0xFF) + " ticks a frame";
      } else {
        text += std::to_string(division) + " ticks a quarter";
      }
      Line(0, text);
    }
    if (const auto facts = ReadSmfFacts(b_)) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "import reads: format %u, division %u, %.2f s a quarter",
                    facts->format, facts->division, facts->quarterSeconds);
      out_ += std::string(buf) +
              (facts->format <= 1 ? "" : " (only formats 0 and 1 are converted)") + "\n";
    }
    return true;
  }

  void Track(std::size_t start, std::size_t end) {
    smf::TrackReader reader(b_, start, end);
    smf::Event e;
    std::uint64_t tick = 0;
    while (true) {
      const smf::ReadStatus status = reader.Next(e);
      if (status == smf::ReadStatus::kNoMore) {
        if (e.at < end) {
          Line(e.at, "cut short: a delta time runs past the chunk's end");
        } else {
          Line(end, "no end-of-track event");
        }
        return;
      }
      if (status == smf::ReadStatus::kCutShort) {
        std::string text =
            "cut short: the event at " + DumpOffset(e.statusAt) + " (status " + DumpHex2(e.status) + ")";
        if (reader.needed() > 0) {
          text += " needs " + std::to_string(reader.needed()) + " byte(s), " +
                  std::to_string(end - e.statusAt) + " left";
        } else {
          text += " runs past the chunk's end";
        }
        Line(e.at, text);
        return;
      }
      tick += e.delta;
      std::string text =
          "delta " + std::to_string(e.delta) + "  tick " + std::to_string(tick) + "  ";
      text += DumpHex2(e.status);
      if (e.kind == smf::EventKind::kMeta) text += " " + DumpHex2(e.metaType);
      if (e.running) text += " (running)";
      text += "  " + Meaning(e);
      Line(e.at, text);
      if (e.IsEndOfTrack()) {
        if (e.end < end) {
          Line(e.end, std::to_string(end - e.end) + " byte(s) after the end of track: " +
                          HexRun(b_.subspan(e.end, end - e.end)));
        }
        return;
      }
    }
  }

  std::span<const std::uint8_t> b_;
  ByteReader r_;
  std::string out_;
  unsigned format_ = 0;
};

}  // namespace

std::string DumpSmf(std::span<const std::uint8_t> bytes) {
  return Dumper(bytes).Run();
}

}  // namespace chwr

#include "smd/smd_reader.h"

#include <array>
#include <string_view>
#include <vector>

#include "io/byte_reader.h"
#include "messages.h"
#include "mml/notation.h"
#include "smd/smd_writer.h"
#include "text/cp932.h"

namespace chwr {
namespace {

constexpr std::string_view kRunStartTag("\x1B\x24\x44", 3);

// The standard JIS X 0208 to Shift-JIS rule for one row/cell pair (each 21..7E).
void JisToSjis(std::uint8_t j1, std::uint8_t j2, std::vector<std::uint8_t>& out) {
  const int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
  int s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
  out.push_back(static_cast<std::uint8_t>(s1));
  out.push_back(static_cast<std::uint8_t>(s2));
}

class PartReader {
 public:
  explicit PartReader(std::span<const std::uint8_t> run) : run_(run) {}

  std::string Read(std::string& tempo) {
    std::size_t i = 0;
    tempo = "120";
    if (run_.size() >= 2 && run_[0] == smd::kControl &&
        (run_[1] == smd::kTempoFast || run_[1] == smd::kTempoRatherSlow ||
         run_[1] == smd::kTempoSlow)) {
      tempo = SmdClassTempo(std::array<std::uint8_t, 2>{run_[0], run_[1]});
      i = 2;
    }
    for (; i < run_.size(); ++i) {
      const std::uint8_t b = run_[i];
      if (b == smd::kControl) {
        if (i + 1 < run_.size()) Control(run_[++i]);
      } else if (b == smd::kTie) {
        text_ += '&';
      } else if (b >= smd::kRest && b <= smd::kRest + 3) {
        Note(std::nullopt, b - smd::kRest);
      } else {
        const int base = b & ~3;
        const int column = (base - smd::kFirstNote) / 4;
        // A code the format does not define is passed over: its length alone would
        // run into the note before it ("C4" and a stray "8" read "C48").
        if (base < smd::kFirstNote || column >= smd::kWindowWidth) continue;
        Note(smd::WindowLowNote(window_) + column, b & 3);
      }
    }
    return text_;
  }

 private:
  void Control(std::uint8_t code) {
    switch (code) {
      case smd::kWindow3:
        window_ = 3;
        break;
      case smd::kWindow1:
        window_ = 1;
        break;
      case smd::kWindow2:
        window_ = 2;
        break;
      // A new mark starts a new group, whatever the last one left counted.
      case smd::kTripletRepeat:
        mode_ = 1;
        count_ = 0;
        break;
      case smd::kTripletGroup:
        mode_ = 2;
        count_ = 0;
        break;
      default:
        break;  // no meaning: consumed and ignored
    }
  }

  // A note (its number as the compiler counts, O1C = 3) or a rest (nullopt).
  void Note(std::optional<int> note, int index) {
    static constexpr std::array<int, 4> kTriplet{4, 8, 16, 32};
    std::string name = "R";
    if (note) {
      const NotePitch pitch = MldKeyPitch(*note);
      name = PitchName(pitch.pitchClass);
      if (pitch.octave != octave_) {
        name = PitchText(pitch);
        octave_ = pitch.octave;
      }
    }
    // Outside triplets the four indexes are a sixteenth, an eighth, a quarter and a half.
    std::string length(*LengthName(12 << index, 48));
    if (mode_ != 0) {
      ++count_;
      if (count_ <= 3) {
        length = "*" + std::to_string(kTriplet[index] * 2);  // read at 48 steps a quarter
      } else {
        mode_ = 0;
        count_ = 0;
      }
    }
    std::string piece = name + length;
    if (mode_ == 1) {
      piece = piece + piece + piece;
      mode_ = 0;
      count_ = 0;
    }
    text_ += piece;
    line_ += piece.size();
    if (line_ > 60) {
      text_ += "\r\n";
      line_ = 0;
    }
  }

  std::span<const std::uint8_t> run_;
  std::string text_;
  std::size_t line_ = 0;
  int window_ = 2;
  int octave_ = 3;
  int mode_ = 0;
  int count_ = 0;
};

}  // namespace

std::string SmdTitleGet(std::span<const std::uint8_t> bytes, std::size_t* invalidCount) {
  std::vector<std::uint8_t> sjis;
  bool kana = false, kanji = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    if (b == 0x0E) {
      kana = true;
    } else if (b == 0x0F) {
      kana = false;
    } else if (b == 0x1B) {
      // ESC "(" ... returns to single bytes; any other escape starts JIS X 0208 pairs.
      kanji = !(i + 1 < bytes.size() && bytes[i + 1] == 0x28);
      i = std::min(i + 2, bytes.size() - 1);
    } else if (kanji) {
      if (i + 1 >= bytes.size()) break;  // half a pair at the end
      const std::uint8_t b2 = bytes[++i];
      if (b >= 0x21 && b <= 0x7E && b2 >= 0x21 && b2 <= 0x7E) {
        JisToSjis(b, b2, sjis);
      } else {
        sjis.push_back(0xFF);  // no character: decodes to the replacement mark
      }
    } else if (kana) {
      sjis.push_back(static_cast<std::uint8_t>(b | 0x80));
    } else {
      sjis.push_back(b);
    }
  }
  DecodedText decoded = DecodeCp932(sjis);
  if (invalidCount) *invalidCount = decoded.invalidCount;
  return decoded.utf8;
}

std::string SmdToMll(std::span<const std::uint8_t> run, std::string& tempo) {
  return PartReader(run).Read(tempo);
}

SmdRead ReadSmd(std::span<const std::uint8_t> bytes) {
  SmdRead out;
  const ByteReader r(bytes);
  const auto first = r.Find(kRunStartTag, 0, bytes.size());
  // Without a run the song stays empty: say why, or the user sees an empty song and
  // cannot tell a broken file from a silent one.
  if (bytes.empty()) out.warnings.push_back(MakeWarning(msg::kSmdEmptyFile));
  std::size_t invalid = 0;
  out.song.title = SmdTitleGet(bytes.first(first.value_or(bytes.size())), &invalid);
  if (invalid > 0)
    out.warnings.push_back(MakeWarning(msg::MldUndecodableBytes(msg::kTitleField, invalid)));
  if (!first && !bytes.empty()) out.warnings.push_back(MakeWarning(msg::kSmdNoRun));

  bool cut = false;
  std::size_t pos = first.value_or(bytes.size());
  for (int part = 0; part < 4; ++part) {
    const auto start = r.Find(kRunStartTag, pos, bytes.size());
    if (!start) break;
    const std::size_t body = *start + kRunStartTag.size();
    const std::uint8_t end[] = {smd::kRunEnd};
    const auto stop = r.Find(end, body, bytes.size());
    const auto next = r.Find(kRunStartTag, body, bytes.size());
    std::size_t until = bytes.size();
    if (stop && (!next || *stop < *next)) {
      until = *stop;
      pos = *stop + 1;
    } else {
      // No end code before the next run or the end of the file: read what is there.
      cut = true;
      until = next.value_or(bytes.size());
      pos = until;
    }
    out.song.parts[part].mml = SmdToMll(bytes.subspan(body, until - body), out.song.tempo);
  }
  if (cut) out.warnings.push_back(MakeWarning(msg::kSmdRunCut));
  if (r.Find(kRunStartTag, pos, bytes.size()))
    out.warnings.push_back(MakeWarning(msg::kSmdExtraRuns));
  return out;
}

}  // namespace chwr

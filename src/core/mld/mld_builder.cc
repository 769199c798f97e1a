#include "mld/mld_builder.h"

#include <algorithm>

#include "io/byte_writer.h"
#include "messages.h"
#include "mld/mld_format.h"
#include "song/choices.h"
#include "text/cp932.h"
#include "text/numbers.h"

namespace chwr {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Data groups are raw bytes written as pairs of hex digits.
bool DecodeHex(std::string_view text, std::vector<std::uint8_t>* out) {
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    if (out) out->push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return true;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x10; });
}

// Header text fields as code page 932 bytes, refusing what the single-line boxes
// should never hold.
Result<std::vector<std::uint8_t>> HeaderText(std::string_view text, const char* what) {
  if (HasControlCharacter(text)) {
    return Fail(msg::ControlCharacterIn(what));
  }
  auto bytes = EncodeCp932(text);
  if (!bytes) return Fail(msg::ProblemIn(what, bytes.error().message));
  return bytes;
}

struct ToneChoice {
  int itemData = 0;
  bool fromProgramList = false;  ///< one of the 128 programs, which need a bank
};

// The letter entries and the separator come first in the list; the programs follow.
ToneChoice ToneChoiceOf(std::string_view text) {
  const auto& items = ToneItems();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].text == text) return {items[i].itemData, i >= 4};
  }
  return {*FindToneProgram(kDefaultToneChoice), false};
}

}  // namespace

std::uint8_t TempoByte(std::string_view typed, bool* replaced) {
  if (replaced) *replaced = false;
  const std::string number = NumberText(typed);
  std::string_view text = number;
  if (text.empty()) return 120;
  if (!IsPlainNumber(text)) {
    if (replaced) *replaced = true;
    return 120;
  }
  const bool negative = text.front() == '-';
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  // The integer part's low 8 bits, exactly, however many digits it has.
  unsigned low = 0;
  for (char c : text) {
    if (c == '.') break;
    low = (low * 10 + static_cast<unsigned>(c - '0')) % 256;
  }
  if (negative) low = (256 - low) % 256;
  return static_cast<std::uint8_t>(low);
}

std::string SizeReport(std::size_t imageSize, const SongCompile& compiled) {
  std::string text = msg::SizeReportBytes(imageSize);
  for (int p = 0; p < 4; ++p) {
    const CompiledPart& part = compiled.parts[p];
    text += msg::SizeReportPart(p, part.totalSteps, part.minName, part.maxName);
  }
  return text;
}

Result<MldImageBuilder> MldImageBuilder::Create(const SongDocument& song,
                                                const SongCompile& compiled) {
  auto title = HeaderText(song.title, msg::kTitleField);
  if (!title) return std::unexpected(title.error());
  std::vector<std::uint8_t> protect;
  const bool cipy = song.copyProtect && !song.protectText.empty();
  if (cipy) {
    auto text = HeaderText(song.protectText, msg::kCopyrightField);
    if (!text) return std::unexpected(text.error());
    protect = std::move(*text);
  }
  const std::size_t headerLength =
      mld::kFixedHeaderLength + title->size() + (cipy ? mld::kProtectOverhead + protect.size() : 0);
  if (headerLength > mld::kMaxHeaderLength) {
    const std::size_t room =
        mld::kMaxHeaderLength - mld::kFixedHeaderLength - (cipy ? mld::kProtectOverhead : 0);
    return Fail(msg::HeaderTooLong(cipy, title->size() + protect.size(), room));
  }

  MldImageBuilder b;
  ByteWriter header(b.header_);
  header.Raw({0x01, 0x01, 0x01});
  header.Tag(mld::kSourceTag);
  header.U16be(1);
  header.U8(song.copyProtect ? 0x01 : 0x00);
  header.Tag(mld::kTitleTag);
  header.U16be(static_cast<std::uint32_t>(title->size()));
  header.Raw(*title);
  header.Tag(mld::kVersionTag);
  header.U16be(4);
  header.Tag(mld::kVersion);
  if (cipy) {
    header.Tag(mld::kProtectTag);
    header.U16be(static_cast<std::uint32_t>(protect.size()));
    header.Raw(protect);
  }

  // The image is built in one vector from its head on, rather than the track copied behind
  // the head at the end (300 KB for the largest song). Its room is made at once from what
  // the compiled parts hold: a note key, gate and delta each, a volume change four bytes, a
  // selection eight, data its bytes; the prologue and definitions take under 100.
  std::size_t room = 128 + mld::kMagic.size() + 4 + 2 + b.header_.size() + 8;
  for (const CompiledPart& part : compiled.parts) {
    room += 3 * static_cast<std::size_t>(part.count) + 4 * part.volumeChangeCount +
            8 * part.toneChangeCount + part.dataText.size() / 2 + 4 * mld::kDefinitionSlotSize;
  }
  b.track_.reserve(room);
  ByteWriter track(b.track_);
  track.Tag(mld::kMagic);
  track.U32be(0);
  track.U16be(static_cast<std::uint32_t>(b.header_.size()));
  track.Raw(b.header_);
  b.trackLengthAt_ = track.BeginChunk(mld::kTrackTag);
  // The track's prologue; the music follows from the step pass.
  const std::uint8_t resolution = song.resolution == 0 ? mld::kTempo24 : mld::kTempo48;
  track.Raw({0x00, mld::kExtended, resolution, TempoByte(song.tempo, &b.tempoReplaced_)});
  const int partsInPrologue = compiled.parts[3].count > 0 ? 4 : 3;
  for (int p = 0; p < partsInPrologue; ++p) {
    const int volume = StartingVolume(song.parts[p]);
    track.Raw({0x00, mld::kExtended, mld::kVolume, static_cast<std::uint8_t>(p * 64 + volume)});
  }
  for (int p = 0; p < partsInPrologue; ++p) {
    const ToneChoice tone = ToneChoiceOf(song.parts[p].tone);
    if (tone.fromProgramList) {
      track.Raw({0x00, mld::kExtended, mld::kTone,
                 static_cast<std::uint8_t>(p * 64 + tone.itemData % 64)});
      track.Raw({0x00, mld::kExtended, mld::kBank,
                 static_cast<std::uint8_t>(p * 64 + 2 + tone.itemData / 64)});
    } else {
      track.Raw(
          {0x00, mld::kExtended, mld::kTone, static_cast<std::uint8_t>(p * 64 + tone.itemData)});
    }
  }
  const auto& defined = compiled.state.toneDefined;
  if (std::any_of(defined.begin(), defined.end(), [](bool d) { return d; })) {
    track.U8(0x00);
    track.Raw(mld::kDefinitionBlock);
    for (int k = 0; k < 4; ++k) {
      if (defined[k]) {
        track.Raw(compiled.state.toneDefinition[k]);
      } else {
        b.track_.insert(b.track_.end(), mld::kDefinitionSlotSize, 0x00);
      }
    }
  }
  track.U8(0x00);
  return b;
}

Result<void> MldImageBuilder::Check(std::span<const ScheduledEvent> events) {
  for (const ScheduledEvent& s : events) {
    if (s.event.tone > 4) {
      return Fail(msg::ToneSlotOutOfRange(s.part, s.event.tone - 1));
    }
    if (!s.data.empty() && !DecodeHex(s.data, nullptr)) {
      return Fail(msg::BadDataGroup(s.part, s.data));
    }
  }
  return {};
}

void MldImageBuilder::Step(int, std::span<const ScheduledEvent> events, int delta) {
  std::vector<std::uint8_t>& out = track_;
  for (const ScheduledEvent& s : events) {
    if (!s.event.changesVolume()) continue;
    const std::uint8_t v[] = {mld::kExtended, mld::kVolume,
                              static_cast<std::uint8_t>(s.part * 64 + s.event.volume), 0x00};
    out.insert(out.end(), std::begin(v), std::end(v));
  }
  for (const ScheduledEvent& s : events) {
    if (s.event.tone == 0) continue;
    const std::uint8_t v[] = {mld::kExtended,
                              mld::kSelection,
                              0x00,
                              0x03,
                              0x01,
                              static_cast<std::uint8_t>(s.part * 32 + 1),
                              static_cast<std::uint8_t>((s.event.tone - 1) * 64),
                              0x00};
    out.insert(out.end(), std::begin(v), std::end(v));
  }
  for (const ScheduledEvent& s : events) {
    if (!s.data.empty()) DecodeHex(s.data, &out);
  }
  // Three bytes a note, written in place: a push for each was a call and a check a byte.
  const std::size_t at = out.size();
  out.resize(at + 3 * events.size());
  std::uint8_t* w = out.data() + at;
  for (const ScheduledEvent& s : events) {
    *w++ = static_cast<std::uint8_t>(s.event.key);
    *w++ = static_cast<std::uint8_t>(s.event.gate);
    *w++ = 0;
  }
  if (!events.empty()) w[-1] = static_cast<std::uint8_t>(delta);
}

std::vector<std::uint8_t> MldImageBuilder::Finish() {
  ByteWriter out(track_);
  out.Raw({mld::kExtended, mld::kEndOfTrack, 0x00});
  out.PatchU32be(mld::kMagic.size(), track_.size() - mld::kMagic.size() - 4);
  out.EndChunk(trackLengthAt_);
  return std::move(track_);
}

}  // namespace chwr

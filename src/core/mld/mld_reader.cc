#include "mld/mld_reader.h"

#include <array>
#include <climits>
#include <string_view>

#include "io/byte_reader.h"
#include "io/file_io.h"
#include "messages.h"
#include "mld/mld_format.h"
#include "mml/notation.h"
#include "mml/preprocess.h"
#include "song/choices.h"
#include "text/cp932.h"

namespace chwr {
namespace {

using Bytes = std::span<const std::uint8_t>;

// ---- header ------------------------------------------------------------------------------

using Image = ByteReader;
using mld::kFirstChunkAt;
using mld::kHeaderLengthAt;
constexpr std::size_t kChunkHeadSize = mld::kHeaderChunkHead;

// Where the track chunk starts, if anywhere: where the header length says, else (a writer
// that got the length wrong) the first mld::kTrackTag tag in the image.
std::optional<std::size_t> FindTrack(const Image& img) {
  if (img.Has(kHeaderLengthAt, 2)) {
    const std::size_t at = 10 + img.U16At(kHeaderLengthAt);
    if (img.MatchesAt(at, mld::kTrackTag)) return at;
  }
  return img.Find(mld::kTrackTag, 0, img.size());
}

// Start of the 2-byte length of the first header chunk with `tag`. The chunks are walked
// one by one so that a title spelling "cipy" or "sorc" is not taken for a chunk; only when
// the chain is broken is the header searched for the tag as plain text.
std::optional<std::size_t> FindHeaderChunk(const Image& img, std::string_view tag,
                                           std::size_t headerEnd) {
  // headerEnd never lies past the image, so the chunk heads read below are all inside it.
  std::size_t pos = kFirstChunkAt;
  while (pos + kChunkHeadSize <= headerEnd) {
    if (img.MatchesAt(pos, tag)) return pos + 4;
    pos += kChunkHeadSize + img.U16At(pos + 4);
  }
  if (pos == headerEnd) return std::nullopt;  // an intact chain without the tag
  if (auto hit = img.Find(tag, kFirstChunkAt, headerEnd)) return *hit + 4;
  return std::nullopt;
}

// The data of the header chunk whose 2-byte length starts at `lengthAt`.
Bytes ChunkData(const Image& img, std::size_t lengthAt, bool& truncated) {
  if (!img.Has(lengthAt, 2)) {
    truncated = true;
    return {};
  }
  return img.TakeAt(lengthAt + 2, img.U16At(lengthAt), truncated);
}

// ---- reading the music of one part -------------------------------------------------------

// A line of read MML ends after the note that carries it past this many characters.
constexpr std::size_t kLineWidth = 60;

// One part's pass over the music: the pending note waits until the next note of the part
// (or the end of the track) tells how long it really lasted.
class PartReader {
 public:
  PartReader(int part, int resolution) : part_(part), resolution_(resolution) {
    writer_.resolution = resolution;
  }

  void AddDelta(std::uint8_t delta) {
    if (elapsed_ < INT_MAX - 255) elapsed_ += delta;
  }

  void Selection(std::uint8_t partByte, std::uint8_t slotByte) {
    if ((partByte >> 4) / 2 == part_) pendingTone_ = "@V" + std::to_string(slotByte / 64);
  }

  void Volume(std::uint8_t data) {
    if (data >> 6 == part_) pendingVolume_ = "V" + std::to_string(data & 63);
  }

  void NoteRecord(std::uint8_t key, std::uint8_t gate) {
    if (key >> 6 != part_) return;
    WritePending();
    line_ += pendingTone_;
    line_ += pendingVolume_;
    pendingTone_.clear();
    pendingVolume_.clear();
    // Only note texts, as they were named before their lengths were shortened, fill a line.
    if (lineWidth_ > kLineWidth) {
      text_ += line_;
      text_ += "\r\n";
      line_.clear();
      lineWidth_ = 0;
    }
    hasPending_ = true;
    pendingKey_ = key;
    pendingRest_ = gate == 0;
    pendingGate_ = gate;
    elapsed_ = 0;
  }

  // The end of the track: the last note keeps its gate as its length, a closing rest its
  // full length.
  std::string Finish() {
    if (pendingGate_ == 0) pendingGate_ = elapsed_;
    if (hasPending_) Put(writer_.Note(pendingKey_, pendingRest_, pendingGate_, pendingGate_));
    text_ += line_;
    line_.clear();
    return std::move(text_);
  }

 private:
  // One note's text onto the line.
  void Put(const std::string& note) {
    lineWidth_ += note == "&" ? 1 : writer_.lastWidth;
    line_ += note;
  }

  void WritePending() {
    if (elapsed_ <= 0) return;
    // The silence before the first note.
    if (!hasPending_) {
      Put(writer_.Note(std::nullopt, true, elapsed_, elapsed_));
      return;
    }
    const int gap = elapsed_ - pendingGate_;
    // A short or irregular gap belongs to the note (it is its Q); a gap of whole sixteenths
    // reads as a rest of its own.
    const bool oneNote = gap < 4 || (gap % (resolution_ / 4) != 0 && elapsed_ <= 4 * resolution_);
    if (oneNote) {
      // A rest is named by its length alone, never as an absolute length under a Q.
      Put(writer_.Note(pendingKey_, pendingRest_, elapsed_,
                       pendingRest_ ? elapsed_ : pendingGate_));
    } else {
      if (pendingGate_ > 0)
        Put(writer_.Note(pendingKey_, pendingRest_, pendingGate_, pendingGate_));
      Put(writer_.Note(std::nullopt, true, gap, gap));
    }
    if (pendingGate_ > elapsed_) Put("&");
  }

  int part_;
  int resolution_;
  MmlNoteWriter writer_;
  std::string text_;
  std::string line_;
  std::size_t lineWidth_ = 0;  // note text on the current line, as first named
  bool hasPending_ = false;
  int pendingKey_ = 0;
  bool pendingRest_ = false;
  int pendingGate_ = 0;
  int elapsed_ = 0;
  std::string pendingTone_;
  std::string pendingVolume_;
};

using mld::kEndOfTrack;
using mld::kExtended;
using mld::kSelection;
using mld::kShortExtendedSize;
constexpr std::size_t kSelectionSize = mld::kSelectionRecordSize;
constexpr std::size_t kNoteSize = mld::kNoteRecordSize;

// Reads part `part` from the first music record; `ended` tells whether FF DF was reached.
std::string ReadPartMusic(const Image& img, std::size_t start, int part, int resolution,
                          bool& ended) {
  PartReader reader(part, resolution);
  std::size_t pos = start;
  ended = false;
  while (img.Has(pos, 2)) {
    const std::uint8_t delta = img.U8At(pos);
    const std::uint8_t first = img.U8At(pos + 1);
    if (first != kExtended) {
      if (!img.Has(pos, kNoteSize)) break;
      reader.AddDelta(delta);
      reader.NoteRecord(first, img.U8At(pos + 2));
      pos += kNoteSize;
      continue;
    }
    if (!img.Has(pos, 3)) break;
    const std::uint8_t status = img.U8At(pos + 2);
    if (status == kEndOfTrack) {
      reader.AddDelta(delta);
      ended = true;
      break;
    }
    if (status == kSelection) {
      if (!img.Has(pos, kSelectionSize)) break;
      reader.AddDelta(delta);
      reader.Selection(img.U8At(pos + 6), img.U8At(pos + 7));
      pos += kSelectionSize;
      continue;
    }
    // Only volume changes stand here in our files; any other event is taken alike.
    if (!img.Has(pos, kShortExtendedSize)) break;
    reader.AddDelta(delta);
    reader.Volume(img.U8At(pos + 3));
    pos += kShortExtendedSize;
  }
  return reader.Finish();
}

// ---- the prologue ------------------------------------------------------------------------

struct PartSetup {
  std::optional<int> tone;
  std::optional<int> bank;
};

std::string ToneChoice(const PartSetup& setup) {
  const auto& items = ToneItems();
  std::size_t index = 1;  // "B"
  if (setup.bank) {
    index = static_cast<std::size_t>((*setup.bank & 1) * 64 + *setup.tone + 4);
  } else if (*setup.tone == 1) {
    index = 2;  // "C"
  } else if (*setup.tone == 2) {
    index = 0;  // "A"
  }
  return items[index].text;
}

struct Prologue {
  std::size_t musicStart = 0;
  std::optional<std::uint8_t> tempoStatus;
  bool truncated = false;
};

// Reads the delta-0 extended events before the music into `song`.
Prologue ReadPrologue(const Image& img, std::size_t pos, SongDocument& song,
                      std::array<PartSetup, 4>& setups) {
  Prologue result;
  while (img.Has(pos, 2) && img.U8At(pos) == 0 && img.U8At(pos + 1) == kExtended) {
    if (!img.Has(pos, 3)) {
      result.truncated = true;
      break;
    }
    const std::uint8_t status = img.U8At(pos + 2);
    const bool known = (status >= mld::kTempoFirst && status <= mld::kTempoLast) ||
                       status == mld::kTone || status == mld::kBank || status == mld::kVolume ||
                       status == mld::kSkipped || status == mld::kDefinitions;
    if (!known) break;
    if (status == mld::kDefinitions) {
      if (!img.Has(pos, 5)) {
        result.truncated = true;
        pos = img.size();
        break;
      }
      const std::size_t next = pos + 5 + img.U16At(pos + 3);
      if (next > img.size()) {
        result.truncated = true;
        pos = img.size();
        break;
      }
      pos = next;
      continue;
    }
    if (!img.Has(pos, 4)) {
      result.truncated = true;
      pos = img.size();
      break;
    }
    const std::uint8_t data = img.U8At(pos + 3);
    const int part = data >> 6;
    if (status <= mld::kTempoLast) {
      song.tempo = std::to_string(data);
      result.tempoStatus = status;
      // Lengths are named at the file's own resolution; a code we do not know reads as 48.
      song.resolution = (status & 15) == 2 ? 0 : 1;
    } else if (status == mld::kVolume) {
      song.parts[static_cast<std::size_t>(part)].volume =
          VolumeItems(part)[static_cast<std::size_t>(67 - (data & 63))].text;
    } else if (status == mld::kTone) {
      setups[static_cast<std::size_t>(part)].tone = data & 63;
    } else if (status == mld::kBank) {
      setups[static_cast<std::size_t>(part)].bank = data & 1;
    }
    pos += 4;
  }
  result.musicStart = pos;
  return result;
}

using mld::kDefinitionBlock;
constexpr std::size_t kSlotSize = mld::kDefinitionSlotSize;

}  // namespace

// ---- public functions --------------------------------------------------------------------

std::string MldTitleText(Bytes bytes) {
  std::string text = DecodeCp932(bytes).utf8;
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

Result<MldRead> ReadMld(Bytes bytes) {
  const Image img(bytes);
  if (!img.MatchesAt(0, mld::kMagic)) {
    return Fail(msg::kInvalidFileFormat, DiagnosticCode::kInvalidFormat);
  }

  MldRead result;
  SongDocument& song = result.song;
  bool truncated = false;
  const std::optional<std::size_t> track = FindTrack(img);
  const std::size_t headerEnd = track.value_or(img.size());

  if (auto at = FindHeaderChunk(img, mld::kSourceTag, headerEnd)) {
    if (img.Has(*at + 2, 1)) {
      song.copyProtect = img.U8At(*at + 2) != 0;
    } else {
      truncated = true;
    }
  }
  if (auto at = FindHeaderChunk(img, mld::kTitleTag, headerEnd)) {
    const Bytes title = ChunkData(img, *at, truncated);
    song.title = MldTitleText(title);
    if (auto n = DecodeCp932(title).invalidCount) {
      result.warnings.push_back(MakeWarning(msg::MldUndecodableBytes(msg::kTitleField, n)));
    }
  }
  if (auto at = FindHeaderChunk(img, mld::kProtectTag, headerEnd)) {
    const DecodedText text = DecodeCp932(ChunkData(img, *at, truncated));
    song.protectText = text.utf8;
    if (text.invalidCount) {
      result.warnings.push_back(
          MakeWarning(msg::MldUndecodableBytes(msg::kProtectTextField, text.invalidCount)));
    }
  }

  std::array<std::string, 4> boxes;
  if (auto at = img.Find(kDefinitionBlock, 0, img.size())) {
    std::size_t pos = *at + kDefinitionBlock.size();
    for (int slot = 0; slot < 4; ++slot, pos += kSlotSize) {
      if (!img.Has(pos, kSlotSize)) {
        truncated = true;
        break;
      }
      const std::span<const std::uint8_t, 10> bytes10(bytes.data() + pos, kSlotSize);
      if (bytes10[0] == 0) continue;
      const UnpackedToneDefinition tone = UnpackToneDefinition(bytes10);
      if (tone.part < 0) {
        result.warnings.push_back(MakeWarning(msg::MldUnknownSlotPart(slot, bytes10[0])));
        continue;
      }
      boxes[static_cast<std::size_t>(tone.part)] = tone.text;
    }
  }

  song.tempo.clear();
  for (PartSlot& part : song.parts) {
    part.volume = VolumeItems(0)[0].text;
    part.tone = ToneItems()[1].text;
  }

  if (!track) {
    result.warnings.push_back(MakeWarning(msg::kMldNoTrack));
  } else if (!img.Has(*track, 8)) {
    truncated = true;
  } else {
    std::array<PartSetup, 4> setups;
    const Prologue prologue = ReadPrologue(img, *track + 8, song, setups);
    truncated = truncated || prologue.truncated;
    for (std::size_t p = 0; p < 4; ++p) {
      if (setups[p].tone) song.parts[p].tone = ToneChoice(setups[p]);
    }
    if (!prologue.tempoStatus) {
      result.warnings.push_back(MakeWarning(msg::kMldNoTempo));
    } else if (const int code = *prologue.tempoStatus & 15; code != 2 && code != 3) {
      result.warnings.push_back(MakeWarning(msg::MldUnknownResolution(*prologue.tempoStatus)));
    }
    const int resolution = StepsPerQuarter(song);
    for (int p = 0; p < 4; ++p) {
      bool ended = false;
      const std::string music = ReadPartMusic(img, prologue.musicStart, p, resolution, ended);
      if (!ended) truncated = true;
      boxes[static_cast<std::size_t>(p)] += music;
    }
  }
  for (std::size_t p = 0; p < 4; ++p) song.parts[p].mml = std::move(boxes[p]);
  if (truncated) result.warnings.push_back(MakeWarning(msg::kMldTruncated));
  return result;
}

Result<MldRead> ReadMldFile(const std::filesystem::path& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::unexpected(bytes.error());
  return ReadMld(*bytes);
}

}  // namespace chwr

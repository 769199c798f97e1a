#include "mld/mld_builder.h"

#include <algorithm>
#include <limits>

#include "io/file_io.h"
#include "text/numbers.h"
#include "messages.h"
#include "song/choices.h"
#include "text/cp932.h"

namespace chwr {
namespace {

// Fixed header bytes from offset 10 up to "trac": 01 01 01, "sorc", "titl" without
// its text, "vers".
constexpr int kFixedHeaderLength = 26;
constexpr int kCipyOverhead = 6;
constexpr int kMaxHeaderLength = 255;

std::string PartName(int part) {
  return "ﾊﾟｰﾄ" + std::to_string(part + 1);
}

void PutU16(std::vector<std::uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutTag(std::vector<std::uint8_t>& out, std::string_view tag) {
  out.insert(out.end(), tag.begin(), tag.end());
}

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
    return Fail(std::string(what) + "に制御文字は使えません。");
  }
  auto bytes = EncodeCp932(text);
  if (!bytes) return Fail(std::string(what) + "に" + bytes.error().message);
  return bytes;
}

// The MLD event stream of the music, laid out as the steps arrive.
class MldTrackWriter final : public StepListener {
 public:
  explicit MldTrackWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void Step(int, std::span<const ScheduledEvent> events, int delta) override {
    for (const ScheduledEvent& s : events) {
      if (s.event.volume == 0) continue;
      const std::uint8_t v[] = {0xFF, 0xE2, static_cast<std::uint8_t>(s.part * 64 + s.event.volume),
                                0x00};
      out_.insert(out_.end(), std::begin(v), std::end(v));
    }
    for (const ScheduledEvent& s : events) {
      if (s.event.tone == 0) continue;
      const std::uint8_t v[] = {0xFF,
                                0xF1,
                                0x00,
                                0x03,
                                0x01,
                                static_cast<std::uint8_t>(s.part * 32 + 1),
                                static_cast<std::uint8_t>((s.event.tone - 1) * 64),
                                0x00};
      out_.insert(out_.end(), std::begin(v), std::end(v));
    }
    for (const ScheduledEvent& s : events) DecodeHex(s.data, &out_);
    for (std::size_t i = 0; i < events.size(); ++i) {
      const NoteEvent& e = events[i].event;
      out_.push_back(static_cast<std::uint8_t>(e.key));
      out_.push_back(static_cast<std::uint8_t>(e.gate));
      out_.push_back(i + 1 == events.size() ? static_cast<std::uint8_t>(delta) : 0);
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Per part: where each event starts, and where the pass is.
struct PartCursor {
  std::vector<std::int32_t> start;
  int next = 0;
  std::optional<NoteEvent> markRest;  ///< the event spanning the mark, turned into a rest
  int markRestIndex = -1;
};

// Checks what the MLD stream cannot carry before anything is written.
Result<void> CheckEvent(int part, const NoteEvent& e, std::string_view data) {
  if (e.tone > 4) {
    return Fail(PartName(part) + " 音色定義の選択(@V" + std::to_string(e.tone - 1) +
                ")は@V0～@V3にして下さい。");
  }
  if (!data.empty() && !DecodeHex(data, nullptr)) {
    return Fail(PartName(part) + " ﾃﾞｰﾀ{" + std::string(data) + "}は16進数を2桁ずつ書いて下さい。");
  }
  return {};
}

// The one pass over the steps: from the mark (or 0) to the end of the longest part,
// every event of every part in stream order, handed to each listener.
Result<void> StepPass(const SongCompile& compiled, std::span<StepListener* const> listeners) {
  std::array<PartCursor, 4> cursors;
  int endStep = 0;
  for (int p = 0; p < 4; ++p) {
    const CompiledPart& part = compiled.parts[p];
    if (part.totalSteps > kMaxSongSteps) {
      return Fail(PartName(p) + " のｽﾃｯﾌﾟ数(" + std::to_string(part.totalSteps) +
                  ")が多すぎます。1曲は" + std::to_string(kMaxSongSteps) + "ｽﾃｯﾌﾟまでです。");
    }
    auto& start = cursors[p].start;
    start.reserve(part.count);
    std::int32_t at = 0;
    for (int i = 0; i < part.count; ++i) {
      start.push_back(at);
      at += part.events[i].step;
    }
    endStep = std::max(endStep, part.totalSteps);
  }

  const int mark = compiled.state.markStep;
  if (mark > 0) {
    for (int p = 0; p < 4; ++p) {
      const CompiledPart& part = compiled.parts[p];
      PartCursor& c = cursors[p];
      if (part.count == 0) continue;
      const int before = static_cast<int>(std::lower_bound(c.start.begin(), c.start.end(), mark) -
                                          c.start.begin());
      c.next = before;
      if (before < part.count && c.start[before] == mark) continue;
      // A part that has ended by the mark has nothing left to play.
      if (part.totalSteps <= mark) {
        c.next = part.count;
        continue;
      }
      // The event sounding across the mark becomes a rest from the mark to its end,
      // which is also where the part's next event starts.
      const int k = before - 1;
      NoteEvent rest = part.events[k];
      rest.key = part.minKey == 255 ? static_cast<std::int16_t>(p * 64 + 26) : part.minKey;
      rest.gate = 0;
      rest.step = static_cast<std::int16_t>(c.start[k] + part.events[k].step - mark);
      c.start[k] = mark;
      c.markRest = rest;
      c.markRestIndex = k;
      c.next = k;
    }
  }

  const int first = std::max(mark, 0);
  for (StepListener* l : listeners) l->Begin(first, endStep);
  std::vector<ScheduledEvent> step;
  step.reserve(8);
  for (int t = first; t <= endStep; ++t) {
    step.clear();
    for (int p = 0; p < 4; ++p) {
      const CompiledPart& part = compiled.parts[p];
      PartCursor& c = cursors[p];
      // Zero-length events share a step with the next one; all of them are kept so
      // the part's later events stay on their steps.
      while (c.next < part.count && c.start[c.next] == t) {
        ScheduledEvent s;
        s.part = p;
        s.index = c.next;
        if (c.next == c.markRestIndex) {
          s.event = *c.markRest;
          s.adjustedGate = 0;
        } else {
          s.event = part.events[c.next];
          s.adjustedGate = part.adjustedEvents[c.next].gate;
        }
        s.data = part.DataOf(s.event);
        if (auto r = CheckEvent(p, s.event, s.data); !r) return r;
        step.push_back(s);
        ++c.next;
      }
    }
    if (step.empty()) continue;
    int nextStart = endStep;
    for (int p = 0; p < 4; ++p) {
      const PartCursor& c = cursors[p];
      if (c.next < compiled.parts[p].count) nextStart = std::min(nextStart, c.start[c.next]);
    }
    for (StepListener* l : listeners) l->Step(t, step, nextStart - t);
  }
  return {};
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

std::uint8_t TempoByte(std::string_view text, bool* replaced) {
  if (replaced) *replaced = false;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
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
  std::string text = std::to_string(imageSize) + "ﾊﾞｲﾄ ";
  for (int p = 0; p < 4; ++p) {
    const CompiledPart& part = compiled.parts[p];
    text += " " + PartName(p) + "：" + std::to_string(part.totalSteps) + " " + part.minName;
    if (part.totalSteps != 0) text += "～";
    text += part.maxName;
  }
  return text;
}

Result<MldBuild> BuildMld(const SongDocument& song, SongCompile& compiled,
                          const MldBuildOptions& options) {
  SongCompileOptions compile;
  compile.smdMode = options.smdMode;
  compile.smdHook = options.smdHook;
  compile.texts = options.selectionTexts;
  if (auto r = CompileSong(song, compiled, compile); !r) return std::unexpected(r.error());
  MldBuild build;
  if (options.smdMode) return build;

  auto title = HeaderText(song.title, "ﾀｲﾄﾙ");
  if (!title) return std::unexpected(title.error());
  std::vector<std::uint8_t> protect;
  const bool cipy = song.copyProtect && !song.protectText.empty();
  if (cipy) {
    auto text = HeaderText(song.protectText, "著作権情報");
    if (!text) return std::unexpected(text.error());
    protect = std::move(*text);
  }
  const std::size_t headerLength =
      kFixedHeaderLength + title->size() + (cipy ? kCipyOverhead + protect.size() : 0);
  if (headerLength > kMaxHeaderLength) {
    const std::size_t room = kMaxHeaderLength - kFixedHeaderLength - (cipy ? kCipyOverhead : 0);
    return Fail(std::string(cipy ? "ﾀｲﾄﾙと著作権情報" : "ﾀｲﾄﾙ") + "が長すぎます。ｼﾌﾄJISで" +
                std::to_string(title->size() + protect.size()) + "ﾊﾞｲﾄあります。(最大" +
                std::to_string(room) + "ﾊﾞｲﾄ)");
  }

  // The track: prologue, then the music from the step pass, then the end.
  std::vector<std::uint8_t> track;
  const int resolution = song.resolution == 0 ? 0 : 1;
  const std::uint8_t tempo = TempoByte(song.tempo, &build.tempoReplaced);
  track.insert(track.end(), {0x00, 0xFF, static_cast<std::uint8_t>(0xC2 + resolution), tempo});
  const int partsInPrologue = compiled.parts[3].count > 0 ? 4 : 3;
  for (int p = 0; p < partsInPrologue; ++p) {
    const int volume = StartingVolume(song.parts[p]);
    track.insert(track.end(), {0x00, 0xFF, 0xE2, static_cast<std::uint8_t>(p * 64 + volume)});
  }
  for (int p = 0; p < partsInPrologue; ++p) {
    const ToneChoice tone = ToneChoiceOf(song.parts[p].tone);
    if (tone.fromProgramList) {
      track.insert(track.end(),
                   {0x00, 0xFF, 0xE0, static_cast<std::uint8_t>(p * 64 + tone.itemData % 64)});
      track.insert(track.end(),
                   {0x00, 0xFF, 0xE1, static_cast<std::uint8_t>(p * 64 + 2 + tone.itemData / 64)});
    } else {
      track.insert(track.end(),
                   {0x00, 0xFF, 0xE0, static_cast<std::uint8_t>(p * 64 + tone.itemData)});
    }
  }
  const auto& defined = compiled.state.toneDefined;
  if (std::any_of(defined.begin(), defined.end(), [](bool d) { return d; })) {
    track.insert(track.end(), {0x00, 0xFF, 0xF0, 0x00, 0x29, 0x01});
    for (int k = 0; k < 4; ++k) {
      if (defined[k]) {
        const auto& slot = compiled.state.toneDefinition[k];
        track.insert(track.end(), slot.begin(), slot.end());
      } else {
        track.insert(track.end(), 10, 0x00);
      }
    }
  }
  track.push_back(0x00);

  MldTrackWriter writer(track);
  MidiTrackBuilder midi(song, options.midi);
  std::vector<StepListener*> listeners{&writer};
  if (options.midiWanted) listeners.push_back(&midi);
  listeners.insert(listeners.end(), options.listeners.begin(), options.listeners.end());
  if (auto r = StepPass(compiled, listeners); !r) return std::unexpected(r.error());
  if (options.midiWanted) build.midiTracks = midi.Finish();
  track.insert(track.end(), {0xFF, 0xDF, 0x00});

  std::vector<std::uint8_t>& image = build.mldImage;
  image.reserve(8 + 2 + headerLength + 8 + track.size());
  PutTag(image, "melo");
  PutU32(image, 2 + headerLength + 8 + track.size());
  PutU16(image, headerLength);
  image.insert(image.end(), {0x01, 0x01, 0x01});
  PutTag(image, "sorc");
  PutU16(image, 1);
  image.push_back(song.copyProtect ? 0x01 : 0x00);
  PutTag(image, "titl");
  PutU16(image, title->size());
  image.insert(image.end(), title->begin(), title->end());
  PutTag(image, "vers");
  PutU16(image, 4);
  PutTag(image, "0100");
  if (cipy) {
    PutTag(image, "cipy");
    PutU16(image, protect.size());
    image.insert(image.end(), protect.begin(), protect.end());
  }
  PutTag(image, "trac");
  PutU32(image, track.size());
  image.insert(image.end(), track.begin(), track.end());

  build.sizeReport = SizeReport(image.size(), compiled);
  return build;
}

Result<void> WriteMldFile(const std::filesystem::path& path, std::span<const std::uint8_t> image) {
  if (!WriteFileAtomic(path, image)) return Fail(msg::kFileWriteFailed);
  return {};
}

}  // namespace chwr

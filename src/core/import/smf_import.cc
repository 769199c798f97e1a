#include "import/smf_import.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "import/smf_convert.h"
#include "io/byte_reader.h"
#include "messages.h"
#include "midi/smf_events.h"
#include "sequence/step_pass.h"
#include "song/choices.h"
#include "text/cp932.h"
#include "text/numbers.h"

namespace chwr {
namespace {

constexpr std::uint8_t kTempoEvent[] = {0xFF, 0x51, 0x03};
constexpr std::uint8_t kTitleEvent[] = {0x00, 0xFF, 0x03};

// Tick values far beyond any file (a start measure typed with twenty digits) are held
// here, so sums of two of them stay exact.
constexpr double kTickLimit = 1e15;

std::int64_t ClampTicks(double ticks) {
  return static_cast<std::int64_t>(std::clamp(ticks, -kTickLimit, kTickLimit));
}

// A number as the dialog's boxes are read: blanks around it and full-width digits are
// fine, anything else is not a number.
std::optional<double> BoxNumber(std::string_view typed) {
  const std::string text = NumberText(typed);
  if (!IsPlainNumber(text)) return std::nullopt;
  return std::strtod(text.c_str(), nullptr);
}

bool LongerThan(std::string_view typed, std::size_t bytes) {
  const auto length = Cp932Length(typed);
  return !length || *length > bytes;
}

ImportInputError InputError(ImportField field, const char* message) {
  Diagnostic d;
  d.message = message;
  return {field, std::move(d)};
}

// The events of the (number + 1)-th "MTrk" found by searching the bytes, each search
// starting behind the previous hit's length field; nullopt when there are fewer.
std::optional<std::size_t> TrackEvents(const ByteReader& r, int number) {
  std::size_t from = 0;
  std::optional<std::size_t> hit;
  for (int i = 0; i <= number; ++i) {
    hit = r.Find("MTrk", from, r.size());
    if (!hit) return std::nullopt;
    from = *hit + 8;
  }
  return from;
}

// Ticks per quarter note from the header's division. A time-code division (top bit set:
// frames a second and ticks a frame) becomes the ticks of one quarter at the file's tempo.
int TicksPerQuarter(std::uint16_t division, double quarterSeconds) {
  if (!(division & 0x8000)) return division;
  const int frames = 256 - (division >> 8);
  const int ticks = division & 0xFF;
  return static_cast<int>(smf::RoundHalfUp(frames * ticks * quarterSeconds));
}

// The tempo box's text: 60 / seconds a quarter, to a whole number, halves upward.
std::string TempoText(double quarterSeconds) {
  const std::int64_t hundredths = smf::RoundHalfUp(quarterSeconds * 100);
  if (hundredths <= 0) return "120";
  return std::to_string((12000 + hundredths) / (2 * hundredths));
}

}  // namespace

Result<SmfFacts> ReadSmfFacts(std::span<const std::uint8_t> bytes) {
  const ByteReader r(bytes);
  if (!r.MatchesAt(0, "MThd")) {
    return Fail(msg::kSmfFormatInvalid, DiagnosticCode::kInvalidFormat);
  }
  SmfFacts facts;
  // A header cut short reads as zeros where its bytes are missing.
  if (r.Has(8, 2)) facts.format = r.U16At(8);
  if (r.Has(12, 2)) facts.division = r.U16At(12);
  if (const auto at = r.Find(kTempoEvent, 0, bytes.size()); at && r.Has(*at + 3, 3)) {
    const std::uint32_t us = r.U32At(*at + 2) & 0xFFFFFF;
    // Two decimals, halves upward, in whole numbers so 0.455 is not 0.45499...
    const std::uint32_t hundredths = (us + 5000) / 10000;
    // Below 0.005 s a quarter no tempo is left to read; the file counts as having none.
    if (hundredths > 0) facts.quarterSeconds = hundredths / 100.0;
  }
  return facts;
}

std::vector<int> ChosenItems(const ImportChoices& choices) {
  std::vector<int> items;
  if (choices.order.empty()) {
    for (int item = 0; item < 16; ++item) {
      if (choices.selected[item]) items.push_back(item);
    }
    return items;
  }
  for (const int item : choices.order) {
    if (item >= 0 && item < 16 && std::find(items.begin(), items.end(), item) == items.end()) {
      items.push_back(item);
    }
  }
  return items;
}

std::optional<ImportInputError> CheckImportInput(const ImportChoices& choices) {
  const std::size_t chosen = ChosenItems(choices).size();
  if (chosen == 0) return InputError(ImportField::kTracks, msg::kNoTrackChosen);
  if (chosen >= 5) return InputError(ImportField::kTracks, msg::kTooManyTracksChosen);
  const auto seek = BoxNumber(choices.seek);
  if (!seek || std::floor(*seek) < 0) return InputError(ImportField::kSeek, msg::kSeekInvalid);
  const auto measures = BoxNumber(choices.measures);
  if (!measures || LongerThan(choices.measures, 4) || std::floor(*measures) < 1) {
    return InputError(ImportField::kMeasures, msg::kRangeInvalid);
  }
  if (!BoxNumber(choices.transpose) || LongerThan(choices.transpose, 3)) {
    return InputError(ImportField::kTranspose, msg::kTransposeInvalid);
  }
  return std::nullopt;
}

Result<ImportedSong> ImportSmf(std::span<const std::uint8_t> bytes, const SmfFacts& facts,
                               const ImportChoices& choices) {
  ImportedSong song;
  if (facts.format != 0 && facts.format != 1) return song;
  if (auto refused = CheckImportInput(choices)) return std::unexpected(refused->error);
  song.converted = true;

  const ByteReader r(bytes);
  const std::uint16_t division = r.Has(12, 2) ? r.U16At(12) : 0;
  smf::ConvertSetup setup;
  setup.division = TicksPerQuarter(division, facts.quarterSeconds);
  if (setup.division <= 0) {
    Diagnostic d;
    d.message = msg::SmfDivisionUnusable(division);
    song.error = std::move(d);
    return song;
  }
  const double quarters = 4.0 * setup.division;
  setup.startTick = ClampTicks(std::floor(*BoxNumber(choices.seek)) * quarters);
  setup.rangeTicks = ClampTicks(std::floor(*BoxNumber(choices.measures)) * quarters);
  setup.transpose = static_cast<int>(smf::RoundHalfUp(*BoxNumber(choices.transpose)));
  setup.octave = choices.octave;
  setup.tone = choices.tone;
  setup.volume = choices.volume;
  setup.format0 = facts.format == 0;

  std::size_t titleInvalid = 0;
  if (!setup.format0) {
    // The title is the first track name at delta time 0 anywhere in the file.
    if (const auto at = r.Find(kTitleEvent, 0, bytes.size())) {
      ByteReader lengthAt(bytes, *at + 3);
      const std::uint32_t length = lengthAt.Vlq().value_or(0);
      bool clipped = false;
      song.title = length >= 1
                       ? smf::TitleText(r.TakeAt(lengthAt.pos(), length, clipped), titleInvalid)
                       : std::string(msg::kUntitled);
    } else {
      song.title = msg::kUntitled;
    }
  }

  // One track at a time, so that only one track's events are held; a start past the end
  // of every chosen track converts nothing and is refused as a whole.
  bool lengthCut = false;
  std::int64_t lastEnd = 0;
  std::vector<smf::PartEvent> buffer;
  const std::vector<int> items = ChosenItems(choices);
  for (std::size_t part = 0; part < items.size(); ++part) {
    const int number = items[part] + 1;
    std::optional<std::size_t> eventsAt = TrackEvents(r, setup.format0 ? 0 : number);
    if (!eventsAt) {
      Diagnostic d;
      d.message = setup.format0 ? std::string(msg::kSmfNoTrack) : msg::TrackMissing(number);
      song.error = std::move(d);
      // The title and the tones that parts converted before the missing one set are kept.
      song.parts = {};
      return song;
    }
    setup.channel = items[part];
    smf::PartSource source = smf::ReadPartSource(bytes, *eventsAt, setup, std::move(buffer));
    lastEnd = std::max(lastEnd, source.endTick);
    song.toneIndex[part] = source.toneIndex;
    if (source.title) song.title = std::move(source.title);
    titleInvalid += source.titleInvalidBytes;
    smf::PartOutcome out = choices.absolute ? smf::ConvertAbsolute(source, setup)
                                            : smf::ConvertStreaming(source, setup);
    buffer = std::move(source.events);
    song.parts[part] = std::move(out.text);
    lengthCut = lengthCut || out.lengthCut;
  }
  if (setup.startTick > 0 && setup.startTick >= lastEnd) {
    const auto measure = static_cast<std::int64_t>(quarters);
    return Fail(msg::SeekPastEnd((lastEnd + measure - 1) / measure - 1));
  }
  song.tempo = TempoText(facts.quarterSeconds);
  if (lengthCut) song.warnings.push_back(MakeWarning(msg::ImportLengthCut(kMaxSongSteps)));
  if (titleInvalid > 0) {
    song.warnings.push_back(MakeWarning(msg::ImportUndecodableTitle(titleInvalid)));
  }
  return song;
}

void ApplyImportedSong(const ImportedSong& imported, SongDocument& song) {
  if (!imported.converted) return;
  if (imported.title) song.title = *imported.title;
  if (!imported.tempo.empty()) song.tempo = imported.tempo;
  song.resolution = 1;
  const auto& tones = ToneItems();
  for (int p = 0; p < 4; ++p) {
    song.parts[p].mml = imported.parts[p];
    const auto index = imported.toneIndex[p];
    if (index && *index >= 0 && static_cast<std::size_t>(*index) < tones.size()) {
      song.parts[p].tone = tones[static_cast<std::size_t>(*index)].text;
    }
  }
}

std::array<ImportSource, 16> DescribeImportSources(std::span<const std::uint8_t> bytes,
                                                   const SmfFacts& facts) {
  std::array<ImportSource, 16> items;
  if (facts.format != 0 && facts.format != 1) return items;
  const ByteReader r(bytes);
  auto noteOn = [](ImportSource& item, int note) {
    ++item.noteCount;
    item.lowestNote = item.lowestNote < 0 ? note : std::min(item.lowestNote, note);
    item.highestNote = std::max(item.highestNote, note);
  };

  if (facts.format == 0) {
    const auto eventsAt = TrackEvents(r, 0);
    if (!eventsAt) return items;
    smf::TrackReader reader(bytes, *eventsAt, bytes.size(), 3);
    smf::Event e;
    while (reader.Next(e) == smf::ReadStatus::kEvent && !e.IsEndOfTrack()) {
      if (e.kind != smf::EventKind::kChannel) continue;
      ImportSource& item = items[e.Channel()];
      item.present = true;
      if (e.Kind() == 8 || e.Kind() == 9) item.channels = {e.Channel() + 1};
      if (e.IsNoteOn()) noteOn(item, e.data1);
    }
    return items;
  }

  for (int number = 1; number <= 16; ++number) {
    const auto eventsAt = TrackEvents(r, number);
    if (!eventsAt) break;
    ImportSource& item = items[number - 1];
    item.present = true;
    std::set<int> channels;
    bool named = false;
    std::size_t invalid = 0;
    smf::TrackReader reader(bytes, *eventsAt, bytes.size(), 3);
    smf::Event e;
    while (reader.Next(e) == smf::ReadStatus::kEvent && !e.IsEndOfTrack()) {
      if (e.kind == smf::EventKind::kMeta && e.metaType == 0x03 && !named) {
        item.name = smf::TitleText(e.payload, invalid);
        named = true;
      } else if (e.kind == smf::EventKind::kChannel && (e.Kind() == 8 || e.Kind() == 9)) {
        channels.insert(e.Channel() + 1);
        if (e.IsNoteOn()) noteOn(item, e.data1);
      }
    }
    item.channels.assign(channels.begin(), channels.end());
  }
  return items;
}

}  // namespace chwr

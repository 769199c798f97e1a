#include "convert/open_song.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "import/smf_import.h"
#include "io/byte_reader.h"
#include "io/file_io.h"
#include "messages.h"
#include "mld/mld_format.h"
#include "mld/mld_midi.h"
#include "mld/mld_reader.h"
#include "smd/smd_reader.h"
#include "song/song_file.h"

namespace chwr {

FileKind FileKindOf(const std::filesystem::path& path) {
  std::string name = path.filename().string();
  if (name.size() < 3) return FileKind::kSongText;
  std::string last = name.substr(name.size() - 3);
  std::transform(last.begin(), last.end(), last.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (last == "MLD") return FileKind::kMld;
  if (last == "SMD") return FileKind::kSmd;
  if (last == "MID") return FileKind::kMidi;
  return FileKind::kSongText;
}

std::optional<FileKind> SniffFileKind(std::span<const std::uint8_t> bytes) {
  const ByteReader r(bytes);
  // The zero byte after the magic is the top byte of a length: in every MLD or MIDI file,
  // and in no text.
  auto magic = [&](std::string_view tag) {
    return r.MatchesAt(0, tag) && r.Has(tag.size(), 1) && r.U8At(tag.size()) == 0;
  };
  if (magic(mld::kMagic)) return FileKind::kMld;
  if (magic("MThd")) return FileKind::kMidi;
  if (r.MatchesAt(0, "\x1B$D")) return FileKind::kSmd;
  if (r.MatchesAt(0, "qrv\r") || r.MatchesAt(0, "qrv\n")) return FileKind::kSongText;
  return std::nullopt;
}

std::string FileKindName(FileKind kind) {
  switch (kind) {
    case FileKind::kMld:
      return msg::kMldKindName;
    case FileKind::kSmd:
      return msg::kSmdKindName;
    case FileKind::kMidi:
      return msg::kMidiKindName;
    case FileKind::kSongText:
      break;
  }
  return msg::kTextKindName;
}

namespace {

// The reader's refusal, saying what the bytes are when they plainly are another kind.
Diagnostic Refusal(Diagnostic d, FileKind kind, std::span<const std::uint8_t> bytes) {
  const auto found = SniffFileKind(bytes);
  if (d.code == DiagnosticCode::kInvalidFormat && found && *found != kind) {
    d.message += msg::ContentIsKind(FileKindName(*found));
    d.code = DiagnosticCode::kOtherKind;
  }
  return d;
}

template <class Read>
Result<OpenedSong> Opened(FileKind kind, Result<Read> read, std::span<const std::uint8_t> bytes) {
  if (!read) return std::unexpected(Refusal(read.error(), kind, bytes));
  return OpenedSong{kind, std::move(read->song), std::move(read->warnings)};
}

}  // namespace

namespace {

// The file's and the converter's warnings, the voices with notes left out (said by
// `leftOut`) and chords in the voices kept.
Diagnostics MldWarnings(const MldMusic& music, const MldMidi& midi,
                        const std::array<bool, 16>& selected,
                        std::string (*leftOut)(const std::vector<int>&)) {
  Diagnostics warnings = music.warnings;
  warnings.insert(warnings.end(), midi.warnings.begin(), midi.warnings.end());
  std::vector<int> notTaken;
  bool chords = false;
  for (std::size_t i = 0; i < midi.trackChannels.size(); ++i) {
    if (midi.trackNotes[i] == 0) continue;
    if (i < selected.size() && selected[i]) {
      chords = chords || midi.trackChords[i];
    } else {
      notTaken.push_back(midi.trackChannels[i]);
    }
  }
  if (!notTaken.empty()) warnings.push_back(MakeWarning(leftOut(notTaken)));
  if (chords) warnings.push_back(MakeWarning(msg::kMldChordsInParts));
  return warnings;
}

}  // namespace

bool MldFitsSong(const MldMusic& music) {
  const MldMidi midi = MldToSmf(music, kMldSongBase);
  int voices = 0;
  for (std::size_t i = 0; i < midi.trackChannels.size(); ++i) {
    if (midi.trackNotes[i] == 0) continue;
    if (midi.trackChords[i] || ++voices > 4) return false;
  }
  return true;
}

Diagnostics MldChoiceWarnings(const MldMusic& music, const MldMidi& midi,
                              const std::array<bool, 16>& selected) {
  return MldWarnings(music, midi, selected, &msg::MldVoicesNotChosen);
}

Result<OpenedSong> OpenForeignMld(const MldMusic& music) {
  // Converted with this program's own key base, the import writes the keys the file names.
  const MldMidi midi = MldToSmf(music, kMldSongBase);
  ImportChoices choices;
  choices.measures = "9999";  // the whole ring tone
  choices.octave = true;      // each part starts in the octave it plays, not the default
  int chosen = 0;
  for (std::size_t i = 0; i < midi.trackChannels.size() && i < choices.selected.size(); ++i) {
    if (midi.trackNotes[i] > 0 && chosen < 4) {
      choices.selected[i] = true;
      ++chosen;
    }
  }
  if (chosen == 0)
    choices.selected[0] = true;  // nothing sounds: an empty song, as the import makes
  auto opened = ImportMidiSong(midi.bytes, choices);
  if (!opened) return opened;
  opened->kind = FileKind::kMld;
  Diagnostics warnings = MldWarnings(music, midi, choices.selected, &msg::MldVoicesLeftOut);
  warnings.insert(warnings.end(), opened->warnings.begin(), opened->warnings.end());
  opened->warnings = std::move(warnings);
  return opened;
}

Result<SmfFacts> ReadMidiFileFacts(std::span<const std::uint8_t> bytes) {
  auto facts = ReadSmfFacts(bytes);
  if (!facts) return std::unexpected(Refusal(facts.error(), FileKind::kMidi, bytes));
  return facts;
}

Result<OpenedSong> ImportMidiSong(std::span<const std::uint8_t> bytes,
                                  const ImportChoices& choices) {
  const auto facts = ReadMidiFileFacts(bytes);
  if (!facts) return std::unexpected(facts.error());
  auto imported = ImportSmf(bytes, *facts, choices);
  if (!imported) return std::unexpected(imported.error());
  if (!imported->converted) {
    return Fail(msg::SmfFormatNotConvertible(facts->format), DiagnosticCode::kNotConvertible);
  }
  if (imported->error) return std::unexpected(*imported->error);
  OpenedSong opened{FileKind::kMidi, {}, std::move(imported->warnings)};
  ApplyImportedSong(*imported, opened.song);
  return opened;
}

Result<OpenedSong> OpenSongBytes(FileKind kind, std::span<const std::uint8_t> bytes) {
  switch (kind) {
    case FileKind::kMld:
      // Ring tones of other programs' layouts are decoded; this program's own layout is
      // read note for note into the parts it was written from.
      if (auto music = DecodeMld(bytes); music && !IsSongLayout(*music)) {
        return OpenForeignMld(*music);
      }
      return Opened(kind, ReadMld(bytes), bytes);
    case FileKind::kSongText:
      return Opened(kind, ParseSongFile(bytes), bytes);
    case FileKind::kSmd: {
      // Any bytes read as SMD: another kind of file would open as a title of garbage.
      if (const auto found = SniffFileKind(bytes); found && *found != kind) {
        const auto refused = Fail(msg::kInvalidFileFormat, DiagnosticCode::kInvalidFormat);
        return std::unexpected(Refusal(refused.error(), kind, bytes));
      }
      SmdRead read = ReadSmd(bytes);
      return OpenedSong{kind, std::move(read.song), std::move(read.warnings)};
    }
    case FileKind::kMidi:
      break;
  }
  // The import dialog's first choices: the first list item, from measure 0, 32 measures,
  // streaming, nothing else taken over.
  ImportChoices choices;
  choices.selected[0] = true;
  return ImportMidiSong(bytes, choices);
}

Result<OpenedSong> OpenSongFile(const std::filesystem::path& path) {
  const FileKind kind = FileKindOf(path);
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::unexpected(bytes.error());
  return OpenSongBytes(kind, *bytes);
}

}  // namespace chwr

#include "cli/shared.h"

#include <iostream>
#include <iterator>
#include <string_view>

#include "cli/cli_messages.h"
#include "cli/exit_status.h"
#include "convert/open_song.h"
#include "io/file_io.h"
#include "mld/mld_decoder.h"
#include "mld/mld_midi.h"
#include "settings/settings.h"

namespace chwr::cli {
namespace {

// The song of a read, with its warnings printed.
Result<SongDocument> SongOf(Result<OpenedSong> read, std::ostream& err) {
  if (!read) return std::unexpected(std::move(read.error()));
  for (const Diagnostic& w : read->warnings) Print(w, err);
  return std::move(read->song);
}

}  // namespace

// Every message of the tool goes out here: errors as the editor shows them, warnings
// behind the "注意" of their message-box title.
void Print(const Diagnostic& d, std::ostream& err) {
  if (d.kind == DiagnosticKind::Warning) err << DiagnosticTitle(d.kind) << ": ";
  err << d.message << '\n';
  // The file and the system's reason, each on a line of its own, indented.
  std::string_view detail = d.detail;
  while (!detail.empty()) {
    const std::size_t end = detail.find('\n');
    err << "  " << detail.substr(0, end) << '\n';
    detail = end == std::string_view::npos ? std::string_view() : detail.substr(end + 1);
  }
}

int Failed(const Diagnostic& d, std::ostream& err) {
  Print(d, err);
  return ExitStatusOf(d.code);
}

Diagnostic UsageError(std::string message) {
  return Fail(std::move(message), DiagnosticCode::kUsage).error();
}

Result<SongDocument> ReadSong(const std::filesystem::path& path, std::ostream& err) {
  if (path != "-") return SongOf(OpenSongFile(path), err);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(std::cin)),
                                  std::istreambuf_iterator<char>());
  return SongOf(OpenSongBytes(FileKind::kSongText, bytes), err);
}

Result<MidiSettings> ToMidiSettings(const MidiOptions& o) {
  MidiSettings m;
  if (o.octave == "high") {
    m.octaveChoice = 0;
  } else if (o.octave == "normal") {
    m.octaveChoice = 1;
  } else if (o.octave == "low") {
    m.octaveChoice = 2;
  } else {
    return std::unexpected(UsageError(msg::kOctaveChoices));
  }
  m.repeatOn = o.repeat;
  m.doubleSpeed = o.doubleSpeed;
  if (o.program && (*o.program < 1 || *o.program > 128)) {
    return std::unexpected(UsageError(msg::kMidiToneRange));
  }
  m.allPartsProgram = o.program ? *o.program - 1 : -1;
  if (o.mute && o.mute->empty()) return std::unexpected(UsageError(msg::kMuteParts));
  std::string_view list = o.mute ? std::string_view(*o.mute) : std::string_view();
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (item.size() != 1 || item[0] < '1' || item[0] > '4') {
      return std::unexpected(UsageError(msg::kMuteParts));
    }
    m.mute[item[0] - '1'] = true;
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return m;
}

Result<BuildResult> Build(const SongDocument& song, const std::optional<MidiSettings>& midi,
                          bool smd, bool mld, std::ostream& err) {
  BuildRequest request;
  request.smd = smd;
  request.mld = mld || !smd;
  request.midi = midi.has_value();
  if (midi) request.midiSettings = *midi;
  auto build = BuildSong(song, request);
  if (!build) return build;
  for (const Diagnostic& w : build->warnings) Print(w, err);
  return build;
}

Result<std::vector<std::uint8_t>> MidiToHear(const SoundRequest& request, std::ostream& err) {
  auto bytes = ReadFileBytes(request.input);
  if (!bytes) return bytes;
  const FileKind kind = FileKindOf(request.input);
  if (kind == FileKind::kMidi) return bytes;
  if (kind == FileKind::kMld) {
    // A ring tone of another program's layout plays as the handset plays it; one of this
    // program's own layout is a song, built with the play settings like any other.
    if (auto music = DecodeMld(*bytes); music && !IsSongLayout(*music)) {
      MldMidi converted = MldToSmf(*music);
      for (const Diagnostic& w : music->warnings) Print(w, err);
      for (const Diagnostic& w : converted.warnings) Print(w, err);
      return std::move(converted.bytes);
    }
  }
  auto midi = ToMidiSettings(request.midi);
  if (!midi) return std::unexpected(std::move(midi.error()));
  auto song = SongOf(OpenSongBytes(kind, *bytes), err);
  if (!song) return std::unexpected(std::move(song.error()));
  auto built = Build(*song, *midi, false, true, err);
  if (!built) return std::unexpected(std::move(built.error()));
  return std::move(built->midiFile);
}

std::filesystem::path SoundFontSetting(const SoundRequest& request) {
  if (!request.soundFont.empty()) return request.soundFont;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return LoadSettings(SettingsPath(ec ? std::filesystem::current_path() : exe.parent_path()))
      .soundFont;
}

}  // namespace chwr::cli

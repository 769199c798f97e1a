#pragma once
// What the commands of `chwr` share: how a message is printed and a failure ends a
// command, reading a song, the play settings, a build, and the MIDI that is heard.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "convert/build_song.h"
#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr::cli {

/// Prints `d` on `err`: the message as the editor shows it (a warning behind "注意: "),
/// then each line of its detail, indented.
void Print(const Diagnostic& d, std::ostream& err);

/// Prints `d` and gives the exit status its code stands for.
int Failed(const Diagnostic& d, std::ostream& err);

/// A failure of the command line itself (exit status 64) saying `message`.
Diagnostic UsageError(std::string message);

/// The song of a song text, MLD, SMD or MIDI file, its kind by its name, or of a song text
/// on standard input for "-"; the reader's warnings are printed on `err`.
Result<SongDocument> ReadSong(const std::filesystem::path& path, std::ostream& err);

/// The editor's play settings from the command line.
Result<MidiSettings> ToMidiSettings(const MidiOptions& options);

/// Builds `song` into its MLD image and, with `midi`, its MIDI file (`smd`: its SMD file,
/// `mld`: the MLD image is needed); the warnings are printed on `err`.
Result<BuildResult> Build(const SongDocument& song, const std::optional<MidiSettings>& midi,
                          bool smd, bool mld, std::ostream& err);

/// The MIDI image `play` and `render` make heard: a MIDI file as it is, any other song
/// built as the editor's play command builds it; warnings are printed on `err`.
Result<std::vector<std::uint8_t>> MidiToHear(const SoundRequest& request, std::ostream& err);

/// The SoundFont named on the command line, else in the settings file.
std::filesystem::path SoundFontSetting(const SoundRequest& request);

}  // namespace chwr::cli

#pragma once
// `chwr`'s own texts: what it says about its command line and where its output went.
// The core's messages (errors and warnings as the editor shows them) live in the core's
// messages.h; the help texts stay with the options they describe.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace chwr::cli::msg {

/// Where a failed write went when it was no file, in the file name's place.
inline constexpr const char* kStandardOutput = "(standard output)";
/// Under a sound output that cannot be opened, when playing without one would work.
inline constexpr const char* kNoSoundCardHint =
    "--audio none plays without a sound card (unheard, at real pace).";

/// An --octave other than the three.
inline constexpr const char* kOctaveChoices = "--octave: high, normal or low";
/// A --midi-tone out of range.
inline constexpr const char* kMidiToneRange = "--midi-tone: a General MIDI program from 1 to 128";
/// A --mute list that is not part numbers.
inline constexpr const char* kMuteParts = "--mute: part numbers 1 to 4, separated by commas";
/// An --audio other than the two.
inline constexpr const char* kAudioChoices = "--audio: system or none";
/// A --tracks list that is not list numbers.
inline constexpr const char* kTrackNumbers =
    "--tracks: track (or, in a format 0 file, channel) numbers 1 to 16, separated by commas";
/// Import choices given for a file that is no MIDI file.
inline constexpr const char* kImportOptionsForMidi =
    "open: --tracks, --start, --measures, --transpose, --absolute, --octave, --tone and "
    "--volume are for MIDI files (a name ending in \"mid\")";
/// `build` without an output.
inline constexpr const char* kSayWhatToWrite =
    "build: say what to write: --mld, --mid, --smd, --mail and/or --reset-mid";
/// `build` with an output made of a song, but no song.
inline constexpr const char* kSongNeeded =
    "build: a SONG is needed for --mld, --mid, --smd and --mail";

/// `convert -o` with more than one input.
inline constexpr const char* kConvertOneOutput =
    "convert: -o names the MIDI file of one input; for several, give a folder with -d";
/// `convert` given folders without an MLD file in them.
inline constexpr const char* kConvertNothingFound = "convert: no MLD file (*.mld) found";
/// The progress line of a batch conversion.
std::string ConvertProgress(std::size_t done, std::size_t total, std::size_t failed);
/// The last line of a batch conversion.
std::string ConvertSummary(std::size_t converted, std::size_t failed);

/// A first argument that names no command, with the `commands` there are.
std::string UnknownCommand(std::string_view name, const std::vector<std::string>& commands);

}  // namespace chwr::cli::msg

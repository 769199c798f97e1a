#pragma once
// The commands of `chwr`, callable in-process so tests can drive them. Each returns its
// exit status (cli/exit_status.h).

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace chwr::cli {

/// `chwr compile SONG.txt`: JSON lines of every part's events and statistics; "-" reads
/// the song from standard input.
int CompileCommand(const std::filesystem::path& song, std::ostream& out, std::ostream& err);

/// How a song should sound as MIDI (the editor's play menu settings).
struct MidiOptions {
  std::string octave = "normal";  ///< high, normal or low
  bool repeat = false;
  bool doubleSpeed = false;
  std::optional<int> program;       ///< 1..128; none: each part's tone choice
  std::optional<std::string> mute;  ///< parts to leave out, e.g. "1,3"
};

/// `chwr build [SONG.txt] [--mld OUT.mld] [--mail] [--mid OUT.mid] [--smd OUT.smd]
/// [--reset-mid OUT.mid]`.
struct BuildArgs {
  std::filesystem::path song;
  std::filesystem::path mldOut;    ///< empty: no MLD file
  bool mail = false;               ///< print the melody-mail text
  std::filesystem::path midOut;    ///< empty: no MIDI file
  std::filesystem::path smdOut;    ///< empty: no SMD file
  std::filesystem::path resetOut;  ///< empty: no reset file
  MidiOptions midi;
};
int BuildCommand(const BuildArgs& request, std::ostream& out, std::ostream& err);

/// The import dialog's choices for a MIDI file, as typed on the command line.
struct ImportArgs {
  std::string tracks = "1";     ///< list items (tracks or channels) 1..16, e.g. "1,2,3,4"
  std::string start = "0";      ///< start measure
  std::string measures = "32";  ///< measures to convert
  std::string transpose = "0";  ///< semitones
  bool absolute = false;        ///< absolute lengths ("*n")
  bool octave = false;          ///< "O" from the first note
  bool tone = false;            ///< program changes choose the tones
  std::string volume = "none";  ///< none, cc7, cc11 or velocity
  bool given = false;           ///< any of these was on the command line
};

/// `chwr open FILE -o SONG.txt [--mail] [import choices]`: an MLD, SMD or MIDI file (or
/// mail text) as a song text file.
int OpenCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                bool mailText, const ImportArgs& import, std::ostream& out, std::ostream& err);

/// `chwr dump FILE`: a readable listing of an MLD, SMD or MIDI file.
int DumpCommand(const std::filesystem::path& input, std::ostream& out, std::ostream& err);

/// How `play` and `render` make sound.
struct SoundRequest {
  std::filesystem::path input;   ///< song text, MLD or MIDI file
  std::filesystem::path output;  ///< render: the WAV file
  std::string soundFont;         ///< empty: settings file, then found automatically
  std::string audio = "system";  ///< play: system or none
  bool loop = false;             ///< play: until Ctrl+C
  MidiOptions midi;
};
/// `chwr play FILE`: plays with a live position line until the end (exit status 0) or
/// Ctrl+C (130).
int PlayCommand(const SoundRequest& request, std::ostream& out, std::ostream& err);
/// `chwr render FILE -o OUT.wav`: renders faster than real time.
int RenderCommand(const SoundRequest& request, std::ostream& out, std::ostream& err);

/// `chwr convert FILE|FOLDER... [-o OUT.mid | -d DIR]`: MLD files of any layout as MIDI.
struct ConvertArgs {
  std::vector<std::filesystem::path> inputs;  ///< files, and folders searched for "*.mld"
  std::filesystem::path output;               ///< the MIDI file of the one input
  std::filesystem::path outputDir;            ///< where the MIDI files go; empty: beside each
};
/// Converts in parallel on every core with a progress line on a terminal; names each file
/// that failed and why. Exit status 1 when any failed (the others are written), or the
/// failure's own status when there was one input.
int ConvertCommand(const ConvertArgs& args, std::ostream& out, std::ostream& err);

/// Parses the command line and runs the chosen command. Output that cannot be written to
/// `out` (a full disk) is reported on `err` with exit status 2.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace chwr::cli

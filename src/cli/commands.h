#pragma once
// The commands of `chwr`, callable in-process so tests can drive them.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace chwr::cli {

/// Exit statuses shared by every command.
enum ExitStatus { kOk = 0, kCompileError = 1, kFileError = 2, kUsageError = 64 };

/// `chwr compile SONG.txt`: JSON lines of every part's events and statistics; "-" reads
/// the song from standard input.
int CompileCommand(const std::filesystem::path& song, std::ostream& out, std::ostream& err);

/// How a song should sound as MIDI (the editor's play menu settings).
struct MidiOptions {
  std::string octave = "normal";  ///< high, normal or low
  bool repeat = false;
  bool doubleSpeed = false;
  std::optional<int> midiTone;     ///< 1..128; none: each part's tone choice
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

/// `chwr open FILE -o SONG.txt [--mail]`: an MLD file (or mail text) as a song text file.
int OpenCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                bool mailText, std::ostream& out, std::ostream& err);

/// `chwr dump FILE.mld`: a readable listing of an MLD file's chunks and records.
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
/// `chwr play FILE`: plays with a live position line until the end or Ctrl+C.
int PlayCommand(const SoundRequest& request, std::ostream& out, std::ostream& err);
/// `chwr render FILE -o OUT.wav`: renders faster than real time.
int RenderCommand(const SoundRequest& request, std::ostream& out, std::ostream& err);

/// Parses the command line and runs the chosen command.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace chwr::cli

// The command line of `chwr`: the commands and their options wired with CLI11, the
// help texts, and the check that what a command printed reached standard output.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_messages.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "messages.h"
#include "version.h"

namespace chwr::cli {
namespace {

// What a command printed is the whole of its result for a script (the listing, the mail
// text, the size report), so a write to standard output that failed (a full disk, a
// full device) fails the command with a message instead of passing for success.
int CheckedOutput(int status, std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return status;
  // No reason line: errno may have been overwritten since the write that failed.
  Diagnostic d;
  d.message = chwr::msg::kFileWriteFailed;
  d.code = DiagnosticCode::kFileAccess;
  d.detail = msg::kStandardOutput;
  const int failed = Failed(d, err);
  return status == kOk ? failed : status;
}

}  // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  // Named here, so usage lines say "chwr" however the program was started.
  CLI::App app{
      "chwr - Chimewright's command-line tool for i-mode ring melodies.\n"
      "Compiles songs; builds MLD, SMD and MIDI files and melody mail from them; turns MLD and "
      "SMD files and melody mail back into song text files and converts MIDI files into them; "
      "lists MLD, SMD and MIDI files; and plays songs or renders them to WAV files.\n"
      "A song is a song text file (18 Shift-JIS lines, first line \"qrv\") or an MLD, SMD or "
      "MIDI file, told apart as the editor tells them: by the last three letters of the name "
      "(\"mld\", \"smd\", \"mid\", any case; any other name is a song text file). A MIDI file "
      "taken as a song is converted as \"chwr open\" converts it without options.",
      "chwr"};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Show help for every command");
  app.set_version_flag("--version", std::string("chwr (Chimewright) ") + kVersion);
  app.footer(kExitStatusHelp);

  std::string songPath;
  CLI::App* compile = app.add_subcommand(
      "compile",
      "Compile the four parts of a song (a song text, MLD, SMD or MIDI file) and print one "
      "JSON object per line: every event of parts 1-4 (part, index, key, gate, step, volume, "
      "tone, data, adjustedGate), then each part's statistics, then {\"markStep\":N}. "
      "Warnings go to standard error. Exit status 1 on a compile error or a refused MIDI "
      "conversion (its message first on standard error), 2 when the file cannot be read, is "
      "not the kind its name says, or is a MIDI file of a format other than 0 and 1.");
  constexpr const char* kSongHelp =
      "Song text, MLD, SMD or MIDI file, its kind by its name; - reads a song text from "
      "standard input";
  compile->add_option("SONG", songPath, kSongHelp)->required();

  // The play menu's settings, for the MIDI built from a song; `scope` says when they count.
  auto addMidiOptions = [](CLI::App* cmd, MidiOptions& m, const std::string& scope) {
    cmd->add_option("--octave", m.octave,
                    "Octave of the MIDI notes: high, normal (default) or low" + scope)
        ->check(CLI::IsMember({"high", "normal", "low"}));
    cmd->add_flag("--repeat", m.repeat, "The song twice over" + scope);
    cmd->add_flag("--double-speed", m.doubleSpeed, "Twice the tempo" + scope);
    cmd->add_option("--midi-tone", m.program,
                    "General MIDI program 1-128 for every part "
                    "(default: each part's tone choice)" +
                        scope);
    cmd->add_option("--mute", m.mute, "Parts 1-4 to leave out, e.g. 1,3" + scope);
  };

  BuildArgs build;
  CLI::App* buildCmd = app.add_subcommand(
      "build",
      "Build a song (a song text, MLD, SMD or MIDI file) the way the editor does (parts 1-4 "
      "compiled in order) and write its outputs. --mld writes the MLD file and --mid the "
      "Standard MIDI File, and either prints the size report (the editor's status-bar text); "
      "--smd writes the SMD file; --mail prints the melody-mail text (\"--B:M\", CR LF, "
      "base64) followed by one line feed; --reset-mid writes the sound-source reset file (no "
      "song needed). Warnings go to standard error. Exit status 1 on a compile or build "
      "error or a refused MIDI conversion, 2 when a file cannot be read or written or is not "
      "the kind its name says.");
  buildCmd->add_option("SONG", build.song, kSongHelp);
  buildCmd->add_option("--mld", build.mldOut, "Write the MLD file here");
  buildCmd->add_flag("--mail", build.mail, "Print the melody-mail text");
  buildCmd->add_option("--mid", build.midOut, "Write the MIDI file here");
  buildCmd->add_option("--smd", build.smdOut, "Write the SMD file here");
  buildCmd->add_option("--reset-mid", build.resetOut, "Write the sound-source reset file here");
  addMidiOptions(buildCmd, build.midi, "; for --mid");

  SoundRequest play;
  CLI::App* playCmd = app.add_subcommand(
      "play",
      "Play a song text, MLD, SMD or MIDI file on FluidSynth with a General MIDI SoundFont, "
      "showing the position (mm:ss / mm:ss). A MIDI file plays as it is; any other song is "
      "built into MIDI first, as the editor's play command builds it. Ctrl+C stops. --audio "
      "none plays at real pace without a sound card.");
  constexpr const char* kSoundFile = "Song text, MLD, SMD or MIDI file, its kind by its name";
  constexpr const char* kNotForMidi = "; not for a MIDI file, which plays as it is";
  constexpr const char* kSoundFontHelp =
      "SoundFont (.sf2) to use (default: the SoundFont of chwr.ini's [Midi] section, else "
      "FluidR3_GM or TimGM6mb when installed)";
  playCmd->add_option("FILE", play.input, kSoundFile)->required();
  playCmd->add_option("--soundfont", play.soundFont, kSoundFontHelp);
  playCmd
      ->add_option("--audio", play.audio,
                   "Where the sound goes: system (default) or none (at real pace, unheard)")
      ->check(CLI::IsMember({"system", "none"}));
  playCmd->add_flag("--loop", play.loop, "Start over at the end until stopped");
  addMidiOptions(playCmd, play.midi, kNotForMidi);

  SoundRequest render;
  CLI::App* renderCmd = app.add_subcommand(
      "render",
      "Render a song text, MLD, SMD or MIDI file to a 44.1 kHz 16-bit stereo WAV file, "
      "faster than real time, with a progress bar when standard error is a terminal. A MIDI "
      "file renders as it is; any other song is built into MIDI first, as for play.");
  renderCmd->add_option("FILE", render.input, kSoundFile)->required();
  renderCmd->add_option("-o,--output", render.output, "WAV file to write")->required();
  renderCmd->add_option("--soundfont", render.soundFont, kSoundFontHelp);
  addMidiOptions(renderCmd, render.midi, kNotForMidi);

  std::string openInput, openOutput;
  bool openMail = false;
  ImportArgs import;
  CLI::App* openCmd = app.add_subcommand(
      "open",
      "Read an MLD, SMD or MIDI file (or, with --mail, a text file holding melody-mail text) "
      "and write the song text file that the editor would show; a file of any other name is "
      "read as a song text file and written anew. A MIDI file is converted as "
      "the editor's import dialog converts it (\"MML変換\" on a new song: title, tempo, "
      "resolution 48, tones, four parts), with the dialog's choices as options. Notes about "
      "anything that could not be read go to standard error. Exit status 1 when the import "
      "dialog would refuse the choices or a chosen track is missing (its message first on "
      "standard error), 2 when the input is no file of its kind (or a MIDI file of a format "
      "other than 0 and 1) or a file cannot be read or written.");
  openCmd
      ->add_option("FILE", openInput,
                   "MLD, SMD or MIDI file, its kind by its name; with --mail, a text file of "
                   "melody-mail text")
      ->required();
  openCmd->add_option("-o,--output", openOutput, "Song text file to write")->required();
  openCmd->add_flag("--mail", openMail, "FILE holds melody-mail text, not MLD bytes");
  const std::vector<CLI::Option*> importOptions = {
      openCmd->add_option("--tracks", import.tracks,
                          "MIDI: up to four tracks (format 1; track 1 is the second track "
                          "chunk) or channels (format 0), numbered 1-16, for parts 1-4 in the "
                          "order given: 2,3,4,1 puts track 2 in part 1 and track 1 in part 4 "
                          "(default 1)"),
      openCmd->add_option("--start", import.start,
                          "MIDI: the measure to start at, counted from 0, a measure being four "
                          "quarter notes (default 0)"),
      openCmd->add_option("--measures", import.measures,
                          "MIDI: how many measures to convert, 1-9999 (default 32)"),
      openCmd->add_option("--transpose", import.transpose,
                          "MIDI: semitones up, or down when negative, at most 3 characters, "
                          "e.g. 12 or -12 (default 0)"),
      openCmd->add_flag("--absolute", import.absolute,
                        "MIDI: absolute lengths (\"*n\") instead of length names"),
      openCmd->add_flag("--octave", import.octave,
                        "MIDI: start each part with the octave of its first note"),
      openCmd->add_flag("--tone", import.tone, "MIDI: program changes choose each part's tone"),
      openCmd
          ->add_option("--volume", import.volume,
                       "MIDI: each part's volume from none (default), cc7 (volume), cc11 "
                       "(expression) or velocity")
          ->check(CLI::IsMember({"none", "cc7", "cc11", "velocity"})),
  };

  std::string dumpInput;
  CLI::App* dumpCmd = app.add_subcommand(
      "dump",
      "Print a readable listing of an MLD file (header chunks and every track record with "
      "its offset, delta and event), of an SMD file (every code with its meaning: window, "
      "note name, length, tie, triplet mark) or of a MIDI file (header, what the import "
      "reads of it, every chunk and every event with its offset, delta, absolute tick, "
      "status and meaning). A file of any other name is listed as an MLD file. Never fails on "
      "a malformed file: it says where the layout breaks. Exit status 2 when the file cannot "
      "be read.");
  dumpCmd->add_option("FILE", dumpInput, "MLD, SMD or MIDI file, its kind by its name")->required();

  ConvertArgs convert;
  CLI::App* convertCmd = app.add_subcommand(
      "convert",
      "Write MLD files of any layout (also the ones other programs and services wrote: "
      "4-byte notes, several tracks, 16 voices) as Standard MIDI Files: every channel on a "
      "track of its own, the tempo map, programs, volumes, pans and bends, loop points as the "
      "markers \"loopStart\"/\"loopEnd\" and controller 111. Takes files and folders (their "
      "*.mld files, subfolders included), converts them in parallel on every core, shows a "
      "progress line when standard error is a terminal and names every file it could not "
      "read with the reason. Exit status 1 when any file failed (the others are written); "
      "with one input, the status of what went wrong.");
  convertCmd->add_option("FILE", convert.inputs, "MLD files and folders")->required();
  auto* convertOut =
      convertCmd->add_option("-o,--output", convert.output, "The MIDI file (one input only)");
  convertCmd
      ->add_option("-d,--dir", convert.outputDir,
                   "Folder for the MIDI files (a folder's files keep their subfolders); "
                   "default: beside each input")
      ->excludes(convertOut);

  // An unknown command is named, with the commands there are.
  if (argc > 1 && argv[1][0] != '-') {
    const std::string_view first = argv[1];
    const auto& commands = app.get_subcommands([](CLI::App*) { return true; });
    if (std::none_of(commands.begin(), commands.end(),
                     [&](const CLI::App* c) { return c->get_name() == first; })) {
      std::vector<std::string> names;
      for (const CLI::App* c : commands) names.push_back(c->get_name());
      return Failed(UsageError(msg::UnknownCommand(first, names)), err);
    }
  }
  const int status = [&]() -> int {
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      // CLI11 prints help and errors to the streams it is given.
      int code = app.exit(e, out, err);
      return code == 0 ? kOk : ExitStatusOf(DiagnosticCode::kUsage);
    }
    if (compile->parsed()) return CompileCommand(songPath, out, err);
    if (buildCmd->parsed()) {
      if (build.mldOut.empty() && !build.mail && build.midOut.empty() && build.smdOut.empty() &&
          build.resetOut.empty()) {
        return Failed(UsageError(msg::kSayWhatToWrite), err);
      }
      if (build.song.empty() &&
          (!build.mldOut.empty() || build.mail || !build.midOut.empty() || !build.smdOut.empty())) {
        return Failed(UsageError(msg::kSongNeeded), err);
      }
      return BuildCommand(build, out, err);
    }
    if (openCmd->parsed()) {
      import.given = std::any_of(importOptions.begin(), importOptions.end(),
                                 [](const CLI::Option* o) { return o->count() > 0;
    });
    return OpenCommand(openInput, openOutput, openMail, import, out, err);
  } if (dumpCmd->parsed()) return DumpCommand(dumpInput, out, err);
  if (playCmd->parsed()) return PlayCommand(play, out, err);
  if (renderCmd->parsed()) return RenderCommand(render, out, err);
  if (convertCmd->parsed()) return ConvertCommand(convert, out, err);
  return ExitStatusOf(DiagnosticCode::kUsage);
}
();
return CheckedOutput(status, out, err);
}

}  // namespace chwr::cli

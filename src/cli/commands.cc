#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "build/build_song.h"
#include "build/open_song.h"
#include "cli/json.h"
#include "io/file_io.h"
#include "import/smf_dump.h"
#include "import/smf_import.h"
#include "mail/melody_mail.h"
#include "messages.h"
#include "mld/mld_dump.h"
#include "smd/smd_dump.h"
#include "mld/mld_reader.h"
#include "mml/song_compile.h"
#include "playback/playback.h"
#include "settings/settings.h"
#include "smd/smd_writer.h"
#include "song/song_file.h"
#include "version.h"

namespace chwr::cli {
namespace {

// Where a failed write went when it was no file, in the file name's place.
constexpr const char* kStandardOutput = "(standard output)";

constexpr const char* kExitStatusHelp =
    "Exit status: 0 done; 1 a compile or build error (the editor's message first on standard "
    "error); 2 a file that cannot be read or written, or is not what it should be (standard "
    "output included); 64 a usage error (an unknown command or option, or a value out of "
    "range); 130 play stopped by Ctrl+C.";

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

// A song file by its name, or a song text read from standard input for "-".
Result<OpenedSong> OpenSong(const std::filesystem::path& path) {
  if (path != "-") return OpenSongFile(path);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(std::cin)),
                                  std::istreambuf_iterator<char>());
  return OpenSongBytes(FileKind::kSongText, bytes);
}

Diagnostic TempoReplacedNote(const std::string& tempo) {
  return MakeWarning("ﾃﾝﾎﾟ「" + tempo + "」は数値でないため120にしました。");
}

// The song of a song-file or MLD read with its warnings printed; nullopt after
// printing why there is none.
template <class Read>
std::optional<SongDocument> SongOf(Result<Read> read, std::ostream& err) {
  if (!read) {
    Print(read.error(), err);
    return std::nullopt;
  }
  for (const Diagnostic& w : read->warnings) Print(w, err);
  return std::move(read->song);
}

void AppendField(std::string& line, const char* name, long long value) {
  line += ",\"";
  line += name;
  line += "\":";
  line += std::to_string(value);
}

void AppendField(std::string& line, const char* name, std::string_view value) {
  line += ",\"";
  line += name;
  line += "\":";
  AppendJsonString(line, value);
}

void AppendPart(std::string& out, int p, const CompiledPart& part, const CompileState& state) {
  for (int i = 0; i < part.count; ++i) {
    const NoteEvent& e = part.events[i];
    out += "{\"part\":" + std::to_string(p + 1);
    AppendField(out, "index", i);
    AppendField(out, "key", e.key);
    AppendField(out, "gate", e.gate);
    AppendField(out, "step", e.step);
    // null: the event leaves the volume as it was; a number (0 too) sets it.
    if (e.changesVolume()) {
      AppendField(out, "volume", e.volume);
    } else {
      out += ",\"volume\":null";
    }
    AppendField(out, "tone", e.tone);
    AppendField(out, "data", part.DataOf(e));
    AppendField(out, "adjustedGate", part.adjustedEvents[i].gate);
    out += "}\n";
  }
  out += "{\"part\":" + std::to_string(p + 1);
  AppendField(out, "count", part.count);
  AppendField(out, "totalSteps", part.totalSteps);
  AppendField(out, "minKey", part.minKey);
  AppendField(out, "maxKey", part.maxKey);
  AppendField(out, "minName", part.minName);
  AppendField(out, "maxName", part.maxName);
  AppendField(out, "volumeChangeCount", part.volumeChangeCount);
  AppendField(out, "toneChangeCount", part.toneChangeCount);
  AppendField(out, "dataByteCount", part.dataByteCount);
  AppendField(out, "toneDefined", state.toneDefined[p] ? 1 : 0);
  const auto& def = state.toneDefinition[p];
  AppendField(out, "toneDefinition", HexLower(def.data(), def.size()));
  out += "}\n";
}

}  // namespace

int CompileCommand(const std::filesystem::path& songPath, std::ostream& out, std::ostream& err) {
  auto song = SongOf(OpenSong(songPath), err);
  if (!song) return kFileError;
  SongCompile compiled;
  if (auto r = CompileSong(*song, compiled); !r) {
    Print(r.error(), err);
    return kCompileError;
  }
  for (const CompiledPart& part : compiled.parts) {
    for (const Diagnostic& w : part.warnings) Print(w, err);
  }
  std::string text;
  for (int p = 0; p < 4; ++p) AppendPart(text, p, compiled.parts[p], compiled.state);
  text += "{\"markStep\":" + std::to_string(compiled.state.markStep) + "}\n";
  out << text;
  out.flush();
  return out ? kOk : kFileError;
}

// The editor's play settings from the command line; nullopt after a message.
std::optional<MidiSettings> ToMidiSettings(const MidiOptions& o, std::ostream& err) {
  MidiSettings m;
  if (o.octave == "high") {
    m.octaveChoice = 0;
  } else if (o.octave == "normal") {
    m.octaveChoice = 1;
  } else if (o.octave == "low") {
    m.octaveChoice = 2;
  } else {
    err << "--octave: high, normal or low\n";
    return std::nullopt;
  }
  m.repeatOn = o.repeat;
  m.doubleSpeed = o.doubleSpeed;
  if (o.program && (*o.program < 1 || *o.program > 128)) {
    err << "--midi-tone: a General MIDI program from 1 to 128\n";
    return std::nullopt;
  }
  m.allPartsProgram = o.program ? *o.program - 1 : -1;
  if (o.mute && o.mute->empty()) {
    err << "--mute: part numbers 1 to 4, separated by commas\n";
    return std::nullopt;
  }
  std::string_view list = o.mute ? std::string_view(*o.mute) : std::string_view();
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (item.size() != 1 || item[0] < '1' || item[0] > '4') {
      err << "--mute: part numbers 1 to 4, separated by commas\n";
      return std::nullopt;
    }
    m.mute[item[0] - '1'] = true;
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return m;
}

// Builds a song into its MLD image and, when asked, its MIDI file; prints the
// diagnostic and returns nullopt on failure.
std::optional<BuildResult> Build(const SongDocument& song, const std::optional<MidiSettings>& midi,
                                 bool smd, bool mld, std::ostream& err) {
  BuildRequest request;
  request.smd = smd;
  request.mld = mld || !smd;
  request.midi = midi.has_value();
  if (midi) request.midiSettings = *midi;
  auto build = BuildSong(song, request);
  if (!build) {
    Print(build.error(), err);
    return std::nullopt;
  }
  if (build->tempoReplaced) Print(TempoReplacedNote(song.tempo), err);
  for (const Diagnostic& w : build->warnings) Print(w, err);
  return std::move(*build);
}

int BuildCommand(const BuildArgs& request, std::ostream& out, std::ostream& err) {
  if (!request.resetOut.empty()) {
    if (auto w = WriteMidiFile(request.resetOut, ResetSmfImage()); !w) {
      Print(w.error(), err);
      return kFileError;
    }
  }
  if (request.song.empty()) return kOk;
  auto midi = ToMidiSettings(request.midi, err);
  if (!midi) return kUsageError;
  auto song = SongOf(OpenSong(request.song), err);
  if (!song) return kFileError;
  const bool needsMld = !request.mldOut.empty() || request.mail;
  auto built = Build(*song, request.midOut.empty() ? std::nullopt : midi, !request.smdOut.empty(),
                     needsMld, err);
  if (!built) return kCompileError;
  if (built->mldRefused && needsMld) {
    Print(*built->mldRefused, err);
    return kCompileError;
  }
  // A song without a note or rest has no SMD file; its warning is out already. Nothing
  // is written, as for any output that cannot be made.
  if (!request.smdOut.empty() && built->smdFile.empty()) return kCompileError;
  if (!request.smdOut.empty()) {
    if (auto w = WriteSmdFile(request.smdOut, built->smdFile); !w) {
      Print(w.error(), err);
      return kFileError;
    }
  }
  if (!request.mldOut.empty()) {
    if (auto w = WriteMldFile(request.mldOut, built->mldImage); !w) {
      Print(w.error(), err);
      return kFileError;
    }
  }
  if (!request.midOut.empty()) {
    if (auto w = WriteMidiFile(request.midOut, built->midiFile); !w) {
      Print(w.error(), err);
      return kFileError;
    }
  }
  if (!request.mldOut.empty() || !request.midOut.empty()) out << built->sizeReport << '\n';
  if (request.mail) out << MakeMailText(built->mldImage) << '\n';
  out.flush();
  return kOk;
}

namespace {

// The dialog's choices from the command line; nullopt after naming the option at fault.
std::optional<ImportChoices> ToImportChoices(const ImportArgs& a, std::ostream& err) {
  ImportChoices c;
  std::string_view list = a.tracks;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    int number = 0;
    const bool digits = !item.empty() && item.size() <= 2 &&
                        item.find_first_not_of("0123456789") == std::string_view::npos;
    if (digits) number = std::stoi(std::string(item));
    if (number < 1 || number > 16) {
      err << "--tracks: track (or, in a format 0 file, channel) numbers 1 to 16, separated by "
             "commas\n";
      return std::nullopt;
    }
    // Parts follow the order given: "--tracks 3,1" puts track 3 into part 1.
    c.selected[number - 1] = true;
    c.order.push_back(number - 1);
    if (comma == std::string_view::npos) break;
    list = list.substr(comma + 1);
  }
  c.seek = a.start;
  c.measures = a.measures;
  c.transpose = a.transpose;
  c.absolute = a.absolute;
  c.octave = a.octave;
  c.tone = a.tone;
  c.volume = a.volume == "cc7"        ? ImportVolume::kVolume
             : a.volume == "cc11"     ? ImportVolume::kExpression
             : a.volume == "velocity" ? ImportVolume::kVelocity
                                      : ImportVolume::kNone;
  return c;
}

// A MIDI file converted into a new song as the editor's "MML変換" would; nullopt after
// printing why not, with the exit status in `status`.
std::optional<SongDocument> ImportMidi(std::span<const std::uint8_t> bytes,
                                       const ImportChoices& choices, std::ostream& err,
                                       int& status) {
  const auto facts = ReadMidiFileFacts(bytes);
  if (!facts) {
    Print(facts.error(), err);
    status = kFileError;
    return std::nullopt;
  }
  auto imported = ImportSmf(bytes, *facts, choices);
  if (!imported) {
    Print(imported.error(), err);
    status = kCompileError;
    return std::nullopt;
  }
  if (!imported->converted) {
    Print(Fail(msg::SmfFormatNotConvertible(facts->format)).error(), err);
    status = kFileError;
    return std::nullopt;
  }
  if (imported->error) {
    Print(*imported->error, err);
    status = kCompileError;
    return std::nullopt;
  }
  for (const Diagnostic& w : imported->warnings) Print(w, err);
  SongDocument song;
  ApplyImportedSong(*imported, song);
  return song;
}

}  // namespace

int OpenCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                bool mailText, const ImportArgs& import, std::ostream& out, std::ostream& err) {
  (void)out;
  FileKind kind = FileKindOf(input);
  std::optional<ImportChoices> choices;
  if (import.given && (kind != FileKind::kMidi || mailText)) {
    err << "open: --tracks, --start, --measures, --transpose, --absolute, --octave, --tone and "
           "--volume are for MIDI files (a name ending in \"mid\")\n";
    return kUsageError;
  }
  if (kind == FileKind::kMidi && !mailText) {
    choices = ToImportChoices(import, err);
    if (!choices) return kUsageError;
  }
  auto bytes = ReadFileBytes(input);
  if (!bytes) {
    Print(bytes.error(), err);
    return kFileError;
  }
  std::optional<SongDocument> song;
  if (choices) {
    int status = kOk;
    song = ImportMidi(*bytes, *choices, err, status);
    if (!song) return status;
  } else {
    if (mailText) {
      auto decoded = MailTextToBytes(
          std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
      if (!decoded) {
        Print(decoded.error(), err);
        return kFileError;
      }
      *bytes = std::move(*decoded);
      kind = FileKind::kMld;
    }
    song = SongOf(OpenSongBytes(kind, *bytes), err);
    if (!song) return kFileError;
  }
  if (auto w = WriteSongFile(output, *song); !w) {
    Print(w.error(), err);
    return kFileError;
  }
  return kOk;
}

int DumpCommand(const std::filesystem::path& input, std::ostream& out, std::ostream& err) {
  auto bytes = ReadFileBytes(input);
  if (!bytes) {
    Print(bytes.error(), err);
    return kFileError;
  }
  switch (FileKindOf(input)) {
    case FileKind::kSmd:
      out << DumpSmd(*bytes);
      break;
    case FileKind::kMidi:
      out << DumpSmf(*bytes);
      break;
    default:
      out << DumpMld(*bytes);
      break;
  }
  out.flush();
  return kOk;
}

namespace {

// A MIDI image from a song text, MLD or MIDI file, told apart as the editor tells them.
std::optional<std::vector<std::uint8_t>> MidiOf(const SoundRequest& request, std::ostream& err,
                                                int& status) {
  auto bytes = ReadFileBytes(request.input);
  if (!bytes) {
    Print(bytes.error(), err);
    status = kFileError;
    return std::nullopt;
  }
  const FileKind kind = FileKindOf(request.input);
  if (kind == FileKind::kMidi) return std::move(*bytes);
  auto midi = ToMidiSettings(request.midi, err);
  if (!midi) {
    status = kUsageError;
    return std::nullopt;
  }
  auto song = SongOf(OpenSongBytes(kind, *bytes), err);
  if (!song) {
    status = kFileError;
    return std::nullopt;
  }
  auto built = Build(*song, midi, false, true, err);
  if (!built) {
    status = kCompileError;
    return std::nullopt;
  }
  return std::move(built->midiFile);
}

// The SoundFont named on the command line, else in the settings file.
std::filesystem::path SoundFontSetting(const SoundRequest& request) {
  if (!request.soundFont.empty()) return request.soundFont;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return LoadSettings(SettingsPath(ec ? std::filesystem::current_path() : exe.parent_path()))
      .soundFont;
}

std::string Clock(std::int64_t ms) {
  const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60));
  return buf;
}

std::atomic<bool> g_interrupted{false};

constexpr const char* kNoSoundCardHint =
    "--audio none plays without a sound card (unheard, at real pace).";

extern "C" void OnInterrupt(int) {
  g_interrupted = true;
}

}  // namespace

int PlayCommand(const SoundRequest& request, std::ostream& out, std::ostream& err) {
  if (request.audio != "system" && request.audio != "none") {
    err << "--audio: system or none\n";
    return kUsageError;
  }
  int status = kOk;
  auto midi = MidiOf(request, err, status);
  if (!midi) return status;
  PlaybackOptions options;
  options.soundFont = SoundFontSetting(request);
  options.output = request.audio == "none" ? AudioOutput::kNone : AudioOutput::kSystem;
  auto player = CreatePlayer(options);
  if (!player) {
    Diagnostic d = player.error();
    // When the same player would start without a sound card, the sound card was what
    // failed: say how to play on without one.
    if (options.output == AudioOutput::kSystem) {
      PlaybackOptions silent = options;
      silent.output = AudioOutput::kNone;
      if (CreatePlayer(silent)) {
        if (!d.detail.empty()) d.detail += '\n';
        d.detail += kNoSoundCardHint;
      }
    }
    Print(d, err);
    return kFileError;
  }
  if (auto r = (*player)->OpenBytes(std::move(*midi)); !r) {
    Print(r.error(), err);
    return kFileError;
  }
  g_interrupted = false;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);

  const std::int64_t length = (*player)->Length();
  if (request.loop) {
    (*player)->PlayLoop();
  } else {
    (*player)->Play();
  }
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  std::string last;
  while (!g_interrupted && (*player)->Mode() == PlayerMode::kPlaying) {
    const std::string line = Clock((*player)->Position()) + " / " + Clock(length);
    if (line != last) {
      out << (terminal ? "\r" : "") << line << (terminal ? "" : "\n") << std::flush;
      last = line;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  (*player)->Stop();
  sigaction(SIGINT, &previous, nullptr);
  if (terminal) out << '\n';
  out.flush();
  return g_interrupted ? kInterrupted : kOk;
}

int RenderCommand(const SoundRequest& request, std::ostream& out, std::ostream& err) {
  int status = kOk;
  auto midi = MidiOf(request, err, status);
  if (!midi) return status;
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  int shown = -1;
  auto progress = [&](double done) {
    if (!terminal) return;
    const int percent = static_cast<int>(done * 100);
    if (percent == shown) return;
    shown = percent;
    const int bar = percent * 30 / 100;
    err << "\r[" << std::string(bar, '#') << std::string(30 - bar, '.') << "] " << percent << "%"
        << std::flush;
  };
  auto wav = RenderWav(*midi, SoundFontSetting(request), progress);
  if (terminal) err << '\n';
  if (!wav) {
    Print(wav.error(), err);
    return kFileError;
  }
  if (auto w = WriteFileAtomic(request.output, *wav); !w) {
    Print(w.error(), err);
    return kFileError;
  }
  out.flush();
  return kOk;
}

namespace {

// What a command printed is the whole of its result for a script (the listing, the mail
// text, the size report), so a write to standard output that failed (a full disk, a
// full device) fails the command with a message instead of passing for success.
int CheckedOutput(int status, std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return status;
  // No reason line: errno may have been overwritten since the write that failed.
  Diagnostic d;
  d.message = msg::kFileWriteFailed;
  d.detail = kStandardOutput;
  Print(d, err);
  return status == kOk ? kFileError : status;
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
      "Warnings go to standard error. Exit status 1 on a compile error (its message first on "
      "standard error), 2 when the file cannot be read, is not the kind its name says, or is "
      "a MIDI file that cannot be converted.");
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
      "error, 2 when a file cannot be read or written or is not the kind its name says.");
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

  // An unknown command is named, with the commands there are.
  if (argc > 1 && argv[1][0] != '-') {
    const std::string_view first = argv[1];
    const auto& commands = app.get_subcommands([](CLI::App*) { return true; });
    if (std::none_of(commands.begin(), commands.end(),
                     [&](const CLI::App* c) { return c->get_name() == first; })) {
      err << "chwr: unknown command \"" << first << "\"; the commands are:";
      for (const CLI::App* c : commands) err << ' ' << c->get_name();
      err << "\nRun with --help for more information.\n";
      return kUsageError;
    }
  }
  const int status = [&]() -> int {
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      // CLI11 prints help and errors to the streams it is given.
      int code = app.exit(e, out, err);
      return code == 0 ? kOk : kUsageError;
    }
    if (compile->parsed()) return CompileCommand(songPath, out, err);
    if (buildCmd->parsed()) {
      if (build.mldOut.empty() && !build.mail && build.midOut.empty() && build.smdOut.empty() &&
          build.resetOut.empty()) {
        err << "build: say what to write: --mld, --mid, --smd, --mail and/or --reset-mid\n";
        return kUsageError;
      }
      if (build.song.empty() && (!build.mldOut.empty() || build.mail || !build.midOut.empty() ||
                                 !build.smdOut.empty())) {
        err << "build: a SONG is needed for --mld, --mid, --smd and --mail\n";
        return kUsageError;
      }
      return BuildCommand(build, out, err);
    }
    if (openCmd->parsed()) {
      import.given = std::any_of(importOptions.begin(), importOptions.end(),
                                 [](const CLI::Option* o) { return o->count() > 0; });
      return OpenCommand(openInput, openOutput, openMail, import, out, err);
    }
    if (dumpCmd->parsed()) return DumpCommand(dumpInput, out, err);
    if (playCmd->parsed()) return PlayCommand(play, out, err);
    if (renderCmd->parsed()) return RenderCommand(render, out, err);
    return kUsageError;
  }();
  return CheckedOutput(status, out, err);
}

}  // namespace chwr::cli

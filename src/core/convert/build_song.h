#pragma once
// The one way a song is built: compile the four parts once, run the step pass once
// with the outputs the request asks for, and hand back every output with its warnings.
// The editor, `chwr`, the tests and the benchmarks all build through here; no one
// else wires the step pass.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "midi/smf_writer.h"  // MidiSettings, ResetSmfImage
#include "mml/song_compile.h"
#include "song/song_document.h"

namespace chwr {

/// The score editor's playback: its MML as the song's only part, its own tempo, and one
/// program for every part. The rest of the song (resolution, title, part 1's volume)
/// stays the song's.
struct ScorePlayback {
  std::string mml;    ///< the score's MML, one part
  std::string tempo;  ///< the score's tempo text, read as the song's tempo box is
  int program = 0;    ///< General MIDI program 0..127
};

/// What a build is for. The MLD image is laid out unless only an SMD file is wanted:
/// the size report needs it, and what it cannot hold stops every output alike, except
/// an SMD file, which holds none of what the MLD image may refuse (title, tone
/// definitions, data). A part too long for a song stops every output, the SMD file too.
struct BuildRequest {
  /// Compile these texts instead of the parts' MML (the editor's selections).
  std::optional<std::array<std::string, 4>> selectionTexts;
  /// Also make the Standard MIDI File, in the same pass, with these settings.
  bool midi = false;
  MidiSettings midiSettings;
  /// Also make the SMD file from the parts' commands.
  bool smd = false;
  /// Build the score editor's playback in place of the song's parts and tempo; the
  /// selections and the mutes are then not looked at.
  std::optional<ScorePlayback> score;
  /// Map every event to where its part's text wrote it (CompiledPart::sources): the
  /// editor follows a playback in the part boxes with them.
  bool sources = false;
  /// Lay out the MLD image. Only a build for the SMD file alone may leave it out
  /// (a MIDI file needs the pass it shares with the image).
  bool mld = true;
};

/// Everything a successful build produced.
struct BuildResult {
  SongCompile compiled;                ///< the four compiled parts
  std::vector<std::uint8_t> mldImage;  ///< the MLD file's bytes
  std::vector<std::uint8_t> midiFile;  ///< the MIDI file's bytes, when asked for
  std::string sizeReport;              ///< the status-bar text
  /// For the user, each of kind Warning; a tempo that is no number (120 used) first, with
  /// the code kTempoReplaced.
  std::vector<Diagnostic> warnings;
  std::array<std::string, 4> smdTexts;  ///< each part's SMD run (raw bytes), when asked for
  /// The SMD file's bytes, when asked for; empty when no part has a note or rest, which a
  /// warning says: there is nothing to write then.
  std::vector<std::uint8_t> smdFile;
  /// Why the MLD image could not be laid out when only the SMD file made the build go
  /// on; mldImage and sizeReport are then empty (as they are when it was not asked for).
  std::optional<Diagnostic> mldRefused;
};

/// Builds `song`. Fails with the first compile error (part, line, text to select) or
/// with a message naming what an output cannot hold.
Result<BuildResult> BuildSong(const SongDocument& song, const BuildRequest& request = {});

/// Builds the MLD image of `song` from its parts as already compiled (`compiled`, as
/// CompileSong left them), as BuildSong with the default request would.
Result<BuildResult> BuildCompiledSong(const SongDocument& song, SongCompile compiled);

}  // namespace chwr

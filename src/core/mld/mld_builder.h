#pragma once
// The whole-song build: compile the four parts, then lay out the MLD image in one
// pass over the steps. Other outputs (the playback MIDI tracks) listen to the same
// pass instead of walking the song again.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "midi/smf_writer.h"
#include "mld/step_pass.h"
#include "mml/song_compile.h"
#include "song/song_document.h"

namespace chwr {

/// What a build is for.
struct MldBuildOptions {
  /// Compile these texts instead of the parts' MML (the editor's selections).
  std::optional<std::array<std::string, 4>> selectionTexts;
  /// Compile only, for SMD output: no image is laid out.
  bool smdMode = false;
  SmdHook smdHook;
  /// Also build the MIDI part tracks, in the same pass, with these settings.
  bool midiWanted = false;
  MidiSettings midi;
  /// Further listeners of the step pass.
  std::vector<StepListener*> listeners;
};

/// The result of a successful build.
struct MldBuild {
  std::vector<std::uint8_t> mldImage;  ///< empty in SMD mode
  std::string sizeReport;              ///< the status-bar text
  bool tempoReplaced = false;          ///< the tempo text was no number and was written as 120
  MidiTracks midiTracks;               ///< the part tracks, when MIDI was wanted
};

/// Compiles `song` into `compiled` and lays out its MLD image. Fails with the
/// compiler's diagnostic, or with a message naming what the format cannot hold.
Result<MldBuild> BuildMld(const SongDocument& song, SongCompile& compiled,
                          const MldBuildOptions& options = {});

/// The tempo byte of a tempo text: 120 when empty or no number (then `replaced`),
/// else the integer part of the number keeping its low 8 bits.
std::uint8_t TempoByte(std::string_view tempoText, bool* replaced = nullptr);

/// The status-bar report of a build: image size and every part's steps and range.
std::string SizeReport(std::size_t imageSize, const SongCompile& compiled);

/// Writes an MLD image atomically; fails with "ﾌｧｲﾙ書き込みに失敗しました。".
Result<void> WriteMldFile(const std::filesystem::path& path, std::span<const std::uint8_t> image);

}  // namespace chwr

#pragma once
// The seam between the program and its playback module (libchimewright-fluidsynth.so):
// one C entry point that hands out a table of functions. Program and module come
// from the same build, so the table may speak C++; its version keeps a module left
// over from another build from being used with the wrong layout.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "playback/midi_player.h"
#include "playback/playback.h"

namespace chwr {

/// Changes whenever the table or a type it passes changes shape.
inline constexpr std::uint32_t kPlaybackModuleVersion = 1;

/// What the playback module offers.
struct PlaybackModule {
  std::uint32_t version;  ///< kPlaybackModuleVersion of the build that made the module
  /// A player; `options.soundFont` names the file (FindSoundFont has looked for it).
  Result<std::unique_ptr<MidiPlayer>> (*createPlayer)(const PlaybackOptions& options);
  /// RenderWav with `soundFont` naming the file.
  Result<std::vector<std::uint8_t>> (*renderWav)(std::span<const std::uint8_t> midi,
                                                 const std::filesystem::path& soundFont,
                                                 const std::function<void(double)>& progress);
};

/// The file name of the module.
inline constexpr const char* kPlaybackModuleFile = "libchimewright-fluidsynth.so";

/// The places the module is looked for, in order: beside the executable, in
/// ../lib/chimewright from it (an installed tree, or a relocated one), then in the
/// build tree when the executable lies in it, else in the installed library folder.
std::vector<std::filesystem::path> PlaybackModuleFolders();

/// Loads the module from the first of `folders` that holds it; fails with
/// "再生ﾓｼﾞｭｰﾙ(...)が見つかりません。" or "再生ﾓｼﾞｭｰﾙ(...)を読み込めません。" and
/// the reason. A loaded module stays loaded for the life of the process.
Result<const PlaybackModule*> LoadPlaybackModule(const std::vector<std::filesystem::path>& folders);

}  // namespace chwr

extern "C" {
/// The module's entry point, looked up by name.
const chwr::PlaybackModule* chwr_playback_module();
}

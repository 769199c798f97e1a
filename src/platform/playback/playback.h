#pragma once
// Playing and rendering MIDI, as the rest of the program asks for it. The synthesizer
// lives in a module loaded on first use, so that the commands that never make a
// sound do not pay for loading it and its audio libraries.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "diagnostic.h"
#include "playback/midi_player.h"

namespace chwr {

/// Where the sound goes.
enum class AudioOutput {
  kSystem,  ///< the system's default audio output
  kNone,    ///< nowhere: the same player runs at real pace without a sound card
  kManual,  ///< nowhere, and time stands still until the owner renders it (tests)
};

/// What a player is made of.
struct PlaybackOptions {
  std::filesystem::path soundFont;  ///< empty: found automatically
  AudioOutput output = AudioOutput::kSystem;
};

/// The SoundFont to use: `configured` when given and present, else FluidR3_GM, else
/// TimGM6mb, else Debian's default link; fails with a message saying what to install.
Result<std::filesystem::path> FindSoundFont(const std::filesystem::path& configured);

/// A player on the playback module's synthesizer; fails with a message when there is
/// no SoundFont, no module or no audio output (never hangs).
Result<std::unique_ptr<MidiPlayer>> CreatePlayer(const PlaybackOptions& options);

/// Renders MIDI bytes to a 44.1 kHz 16-bit stereo WAV image, faster than real time.
/// `progress` (0..1) is called now and then. Fails with a message on a bad file, a
/// missing SoundFont or a missing module.
Result<std::vector<std::uint8_t>> RenderWav(std::span<const std::uint8_t> midi,
                                            const std::filesystem::path& soundFont,
                                            const std::function<void(double)>& progress = {});

}  // namespace chwr

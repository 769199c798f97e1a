#pragma once
// MIDI playback on FluidSynth with a General MIDI SoundFont.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "midi/smf_timing.h"
#include "playback/midi_player.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;
struct _fluid_audio_driver_t;

namespace chwr {

/// Where the sound goes.
enum class AudioOutput {
  kSystem,  ///< the system's default audio output
  kNone,    ///< nowhere: the same player runs at real pace without a sound card
};

/// What a player is made of.
struct PlaybackOptions {
  std::filesystem::path soundFont;  ///< empty: found automatically
  AudioOutput output = AudioOutput::kSystem;
};

/// The SoundFont to use: `configured` when given and present, else FluidR3_GM, else
/// TimGM6mb, else Debian's default link; fails with a message saying what to install.
Result<std::filesystem::path> FindSoundFont(const std::filesystem::path& configured);

/// A MidiPlayer on one FluidSynth synthesizer that lives as long as the player, so
/// a reset file really resets what later files play on.
class FluidSynthPlayer final : public MidiPlayer {
 public:
  /// Loads the SoundFont and opens the audio output; fails with a clear message
  /// when there is no SoundFont or no audio output (never hangs).
  static Result<std::unique_ptr<FluidSynthPlayer>> Create(const PlaybackOptions& options);
  ~FluidSynthPlayer() override;

  Result<void> Open(const std::filesystem::path& path) override;
  /// Opens MIDI bytes held in memory.
  Result<void> OpenBytes(std::vector<std::uint8_t> bytes);
  void Play() override;
  void PlayLoop() override;
  void StopM() override;
  void Pause() override;
  void ResumeM() override;
  std::int64_t Position() override;
  void SetPosition(std::int64_t ms) override;
  std::int64_t Length() override;
  PlayerMode Mode() override;

  /// The program (0..127) a channel plays now; for checking resets.
  int ProgramOf(int channel);

 private:
  FluidSynthPlayer() = default;
  void StartPlayer(bool loop);
  void TrySeek();
  static int OnTick(void* data, int tick);
  void RenderLoop();

  _fluid_hashtable_t* settings_ = nullptr;
  _fluid_synth_t* synth_ = nullptr;
  _fluid_player_t* player_ = nullptr;
  _fluid_audio_driver_t* driver_ = nullptr;
  std::mutex mutex_;  // guards the player against the silent renderer

  std::vector<std::uint8_t> file_;
  SmfTiming timing_;
  bool open_ = false;
  bool paused_ = false;
  bool loop_ = false;
  std::optional<std::uint32_t> pendingSeek_;

  std::atomic<std::uint32_t> endTick_{0};
  std::atomic<_fluid_player_t*> tickPlayer_{nullptr};  // what the synth thread may touch
  std::atomic<bool> looping_{false};

  std::thread renderer_;
  std::atomic<bool> stopRenderer_{false};
};

/// Renders MIDI bytes to a 44.1 kHz 16-bit stereo WAV image, faster than real time.
/// `progress` (0..1) is called now and then. Fails with a message on a bad file or
/// a missing SoundFont.
Result<std::vector<std::uint8_t>> RenderWav(std::span<const std::uint8_t> midi,
                                            const std::filesystem::path& soundFont,
                                            const std::function<void(double)>& progress = {});

}  // namespace chwr

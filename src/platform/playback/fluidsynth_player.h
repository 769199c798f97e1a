#pragma once
// MIDI playback on FluidSynth with a General MIDI SoundFont: the playback module
// (libchimewright-fluidsynth.so). The program reaches it through playback.h; tests
// may link the module and use the player itself.

#include <array>
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
#include "playback/playback.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;
struct _fluid_audio_driver_t;
struct _fluid_midi_event_t;

namespace chwr {

/// A MidiPlayer on one FluidSynth synthesizer that lives as long as the player, so
/// a reset file really resets what later files play on.
class [[gnu::visibility("default")]] FluidSynthPlayer final : public MidiPlayer {
 public:
  /// Loads the SoundFont `options.soundFont` names and opens the audio output; fails
  /// with a clear message when the SoundFont cannot be loaded or there is no audio
  /// output (never hangs).
  static Result<std::unique_ptr<FluidSynthPlayer>> Create(const PlaybackOptions& options);
  ~FluidSynthPlayer() override;

  Result<void> Open(const std::filesystem::path& path) override;
  Result<void> OpenBytes(std::vector<std::uint8_t> bytes) override;
  void Play() override;
  void PlayLoop() override;
  void PlayLoopRange(std::int64_t startMs, std::int64_t endMs) override;
  void Stop() override;
  void Pause() override;
  void Resume() override;
  std::int64_t Position() override;
  void SetPosition(std::int64_t ms) override;
  std::int64_t Length() override;
  PlayerMode Mode() override;
  void SetChannelMute(int channel, bool muted) override;

  /// AudioOutput::kManual only: renders `ms` of audio, and so moves playback on by
  /// as much. Does nothing with the other outputs, whose clock is the sound card's.
  void Render(std::int64_t ms);

  /// The program (0..127) a channel plays now; for checking resets.
  int ProgramOf(int channel);
  /// How many voices are struck and not yet released on `channel`; for checking mutes.
  int VoicesOn(int channel);

 private:
  FluidSynthPlayer() = default;
  struct LoopRange {
    std::int64_t startMs;
    std::int64_t endMs;
  };
  void StartPlayer(bool loop, std::optional<LoopRange> range = {});
  void TrySeek();
  static int OnTick(void* data, int tick);
  static int OnEvent(void* data, _fluid_midi_event_t* event);
  void RenderLoop();

  _fluid_hashtable_t* settings_ = nullptr;
  _fluid_synth_t* synth_ = nullptr;
  _fluid_player_t* player_ = nullptr;
  _fluid_audio_driver_t* driver_ = nullptr;
  std::mutex mutex_;     // guards the player against the silent renderer
  bool manual_ = false;  // AudioOutput::kManual: Render is the clock

  std::vector<std::uint8_t> file_;
  SmfTiming timing_;
  bool open_ = false;
  bool paused_ = false;
  bool loop_ = false;
  std::optional<LoopRange> range_;  // PlayLoopRange's, kept for Resume
  std::optional<std::uint32_t> pendingSeek_;

  std::atomic<std::uint32_t> endTick_{0};
  std::atomic<std::uint32_t> loopTick_{0};             // where a loop goes back to
  std::atomic<bool> jumping_{false};                   // notes past the loop's end are held back
  std::atomic<_fluid_player_t*> tickPlayer_{nullptr};  // what the synth thread may touch
  std::atomic<bool> looping_{false};
  std::array<std::atomic<bool>, 16> muted_{};  // read on the synth's thread

  std::thread renderer_;
  std::atomic<bool> stopRenderer_{false};
};

/// RenderWav (playback.h) with `soundFont` naming the file.
Result<std::vector<std::uint8_t>> FluidSynthRenderWav(std::span<const std::uint8_t> midi,
                                                      const std::filesystem::path& soundFont,
                                                      const std::function<void(double)>& progress);

}  // namespace chwr

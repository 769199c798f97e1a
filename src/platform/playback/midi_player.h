#pragma once
// Playing a Standard MIDI File: the operations the editor needs, whatever plays it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "messages.h"

namespace chwr {

/// Where a player is: the three states the position timer tells apart.
enum class PlayerMode { kStopped, kPlaying, kPaused };

/// The state's name as the sequencer reports it: "PLAYING", "PAUSED" or "STOPPED".
inline const char* PlayerModeName(PlayerMode mode) {
  switch (mode) {
    case PlayerMode::kPlaying:
      return "PLAYING";
    case PlayerMode::kPaused:
      return "PAUSED";
    case PlayerMode::kStopped:
      break;
  }
  return "STOPPED";
}

/// A MIDI file player. Positions and lengths are in milliseconds. Nothing blocks:
/// playback runs on its own and the caller polls Position and Mode.
class MidiPlayer {
 public:
  virtual ~MidiPlayer() = default;
  /// Opens a file by path, closing any file open before; playback has not started.
  virtual Result<void> Open(const std::filesystem::path& path) = 0;
  /// Opens MIDI bytes held in memory, as Open does a file. Players that only play
  /// files keep this default, which refuses.
  virtual Result<void> OpenBytes(std::vector<std::uint8_t> bytes) {
    (void)bytes;
    return Fail(msg::kFileReadFailed, DiagnosticCode::kPlayback);
  }
  /// Plays from the current position (from the start once the end was reached).
  virtual void Play() = 0;
  /// Plays from the current position, starting over at the end, until stopped.
  virtual void PlayLoop() = 0;
  /// Plays from the current position; on reaching `endMs` goes back to `startMs`, until
  /// stopped (a ring tone's loop points). From a position at or past `endMs` it goes
  /// back at once.
  virtual void PlayLoopRange(std::int64_t startMs, std::int64_t endMs) = 0;
  /// Stops; the position stays where it was.
  virtual void Stop() = 0;
  /// Pauses; Resume goes on from here.
  virtual void Pause() = 0;
  /// Goes on after Pause, looping again as PlayLoop or PlayLoopRange had started it.
  virtual void Resume() = 0;
  /// Current position.
  virtual std::int64_t Position() = 0;
  /// Moves to `ms`; playing goes on from there.
  virtual void SetPosition(std::int64_t ms) = 0;
  /// Length of the open file, 0 when none is open.
  virtual std::int64_t Length() = 0;
  /// Playing, paused or stopped (also after the end of the file).
  virtual PlayerMode Mode() = 0;
  /// Silences channel `channel` (0..15) at once, notes sounding now included, or lets
  /// it sound again; holds for this file and later ones until changed.
  virtual void SetChannelMute(int channel, bool muted) = 0;
};

}  // namespace chwr

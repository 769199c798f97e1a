#pragma once
// Playing the song on the computer: the player, made on first use and kept; the
// position timer "Timer1" that moves the slider; and the slider, which pauses the
// playback while it is held.

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>

#include "diagnostic.h"
#include "playback/midi_player.h"

class QSlider;
class QTimer;

namespace chwr::gui {

class BuildCommands;
class Feedback;

/// Makes the player on first Play; fails with the message the user sees.
using PlayerFactory = std::function<Result<std::unique_ptr<MidiPlayer>>()>;

/// The playback commands and the slider "Slider1".
class PlaybackController final : public QObject {
  Q_OBJECT

 public:
  /// Plays what `builds` makes, through a player from `makePlayer`, via the file
  /// `playbackFile`; `slider` shows the position.
  PlaybackController(BuildCommands& builds, const Feedback& feedback, PlayerFactory makePlayer,
                     std::filesystem::path playbackFile, QSlider* slider,
                     QObject* parent = nullptr);
  ~PlaybackController() override;

  /// Plays the song, or each part's selection where it has one.
  void Play();
  /// Stops playing.
  void Stop();
  /// Stops and plays the reset file, which puts the sound source back to its start.
  void ResetSoundSource();
  /// Stops the timer and the player, as the window closes.
  void Shutdown();

  /// The player once playback has started, else null.
  MidiPlayer* player() const { return player_.get(); }

 private:
  bool EnsurePlayer();
  void StartPlaybackFile(bool resetOnly);
  void TimerTick();

  BuildCommands& builds_;
  const Feedback& feedback_;
  PlayerFactory makePlayer_;
  std::filesystem::path playbackFile_;
  QSlider* slider_;
  QTimer* timer_;
  std::unique_ptr<MidiPlayer> player_;
  bool busy_ = false;     // a playback file is being made and opened
  bool seeking_ = false;  // the slider is held over a paused playback
};

}  // namespace chwr::gui

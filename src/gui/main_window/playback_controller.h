#pragma once
// Playing the song on the computer: the player, made on first use and kept; the
// position timer "Timer1" that moves the slider; the slider, which pauses the playback
// while it is held and seeks where it is let go, clicked or stepped by a key; and the
// mutes, which reach a playback under way at once.

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "convert/build_song.h"
#include "mml/song_compile.h"
#include "diagnostic.h"
#include "midi/smf_timing.h"
#include "playback/midi_player.h"

class QTimer;

namespace chwr::gui {

class BuildCommands;
class Feedback;
class PositionSlider;
struct MidiControls;

/// Makes the player on first Play; fails with the message the user sees.
using PlayerFactory = std::function<Result<std::unique_ptr<MidiPlayer>>()>;

/// How a preview repeats: not at all, the whole file, or between two positions (ms).
struct PreviewLoop {
  bool on = false;
  std::optional<std::pair<std::int64_t, std::int64_t>> span;
};

/// The playback commands and the slider "Slider1".
class PlaybackController final : public QObject {
  Q_OBJECT

 public:
  /// Plays what `builds` makes, through a player from `makePlayer`, via the file
  /// `playbackFile`; `slider` shows the position. Changes of `controls` during a
  /// playback are noted: they apply from the next one.
  PlaybackController(BuildCommands& builds, const Feedback& feedback, PlayerFactory makePlayer,
                     std::filesystem::path playbackFile, PositionSlider* slider,
                     const MidiControls& controls, QObject* parent = nullptr);
  ~PlaybackController() override;

  /// Plays the song, or each part's selection where it has one: from where the knob
  /// stands when nothing plays, else (and from the end) from the start.
  void Play();
  /// Plays the whole song (no selections) from `step` of the song, in place of anything
  /// playing: from the start mark when the step lies before it.
  void PlayFromStep(std::int32_t step);
  /// Plays the score editor's song in place of anything playing; the slider keeps telling
  /// of the window's song, and scoreHeard says where the score is.
  void PlayScore(const ScorePlayback& score);
  /// Whether the score editor's song is playing (or paused).
  bool ScorePlaying() const;
  /// Stops playing; the knob goes back to the start.
  void Stop();
  /// Stops and plays the reset file, which puts the sound source back to its start.
  void ResetSoundSource();
  /// Stops the timer and the player, as the window closes.
  void Shutdown();
  /// Silences part `part` (0..3) in a playback under way at once, or lets it sound again;
  /// the next playback leaves a muted part out of its file.
  void SetPartMute(int part, bool muted);
  /// A build made a MIDI file of `ms` milliseconds: while nothing plays, the slider spans it.
  void SongLengthKnown(std::int64_t ms);

  /// Plays the MIDI file at `path` from `ms` in place of anything playing (the import
  /// dialog's preview); false when it cannot, after telling the user why.
  bool PlayPreview(const std::filesystem::path& path, std::int64_t ms, PreviewLoop loop = {});
  /// Plays MIDI `image` as PlayPreview does a file, through the playback file.
  bool PlayPreviewImage(std::span<const std::uint8_t> image, std::int64_t ms, PreviewLoop loop);
  /// Whether the preview last started still plays: false once it ended, was stopped, or
  /// the song's own playback took the player over.
  bool PreviewPlaying() const;
  /// Stops the preview when it still has the player; the song's playback goes on.
  void StopPreview();

  /// The player once playback has started, else null.
  MidiPlayer* player() const { return player_.get(); }

 signals:
  /// A note for the status bar; empty when there is none.
  void notice(const QString& text);
  /// The window's song started to play; `compiled` is what plays, each part's selection
  /// where it had one, with the events' places in the text.
  void songStarted(const chwr::SongCompile& compiled, bool fromSelections);
  /// The window's song is at `step` (steps from the song's start) at a tick of the timer
  /// and after a seek; -1 once it no longer plays.
  void songHeard(int step);
  /// The score editor's song is at `step` (in its steps from the start) at a tick of the
  /// timer; -1 once it no longer plays.
  void scoreHeard(int step);

 private:
  bool EnsurePlayer();
  bool UnderWay() const;
  void ClearMutes();
  void StartPlaybackFile(bool resetOnly, const std::optional<ScorePlayback>& score = {},
                         std::optional<std::int32_t> fromStep = {});
  void EndSong();
  void TellHeard();
  void EndScore();
  void TimerTick();
  void Rest();

  BuildCommands& builds_;
  const Feedback& feedback_;
  PlayerFactory makePlayer_;
  std::filesystem::path playbackFile_;
  PositionSlider* slider_;
  const MidiControls& controls_;
  QTimer* timer_;
  std::unique_ptr<MidiPlayer> player_;
  std::array<bool, 4> channelMuted_{};  // parts muted in the player during this playback
  bool busy_ = false;                   // a playback file is being made and opened
  bool seeking_ = false;                // the slider is held over a paused playback
  bool previewing_ = false;             // the player has the import dialog's file
  std::optional<SmfTiming> score_;      // the player has the score editor's file, so timed
  // The window's song as the player has it: its timing, and where the file starts and
  // ends in the song's steps.
  struct PlayedSong {
    SmfTiming timing;
    std::int32_t markStep = 0;
    std::int32_t endStep = 0;
    bool repeated = false;  // the file holds the song twice
  };
  std::optional<PlayedSong> song_;
};

}  // namespace chwr::gui

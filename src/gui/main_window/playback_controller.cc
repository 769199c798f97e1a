#include "main_window/playback_controller.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "convert/build_song.h"
#include "io/file_io.h"
#include "main_window/build_commands.h"
#include "main_window/feedback.h"
#include "main_window/position_slider.h"
#include "mml/event_time.h"
#include "shared/gui_messages.h"

namespace chwr::gui {

PlaybackController::PlaybackController(BuildCommands& builds, const Feedback& feedback,
                                       PlayerFactory makePlayer, std::filesystem::path playbackFile,
                                       PositionSlider* slider, const MidiControls& controls,
                                       QObject* parent)
    : QObject(parent),
      builds_(builds),
      feedback_(feedback),
      makePlayer_(std::move(makePlayer)),
      playbackFile_(std::move(playbackFile)),
      slider_(slider),
      controls_(controls),
      timer_(new QTimer(this)) {
  timer_->setObjectName("Timer1");
  timer_->setInterval(250);
  connect(timer_, &QTimer::timeout, this, &PlaybackController::TimerTick);
  // Holding the slider (by its knob or in its groove) pauses a playback under way;
  // letting go plays on from there. The player outlives its playbacks, so a slider
  // moved while nothing plays must not start the last file again: it only says where
  // the next Play starts.
  connect(slider_, &QSlider::sliderPressed, this, [this] {
    timer_->stop();
    seeking_ = UnderWay() && player_->Mode() == PlayerMode::kPlaying;
    if (seeking_) player_->Pause();
  });
  connect(slider_, &QSlider::sliderReleased, this, [this] {
    if (!seeking_) return;
    seeking_ = false;
    player_->SetPosition(slider_->value());
    player_->Play();
    timer_->start();
    TellHeard();
  });
  connect(slider_, &PositionSlider::stepped, this, [this](int ms) {
    if (!UnderWay()) return;
    player_->SetPosition(ms);
    TellHeard();
  });
  // The file playing was made with the old settings; the mutes alone can change in it.
  auto changed = [this] {
    if (UnderWay()) emit notice(kFromNextPlay);
  };
  connect(controls.doubleSpeed, &QCheckBox::toggled, this, changed);
  connect(controls.toneCombo, &QComboBox::currentIndexChanged, this, changed);
  connect(controls.repeat, &QAction::toggled, this, changed);
  for (QAction* octave : controls.octave) {
    connect(octave, &QAction::toggled, this, [changed](bool on) {
      if (on) changed();
    });
  }
}

PlaybackController::~PlaybackController() = default;

bool PlaybackController::EnsurePlayer() {
  if (player_) return true;
  auto created = makePlayer_();
  if (!created) {
    feedback_.ShowDiagnostic(created.error());
    return false;
  }
  player_ = std::move(*created);
  return true;
}

// The song playing, or paused under the held slider. A preview or the score editor's
// song is no playback of the window's song: the slider and the mutes leave it alone.
bool PlaybackController::UnderWay() const {
  return player_ && !previewing_ && !score_ && player_->Mode() != PlayerMode::kStopped;
}

bool PlaybackController::ScorePlaying() const {
  return score_ && player_ && player_->Mode() != PlayerMode::kStopped;
}

// The score editor hears that its song is over, however it ended.
void PlaybackController::EndScore() {
  if (!score_) return;
  score_.reset();
  emit scoreHeard(-1);
}

// Mutes held over from the last playback would silence the next file's channels.
void PlaybackController::ClearMutes() {
  for (int part = 0; part < 4; ++part) {
    if (channelMuted_[part]) player_->SetChannelMute(part, false);
  }
  channelMuted_ = {};
}

void PlaybackController::StartPlaybackFile(bool resetOnly,
                                           const std::optional<ScorePlayback>& score,
                                           std::optional<std::int32_t> fromStep) {
  if (busy_) return;
  busy_ = true;
  // Every way out of here leaves the controller free for the next command.
  const auto done = qScopeGuard([this] { busy_ = false; });
  // With nothing under way the user may have put the knob where the song is to start;
  // one left at the end (also of a slider that knows no song yet) starts it over.
  const bool fromKnob =
      !score && !timer_->isActive() && slider_->value() < slider_->maximum();
  const int knob = fromKnob ? slider_->value() : 0;
  timer_->stop();
  if (player_) player_->Stop();
  previewing_ = false;
  EndScore();
  EndSong();
  // A part muted now is left out of the new file instead.
  ClearMutes();
  std::vector<std::uint8_t> image;
  std::optional<BuiltSong> built;
  if (resetOnly) {
    image = ResetSmfImage();
    slider_->setValue(0);
  } else {
    emit notice({});
    // Played from the caret, the song is heard whole; else each part's selection.
    built = builds_.Build({.selectionOnly = !fromStep,
                           .sources = !score,
                           .midiFile = true,
                           .score = score});
    if (!built) return;
    image = std::move(built->midiImage);
  }
  std::error_code ec;
  std::filesystem::create_directories(playbackFile_.parent_path(), ec);
  if (auto written = WriteFileAtomic(playbackFile_, image); !written) {
    feedback_.ShowDiagnostic(written.error());
    return;
  }
  if (!EnsurePlayer()) return;
  if (auto opened = player_->Open(playbackFile_); !opened) {
    feedback_.ShowDiagnostic(opened.error());
    return;
  }
  if (score) {
    // The file's division is the song's steps per quarter: its ticks are the score's steps.
    auto timing = ReadSmfTiming(image);
    score_ = timing ? *timing : SmfTiming{};
  } else if (!resetOnly) {
    const auto length = player_->Length();
    if (length > 0) slider_->setLength(static_cast<int>(length));
    const SongCompile& compiled = built->compiled;
    std::int32_t endStep = 0;
    for (const CompiledPart& p : compiled.parts) endStep = std::max(endStep, p.totalSteps);
    auto timing = ReadSmfTiming(image);
    song_ = PlayedSong{timing ? *timing : SmfTiming{}, compiled.state.markStep, endStep,
                       controls_.repeat->isChecked()};
    int start = knob;
    if (fromStep) {
      // The file starts at the song's start mark; a caret before it plays from there.
      const auto tick = std::max<std::int32_t>(*fromStep - song_->markStep, 0);
      start = static_cast<int>(song_->timing.TicksToMs(static_cast<std::uint32_t>(tick)));
    }
    // The song may have become shorter than where the knob stands.
    if (start >= slider_->maximum()) start = 0;
    slider_->setValue(start);
    if (start > 0) player_->SetPosition(start);
    emit songStarted(compiled, !fromStep);
    TellHeard();
  }
  player_->Play();
  if (!resetOnly) timer_->start();
}

void PlaybackController::Play() {
  StartPlaybackFile(false);
}

void PlaybackController::PlayFromStep(std::int32_t step) {
  StartPlaybackFile(false, std::nullopt, step);
}

void PlaybackController::PlayScore(const ScorePlayback& score) {
  StartPlaybackFile(false, score);
}

void PlaybackController::ResetSoundSource() {
  StartPlaybackFile(true);
}

void PlaybackController::Stop() {
  seeking_ = false;
  previewing_ = false;
  Rest();
}

void PlaybackController::Shutdown() {
  timer_->stop();
  if (player_) player_->Stop();
}

void PlaybackController::SetPartMute(int part, bool muted) {
  // The part's channel is its index in the files the window plays.
  if (!UnderWay() || part < 0 || part >= 4) return;
  player_->SetChannelMute(part, muted);
  channelMuted_[part] = muted;
}

void PlaybackController::SongLengthKnown(std::int64_t ms) {
  if (UnderWay() || seeking_ || ms <= 0) return;
  slider_->setLength(static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max())));
}

bool PlaybackController::PlayPreviewImage(std::span<const std::uint8_t> image, std::int64_t ms,
                                          PreviewLoop loop) {
  if (busy_) return false;
  // The player may hold the playback file open from the song's last playback; it has
  // read it whole, so writing over it is safe.
  std::error_code ec;
  std::filesystem::create_directories(playbackFile_.parent_path(), ec);
  if (auto written = WriteFileAtomic(playbackFile_, image); !written) {
    feedback_.ShowDiagnostic(written.error());
    return false;
  }
  return PlayPreview(playbackFile_, ms, loop);
}

bool PlaybackController::PlayPreview(const std::filesystem::path& path, std::int64_t ms,
                                     PreviewLoop loop) {
  if (busy_) return false;
  seeking_ = false;
  previewing_ = false;
  Rest();
  ClearMutes();
  if (!EnsurePlayer()) return false;
  if (auto opened = player_->Open(path); !opened) {
    feedback_.ShowDiagnostic(opened.error());
    return false;
  }
  if (ms > 0) player_->SetPosition(ms);
  if (!loop.on) {
    player_->Play();
  } else if (loop.span) {
    player_->PlayLoopRange(loop.span->first, loop.span->second);
  } else {
    player_->PlayLoop();
  }
  previewing_ = true;
  return true;
}

bool PlaybackController::PreviewPlaying() const {
  return previewing_ && player_ && player_->Mode() == PlayerMode::kPlaying;
}

void PlaybackController::StopPreview() {
  if (!previewing_) return;
  previewing_ = false;
  if (player_) player_->Stop();
}

// Nothing plays any more: the timer rests and the knob goes back to the start. The
// slider keeps the song's length, so the knob can be put where the next Play starts.
void PlaybackController::Rest() {
  timer_->stop();
  if (player_) player_->Stop();
  slider_->setValue(0);
  EndScore();
  EndSong();
}

// The part boxes hear that the song no longer plays.
void PlaybackController::EndSong() {
  if (!song_) return;
  song_.reset();
  emit songHeard(-1);
}

void PlaybackController::TellHeard() {
  if (!song_ || !player_) return;
  const std::uint32_t tick = song_->timing.MsToTicks(static_cast<double>(player_->Position()));
  emit songHeard(SongStepAtTick(tick, song_->markStep, song_->endStep, song_->repeated));
}

void PlaybackController::TimerTick() {
  if (!player_ || player_->Mode() != PlayerMode::kPlaying) {
    Rest();
    return;
  }
  if (score_) {
    emit scoreHeard(static_cast<int>(score_->MsToTicks(static_cast<double>(player_->Position()))));
    return;
  }
  if (!slider_->isSliderDown()) slider_->setValue(static_cast<int>(player_->Position()));
  TellHeard();
}

}  // namespace chwr::gui

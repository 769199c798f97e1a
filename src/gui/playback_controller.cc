#include "playback_controller.h"

#include <QScopeGuard>
#include <QSlider>
#include <QTimer>

#include "build/build_song.h"
#include "build_commands.h"
#include "feedback.h"

namespace chwr::gui {

PlaybackController::PlaybackController(BuildCommands& builds, const Feedback& feedback,
                                       PlayerFactory makePlayer, std::filesystem::path playbackFile,
                                       QSlider* slider, QObject* parent)
    : QObject(parent),
      builds_(builds),
      feedback_(feedback),
      makePlayer_(std::move(makePlayer)),
      playbackFile_(std::move(playbackFile)),
      slider_(slider),
      timer_(new QTimer(this)) {
  timer_->setObjectName("Timer1");
  timer_->setInterval(250);
  connect(timer_, &QTimer::timeout, this, &PlaybackController::TimerTick);
  // Holding the slider pauses a playback under way; letting go plays on from there.
  // The player outlives its playbacks, so a slider moved while nothing plays must not
  // start the last file again.
  connect(slider_, &QSlider::sliderPressed, this, [this] {
    timer_->stop();
    seeking_ = player_ && player_->Mode() == PlayerMode::kPlaying;
    if (seeking_) player_->Pause();
  });
  connect(slider_, &QSlider::sliderReleased, this, [this] {
    if (!seeking_) return;
    seeking_ = false;
    player_->SetPosition(slider_->value());
    player_->Play();
    timer_->start();
  });
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

void PlaybackController::StartPlaybackFile(bool resetOnly) {
  if (busy_) return;
  busy_ = true;
  // Every way out of here leaves the controller free for the next command.
  const auto done = qScopeGuard([this] { busy_ = false; });
  timer_->stop();
  if (player_) player_->StopM();
  std::vector<std::uint8_t> image;
  if (resetOnly) {
    image = ResetSmfImage();
    slider_->setValue(0);
    slider_->setMaximum(1);
  } else {
    auto built = builds_.Build({.selectionOnly = true, .midiFile = true});
    if (!built) return;
    image = std::move(built->midiImage);
  }
  std::error_code ec;
  std::filesystem::create_directories(playbackFile_.parent_path(), ec);
  if (auto written = WriteMidiFile(playbackFile_, image); !written) {
    feedback_.ShowDiagnostic(written.error());
    return;
  }
  if (!EnsurePlayer()) return;
  if (auto opened = player_->Open(playbackFile_); !opened) {
    feedback_.ShowDiagnostic(opened.error());
    return;
  }
  if (!resetOnly) {
    const auto length = player_->Length();
    if (length > 0) slider_->setMaximum(static_cast<int>(length));
    slider_->setValue(0);
  }
  player_->Play();
  if (!resetOnly) timer_->start();
}

void PlaybackController::Play() {
  StartPlaybackFile(false);
}

void PlaybackController::ResetSoundSource() {
  StartPlaybackFile(true);
}

void PlaybackController::Stop() {
  seeking_ = false;
  if (player_) player_->StopM();
}

void PlaybackController::Shutdown() {
  timer_->stop();
  if (player_) player_->StopM();
}

void PlaybackController::TimerTick() {
  if (!player_ || player_->Mode() != PlayerMode::kPlaying) {
    timer_->stop();
    if (player_) player_->StopM();
    slider_->setValue(0);
    slider_->setMaximum(1);
    return;
  }
  if (!slider_->isSliderDown()) slider_->setValue(static_cast<int>(player_->Position()));
}

}  // namespace chwr::gui

#pragma once
// The playback position slider "Slider1". A click in its groove jumps there, as a drag
// of its knob does; the keys and the wheel step through the song.

#include <QSlider>

namespace chwr::gui {

/// "Slider1": the position in the song last built to play, in milliseconds.
class PositionSlider final : public QSlider {
  Q_OBJECT

 public:
  /// A horizontal slider that knows no song yet (0 to 1).
  explicit PositionSlider(QWidget* parent = nullptr);

  /// Spans a song of `ms` milliseconds: Page Up and Page Down move by a tenth of it, the
  /// arrows by a second.
  void setLength(int ms);

 signals:
  /// The user moved the knob to `ms` with a key or the wheel.
  void stepped(int ms);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
};

}  // namespace chwr::gui

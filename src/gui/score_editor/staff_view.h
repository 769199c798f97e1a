#pragma once
// The staff picture "picSCO": the clef, the five lines and the 36 cells of a score, drawn
// from the score model alone. It holds no state of the score's own; the window tells it
// which cell is being heard. Mouse presses, moves and releases go to the window as
// picture pixels, which decides with the model what they do.

#include <QWidget>

class QMouseEvent;

namespace chwr {
class Score;
}

namespace chwr::gui {

/// The staff picture, 1200 x 200 logical pixels, inside a frame that scrolls it.
class StaffView final : public QWidget {
  Q_OBJECT
  /// The cell being heard while the score plays (1..36), 0 when none: tests read it.
  Q_PROPERTY(int heardCell READ heardCell)

 public:
  /// A picture of `score`, which outlives it.
  StaffView(const Score& score, QWidget* parent);

  /// The cell drawn with the heard look, 0 for none.
  int heardCell() const { return heard_; }
  /// Draws `cell` (0: none) with the heard look.
  void setHeardCell(int cell);

  /// Paints the whole picture in `painter` (the widget, or an image in a benchmark).
  void Paint(QPainter& painter) const;

  QSize sizeHint() const override;

 signals:
  /// A button went down at picture pixel `at`; `global` is where, for a menu.
  void pressed(QPoint at, Qt::MouseButton button, QPoint global);
  /// The pointer moved to `at` with a button held.
  void moved(QPoint at);
  /// The button was let go at `at`.
  void released(QPoint at);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const Score& score_;
  int heard_ = 0;
};

}  // namespace chwr::gui

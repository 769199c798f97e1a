#include "score_editor/staff_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "score/score.h"
#include "score_editor/score_glyphs.h"

namespace chwr::gui {
namespace {

// A head sits right of its cell's middle, leaving room for its accidental.
constexpr int kHeadOffset = 17;
// Ledger lines are 14 pixels wide, through the head.
constexpr int kLedgerHalf = 7;
// The clef's stem, in the clef area.
constexpr double kClefX = 24;

QPointF HeadAt(int cell, int pitchPos) {
  return QPointF(CellLeft(cell) + kHeadOffset, pitchPos);
}

// Stems point away from the staff's middle line, down from it and above.
bool StemDown(int pitchPos) {
  return pitchPos <= kStaffLines[2];
}

QColor WithAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

}  // namespace

StaffView::StaffView(const Score& score, QWidget* parent) : QWidget(parent), score_(score) {
  setObjectName("picSCO");
  setFixedSize(kStaffPictureWidth, kStaffPictureHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize StaffView::sizeHint() const {
  return {kStaffPictureWidth, kStaffPictureHeight};
}

void StaffView::setHeardCell(int cell) {
  if (cell == heard_) return;
  heard_ = cell;
  update();
}

void StaffView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  Paint(p);
}

void StaffView::Paint(QPainter& p) const {
  const QPalette& pal = palette();
  const QColor ink = pal.color(QPalette::Text);
  const QColor highlight = pal.color(QPalette::Highlight);
  p.fillRect(QRect(0, 0, kStaffPictureWidth, kStaffPictureHeight), pal.color(QPalette::Base));

  // The cells' looks under everything: the one heard, the selected ones, the columns.
  for (int c = 1; c <= kShownCells; ++c) {
    const QRect column(CellLeft(c), 0, kCellWidth, kStaffPictureHeight);
    if (c == heard_) p.fillRect(column, WithAlpha(pal.color(QPalette::Link), 90));
    if (score_.isSelected(c)) p.fillRect(column, WithAlpha(highlight, 55));
    p.fillRect(QRect(column.left(), 0, 1, kStaffPictureHeight), WithAlpha(ink, 18));
  }
  p.fillRect(QRect(kCellsRight, 0, 1, kStaffPictureHeight), WithAlpha(ink, 18));
  const QRect current(CellLeft(score_.currentCell()), 0, kCellWidth - 1, kStaffPictureHeight - 1);
  p.setPen(QPen(highlight, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(current);

  // Lines are drawn on whole pixels without smoothing: crisp at every scale.
  p.setPen(QPen(ink, 1));
  for (int y : kStaffLines) p.drawLine(0, y, kCellsRight - 1, y);
  DrawTrebleClef(p, kClefX, kStaffLines[3], ink);

  for (int c = 1; c <= kShownCells; ++c) {
    const ScoreCell& cell = score_.cell(c);
    if (cell.empty()) continue;
    const QPointF head = HeadAt(c, cell.pitchPos);
    const bool down = StemDown(cell.pitchPos);
    if (!cell.isRest()) {
      p.setPen(QPen(ink, 1));
      for (int y : LedgerLines(cell.pitchPos)) {
        p.drawLine(QPointF(head.x() - kLedgerHalf, y), QPointF(head.x() + kLedgerHalf, y));
      }
      DrawAccidental(p, head, cell.accidental, ink);
    }
    DrawLength(p, head, cell.lengthCode, cell.triplet, down, IsLinePosition(cell.pitchPos), ink);
    if (cell.tie) {
      // To the next cell's head, or towards where it would be.
      const ScoreCell& next = score_.cell(c + 1);
      const QPointF to = c < kShownCells && !next.empty() ? HeadAt(c + 1, next.pitchPos)
                                                          : head + QPointF(kCellWidth, 0);
      DrawTie(p, head, to, !down, ink);
    }
  }
}

void StaffView::mousePressEvent(QMouseEvent* event) {
  emit pressed(event->position().toPoint(), event->button(), event->globalPosition().toPoint());
}

void StaffView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) emit moved(event->position().toPoint());
}

void StaffView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit released(event->position().toPoint());
}

}  // namespace chwr::gui

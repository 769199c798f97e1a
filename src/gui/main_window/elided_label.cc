#include "main_window/elided_label.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace chwr::gui {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setText(text);
}

void ElidedLabel::setText(const QString& text) {
  QLabel::setText(text);
  setToolTip(text);
}

QString ElidedLabel::shownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

// The whole text would hold the window at its width; a few characters and the "…" are
// the least that still says something.
QSize ElidedLabel::minimumSizeHint() const {
  const QSize whole = QLabel::minimumSizeHint();
  const QMargins m = contentsMargins();
  const int least = fontMetrics().horizontalAdvance(text().left(4) + QChar(0x2026));
  return {std::min(whole.width(), least + m.left() + m.right()), whole.height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), alignment(), palette(), isEnabled(), shownText(),
                        foregroundRole());
}

}  // namespace chwr::gui

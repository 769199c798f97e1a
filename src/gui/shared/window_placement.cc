#include "shared/window_placement.h"

#include <algorithm>

namespace chwr::gui {

QRect PlaceWindow(const std::optional<QRect>& stored, QSize preferred, QSize minimum,
                  const QList<QRect>& screens, QMargins frame) {
  if (screens.isEmpty()) return stored.value_or(QRect(QPoint(0, 0), preferred));
  // The screen the stored window mostly lies on, frame and all.
  const QRect* screen = nullptr;
  long long most = 0;
  if (stored) {
    for (const QRect& s : screens) {
      const QRect common = s.intersected(stored->marginsAdded(frame));
      const long long area = 1LL * common.width() * common.height();
      if (area > most) {
        most = area;
        screen = &s;
      }
    }
  }
  const bool keep = screen != nullptr;
  if (!keep) screen = &screens.first();
  const QRect room = screen->marginsRemoved(frame);
  const QSize size = (keep ? stored->size() : preferred).boundedTo(room.size()).expandedTo(minimum);
  QPoint at = keep ? stored->topLeft()
                   : room.topLeft() + QPoint((room.width() - size.width()) / 2,
                                             (room.height() - size.height()) / 2);
  at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - size.width())));
  at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - size.height())));
  return {at, size};
}

}  // namespace chwr::gui

#include "shared/drop_guard.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>
#include <memory>

namespace chwr::gui {
namespace {

// The same drag, offered as a copy only.
std::unique_ptr<QDropEvent> AsCopy(const QDropEvent& e) {
  std::unique_ptr<QDropEvent> copy;
  const QPoint at = e.position().toPoint();
  switch (e.type()) {
    case QEvent::DragEnter:
      copy = std::make_unique<QDragEnterEvent>(at, Qt::CopyAction, e.mimeData(), e.buttons(),
                                               e.modifiers());
      break;
    case QEvent::DragMove:
      copy = std::make_unique<QDragMoveEvent>(at, Qt::CopyAction, e.mimeData(), e.buttons(),
                                              e.modifiers());
      break;
    default:
      copy = std::make_unique<QDropEvent>(e.position(), Qt::CopyAction, e.mimeData(), e.buttons(),
                                          e.modifiers());
      break;
  }
  copy->setDropAction(Qt::CopyAction);
  copy->setAccepted(e.isAccepted());
  return copy;
}

// Whether the drag comes from the box that receives it (a text box or its viewport).
bool SameBox(const QObject* source, const QObject* target) {
  if (!source) return false;
  return source == target || source->parent() == target || target->parent() == source;
}

class DropGuard final : public QObject {
 public:
  DropGuard(QWidget* target, bool takesFiles) : QObject(target), takesFiles_(takesFiles) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
      return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    if (!takesFiles_ && drop->mimeData() && drop->mimeData()->hasUrls()) {
      drop->setDropAction(Qt::IgnoreAction);
      drop->ignore();
      return true;
    }
    const bool copyOnly =
        drop->possibleActions() == Qt::CopyAction && drop->proposedAction() == Qt::CopyAction;
    // Text moved inside one box is editing; from anywhere else a drop copies, so a drag
    // gone astray (Qt restarts some drags by itself) never takes a part's text away.
    if (SameBox(drop->source(), watched) || copyOnly) return false;
    // The box answers the copy as it would the drag itself; the answer goes back as a copy.
    const std::unique_ptr<QDropEvent> copy = AsCopy(*drop);
    QCoreApplication::sendEvent(watched, copy.get());
    drop->setDropAction(Qt::CopyAction);
    drop->setAccepted(copy->isAccepted());
    return true;
  }

 private:
  bool takesFiles_;
};

}  // namespace

void GuardDrops(QWidget* target, bool takesFiles) {
  target->installEventFilter(new DropGuard(target, takesFiles));
}

}  // namespace chwr::gui

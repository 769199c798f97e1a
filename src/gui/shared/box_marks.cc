#include "shared/box_marks.h"

#include <QPlainTextEdit>
#include <array>

namespace chwr::gui {
namespace {

// Held by the box itself, so the layers go with it.
class Layers final : public QObject {
 public:
  explicit Layers(QObject* box) : QObject(box) { setObjectName("boxMarkLayers"); }
  std::array<QList<QTextEdit::ExtraSelection>, 2> layers;
};

Layers* LayersOf(const QPlainTextEdit* box, bool make) {
  auto* layers = box->findChild<Layers*>("boxMarkLayers", Qt::FindDirectChildrenOnly);
  if (!layers && make) layers = new Layers(const_cast<QPlainTextEdit*>(box));
  return layers;
}

}  // namespace

void SetBoxMarks(QPlainTextEdit* box, MarkLayer layer, QList<QTextEdit::ExtraSelection> marks) {
  Layers* held = LayersOf(box, true);
  auto& slot = held->layers[static_cast<int>(layer)];
  // Nothing to show and nothing shown: no relayout of a long text.
  if (slot.isEmpty() && marks.isEmpty()) return;
  slot = std::move(marks);
  // The heard note's background first, the error's wavy line over it.
  QList<QTextEdit::ExtraSelection> all = held->layers[1];
  all.append(held->layers[0]);
  box->setExtraSelections(all);
}

QList<QTextEdit::ExtraSelection> BoxMarks(const QPlainTextEdit* box, MarkLayer layer) {
  const Layers* held = LayersOf(box, false);
  return held ? held->layers[static_cast<int>(layer)] : QList<QTextEdit::ExtraSelection>{};
}

}  // namespace chwr::gui

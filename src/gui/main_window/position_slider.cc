#include "main_window/position_slider.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QWheelEvent>
#include <algorithm>

namespace chwr::gui {
namespace {

// The application's look, with a groove that takes the knob where it is clicked: a click
// points at a place in the song, not at a direction to page in.
class GrooveClickJumps final : public QProxyStyle {
 public:
  // Over a style of the application's kind (the proxy owns it), or the desktop's own.
  GrooveClickJumps() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton | Qt::MiddleButton;
    if (hint == SH_Slider_PageSetButtons) return Qt::NoButton;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

constexpr int kArrowStepMs = 1000;

}  // namespace

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  auto* style = new GrooveClickJumps;
  style->setParent(this);  // a widget does not own its style
  setStyle(style);
  setLength(1);
}

void PositionSlider::setLength(int ms) {
  setRange(0, std::max(ms, 1));
  setPageStep(std::max(ms / 10, 1));
  setSingleStep(kArrowStepMs);
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
  const int before = value();
  QSlider::keyPressEvent(event);
  if (value() != before && !isSliderDown()) emit stepped(value());
}

void PositionSlider::wheelEvent(QWheelEvent* event) {
  const int before = value();
  QSlider::wheelEvent(event);
  if (value() != before && !isSliderDown()) emit stepped(value());
}

}  // namespace chwr::gui

#include "score_editor/score_glyphs.h"

#include <QFont>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPalette>
#include <QPixmap>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <array>

namespace chwr::gui {
namespace {

constexpr double kHeadRx = 4.0;
constexpr double kHeadRy = 2.8;
constexpr double kStemLength = 3.5 * kStaffSpace;
constexpr double kStemOffset = 3.6;  // from the head's middle to its stem
constexpr double kFlagGap = 4.5;

// An ellipse around (0, 0), turned by `degrees`.
QPainterPath TurnedEllipse(double rx, double ry, double degrees) {
  QPainterPath e;
  e.addEllipse(QPointF(0, 0), rx, ry);
  return QTransform().rotate(degrees).map(e);
}

QPainterPath Head(int value) {
  if (value == 1) {
    // A whole note: wide, with its hollow turned against it.
    QPainterPath outer = TurnedEllipse(kHeadRx + 1.0, kHeadRy + 0.2, 0);
    outer.addPath(TurnedEllipse(2.0, 1.6, 55));
    outer.setFillRule(Qt::OddEvenFill);
    return outer;
  }
  QPainterPath head = TurnedEllipse(kHeadRx, kHeadRy, -20);
  if (value == 2) {
    head.addPath(TurnedEllipse(kHeadRx - 1.2, kHeadRy - 1.5, -30));
    head.setFillRule(Qt::OddEvenFill);
  }
  return head;
}

int FlagsOf(int value) {
  return value >= 8 ? (value == 8 ? 1 : value == 16 ? 2 : 3) : 0;
}

// One flag hanging from the stem's end at `at`, bent away from it; `down` for a stem
// that points down (the flag then rises towards the head).
QPainterPath Flag(QPointF at, bool down) {
  const double d = down ? -1 : 1;
  QPainterPath f(at);
  f.cubicTo(at + QPointF(0.5, d * 4), at + QPointF(6.5, d * 5.5), at + QPointF(4.5, d * 12));
  f.cubicTo(at + QPointF(5.0, d * 7.5), at + QPointF(1.5, d * 6.5), at + QPointF(0, d * 6.5));
  f.closeSubpath();
  return f;
}

// The "3" of a triplet as a path around (0, 0), shaped once: laying out text is the
// costliest part of a frame.
const QPainterPath& TripletMark() {
  static const QPainterPath mark = [] {
    QFont font;
    font.setPixelSize(8);
    font.setBold(true);
    QPainterPath three;
    three.addText(0, 0, font, "3");
    return three.translated(-three.boundingRect().center());
  }();
  return mark;
}

void DrawTripletMark(QPainter& p, QPointF at, const QColor& ink) {
  p.fillPath(TripletMark().translated(at), ink);
}

void DrawNote(QPainter& p, QPointF head, const LengthLook& look, bool triplet, bool stemDown,
              bool onLine, const QColor& ink) {
  p.fillPath(Head(look.value).translated(head), ink);
  const int flags = FlagsOf(look.value);
  QPointF markAt = head + QPointF(0, -8);  // a whole note's triplet mark: above its head
  if (look.value > 1) {
    const double length = kStemLength + std::max(0, flags - 1) * 3.0;
    const double x = head.x() + (stemDown ? -kStemOffset : kStemOffset);
    const double from = head.y() + (stemDown ? 0.8 : -0.8);
    const double to = head.y() + (stemDown ? length : -length);
    p.setPen(QPen(ink, 1.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x, from), QPointF(x, to));
    for (int i = 0; i < flags; ++i) {
      const double y = to + (stemDown ? -i * kFlagGap : i * kFlagGap);
      p.fillPath(Flag(QPointF(x + (stemDown ? 0 : 0.5), y), stemDown), ink);
    }
    markAt = QPointF(x + (stemDown ? -4 : -4), to + (stemDown ? 4 : -4));
  }
  if (look.dotted) {
    // A dot stays off the lines: a head on a line has its dot in the space above.
    const QPointF dot = head + QPointF(kHeadRx + 3.0, onLine ? -kStaffSpace / 2 : 0);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(dot, 1.2, 1.2);
  }
  if (triplet) DrawTripletMark(p, markAt, ink);
}

void DrawRest(QPainter& p, QPointF c, const LengthLook& look, bool triplet, const QColor& ink) {
  const double s = kStaffSpace;
  p.setBrush(Qt::NoBrush);
  switch (look.value) {
    case 1:
    case 2: {
      // A block hanging from its line (whole) or sitting on it (half); the short line
      // tells them apart wherever the user put the rest.
      const QRectF block(c.x() - 3.5, c.y() - 1.5, 7, 3);
      p.fillRect(block, ink);
      p.setPen(QPen(ink, 1.0));
      const double line = look.value == 1 ? block.top() : block.bottom();
      p.drawLine(QPointF(c.x() - 5.5, line), QPointF(c.x() + 5.5, line));
      break;
    }
    case 4: {
      QPainterPath z(c + QPointF(-1.2, -1.5 * s));
      z.lineTo(c + QPointF(2.2, -0.75 * s));
      z.lineTo(c + QPointF(-1.0, 0.1 * s));
      z.lineTo(c + QPointF(2.2, 0.75 * s));
      z.cubicTo(c + QPointF(-1.5, 0.5 * s), c + QPointF(-2.0, 1.1 * s), c + QPointF(0.5, 1.5 * s));
      p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPath(z);
      break;
    }
    default: {
      // A slanted stem with one hook per flag down its left.
      const int flags = FlagsOf(look.value);
      const QPointF top = c + QPointF(2.5, -0.9 * s);
      const QPointF bottom = c + QPointF(-1.0 + 0.0 * flags, (0.6 + 0.5 * (flags - 1)) * s);
      p.setPen(QPen(ink, 1.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(top, bottom);
      const QPointF along = (bottom - top) / (bottom.y() - top.y());
      for (int i = 0; i < flags; ++i) {
        const QPointF on = top + along * (i * kFlagGap);
        const QPointF blob = on + QPointF(-4.0, 0.8);
        QPainterPath hook(blob);
        hook.quadTo(on + QPointF(-1.5, 2.2), on);
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(blob, 1.5, 1.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.0, Qt::SolidLine, Qt::RoundCap));
      }
      break;
    }
  }
  if (look.dotted) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(c + QPointF(5.5, -1.5), 1.2, 1.2);
  }
  if (triplet) DrawTripletMark(p, c + QPointF(0, -1.5 * s - 5), ink);
}

// Paints the length at any size: a pixmap asked for at a device pixel ratio of 2 is drawn
// at that ratio, not scaled up.
class LengthIconEngine final : public QIconEngine {
 public:
  explicit LengthIconEngine(int lengthCode) : code_(lengthCode) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    const QPalette pal = QGuiApplication::palette();
    const QColor ink = pal.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                 QPalette::ButtonText);
    // The sign is laid out in a box 24 x 32 around its head, scaled into `rect`.
    const double scale = std::min(rect.width() / 24.0, rect.height() / 32.0);
    painter->save();
    painter->translate(rect.center());
    painter->scale(scale, scale);
    const QPointF head(-1, 6);
    QColor line = ink;
    line.setAlpha(90);
    painter->setPen(QPen(line, 0.8));
    painter->drawLine(QPointF(-11, head.y()), QPointF(11, head.y()));
    DrawLength(*painter, head, code_, false, false, false, ink);
    painter->restore();
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    QPixmap pm(size * scale);
    pm.setDevicePixelRatio(scale);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }
  QIconEngine* clone() const override { return new LengthIconEngine(code_); }

 private:
  int code_;
};

}  // namespace

QIcon LengthIcon(int lengthCode) {
  return QIcon(new LengthIconEngine(lengthCode));
}

LengthLook LookOf(int lengthCode) {
  static constexpr std::array<int, 10> kValues = {1, 2, 2, 4, 4, 8, 8, 16, 16, 32};
  static constexpr std::array<bool, 10> kDotted = {false, true,  false, true,  false,
                                                   true,  false, true,  false, false};
  const int code = lengthCode >= 10 ? lengthCode - 10 : lengthCode;
  if (code < 0 || code > 9) return {lengthCode >= 10, 4, false};
  return {lengthCode >= 10, kValues[code], kDotted[code]};
}

void DrawLength(QPainter& p, QPointF head, int lengthCode, bool triplet, bool stemDown,
                bool onLine, const QColor& ink) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const LengthLook look = LookOf(lengthCode);
  if (look.rest) {
    DrawRest(p, head, look, triplet, ink);
  } else {
    DrawNote(p, head, look, triplet, stemDown, onLine, ink);
  }
  p.restore();
}

void DrawAccidental(QPainter& p, QPointF head, int accidental, const QColor& ink) {
  if (accidental < 1 || accidental > 3) return;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = head + QPointF(-kHeadRx - 5.5, 0);
  const double x = c.x(), y = c.y();
  auto line = [&](double width, QPointF a, QPointF b) {
    p.setPen(QPen(ink, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(a, b);
  };
  switch (accidental) {
    case 1:  // natural
      line(0.9, {x - 2, y - 7}, {x - 2, y + 3.5});
      line(0.9, {x + 2, y - 3.5}, {x + 2, y + 7});
      line(1.7, {x - 2, y - 1.6}, {x + 2, y - 2.8});
      line(1.7, {x - 2, y + 2.8}, {x + 2, y + 1.6});
      break;
    case 2:  // sharp
      line(0.9, {x - 1.5, y - 7}, {x - 1.5, y + 7.5});
      line(0.9, {x + 1.5, y - 7.5}, {x + 1.5, y + 7});
      line(1.7, {x - 3.5, y - 1.2}, {x + 3.5, y - 3.0});
      line(1.7, {x - 3.5, y + 3.0}, {x + 3.5, y + 1.2});
      break;
    case 3: {  // flat
      line(0.9, {x - 2, y - 10}, {x - 2, y + 3});
      QPainterPath bowl(QPointF(x - 2, y + 3));
      bowl.cubicTo(QPointF(x + 4.5, y - 1.0), QPointF(x + 3.0, y - 4.5), QPointF(x - 2, y - 1.2));
      p.setPen(QPen(ink, 1.3));
      p.setBrush(Qt::NoBrush);
      p.drawPath(bowl);
      break;
    }
  }
  p.restore();
}

void DrawTie(QPainter& p, QPointF from, QPointF to, bool below, const QColor& ink) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const double d = below ? 1 : -1;
  const QPointF a = from + QPointF(2.5, d * 4.0), b = to + QPointF(-2.5, d * 4.0);
  const QPointF mid = (a + b) / 2;
  QPainterPath arc(a);
  arc.quadTo(mid + QPointF(0, d * 6.5), b);
  arc.quadTo(mid + QPointF(0, d * 4.5), a);
  p.fillPath(arc, ink);
  p.restore();
}

void DrawTrebleClef(QPainter& p, double x, double gLine, const QColor& ink) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const double s = kStaffSpace;
  auto at = [&](double dx, double dy) { return QPointF(x + dx * s, gLine + dy * s); };
  // One stroke: the curl around the G line, out round the body, up to the loop above the
  // staff, and down as the stem to the hook below it.
  QPainterPath c(at(0.3, 0.05));
  c.cubicTo(at(0.35, -0.6), at(-0.65, -0.65), at(-0.7, 0.1));
  c.cubicTo(at(-0.75, 0.85), at(0.75, 1.05), at(1.2, 0.3));
  c.cubicTo(at(1.6, -0.5), at(0.9, -1.55), at(-0.1, -1.55));
  c.cubicTo(at(-1.3, -1.55), at(-1.9, -0.2), at(-1.2, 0.9));
  c.cubicTo(at(-0.6, 1.7), at(1.2, 1.8), at(1.6, 0.6));
  c.moveTo(at(-0.1, -1.55));
  c.cubicTo(at(1.2, -2.6), at(1.4, -4.0), at(0.9, -5.0));
  c.cubicTo(at(0.5, -5.8), at(-0.3, -4.8), at(-0.2, -3.8));
  c.cubicTo(at(-0.1, -2.0), at(0.45, 1.5), at(0.5, 3.0));
  c.cubicTo(at(0.55, 3.9), at(-0.4, 4.1), at(-0.6, 3.4));
  p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(c);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawEllipse(at(-0.45, 3.35), 1.8, 1.8);
  p.restore();
}

}  // namespace chwr::gui

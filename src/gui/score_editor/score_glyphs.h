#pragma once
// The score's signs drawn as vector paths: the treble clef, note heads with their stems,
// flags, dots and triplet marks, rests, accidentals and ties. The staff and the length
// buttons draw with the same functions, so a button shows exactly what a cell will.
// Sizes follow the staff's line spacing; nothing here knows cells or the score model.

#include <QColor>
#include <QIcon>
#include <QPointF>

class QPainter;

namespace chwr::gui {

/// Distance between two staff lines in pixels (two diatonic steps of 3 pixels).
inline constexpr double kStaffSpace = 6.0;

/// What one length code (0..19: notes whole .. 32nd, then rests) looks like.
struct LengthLook {
  bool rest = false;  ///< codes 10..19
  int value = 0;      ///< 1 whole, 2 half, 4 quarter, 8, 16, 32
  bool dotted = false;
};

/// The look of `lengthCode` (0..19).
LengthLook LookOf(int lengthCode);

/// A note or rest of `lengthCode` with its head (a rest: its middle) at `head`; stems
/// go down when `stemDown`; a dotted head `onLine` has its dot in the space above. A
/// triplet carries a "3" at the stem's end.
void DrawLength(QPainter& p, QPointF head, int lengthCode, bool triplet, bool stemDown,
                bool onLine, const QColor& ink);

/// The accidental 1 natural, 2 sharp, 3 flat left of a head at `head`; 0 draws nothing.
void DrawAccidental(QPainter& p, QPointF head, int accidental, const QColor& ink);

/// A tie from the head at `from` to the head at `to`, bowed away from the stems.
void DrawTie(QPainter& p, QPointF from, QPointF to, bool below, const QColor& ink);

/// The treble clef, its curl around the G line at `gLine` and its stem at x = `x`.
void DrawTrebleClef(QPainter& p, double x, double gLine, const QColor& ink);

/// The picture of a length button: the note or rest of `lengthCode` on one staff line,
/// drawn anew at whatever size and scale the button asks for, in the button text's colour.
QIcon LengthIcon(int lengthCode);

}  // namespace chwr::gui

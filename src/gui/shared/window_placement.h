#pragma once
// Where the main window opens: where it was last time when that is still on a screen,
// else at its usual size in the middle of the main screen; either way whole on one
// screen, frame and all, however small the screen is or however large its scale.

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <optional>

namespace chwr::gui {

/// The size the window has when nothing is remembered.
inline constexpr QSize kDefaultWindowSize{720, 560};
/// Room for the frame the window manager puts around the window (title bar on top).
inline constexpr QMargins kFrameAllowance{8, 32, 8, 8};

/// The inside of the window (without its frame) on one of `screens` (their available
/// areas, the main one first). `stored` stays where it is when it fits on the screen
/// it mostly lies on, and is moved and shrunk onto it otherwise; a place on no screen,
/// or none, gives `preferred` centred on the main screen. The size never shrinks below
/// `minimum`; a side that still does not fit starts at the screen's top or left edge.
QRect PlaceWindow(const std::optional<QRect>& stored, QSize preferred, QSize minimum,
                  const QList<QRect>& screens, QMargins frame = kFrameAllowance);

}  // namespace chwr::gui

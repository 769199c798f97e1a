#pragma once
// What may be dropped on the window's text boxes. Files open from the MML boxes only:
// dropped on any other box, a file's address would become its text (and from the title
// the MLD file's). Whatever comes from outside the program is copied, never moved: a
// move tells the program it came from (a file manager, say) to delete its original.

class QWidget;

namespace chwr::gui {

/// Guards the drops on `target`, the widget that receives them (a line edit, or the
/// viewport of a multi-line box): drags from outside the program drop as copies, and
/// files and other addresses are refused unless `takesFiles`. Drags inside the program
/// keep Qt's ways, so text dragged within a box still moves.
void GuardDrops(QWidget* target, bool takesFiles);

}  // namespace chwr::gui

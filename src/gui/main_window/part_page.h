#pragma once
// One part of the song on its own tab page: the mute box, the volume and tone
// choices, and the MML box, which opens files dropped on it.

#include <QString>
#include <QWidget>
#include <array>
#include <string>
#include <utility>

#include "song/song_document.h"

class QCheckBox;
class QComboBox;

namespace chwr::gui {

class PlainTextBox;

/// The page of part `part` (0..3): "fraPART_i" with Check1_i, Combo2_i, Combo3_i, Text1_i.
class PartPage final : public QWidget {
  Q_OBJECT

 public:
  /// The page with its lists filled and the part's default choices.
  explicit PartPage(int part, QWidget* parent = nullptr);

  /// The part as the page shows it.
  PartSlot slot() const;
  /// Shows a part's text and choices; the mute box stays as it is.
  void showSlot(const PartSlot& slot);
  /// The MML box's selection as song text, or the whole text when nothing is selected.
  std::string selectedOrWholeText() const;

  /// Whether the part is muted.
  bool muted() const;
  /// Turns the mute box over.
  void toggleMute();

  /// Upper- or lower-cases the MML text, as one edit the user can undo.
  void convertCase(bool upper);
  /// Halves (towards 24 steps a quarter) or doubles every absolute length of the MML text,
  /// as one edit the user can undo.
  void rescaleLengths(bool towards24);
  /// Selects `search` (upper case) in the MML box, its first occurrence from the start of
  /// line `line` (1-based) on, else its first in the box; puts the cursor at the start when
  /// `search` is empty. Focuses the box.
  void selectText(const QString& search, int line);
  /// Where selectText would select: start and length in the box's text; length 0 when
  /// `search` is not there (or empty).
  std::pair<int, int> textRange(const QString& search, int line) const;
  /// The MML box.
  PlainTextBox* mmlBox() const { return mml_; }
  /// The page's controls in the order Tab visits them: from the top down.
  std::array<QWidget*, 4> tabStops() const;

 signals:
  /// The text, the volume or the tone changed.
  void edited();
  /// The mute box was turned on or off.
  void muteToggled(bool muted);
  /// A file was dropped on the MML box (the first of several).
  void fileDropped(const QString& path);

 private:
  QCheckBox* mute_ = nullptr;
  QComboBox* volume_ = nullptr;
  QComboBox* tone_ = nullptr;
  PlainTextBox* mml_ = nullptr;
  QString shownText_;  // the MML box's text after its last change
};

}  // namespace chwr::gui

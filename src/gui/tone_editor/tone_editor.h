#pragma once
// The tone editor "J-SH03音色定義変換": a small window beside the song in which the user
// sets a two-operator FM tone in readable units and copies its definition to the
// clipboard, to paste it into a part. It never touches the song itself.

#include <QWidget>
#include <array>

#include "tone/tone_text.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace chwr::gui {

/// The window "frmSHTONE": the frames "ﾓｼﾞｭﾚｰﾀｰ" and "ｷｬﾘｱ" with the lists "cmbTONE1_0".."_9"
/// (carrier 0..4, modulator 5..9), the boxes "Text1_0".."_10" (carrier 0..4, modulator
/// 5..10), the octave list "cmbOCT", the buttons "cmdCLIP" and "cmdCLOSE", and the line
/// "lblRANGE" that says when a copied definition holds values out of range.
///
/// A box whose value does not fit its field is marked as the user types: a red tint
/// drawn from the window's own colours and a tooltip naming the range. Its text is still
/// copied as it is; the user may want exactly that.
class ToneEditor final : public QWidget {
  Q_OBJECT

 public:
  /// A hidden window at its starting values. It has no parent, so that its control
  /// names stay apart from the main window's (both have a "Text1_0").
  ToneEditor();
  ~ToneEditor() override;

  /// Shows the window; when it was not showing, first places it 3 pixels right of and
  /// 62 pixels below `owner`'s top-left corner and keeps it above `owner`.
  void ShowBeside(QWidget* owner);
  /// The values the controls hold now.
  ToneSettings settings() const;
  /// "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ": the definition text replaces whatever the clipboard held;
  /// "lblRANGE" then names the values out of range it holds, or goes when there are none.
  void CopyToClipboard();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QWidget* BuildFrame(const QString& title, int lists, int boxes, bool carrier);
  bool BoxEvent(QLineEdit* box, QEvent* event);
  void MarkRange(int box);

  std::array<QComboBox*, 10> lists_{};
  std::array<QLineEdit*, 11> boxes_{};
  QComboBox* octave_ = nullptr;
  QLabel* rangeNote_ = nullptr;
  QLineEdit* clickedInto_ = nullptr;  // a box the mouse just gave the focus to
};

}  // namespace chwr::gui

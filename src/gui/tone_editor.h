#pragma once
// The tone editor "J-SH03音色定義変換": a small window beside the song in which the user
// sets a two-operator FM tone in readable units and copies its definition to the
// clipboard, to paste it into a part. It never touches the song itself.

#include <QWidget>
#include <array>

#include "tone/tone_text.h"

class QComboBox;
class QLineEdit;

namespace chwr::gui {

/// The window "frmSHTONE": the frames "ﾓｼﾞｭﾚｰﾀｰ" and "ｷｬﾘｱ" with the lists "cmbTONE1_0".."_9"
/// (carrier 0..4, modulator 5..9), the boxes "Text1_0".."_10" (carrier 0..4, modulator
/// 5..10), the octave list "cmbOCT" and the buttons "cmdCLIP" and "cmdCLOSE".
class ToneEditor final : public QWidget {
  Q_OBJECT

 public:
  /// A hidden window at its starting values. It has no parent, so that its control
  /// names stay apart from the main window's (both have a "Text1_0").
  ToneEditor();

  /// Shows the window; when it was not showing, first places it 3 pixels right of and
  /// 62 pixels below `owner`'s top-left corner and keeps it above `owner`.
  void ShowBeside(QWidget* owner);
  /// The values the controls hold now.
  ToneSettings settings() const;
  /// "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ": the definition text replaces whatever the clipboard held.
  void CopyToClipboard();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* BuildFrame(const QString& title, int lists, int boxes, bool carrier);
  bool BoxEvent(QLineEdit* box, QEvent* event);

  std::array<QComboBox*, 10> lists_{};
  std::array<QLineEdit*, 11> boxes_{};
  QComboBox* octave_ = nullptr;
  QLineEdit* clickedInto_ = nullptr;  // a box the mouse just gave the focus to
};

}  // namespace chwr::gui

#pragma once
// Pasting into the editor's text boxes. Some Qt versions (6.4) read past an empty
// format list when the clipboard holds data without any format, as it does after
// another program cleared it, and crash inside the text box's paste. Every box that
// accepts pastes therefore pastes through here: only the clipboard's plain text, and
// only when there is some.

#include <QClipboard>
#include <QPlainTextEdit>
#include <functional>
#include <optional>

class QMenu;
class QMimeData;

namespace chwr::gui {

/// The clipboard's plain text, or nullopt when it holds no data, no text or empty text.
std::optional<QString> ClipboardText(QClipboard::Mode mode = QClipboard::Clipboard);

/// Inserts the clipboard's plain text into a text box (plain text edit, text edit,
/// line edit or editable combo box) in place of its selection; does nothing without text
/// or when the box is read-only.
void PasteClipboardText(QWidget* box, QClipboard::Mode mode = QClipboard::Clipboard);

/// Routes every paste of a text box through PasteClipboardText: the paste keys, the
/// context menu's Paste, and the middle button's selection paste where the system has one.
void InstallPasteGuard(QWidget* box);

/// A plain text box with the paste guard installed, whose paste() slot and text drops
/// also insert plain text only.
class PlainTextBox : public QPlainTextEdit {
 public:
  /// A box with the guard installed.
  explicit PlainTextBox(QWidget* parent = nullptr);

  /// Lets the box's owner rewire or add to its context menu before it shows.
  void setMenuHook(std::function<void(QMenu*)> hook) { menuHook_ = std::move(hook); }
  /// Runs the hook on the context menu about to show (its Paste already guarded).
  void PrepareMenu(QMenu* menu) const {
    if (menuHook_) menuHook_(menu);
  }

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  std::function<void(QMenu*)> menuHook_;
};

}  // namespace chwr::gui

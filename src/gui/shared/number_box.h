#pragma once
// Boxes where the user types a number. A Japanese input method types full-width digits
// ("１５０"); the program reads them as digits, and the box shows them as the program
// writes them once the user is done with it.

#include <QComboBox>

class QLineEdit;

namespace chwr::gui {

/// Shows a number typed into `box` in the program's form ("１５０" becomes "150", blanks
/// around it go) when the user is done: on Enter or when the focus leaves, never while an
/// input method is still composing. Text that is no number stays as typed, and so does
/// text the program put there.
void ShowTypedNumberPlain(QLineEdit* box);

/// An editable drop-down list of numbers (the tempo "Text5"). Its list stays as it was
/// filled: typed values are not added to it. The item that matches the box's text is
/// the list's current one, so opening the list highlights it; when none matches, none
/// is highlighted and Enter closes the list, leaving the box's value as it is.
class NumberCombo final : public QComboBox {
 public:
  /// An empty list that shows typed numbers plain.
  explicit NumberCombo(QWidget* parent = nullptr);

  void showPopup() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowText(const QString& text);
};

}  // namespace chwr::gui

#include "shared/number_box.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <memory>

#include "shared/box_text.h"
#include "text/numbers.h"

namespace chwr::gui {

void ShowTypedNumberPlain(QLineEdit* box) {
  // Only what the user typed is put in form; a number the program showed is its own.
  auto typed = std::make_shared<bool>(false);
  QObject::connect(box, &QLineEdit::textEdited, box, [typed] { *typed = true; });
  QObject::connect(box, &QLineEdit::editingFinished, box, [box, typed] {
    if (!*typed) return;
    *typed = false;
    const std::string plain = NumberText(S(box->text()));
    if (IsPlainNumber(plain) && Q(plain) != box->text()) box->setText(Q(plain));
  });
}

NumberCombo::NumberCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  ShowTypedNumberPlain(lineEdit());
  connect(this, &QComboBox::editTextChanged, this, &NumberCombo::FollowText);
  view()->installEventFilter(this);
}

// The item with the box's text becomes the current one; its text is the box's already,
// so the box and its cursor stay as they are. Another text leaves the current item: it
// cannot be cleared without clearing the box.
void NumberCombo::FollowText(const QString& text) {
  const int match = findText(text);
  if (match >= 0 && match != currentIndex()) setCurrentIndex(match);
}

void NumberCombo::showPopup() {
  FollowText(currentText());
  QComboBox::showPopup();
  if (findText(currentText()) < 0) {
    view()->clearSelection();
    view()->setCurrentIndex(QModelIndex());
  }
}

bool NumberCombo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    // Enter with nothing highlighted: the box keeps what it says.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !view()->currentIndex().isValid()) {
      hidePopup();
      return true;
    }
  }
  return QComboBox::eventFilter(watched, event);
}

}  // namespace chwr::gui

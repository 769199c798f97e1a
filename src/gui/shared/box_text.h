#pragma once
// Small helpers every room of the window shares: text between Qt and the core, the
// drop-down lists, and the hourglass over work the user waits for.

#include <QApplication>
#include <QComboBox>
#include <QString>
#include <string>
#include <vector>

#include "song/choices.h"

namespace chwr::gui {

/// A core (UTF-8) string as Qt's.
inline QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
/// A Qt string as the core's (UTF-8).
inline std::string S(const QString& s) {
  return s.toStdString();
}

/// A box's text as the song holds it: the boxes use "\n", songs and files CR LF.
inline std::string ToSongText(const QString& box) {
  QString t = box;
  t.replace(QChar(0x2029), QChar('\n'));
  return S(t.replace("\n", "\r\n"));
}
/// A song's text as a box shows it.
inline QString ToBoxText(const std::string& song) {
  QString t = Q(song);
  return t.replace("\r\n", "\n");
}

/// Fills a drop-down list with the items of a choice table; it shows 28 rows.
inline void FillCombo(QComboBox* box, const std::vector<ChoiceItem>& items) {
  for (const ChoiceItem& item : items) box->addItem(Q(item.text), item.itemData);
  box->setMaxVisibleItems(28);
}

/// Shows the hourglass for as long as a build or file operation runs.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace chwr::gui

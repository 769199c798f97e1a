#pragma once
// The help page shown inside the program, for desktops where no browser takes it.

#include <QWidget>

class QString;
class QTextBrowser;

namespace chwr::gui {

/// The window "frmHELP", titled "ﾍﾙﾌﾟ", with the page in the browser "txtHELP".
class HelpWindow final : public QWidget {
  Q_OBJECT

 public:
  /// A hidden help window over `parent`, which owns it.
  explicit HelpWindow(QWidget* parent);

  /// Shows the page at `path` and brings the window up.
  void ShowPage(const QString& path);

 private:
  QTextBrowser* browser_;
};

}  // namespace chwr::gui

#include "main_window/help_window.h"

#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace chwr::gui {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmHELP");
  setWindowTitle("ﾍﾙﾌﾟ");
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("txtHELP");
  // Links out of the page go to whatever the desktop has; its own anchors stay here.
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  // A window of its own without a close button of ours: the keys every viewer knows.
  auto* closeAction = new QAction(this);
  closeAction->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
  closeAction->setShortcutContext(Qt::WindowShortcut);
  connect(closeAction, &QAction::triggered, this, &QWidget::close);
  addAction(closeAction);
  resize(640, 480);
}

void HelpWindow::ShowPage(const QString& path) {
  browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  show();
  raise();
  activateWindow();
}

}  // namespace chwr::gui

#include "main_window/recent_files.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace chwr::gui {

RecentFiles::RecentFiles(QMenu* menu, std::function<void(const QString&)> open, QObject* parent)
    : QObject(parent), menu_(menu), open_(std::move(open)) {
  // The items stay for the life of the menu (one may be rebuilt while it is being
  // triggered); only their texts change.
  for (int i = 0; i < kMaxFiles; ++i) {
    QAction* item = menu_->addAction(QString());
    item->setObjectName(QString("mnuRECENT_%1").arg(i));
    connect(item, &QAction::triggered, this, [this, i] {
      if (i < paths_.size()) open_(QString(paths_[i]));
    });
  }
  Rebuild();
}

void RecentFiles::setPaths(const QStringList& paths) {
  paths_.clear();
  for (const QString& path : paths) {
    if (!path.trimmed().isEmpty() && !paths_.contains(path) && paths_.size() < kMaxFiles) {
      paths_.append(path);
    }
  }
  Rebuild();
}

void RecentFiles::add(const QString& path) {
  QStringList paths = paths_;
  paths.removeAll(path);
  paths.prepend(path);
  setPaths(paths);
}

void RecentFiles::Rebuild() {
  const QList<QAction*> items = menu_->actions();
  for (int i = 0; i < items.size(); ++i) {
    const bool used = i < paths_.size();
    // "&&" shows one "&" of the path; the number before it is the access key.
    QString shown = used ? QDir::toNativeSeparators(paths_[i]) : QString();
    items[i]->setText(QString("&%1 %2").arg(i + 1).arg(shown.replace("&", "&&")));
    items[i]->setVisible(used);
  }
  menu_->setEnabled(!paths_.isEmpty());
}

}  // namespace chwr::gui

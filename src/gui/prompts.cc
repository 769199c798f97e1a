#include "prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace chwr::gui {
namespace {

QString Filters(const FileDialog& dialog) {
  return dialog.description + " (" + dialog.pattern.split(';').join(' ') + ");;All Files(*.*) (*)";
}

}  // namespace

QString WithExtension(const QString& name, const QString& extension) {
  if (name.isEmpty() || extension.isEmpty()) return name;
  return name.toUpper().contains(extension.toUpper()) ? name : name + extension;
}

void QtPrompts::Message(QWidget* parent, const QString& text, MessageKind kind) {
  switch (kind) {
    case MessageKind::Error:
      QMessageBox::warning(parent, QStringLiteral("ｴﾗｰ"), text);
      break;
    case MessageKind::Information:
      QMessageBox::information(parent, QStringLiteral("確認"), text);
      break;
    case MessageKind::Warning:
      QMessageBox::warning(parent, QStringLiteral("注意"), text);
      break;
  }
}

Answer QtPrompts::AskYesNoCancel(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("確認"), text,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

QString QtPrompts::OpenFile(QWidget* parent, const FileDialog& dialog) {
  return QFileDialog::getOpenFileName(parent, QString(), dialog.folder, Filters(dialog));
}

QString QtPrompts::SaveFile(QWidget* parent, const FileDialog& dialog) {
  const QString start = QDir(dialog.folder.isEmpty() ? QDir::currentPath() : dialog.folder)
                            .filePath(dialog.initialName);
  return WithExtension(QFileDialog::getSaveFileName(parent, QString(), start, Filters(dialog)),
                       dialog.extension);
}

std::optional<QFont> QtPrompts::ChooseFont(QWidget* parent, const QFont& current) {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, current, parent);
  if (!ok) return std::nullopt;
  return font;
}

void QtPrompts::OpenUrl(const QUrl& url) {
  QDesktopServices::openUrl(url);
}

}  // namespace chwr::gui

#include "shared/prompts.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace chwr::gui {
namespace {

// The descriptions already name their patterns ("Text File(*.txt)"); the dialog is told
// to show them as they are instead of adding the patterns a second time.
QStringList Filters(const FileDialog& dialog) {
  return {dialog.description + " (" + dialog.pattern.split(';').join(' ') + ")",
          "All Files(*.*) (*)"};
}

}  // namespace

QString WithExtension(const QString& name, const QString& extension) {
  if (name.isEmpty() || extension.isEmpty()) return name;
  // A folder called "songs.txt" says nothing about the file's own name.
  const QString fileName = QFileInfo(name).fileName();
  return fileName.toUpper().contains(extension.toUpper()) ? name : name + extension;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text,
                                            DiagnosticKind kind, const QString& detail) {
  const QMessageBox::Icon icon =
      kind == DiagnosticKind::Confirmation ? QMessageBox::Information : QMessageBox::Warning;
  auto box = std::make_unique<QMessageBox>(icon, QString::fromUtf8(DiagnosticTitle(kind)), text,
                                           QMessageBox::Ok, parent);
  box->setInformativeText(detail);
  // A file's path or a page's address is there to be copied, by mouse or keyboard.
  const auto selectable = Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;
  box->setTextInteractionFlags(selectable);
  if (auto* informative = box->findChild<QLabel*>("qt_msgbox_informativelabel")) {
    informative->setTextInteractionFlags(selectable);
  }
  return box;
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& text, bool okCancel) {
  const auto buttons = okCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                : QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  return std::make_unique<QMessageBox>(QMessageBox::Information, QStringLiteral("確認"), text,
                                       buttons, parent);
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialog& dialog, bool save) {
  auto box = std::make_unique<QFileDialog>(parent);
  box->setOption(QFileDialog::HideNameFilterDetails);
  box->setNameFilters(Filters(dialog));
  if (save) {
    box->setAcceptMode(QFileDialog::AcceptSave);
    box->setFileMode(QFileDialog::AnyFile);
    const QDir start(dialog.folder.isEmpty() ? QDir::currentPath() : dialog.folder);
    box->setDirectory(start);
    box->selectFile(start.filePath(dialog.initialName));
  } else {
    box->setFileMode(QFileDialog::ExistingFile);
    if (!dialog.folder.isEmpty()) box->setDirectory(dialog.folder);
  }
  return box;
}

void QtPrompts::Message(QWidget* parent, const QString& text, DiagnosticKind kind,
                        const QString& detail) {
  MakeMessageBox(parent, text, kind, detail)->exec();
}

Answer QtPrompts::AskYesNoCancel(QWidget* parent, const QString& text) {
  switch (MakeQuestionBox(parent, text)->exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

bool QtPrompts::AskOkCancel(QWidget* parent, const QString& text) {
  return MakeQuestionBox(parent, text, true)->exec() == QMessageBox::Ok;
}

QString QtPrompts::OpenFile(QWidget* parent, const FileDialog& dialog) {
  auto box = MakeFileDialog(parent, dialog, false);
  if (box->exec() != QDialog::Accepted || box->selectedFiles().isEmpty()) return {};
  return box->selectedFiles().first();
}

QString QtPrompts::SaveFile(QWidget* parent, const FileDialog& dialog) {
  auto box = MakeFileDialog(parent, dialog, true);
  if (box->exec() != QDialog::Accepted || box->selectedFiles().isEmpty()) return {};
  return WithExtension(box->selectedFiles().first(), dialog.extension);
}

std::optional<QFont> QtPrompts::ChooseFont(QWidget* parent, const QFont& current) {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, current, parent);
  if (!ok) return std::nullopt;
  return font;
}

bool QtPrompts::OpenUrl(const QUrl& url) {
  return QDesktopServices::openUrl(url);
}

bool InstallQtTranslations() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace chwr::gui

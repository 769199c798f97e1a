#pragma once
// Every question, message and file dialog the editor shows goes through here, so
// tests can answer them while production code shows real Qt dialogs.

#include <QFont>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

#include "diagnostic.h"  // DiagnosticKind: a message box's title and icon

class QFileDialog;
class QMessageBox;
class QWidget;

namespace chwr::gui {

/// The answer to a Yes / No / Cancel question.
enum class Answer { Yes, No, Cancel };

/// A file dialog: its two filter entries are this kind's own and "All Files(*.*)".
struct FileDialog {
  QString description;  ///< e.g. "Mld File(*.mld)"
  QString pattern;      ///< e.g. "*.mld"
  QString initialName;  ///< save dialogs: the proposed name
  QString extension;    ///< save dialogs: appended when the name lacks it, e.g. ".mld"
  QString folder;       ///< where the dialog starts
};

/// The user at a dialog.
class Prompts {
 public:
  virtual ~Prompts() = default;
  /// An OK message box: "ｴﾗｰ"/exclamation, "確認"/information, "注意"/warning; `detail`
  /// (the file and the system's reason, say) goes below the text when there is one.
  virtual void Message(QWidget* parent, const QString& text, DiagnosticKind kind,
                       const QString& detail) = 0;
  /// A question with Yes, No and Cancel, title "確認" and the information icon.
  virtual Answer AskYesNoCancel(QWidget* parent, const QString& text) = 0;
  /// A question with OK and Cancel, title "確認" and the information icon; true for OK.
  virtual bool AskOkCancel(QWidget* parent, const QString& text) = 0;
  /// A file to open (must exist); empty when cancelled.
  virtual QString OpenFile(QWidget* parent, const FileDialog& dialog) = 0;
  /// A file to save to (asks before overwriting); empty when cancelled.
  virtual QString SaveFile(QWidget* parent, const FileDialog& dialog) = 0;
  /// A font; nullopt when cancelled.
  virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& current) = 0;
  /// Opens a page or file with the desktop's viewer; false when none took it.
  virtual bool OpenUrl(const QUrl& url) = 0;
};

/// The real dialogs.
class QtPrompts final : public Prompts {
 public:
  void Message(QWidget* parent, const QString& text, DiagnosticKind kind,
               const QString& detail) override;
  Answer AskYesNoCancel(QWidget* parent, const QString& text) override;
  bool AskOkCancel(QWidget* parent, const QString& text) override;
  QString OpenFile(QWidget* parent, const FileDialog& dialog) override;
  QString SaveFile(QWidget* parent, const FileDialog& dialog) override;
  std::optional<QFont> ChooseFont(QWidget* parent, const QFont& current) override;
  bool OpenUrl(const QUrl& url) override;
};

/// The message box QtPrompts::Message shows.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text,
                                            DiagnosticKind kind, const QString& detail);
/// The question box QtPrompts::AskYesNoCancel shows, or with `okCancel` AskOkCancel.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& text,
                                             bool okCancel = false);
/// The file dialog QtPrompts shows to open (`save` false) or to save a file.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialog& dialog, bool save);

/// The name a save dialog returns, with the kind's extension added when the upper-cased
/// file name (not the folders above it) lacks it.
QString WithExtension(const QString& name, const QString& extension);

/// Makes Qt's own buttons and dialogs speak Japanese, as the rest of the program does;
/// false when Qt's Japanese translations are not installed.
bool InstallQtTranslations();

}  // namespace chwr::gui

#pragma once
// Every question, message and file dialog the editor shows goes through here, so
// tests can answer them while production code shows real Qt dialogs.

#include <QFont>
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

namespace chwr::gui {

/// A message box's look: title and icon.
enum class MessageKind { Error, Information, Warning };

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
  /// An OK message box: "ｴﾗｰ"/exclamation, "確認"/information, "注意"/warning.
  virtual void Message(QWidget* parent, const QString& text, MessageKind kind) = 0;
  /// A question with Yes, No and Cancel, title "確認" and the information icon.
  virtual Answer AskYesNoCancel(QWidget* parent, const QString& text) = 0;
  /// A file to open (must exist); empty when cancelled.
  virtual QString OpenFile(QWidget* parent, const FileDialog& dialog) = 0;
  /// A file to save to (asks before overwriting); empty when cancelled.
  virtual QString SaveFile(QWidget* parent, const FileDialog& dialog) = 0;
  /// A font; nullopt when cancelled.
  virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& current) = 0;
  /// Opens a page or file with the desktop's viewer; reports nothing on failure.
  virtual void OpenUrl(const QUrl& url) = 0;
};

/// The real dialogs.
class QtPrompts final : public Prompts {
 public:
  void Message(QWidget* parent, const QString& text, MessageKind kind) override;
  Answer AskYesNoCancel(QWidget* parent, const QString& text) override;
  QString OpenFile(QWidget* parent, const FileDialog& dialog) override;
  QString SaveFile(QWidget* parent, const FileDialog& dialog) override;
  std::optional<QFont> ChooseFont(QWidget* parent, const QFont& current) override;
  void OpenUrl(const QUrl& url) override;
};

/// The name a save dialog returns, with the kind's extension added when the
/// upper-cased name lacks it.
QString WithExtension(const QString& name, const QString& extension);

}  // namespace chwr::gui

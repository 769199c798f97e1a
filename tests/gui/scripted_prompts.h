#pragma once
// Prompts for tests: every answer comes from a queue the test fills beforehand, and
// everything the window shows is recorded. A prompt nobody queued an answer for is
// cancelled and noted in `unexpected`, so a forgotten answer fails the test instead
// of blocking it; so is any prompt shown while the hourglass cursor is still up.

#include <QApplication>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

#include "shared/prompts.h"

namespace chwr::gui {

class ScriptedPrompts final : public Prompts {
 public:
  struct ShownMessage {
    QString text;
    DiagnosticKind kind;
    QString detail;
  };
  enum class DialogKind { Open, Save };
  struct ShownDialog {
    DialogKind kind;
    FileDialog dialog;
  };

  // Answers, taken from the front.
  QList<Answer> answers;
  QList<bool> confirms;  ///< for OK / Cancel questions: true is OK
  QStringList files;     ///< for open and save dialogs; "" cancels
  QList<std::optional<QFont>> fonts;

  // What the window showed, in order.
  QList<ShownMessage> messages;
  QStringList questions;
  QList<ShownDialog> dialogs;
  QList<QFont> fontDialogs;  ///< the font each font dialog started with
  QList<QUrl> urls;
  bool urlsOpen = true;    ///< whether a desktop viewer takes the pages
  QStringList unexpected;  ///< prompts without a queued answer, or under the hourglass

  void Message(QWidget*, const QString& text, DiagnosticKind kind, const QString& detail) override {
    CheckCursor("message: " + text);
    messages.append({text, kind, detail});
  }

  Answer AskYesNoCancel(QWidget*, const QString& text) override {
    CheckCursor("question: " + text);
    questions.append(text);
    return Next(answers, Answer::Cancel, "question: " + text);
  }

  bool AskOkCancel(QWidget*, const QString& text) override {
    CheckCursor("question: " + text);
    questions.append(text);
    return Next(confirms, false, "question: " + text);
  }

  QString OpenFile(QWidget*, const FileDialog& dialog) override {
    return NextFile(DialogKind::Open, dialog);
  }

  QString SaveFile(QWidget*, const FileDialog& dialog) override {
    return WithExtension(NextFile(DialogKind::Save, dialog), dialog.extension);
  }

  std::optional<QFont> ChooseFont(QWidget*, const QFont& current) override {
    CheckCursor("font dialog");
    fontDialogs.append(current);
    return Next(fonts, std::optional<QFont>(), "font dialog");
  }

  bool OpenUrl(const QUrl& url) override {
    urls.append(url);
    return urlsOpen;
  }

 private:
  // The user must see the normal pointer over every dialog.
  void CheckCursor(const QString& what) {
    if (QApplication::overrideCursor()) unexpected.append("under the hourglass: " + what);
  }

  template <class T>
  T Next(QList<T>& queue, T cancel, const QString& what) {
    if (!queue.isEmpty()) return queue.takeFirst();
    unexpected.append("no answer for " + what);
    return cancel;
  }

  QString NextFile(DialogKind kind, const FileDialog& dialog) {
    CheckCursor("dialog: " + dialog.description);
    dialogs.append({kind, dialog});
    return Next(files, QString(), "dialog: " + dialog.description);
  }
};

}  // namespace chwr::gui

#pragma once
// How the window's commands speak to the user: message boxes through Prompts over the
// window, and failures that point at the song's text.

#include <QString>

#include "diagnostic.h"
#include "shared/prompts.h"

class QWidget;

namespace chwr::gui {

class SongForm;

/// The user, as the commands reach them.
class Feedback {
 public:
  /// Dialogs from `prompts` over `window`; diagnostics select their text in `form`.
  Feedback(Prompts& prompts, QWidget* window, SongForm& form)
      : prompts_(prompts), window_(window), form_(form) {}

  /// The dialogs.
  Prompts& prompts() const { return prompts_; }
  /// The window the dialogs belong to.
  QWidget* window() const { return window_; }
  /// An OK message box, with `detail` below its text when there is one.
  void Message(const QString& text, DiagnosticKind kind, const QString& detail = {}) const;
  /// Every failure the user sees: the part's offending text selected, then a message box
  /// with the kind's title and the diagnostic's detail.
  void ShowDiagnostic(const Diagnostic& d) const;

 private:
  Prompts& prompts_;
  QWidget* window_;
  SongForm& form_;
};

}  // namespace chwr::gui

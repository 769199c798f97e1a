#include "main_window/feedback.h"

#include "main_window/song_form.h"

namespace chwr::gui {

void Feedback::Message(const QString& text, DiagnosticKind kind, const QString& detail) const {
  prompts_.Message(window_, text, kind, detail);
}

void Feedback::ShowDiagnostic(const Diagnostic& d) const {
  if (d.part >= 0) form_.selectErrorText(d.part, QString::fromStdString(d.searchText), d.line);
  Message(QString::fromStdString(d.message), d.kind,
          QString::fromStdString(d.detail));
}

}  // namespace chwr::gui

#pragma once
// Results and user-facing diagnostics shared by every layer.

#include <expected>
#include <string>
#include <vector>

namespace chwr {

/// What kind of message box a diagnostic becomes in the editor.
enum class DiagnosticKind { Error, Confirmation, Warning };

/// A message for the user, exactly as it is shown, plus where it points.
struct Diagnostic {
  std::string message;                          ///< UTF-8, shown verbatim
  DiagnosticKind kind = DiagnosticKind::Error;  ///< decides title and icon
  int part = -1;                                ///< 0..3 when it concerns a part, else -1
  int line = 0;                                 ///< 1-based line in the part text, 0 = none
  std::string searchText;                       ///< text the editor selects in the part box
  std::string detail;  ///< more for the curious: the file and the system's reason; may be empty
};

/// Warnings gathered on the way, in the order they arose.
using Diagnostics = std::vector<Diagnostic>;

/// Either a value or the diagnostic that explains why there is none.
template <class T>
using Result = std::expected<T, Diagnostic>;

/// Shorthand for returning a plain error diagnostic.
inline std::unexpected<Diagnostic> Fail(std::string message) {
  Diagnostic d;
  d.message = std::move(message);
  return std::unexpected(std::move(d));
}

/// A warning for the user: the work goes on, and the message says what was changed.
inline Diagnostic MakeWarning(std::string message) {
  Diagnostic d;
  d.message = std::move(message);
  d.kind = DiagnosticKind::Warning;
  return d;
}

/// The message-box title of a diagnostic kind: "ｴﾗｰ", "確認" or "注意".
const char* DiagnosticTitle(DiagnosticKind kind);

}  // namespace chwr

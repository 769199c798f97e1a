#include "diagnostic.h"

#include "messages.h"

namespace chwr {

const char* DiagnosticTitle(DiagnosticKind kind) {
  switch (kind) {
    case DiagnosticKind::Error:
      return msg::kErrorTitle;
    case DiagnosticKind::Confirmation:
      return msg::kConfirmationTitle;
    case DiagnosticKind::Warning:
      return msg::kWarningTitle;
  }
  return msg::kErrorTitle;
}

}  // namespace chwr

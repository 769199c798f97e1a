#include "diagnostic.h"

namespace chwr {

const char* DiagnosticTitle(DiagnosticKind kind) {
  switch (kind) {
    case DiagnosticKind::Error:
      return "ｴﾗｰ";
    case DiagnosticKind::Confirmation:
      return "確認";
    case DiagnosticKind::Warning:
      return "注意";
  }
  return "ｴﾗｰ";
}

}  // namespace chwr

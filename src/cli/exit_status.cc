#include "cli/exit_status.h"

namespace chwr::cli {

// A MIDI conversion refused (the choices, a missing track, a start past the end) counts
// as what cannot be made of the file, like a compile error; a MIDI file of a format the
// import does not take is a file that is not what it should be.
int ExitStatusOf(DiagnosticCode code) {
  switch (code) {
    case DiagnosticCode::kContent:
    case DiagnosticCode::kNothingToWrite:
    case DiagnosticCode::kTempoReplaced:
      return kCompileError;
    case DiagnosticCode::kInvalidFormat:
    case DiagnosticCode::kOtherKind:
    case DiagnosticCode::kNotConvertible:
    case DiagnosticCode::kFileAccess:
    case DiagnosticCode::kPlayback:
      return kFileError;
    case DiagnosticCode::kUsage:
      return kUsageError;
  }
  return kCompileError;
}

const char* const kExitStatusHelp =
    "Exit status: 0 done; 1 a compile or build error, or a MIDI conversion refused (the "
    "editor's message first on standard error); 2 a file that cannot be read or written, or "
    "is not what it should be (a MIDI file of a format other than 0 and 1, and standard "
    "output, included); 64 a usage error (an unknown command or option, or a value out of "
    "range); 130 play stopped by Ctrl+C.";

}  // namespace chwr::cli

#pragma once
// `chwr`'s exit statuses: every failure's status comes from its diagnostic's code, here,
// so the same trouble ends every command alike.

#include "diagnostic.h"

namespace chwr::cli {

/// Exit statuses shared by every command.
/// kInterrupted is what a shell reports for a program ended by Ctrl+C (128 + SIGINT), so
/// a script can tell a stopped `play` from one that played to the end.
enum ExitStatus {
  kOk = 0,
  kCompileError = 1,
  kFileError = 2,
  kUsageError = 64,
  kInterrupted = 130
};

/// The exit status of a command that stopped on a diagnostic with `code`: 1 when what the
/// song or the choices ask for cannot be made (a compile or build error, a MIDI conversion
/// refused, an SMD file with nothing to write), 2 when a file cannot be read or written or
/// is not what it should be, 64 for a command line asking for what there is not.
int ExitStatusOf(DiagnosticCode code);

/// The exit statuses, as `chwr --help` lists them.
extern const char* const kExitStatusHelp;

}  // namespace chwr::cli

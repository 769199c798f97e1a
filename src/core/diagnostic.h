#pragma once
// Results and user-facing diagnostics shared by every layer.

#include <expected>
#include <string>
#include <vector>

namespace chwr {

/// What kind of message a diagnostic is: the editor's message box title and icon
/// ("ｴﾗｰ", "確認" with the information icon, "注意"), `chwr`'s "注意: " before a warning.
enum class DiagnosticKind { Error, Confirmation, Warning };

/// What a diagnostic is about. Code that decides what happens next (an exit status, a
/// detail added, a warning shown another way) asks the code, never the message text.
enum class DiagnosticCode {
  /// What the song or the choices ask for cannot be made: a compile error, what an output
  /// cannot hold, a MIDI conversion the import refuses; most warnings. The default.
  kContent,
  /// The bytes are no file of the kind they were read as ("ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。",
  /// "SMF ﾌｫｰﾏｯﾄが無効です。", text that is no melody mail).
  kInvalidFormat,
  /// As kInvalidFormat, and the message names the kind the bytes plainly are.
  kOtherKind,
  /// A MIDI file of a format the import does not convert (neither 0 nor 1).
  kNotConvertible,
  /// A file (or standard output) cannot be read or written.
  kFileAccess,
  /// No sound can be made: the SoundFont, the sound output, the playback module.
  kPlayback,
  /// A command line that asks for something there is not.
  kUsage,
  /// Warning: the tempo text is no number, and 120 was used.
  kTempoReplaced,
  /// Warning: a song without a note or rest has no SMD file; nothing was written.
  kNothingToWrite,
};

/// A message for the user, exactly as it is shown, plus where it points.
struct Diagnostic {
  std::string message;                          ///< UTF-8, shown verbatim
  DiagnosticKind kind = DiagnosticKind::Error;  ///< decides title and icon
  DiagnosticCode code = DiagnosticCode::kContent;  ///< what it is about
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

/// Shorthand for returning an error diagnostic.
inline std::unexpected<Diagnostic> Fail(std::string message,
                                        DiagnosticCode code = DiagnosticCode::kContent) {
  Diagnostic d;
  d.message = std::move(message);
  d.code = code;
  return std::unexpected(std::move(d));
}

/// A warning for the user: the work goes on, and the message says what was changed.
inline Diagnostic MakeWarning(std::string message,
                              DiagnosticCode code = DiagnosticCode::kContent) {
  Diagnostic d;
  d.message = std::move(message);
  d.kind = DiagnosticKind::Warning;
  d.code = code;
  return d;
}

/// The message-box title of a diagnostic kind: "ｴﾗｰ", "確認" or "注意".
const char* DiagnosticTitle(DiagnosticKind kind);

}  // namespace chwr

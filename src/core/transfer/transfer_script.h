#pragma once
// What the memory-dial transfer types into the data-link program: fixed key texts, two
// waits, and the folder and name of the MLD file just written.

#include <string>
#include <string_view>
#include <vector>

namespace chwr {

/// An MLD file's path split for the data-link program's file dialog.
struct MldPathParts {
  std::string folder;  ///< a bare drive "C:" gets its "\", a root folder is "/" or "\"
  std::string file;    ///< the name after the last separator
  /// Field-by-field equality.
  bool operator==(const MldPathParts&) const = default;
};

/// Splits `path` at its last "\" or "/" into folder and file name.
MldPathParts SplitMldPath(std::string_view path);

/// The name Wine's programs know the local `path` by: drive "Z:" is the root, with "\"
/// between the folders.
std::string WineDosPath(std::string_view path);

/// One step of the script: keys to send, or a wait.
struct ScriptStep {
  std::string keys;    ///< key syntax (ParseKeys); empty for a wait
  double seconds = 0;  ///< the wait when `keys` is empty
  /// Field-by-field equality.
  bool operator==(const ScriptStep&) const = default;
};

/// Opens the import in the data-link program's menus.
inline constexpr std::string_view kOpenImportKeys =
    "%eo+{tab}{right}{right}{right}{right}{right}{right}{right}";
/// Moves to the file field and opens the file dialog.
inline constexpr std::string_view kOpenDialogKeys = "{tab} %e%r";
/// Confirms the folder.
inline constexpr std::string_view kFolderDoneKeys = "{ENTER}";
/// Confirms the file name and the questions after it.
inline constexpr std::string_view kFileDoneKeys = "{enter}{enter}{enter}";
/// Closes the import.
inline constexpr std::string_view kCloseKeys = "%co";

/// The whole script for an MLD file at `parts`, the folder and name escaped.
std::vector<ScriptStep> MemoryDialScript(const MldPathParts& parts);

}  // namespace chwr

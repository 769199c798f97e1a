#include "transfer/transfer_script.h"

#include "transfer/key_syntax.h"

namespace chwr {

MldPathParts SplitMldPath(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/");
  if (last == std::string_view::npos) return {{}, std::string(path)};
  MldPathParts parts{std::string(path.substr(0, last)), std::string(path.substr(last + 1))};
  // A drive or the root without its separator would name the drive's current folder,
  // or nothing at all, in the program's file dialog.
  if (parts.folder.size() == 2 && parts.folder[1] == ':') parts.folder += '\\';
  if (parts.folder.empty()) parts.folder = path.substr(last, 1);
  return parts;
}

std::string WineDosPath(std::string_view path) {
  std::string dos = "Z:";
  for (char c : path) dos += c == '/' ? '\\' : c;
  return dos;
}

std::vector<ScriptStep> MemoryDialScript(const MldPathParts& parts) {
  auto keys = [](std::string_view k) { return ScriptStep{std::string(k), 0}; };
  return {
      keys(kOpenImportKeys),          keys(kOpenDialogKeys), {{}, 0.4},
      keys(EscapeKeys(parts.folder)), keys(kFolderDoneKeys), {{}, 0.3},
      keys(EscapeKeys(parts.file)),   keys(kFileDoneKeys),   keys(kCloseKeys),
  };
}

}  // namespace chwr

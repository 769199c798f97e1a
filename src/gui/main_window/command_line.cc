#include "main_window/command_line.h"

#include <QDir>

#include "shared/gui_messages.h"

namespace chwr::gui {

CommandLineRequest ReadCommandLine(const QStringList& arguments, const QString& startFolder) {
  CommandLineRequest request;
  if (arguments.size() < 2) return request;
  QString path = arguments[1];
  // A path handed over in quotes (as some launchers do) is the path inside them.
  if (path.size() >= 2 && path.startsWith('"') && path.endsWith('"')) {
    path = path.mid(1, path.size() - 2);
  }
  if (arguments.size() > 2) {
    request.warning = OnlyOneFile(path.isEmpty() ? arguments[1] : path);
  }
  if (!path.isEmpty()) request.path = QDir::cleanPath(QDir(startFolder).absoluteFilePath(path));
  return request;
}

}  // namespace chwr::gui

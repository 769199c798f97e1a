#pragma once
// What the editor's command line asks for. The shell has split it already: the first
// argument after the program is the file to open; more are not opened, and the user
// is told so.

#include <QString>
#include <QStringList>

namespace chwr::gui {

/// The file to open at start and what to tell the user first.
struct CommandLineRequest {
  QString path;     ///< absolute; empty when no file was named
  QString warning;  ///< set when more than one file was named
};

/// Reads `arguments` (the program first). A relative path is taken from `startFolder`,
/// the folder the program was started in; quotes around the path are not part of it.
CommandLineRequest ReadCommandLine(const QStringList& arguments, const QString& startFolder);

}  // namespace chwr::gui

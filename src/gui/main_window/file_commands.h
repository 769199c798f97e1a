#pragma once
// The song's file: New, Open, Save and Save As, the one question before unsaved
// changes are lost, and the names and folder the file dialogs propose.

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "shared/prompts.h"
#include "song/song_document.h"
#include "version.h"

namespace chwr::gui {

class Feedback;
class SongForm;

/// Product name and version as the caption shows them.
inline constexpr const char* kProductCaption = "Chimewright Ver" CHWR_VERSION;

/// The names the save dialogs propose for each kind of file.
struct DefaultNames {
  QString text = QStringLiteral("無題.txt");  ///< song text file
  QString mld = QStringLiteral("無題.mld");   ///< MLD file
  QString midi = QStringLiteral("無題.mid");  ///< MIDI file
  QString smd = QStringLiteral("無題.smd");   ///< SMD file
  /// The names beside a song's file: its name in lower case with each kind's extension.
  static DefaultNames Beside(const QString& path);
};

/// The file commands of the window, over the song form.
class FileCommands final : public QObject {
  Q_OBJECT

 public:
  /// Commands over `form`, talking to the user through `feedback`.
  FileCommands(SongForm& form, const Feedback& feedback, QObject* parent = nullptr);

  /// Replaces the song by a new one, after asking about unsaved changes.
  void NewSong();
  /// Asks for a file and opens it, after asking about unsaved changes.
  void OpenSong();
  /// Opens a path without asking for it (command line, dropped file); quotes around it
  /// are not part of it.
  void OpenPath(const QString& path);
  /// Saves to the song's file, asking for one when it has none; false when not saved.
  bool SaveSong();
  /// Asks for a file and saves the song there; false when not saved.
  bool SaveSongAs();
  /// Asks whether to save unsaved changes: true when the caller may go on (saved or
  /// discarded), false when the user cancelled or saving failed.
  bool ConfirmDiscard();
  /// Shows a song that has no file of its own (an MLD image, a melody mail) and its warnings.
  void ShowUntitled(const SongDocument& song, const Diagnostics& warnings);
  /// Shows the song converted from the MIDI file `midiPath`: untitled, changed (nothing
  /// of it is saved yet), the save dialogs offering names beside that file, and the file
  /// one for the recent files.
  void ShowImported(const SongDocument& song, const QString& midiPath);

  /// The song's file; empty while untitled.
  QString documentPath() const { return documentPath_; }
  /// The window caption: the song's file or "無題", Qt's modified mark "[*]", and the product.
  QString caption() const;
  /// The names the save dialogs propose.
  const DefaultNames& defaultNames() const { return names_; }
  /// Remembers the MLD file last written or opened.
  void setDefaultMldName(const QString& path) { names_.mld = path; }
  /// Remembers the MIDI file last written.
  void setDefaultMidiName(const QString& path) { names_.midi = path; }
  /// Remembers the SMD file last written.
  void setDefaultSmdName(const QString& path) { names_.smd = path; }
  /// The folder where the file dialogs start.
  QString folder() const { return folder_; }
  /// Starts in `folder` (from the settings); it becomes the current folder when it exists.
  void setFolder(const QString& folder);
  /// Asks for a file to open through `dialog`, which starts in the remembered folder;
  /// the chosen file's folder becomes the remembered one. Empty when cancelled.
  QString AskOpenFile(FileDialog dialog);
  /// Asks for a file to save to, as AskOpenFile does.
  QString AskSaveFile(FileDialog dialog);
  /// Makes the folder of `path`, a file the user opened, the remembered and current one;
  /// a folder that is not there changes nothing.
  void RememberFolderOf(const QString& path);

 signals:
  /// The caption changed.
  void captionChanged(const QString& caption);
  /// Another song took the old one's place (New, Open, a mail read): what was made
  /// from the old one goes too.
  void songReplaced();
  /// A song file was opened or saved, an MLD file opened or a MIDI file converted: one for
  /// the recent files.
  void fileUsed(const QString& path);
  /// The user opened a MIDI file, or a ring tone whose voices no song holds as they are
  /// (after the question about changes): it goes to the import dialog. The song, its
  /// file and its changes stay until a conversion replaces them.
  void midiChosen(const QString& path);

 private:
  void OpenFrom(QString path);
  void SetDocumentPath(const QString& path);
  void ShowSong(const SongDocument& song, const QString& path);
  void ShowWarnings(const Diagnostics& warnings);

  SongForm& form_;
  const Feedback& feedback_;
  QString documentPath_;
  DefaultNames names_;
  QString folder_;
};

}  // namespace chwr::gui

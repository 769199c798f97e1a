#include "main_window/file_commands.h"

#include <QDir>
#include <QFileInfo>

#include "convert/open_song.h"
#include "io/file_io.h"
#include "main_window/feedback.h"
#include "main_window/song_form.h"
#include "shared/box_text.h"
#include "shared/gui_messages.h"
#include "song/song_file.h"

namespace chwr::gui {
namespace {

FileDialog TextFileDialog(const QString& name) {
  return {"Text File(*.txt)", "*.txt", name, ".txt", {}};
}

}  // namespace

// The other outputs of a song are offered beside its file, under its name in lower
// case with their own extension. The folder keeps its case: this file system tells
// "/home/Me" from "/home/me". A name without one of our extensions keeps it whole, so
// no output is ever offered the song's own file.
DefaultNames DefaultNames::Beside(const QString& path) {
  const QString fileName = QFileInfo(path).fileName();
  QString name = fileName.toLower();
  for (const char* extension : {".txt", ".mld", ".mid", ".smd"}) {
    if (name.endsWith(extension)) {
      name.chop(4);
      break;
    }
  }
  const QString base = path.left(path.size() - fileName.size()) + name;
  return {base + ".txt", base + ".mld", base + ".mid", base + ".smd"};
}

FileCommands::FileCommands(SongForm& form, const Feedback& feedback, QObject* parent)
    : QObject(parent), form_(form), feedback_(feedback) {}

QString FileCommands::caption() const {
  const QString name = documentPath_.isEmpty() ? QString("無題") : documentPath_;
  return name + "[*] - " + kProductCaption;
}

void FileCommands::SetDocumentPath(const QString& path) {
  documentPath_ = path;
  emit captionChanged(caption());
}

void FileCommands::setFolder(const QString& folder) {
  folder_ = folder;
  // A stored folder that is gone leaves the current folder as it is.
  if (!folder_.isEmpty()) QDir::setCurrent(folder_);
}

// Every dialog the user confirms moves the next one to its folder, also after a restart
// (the settings keep it). A folder that is not there (a name typed into the dialog) is
// no place to start from.
void FileCommands::RememberFolderOf(const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!QFileInfo(folder).isDir()) return;
  folder_ = folder;
  QDir::setCurrent(folder_);
}

QString FileCommands::AskOpenFile(FileDialog dialog) {
  dialog.folder = folder_;
  const QString path = feedback_.prompts().OpenFile(feedback_.window(), dialog);
  if (!path.isEmpty()) RememberFolderOf(path);
  return path;
}

QString FileCommands::AskSaveFile(FileDialog dialog) {
  dialog.folder = folder_;
  const QString path = feedback_.prompts().SaveFile(feedback_.window(), dialog);
  if (!path.isEmpty()) RememberFolderOf(path);
  return path;
}

void FileCommands::NewSong() {
  if (!ConfirmDiscard()) return;
  ShowSong(SongDocument{}, {});
  names_ = DefaultNames{};
  form_.focusTitle();
}

bool FileCommands::ConfirmDiscard() {
  if (!form_.modified()) return true;
  switch (feedback_.prompts().AskYesNoCancel(feedback_.window(), kDiscardQuestion)) {
    case Answer::Cancel:
      return false;
    case Answer::Yes:
      return SaveSong();
    case Answer::No:
      return true;
  }
  return false;
}

void FileCommands::OpenSong() {
  OpenFrom({});
}

void FileCommands::OpenPath(const QString& path) {
  QString p = path;
  // A path handed over in quotes (as some shells and launchers do) is the path inside them.
  if (p.size() >= 2 && p.startsWith('"') && p.endsWith('"')) p = p.mid(1, p.size() - 2);
  if (p.isEmpty()) return;
  OpenFrom(p);
}

void FileCommands::OpenFrom(QString path) {
  if (!ConfirmDiscard()) return;
  if (path.isEmpty()) {
    path = AskOpenFile(
        {"Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid)", "*.txt;*.mld;*.smd;*.mid", {}, {}, {}});
    if (path.isEmpty()) return;
  }
  const FileKind kind = FileKindOf(S(path));
  if (kind == FileKind::kMidi) {
    emit midiChosen(path);
    return;
  }
  bool choose = false;
  auto read = [&]() -> Result<OpenedSong> {
    WaitCursor wait;
    auto bytes = ReadFileBytes(S(path));
    if (!bytes) return std::unexpected(bytes.error());
    if (kind == FileKind::kMld) {
      auto music = DecodeMld(*bytes);
      choose = music && !IsSongLayout(*music) && !MldFitsSong(*music);
      if (choose) return OpenedSong{};
    }
    return OpenSongBytes(kind, *bytes);
  }();
  if (choose) {
    emit midiChosen(path);
    return;
  }
  if (!read) {
    feedback_.ShowDiagnostic(read.error());
    return;
  }
  names_ = DefaultNames::Beside(path);
  // A file named on the command line, dropped or picked from the recent files is as much
  // the user's last folder as one chosen in the dialog.
  RememberFolderOf(path);
  emit fileUsed(path);
  // An MLD or SMD file holds no song text of its own: saving must not write over it.
  if (read->kind == FileKind::kMld || read->kind == FileKind::kSmd) {
    (read->kind == FileKind::kMld ? names_.mld : names_.smd) = path;
    ShowUntitled(read->song, read->warnings);
    return;
  }
  ShowSong(read->song, path);
  ShowWarnings(read->warnings);
}

void FileCommands::ShowUntitled(const SongDocument& song, const Diagnostics& warnings) {
  ShowSong(song, {});
  ShowWarnings(warnings);
}

void FileCommands::ShowImported(const SongDocument& song, const QString& midiPath) {
  form_.showSong(song);
  SetDocumentPath({});
  names_ = DefaultNames::Beside(midiPath);
  // A ring tone converted through the dialog is as much the song's MLD file as one opened.
  (FileKindOf(S(midiPath)) == FileKind::kMld ? names_.mld : names_.midi) = midiPath;
  emit songReplaced();
  emit fileUsed(midiPath);
  form_.setModified(true);
}

void FileCommands::ShowSong(const SongDocument& song, const QString& path) {
  form_.loadSong(song);
  SetDocumentPath(path);
  emit songReplaced();
}

void FileCommands::ShowWarnings(const Diagnostics& warnings) {
  for (const Diagnostic& w : warnings) feedback_.ShowDiagnostic(w);
}

bool FileCommands::SaveSong() {
  QString path = documentPath_;
  if (path.isEmpty()) {
    path = AskSaveFile(TextFileDialog(names_.text));
    if (path.isEmpty()) return false;
  }
  auto written = [&] {
    WaitCursor wait;
    return WriteSongFile(S(path), form_.currentSong());
  }();
  if (!written) {
    feedback_.ShowDiagnostic(written.error());
    return false;
  }
  SetDocumentPath(path);
  emit fileUsed(path);
  names_ = DefaultNames::Beside(path);
  RememberFolderOf(path);
  form_.setModified(false);
  return true;
}

bool FileCommands::SaveSongAs() {
  const QString path = AskSaveFile(TextFileDialog(names_.text));
  if (path.isEmpty()) return false;
  const QString previous = documentPath_;
  documentPath_ = path;
  if (!SaveSong()) {
    SetDocumentPath(previous);
    return false;
  }
  return true;
}

}  // namespace chwr::gui

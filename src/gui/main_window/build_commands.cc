#include "main_window/build_commands.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <algorithm>

#include "convert/build_song.h"
#include "convert/open_song.h"
#include "convert/song_check.h"
#include "io/file_io.h"
#include "mail/melody_mail.h"
#include "main_window/feedback.h"
#include "main_window/file_commands.h"
#include "main_window/song_form.h"
#include "messages.h"
#include "midi/smf_timing.h"
#include "shared/box_text.h"
#include "shared/gui_messages.h"

namespace chwr::gui {

MidiSettings MidiControls::Settings(const std::array<bool, 4>& mutes) const {
  MidiSettings m;
  for (int i = 0; i < 3; ++i) {
    if (octave[i]->isChecked()) m.octaveChoice = i;
  }
  m.repeatOn = repeat->isChecked();
  m.doubleSpeed = doubleSpeed->isChecked();
  m.allPartsProgram = toneCombo->currentIndex() >= 1 ? toneCombo->currentIndex() - 1 : -1;
  m.mute = mutes;
  return m;
}

BuildCommands::BuildCommands(SongForm& form, FileCommands& files, const MidiControls& controls,
                             const Feedback& feedback, QObject* parent)
    : QObject(parent), form_(form), files_(files), controls_(controls), feedback_(feedback) {}

std::optional<BuiltSong> BuildCommands::Build(const BuildWanted& wanted) {
  const SongDocument song = form_.currentSong();
  BuildRequest request;
  if (wanted.selectionOnly) request.selectionTexts = form_.selectedTexts();
  request.midi = wanted.midiFile;
  request.midiSettings = controls_.Settings(form_.mutes());
  request.smd = wanted.smdFile;
  request.mld = !wanted.smdFile;
  request.score = wanted.score;
  request.sources = wanted.sources;
  auto build = [&] {
    WaitCursor wait;
    return BuildSong(song, request);
  }();
  if (!build) {
    feedback_.ShowDiagnostic(build.error());
    return std::nullopt;
  }
  // A tempo that is no number is told by the box, which shows what was built, not by a
  // message.
  const auto replaced = [](const Diagnostic& w) {
    return w.code == DiagnosticCode::kTempoReplaced;
  };
  if (wanted.smdFile) {
    // What SMD cannot express goes into one box, as the format's own note. A build for
    // the SMD file alone gives no warning about the MLD image, which is not made.
    QString note;
    for (const Diagnostic& w : build->warnings) {
      if (replaced(w)) continue;
      if (!note.isEmpty()) note += "\r\n\r\n";
      note += Q(w.message);
    }
    if (!note.isEmpty()) feedback_.Message(note, DiagnosticKind::Warning);
    return BuiltSong{{}, {}, std::move(build->smdFile), std::move(build->compiled)};
  }
  // The score's tempo is the score editor's own box: the song's stays as typed.
  const bool forSong = !wanted.score;
  if (forSong && std::ranges::any_of(build->warnings, replaced)) form_.showBuiltTempo("120");
  if (forSong) {
    emit sizeReported(Q(build->sizeReport),
                      Q(DriftReport(build->compiled, form_.currentSong().resolution)));
  }
  // The score editor's box is not corrected: its message says what was played.
  for (const Diagnostic& w : build->warnings) {
    if (!forSong || !replaced(w)) feedback_.ShowDiagnostic(w);
  }
  if (forSong && !build->midiFile.empty()) {
    if (auto timing = ReadSmfTiming(build->midiFile)) {
      emit midiLengthKnown(static_cast<qint64>(timing->LengthMs()));
    }
  }
  return BuiltSong{std::move(build->mldImage), std::move(build->midiFile), {},
                   std::move(build->compiled)};
}

void BuildCommands::WriteMldFile() {
  SaveMldFile();
}

QString BuildCommands::SaveMldFile() {
  auto built = Build({});
  if (!built) return {};
  return SaveBytes({"Mld File(*.mld)", "*.mld", files_.defaultNames().mld, ".mld", {}},
                   &FileCommands::setDefaultMldName, built->mldImage);
}

void BuildCommands::MakeMidiFile() {
  auto built = Build({.midiFile = true});
  if (!built) return;
  SaveBytes({"Midi File(*.mid)", "*.mid", files_.defaultNames().midi, ".mid", {}},
            &FileCommands::setDefaultMidiName, built->midiImage);
}

void BuildCommands::MakeSmdFile() {
  auto built = Build({.smdFile = true});
  if (!built) return;
  // A song without a note or rest has nothing to write; the box said so.
  if (built->smdImage.empty()) return;
  SaveBytes({"Smd File(*.smd)", "*.smd", files_.defaultNames().smd, ".smd", {}},
            &FileCommands::setDefaultSmdName, built->smdImage);
}

// Every output file goes the same way: the save dialog, the name remembered for next
// time, an atomic write, and the failure shown with the file and the reason.
QString BuildCommands::SaveBytes(const FileDialog& dialog,
                                 void (FileCommands::*remember)(const QString&),
                                 std::span<const std::uint8_t> bytes) {
  const QString path = files_.AskSaveFile(dialog);
  if (path.isEmpty()) return {};
  (files_.*remember)(path);
  auto written = [&] {
    WaitCursor wait;
    return WriteFileAtomic(S(path), bytes);
  }();
  if (!written) {
    feedback_.ShowDiagnostic(written.error());
    return {};
  }
  return path;
}

void BuildCommands::MakeMelodyMail() {
  auto built = Build({});
  if (!built) return;
  const QString mail = Q(MakeMailText(built->mldImage));
  QGuiApplication::clipboard()->clear();
  QGuiApplication::clipboard()->setText(mail);
  emit mailMade(mail);
  feedback_.Message(Q(MailReportText(S(mail))), DiagnosticKind::Confirmation);
}

void BuildCommands::ReadMailFromClipboard() {
  auto bytes = MailTextToBytes(S(QGuiApplication::clipboard()->text()));
  if (!bytes) {
    feedback_.ShowDiagnostic(bytes.error());
    return;
  }
  if (!files_.ConfirmDiscard()) return;
  auto read = OpenSongBytes(FileKind::kMld, *bytes);
  if (!read) {
    Diagnostic d = read.error();
    if (d.code == DiagnosticCode::kInvalidFormat && d.detail.empty()) d.detail = kNotMail;
    feedback_.ShowDiagnostic(d);
    return;
  }
  files_.ShowUntitled(read->song, read->warnings);
}

}  // namespace chwr::gui

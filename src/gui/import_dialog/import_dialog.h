#pragma once
// The MIDI import dialog ("Form3"): the user picks up to four tracks (or channels), where
// to start, how far to go, a transposition and what else to take over, may listen to the
// file from the start measure, and converts it into the song's four parts. It lives
// beside the main window without blocking it; New, Open and Save wait while it is open.
// A ring tone of another program's layout that no song holds as it is comes here too,
// as the MIDI file of its voices: the list names them, the preview plays the tone as the
// handset did, and the tone can be saved as MIDI.

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "import/smf_import.h"
#include "mld/mld_decoder.h"
#include "mld/mld_midi.h"
#include "settings/settings.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace chwr::gui {

class FileCommands;
class PlaybackController;
class Prompts;
class SongForm;

/// What the dialog works on in the main window.
struct ImportDialogLinks {
  Prompts* prompts = nullptr;              ///< messages and the question before converting
  SongForm* form = nullptr;                ///< the song the conversion fills
  FileCommands* files = nullptr;           ///< makes the converted song an untitled one
  PlaybackController* playback = nullptr;  ///< plays the preview
  ImportOptions options;                   ///< the options the dialog opens with
  std::vector<QAction*> blocked;           ///< disabled while the dialog is open
};

/// A ring tone of another program's layout, opened through the dialog.
struct ImportMld {
  MldMusic music;
  MldMidi songMidi;  ///< MldToSmf(music, kMldSongBase): what the list shows and converts
};

/// The text a list item's tooltip shows: what the track or channel holds.
QString ImportSourceTip(const ImportSource& source, bool channels);

/// "Form3", for the MIDI file at `path` with the facts read when it was handed over.
class ImportDialog final : public QDialog {
  Q_OBJECT

 public:
  /// The dialog over `mainWindow`, placed at its top-left corner; `bytes` (the file as it
  /// was handed over) tell the list items' tooltips. Not shown yet. With `mld`, `path`
  /// is the ring tone's and `bytes` and `facts` are those of mld->songMidi.
  ImportDialog(ImportDialogLinks links, QString path, const SmfFacts& facts,
               std::span<const std::uint8_t> bytes, QWidget* mainWindow,
               std::optional<ImportMld> mld = {});
  ~ImportDialog() override;

  /// Every way of closing ends here: a preview stops, the main window's blocked commands
  /// come back and the options are handed back.
  void done(int result) override;

 signals:
  /// The dialog closed, leaving `options` for the next one; it is of no further use.
  void closed(const chwr::ImportOptions& options);

 private:
  void BuildControls();
  void FillList(std::span<const std::uint8_t> bytes);
  void FillVoices(std::span<const std::uint8_t> bytes);
  Result<ImportedSong> Import(const ImportChoices& choices) const;
  void LoadOptions();
  ImportOptions Options() const;
  void VolumeToggled(bool on);
  void Focus(ImportField field);
  ImportChoices Choices() const;
  void Convert();
  void TogglePreview();
  void PreviewTick();
  void EndPreview();
  void SaveMidi();
  void Show(const Diagnostic& d);

  ImportDialogLinks links_;
  QString path_;
  SmfFacts facts_;
  std::optional<ImportMld> mld_;
  bool closing_ = false;
  // Open asked about the song's changes before the dialog came: the user saved them or let
  // them go. Converting asks again only once the song changed since, or was converted.
  bool songReleased_ = true;

  QListWidget* lstCH_ = nullptr;
  QLabel* format_ = nullptr;
  QLabel* division_ = nullptr;
  QLineEdit* txtSEEK_ = nullptr;
  QLineEdit* txtMAX_ = nullptr;
  QLineEdit* txtTRANCE_ = nullptr;
  QCheckBox* chkDELTA_ = nullptr;
  QCheckBox* chkOCT_ = nullptr;
  QCheckBox* chkTONE_ = nullptr;
  QCheckBox* chkVOL_ = nullptr;
  QCheckBox* chkLOOP_ = nullptr;
  QButtonGroup* optVOL_ = nullptr;  // buttons 1..3: volume, expression, velocity
  QPushButton* convert_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* preview_ = nullptr;
  QPushButton* saveMidi_ = nullptr;
  QTimer* timer1_ = nullptr;
};

}  // namespace chwr::gui

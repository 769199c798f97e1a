#pragma once
// The editor's main window: the song in its controls, the menus, toolbar and keys,
// and every command that builds, writes, reads or plays the song.

#include <QMainWindow>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

#include "build/build_song.h"
#include "build/open_song.h"
#include "playback/midi_player.h"
#include "prompts.h"
#include "settings/settings.h"
#include "song/song_document.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSlider;
class QTabWidget;
class QTimer;
class QToolBar;

namespace chwr::gui {

/// Product name and version as the caption shows them.
inline constexpr const char* kProductCaption = "Chimewright Ver1.21";

/// What the window needs from the world around it.
struct WindowEnvironment {
  Prompts* prompts = nullptr;          ///< dialogs and messages
  std::filesystem::path settingsFile;  ///< chwr.ini
  std::filesystem::path playbackFile;  ///< dummy.mid, in the cache folder
  std::filesystem::path helpPage;      ///< chwr.html
  /// Makes the player on first Play; fails with the message the user sees.
  std::function<Result<std::unique_ptr<MidiPlayer>>()> makePlayer;
  QString supportUrl = QStringLiteral("https://github.com/chimewright/chimewright");
  QString imodeUrl = QStringLiteral("https://www.docomo.ne.jp/");
};

/// The main window ("Form2").
class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(WindowEnvironment environment, QWidget* parent = nullptr);
  ~MainWindow() override;

  /// The song as the controls hold it now.
  SongDocument currentSong() const;
  /// Puts a song into the controls (nothing else changes).
  void showSong(const SongDocument& song);
  /// Opens a path without asking for it (command line, dropped file).
  void OpenPath(const QString& path);

  bool modified() const { return modified_; }
  QString documentPath() const { return documentPath_; }
  /// The player once playback has started, else null.
  MidiPlayer* player() const { return player_.get(); }
  /// The settings as they would be written now.
  Settings currentSettings() const;

  // Commands, as the menus start them.
  void NewSong();
  void OpenSong();
  bool SaveSong();
  bool SaveSongAs();
  bool ConfirmDiscard();
  void WriteMldFile();
  void MakeMidiFile();
  void MakeMelodyMail();
  void ReadMailFromClipboard();
  void Play();
  void StopPlayback();
  void ResetSoundSource();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void FillLists();
  void ApplySettings(const Settings& settings);
  void SetCaption();
  void ResetDefaultNames();
  void DeriveDefaultNames(const QString& path);
  void SetModified() {
    if (!loading_) modified_ = true;
  }
  void UpdateTabCaption(int part);
  void ToggleMute(int part);
  void ConvertCase(bool upper);
  void ResolutionChanged(int index);
  void ChooseFont();
  void ShowDiagnostic(const Diagnostic& d);
  void SelectErrorText(int part, const QString& search);
  std::optional<BuildResult> Build(bool selectionOnly, bool midiWanted);
  MidiSettings CurrentMidiSettings() const;
  bool EnsurePlayer();
  void StartPlaybackFile(bool resetOnly);
  void TimerTick();
  void ShowOpenedMld(const OpenedSong& read);
  void RememberFolder(const QString& path);

  WindowEnvironment env_;
  bool modified_ = false;
  bool loading_ = true;
  bool busy_ = false;
  bool seeking_ = false;  // the slider is held over a paused playback
  QString documentPath_;
  QString defaultTextName_, defaultMldName_, defaultMidiName_, defaultSmdName_;
  QString folder_;
  Settings settings_;
  std::unique_ptr<MidiPlayer> player_;
  QString pendingOpenPath_;

  // Controls, named as the song's fields are.
  QLineEdit* text3_ = nullptr;
  QComboBox* text5_ = nullptr;
  QComboBox* cmbBunkai_ = nullptr;
  QCheckBox* check2_ = nullptr;
  QLineEdit* text6_ = nullptr;
  QTabWidget* tabPart_ = nullptr;
  std::array<QPlainTextEdit*, 4> text1_{};
  std::array<QCheckBox*, 4> check1_{};
  std::array<QComboBox*, 4> combo2_{};
  std::array<QComboBox*, 4> combo3_{};
  QCheckBox* chkDouble_ = nullptr;
  QComboBox* cmbTone_ = nullptr;
  QSlider* slider1_ = nullptr;
  QTimer* timer1_ = nullptr;
  QLineEdit* txtMail_ = nullptr;
  QLabel* sizePanel_ = nullptr;
  QAction* mnuMidiRepeat_ = nullptr;
  std::array<QAction*, 3> mnuMidiOct_{};
};

}  // namespace chwr::gui

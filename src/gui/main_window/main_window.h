#pragma once
// The editor's main window ("Form2"). It composes the rooms that do the work: the song
// form, the file and build commands, the playback controller and the command table.
// It takes the settings read when the program started and writes them when it closes.

#include <QMainWindow>
#include <QString>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "main_window/build_commands.h"
#include "main_window/file_commands.h"
#include "main_window/playback_controller.h"
#include "playback/midi_player.h"
#include "settings/settings.h"
#include "shared/prompts.h"
#include "shared/settings_store.h"
#include "song/song_document.h"
#include "transfer/memory_dial_transfer.h"

class QLabel;
class QLineEdit;

namespace chwr::gui {

class Actions;
class ElidedLabel;
class Feedback;
class HelpWindow;
class ImportDialog;
class HeardNotes;
class LiveCheck;
class MmlHighlighter;
class PositionSlider;
class RecentFiles;
class ScoreEditor;
class SongForm;
class ToneEditor;

/// What the window needs from the world around it.
struct WindowEnvironment {
  Prompts* prompts = nullptr;          ///< dialogs and messages
  SettingsStore settings;              ///< chwr.ini, read once
  std::filesystem::path playbackFile;  ///< dummy.mid, in the cache folder
  std::filesystem::path helpPage;      ///< chwr.html
  /// Makes the player on first Play; fails with the message the user sees.
  PlayerFactory makePlayer;
  QString supportUrl = QStringLiteral("https://github.com/chimewright/chimewright");
  QString imodeUrl = QStringLiteral("https://www.docomo.ne.jp/");
  TransferEnvironment transfer;  ///< where the memory-dial transfer types
};

/// The main window ("Form2").
class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  /// The window with a new song, its settings applied.
  explicit MainWindow(WindowEnvironment environment, QWidget* parent = nullptr);
  ~MainWindow() override;

  /// The song as the controls hold it now.
  SongDocument currentSong() const;
  /// Opens a path without asking for it (a dropped file, say).
  void OpenPath(const QString& path);
  /// Opens the file the command line names (`arguments`, the program first); a relative
  /// path is taken from `startFolder`, the folder the program was started in.
  void OpenCommandLine(const QStringList& arguments, const QString& startFolder);
  /// New, as the menu runs it.
  void NewSong();

  /// Whether the song has unsaved changes.
  bool modified() const;
  /// The song's file; empty while untitled.
  QString documentPath() const;
  /// The player once playback has started, else null.
  MidiPlayer* player() const;
  /// The background compile (tests drive its timer and wait for its worker).
  LiveCheck* liveCheck() const { return live_.get(); }
  /// The note heard, marked in the part boxes.
  HeardNotes* heardNotes() const { return heard_.get(); }
  /// The settings as they would be written now.
  Settings currentSettings() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildPlayFrame();
  void BuildStatusBar();
  void BuildCommandTable();
  void ApplySettings(const Settings& settings);
  void PlaceOnScreen(const std::optional<WindowPlace>& place);
  void ChooseFont();
  void ShowHelp();
  void ShowAbout();
  void ShowToneEditor();
  void ShowScoreEditor();
  void ImportMidi(const QString& path);
  void ApplyView();
  void PlayFromCaret();
  void ShowSizeReport(const QString& report, const QString& drift);

  WindowEnvironment env_;
  SongForm* form_ = nullptr;
  QLineEdit* txtMail_ = nullptr;
  ElidedLabel* sizePanel_ = nullptr;
  MidiControls midi_;
  PositionSlider* slider_ = nullptr;
  HelpWindow* help_ = nullptr;        // made when first needed
  std::unique_ptr<ToneEditor> tone_;  // made when first needed; a window of its own
  ImportDialog* import_ = nullptr;    // the MIDI import dialog while it is open
  // Destroyed in this order's reverse: the commands before what they use.
  std::unique_ptr<Feedback> feedback_;
  std::unique_ptr<Actions> actions_;
  std::unique_ptr<FileCommands> files_;
  std::unique_ptr<BuildCommands> builds_;
  std::unique_ptr<PlaybackController> playback_;
  std::unique_ptr<RecentFiles> recent_;
  std::unique_ptr<MemoryDialTransfer> transfer_;
  // Made when first needed, a window of its own; gone before the playback it plays through.
  std::unique_ptr<ScoreEditor> score_;
  std::optional<QString> scoreTempo_;  // the score editor's tempo when it last closed
  std::unique_ptr<LiveCheck> live_;
  std::unique_ptr<HeardNotes> heard_;
  std::array<MmlHighlighter*, 4> highlighters_{};  // children of the MML boxes
  QString sizeReport_;                             // the size report shown, without its drift
  QString drift_;                                  // and its drift
};

}  // namespace chwr::gui

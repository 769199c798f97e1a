#pragma once
// The editor's settings, read once when the program starts and written when the main
// window closes. Each window takes its own part and hands it back; none reaches into
// the rest.

#include <filesystem>

#include "diagnostic.h"
#include "settings/settings.h"

namespace chwr::gui {

/// The settings file and what the windows made of it since it was read.
class SettingsStore {
 public:
  /// Defaults, tied to no file (a window nobody configured).
  SettingsStore() = default;
  /// The settings read from `file`; defaults when it is missing or unreadable.
  static SettingsStore Load(std::filesystem::path file);

  /// The settings file.
  const std::filesystem::path& file() const { return file_; }
  /// Every setting as read, with the parts handed back since.
  const Settings& settings() const { return settings_; }

  /// The MIDI import dialog's part.
  const ImportOptions& importOptions() const { return settings_.importOptions; }
  /// Takes back the MIDI import dialog's part.
  void setImportOptions(const ImportOptions& options) { settings_.importOptions = options; }
  /// The score editor's part.
  const ScoreOptions& scoreOptions() const { return settings_.scoreOptions; }
  /// Takes back the score editor's part.
  void setScoreOptions(const ScoreOptions& options) { settings_.scoreOptions = options; }
  /// The transfer settings' part.
  const TransferPaths& transferPaths() const { return settings_.transferPaths; }
  /// Takes back the transfer settings' part and writes it to [N003] at once, as that
  /// window does whenever it closes; fails as SaveTransferSettings does.
  Result<void> SaveTransferPaths(const TransferPaths& paths);

  /// Writes `settings` (settings() with the main window's part put in) and keeps them;
  /// fails as SaveSettings does.
  Result<void> Save(const Settings& settings);

 private:
  std::filesystem::path file_;
  Settings settings_;
};

}  // namespace chwr::gui

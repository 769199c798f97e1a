#include "shared/settings_store.h"

namespace chwr::gui {

SettingsStore SettingsStore::Load(std::filesystem::path file) {
  SettingsStore store;
  store.settings_ = LoadSettings(file);
  store.file_ = std::move(file);
  return store;
}

Result<void> SettingsStore::Save(const Settings& settings) {
  settings_ = settings;
  return SaveSettings(file_, settings_);
}

Result<void> SettingsStore::SaveTransferPaths(const TransferPaths& paths) {
  settings_.transferPaths = paths;
  if (file_.empty()) return {};
  return SaveTransferSettings(file_, paths.exe, paths.file);
}

}  // namespace chwr::gui

#include "settings/settings.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <utility>

#include "messages.h"

namespace chwr {
namespace {

// Section and key names as the file has always spelt them.
constexpr std::string_view kFont = "Font";
constexpr std::string_view kScore = "Score";
constexpr std::string_view kMidi = "Midi";
constexpr std::string_view kView = "View";
// The [View] keys, each a switch that is on unless the file says 0.
constexpr std::pair<std::string_view, bool ViewOptions::*> kViewKeys[] = {
    {"Check", &ViewOptions::check}, {"Colors", &ViewOptions::colors}, {"Drift", &ViewOptions::drift},
    {"Playing", &ViewOptions::playing}};
constexpr std::string_view kN003 = "N003";
constexpr std::string_view kFile = "File";
constexpr std::string_view kWindow = "Window";
constexpr std::string_view kRecent = "Recent";
constexpr int kRecentFiles = 8;

std::string TextOr(const IniFile& ini, std::string_view section, std::string_view key,
                   std::string fallback) {
  return ini.Get(section, key).value_or(std::move(fallback));
}

// The whole value must be the number; "12abc" or "3.5" would be a guess at what was meant.
std::optional<int> WholeNumber(const IniFile& ini, std::string_view section, std::string_view key) {
  std::optional<std::string> text = ini.Get(section, key);
  if (!text) return std::nullopt;
  std::string_view digits = *text;
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
    if (digits.starts_with('-')) return std::nullopt;
  }
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

int WholeNumberOr(const IniFile& ini, std::string_view section, std::string_view key,
                  int fallback) {
  return WholeNumber(ini, section, key).value_or(fallback);
}

// `lowerWord` is all lower case; `text` may be in any case.
bool IsWordIgnoringCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

// The font flags are stored as the words True and False; an unreadable flag means
// "leave the font as it is", like an empty one.
std::optional<bool> FlagOrNone(const IniFile& ini, std::string_view section, std::string_view key) {
  std::optional<std::string> text = ini.Get(section, key);
  if (!text) return std::nullopt;
  if (IsWordIgnoringCase(*text, "true")) return true;
  if (IsWordIgnoringCase(*text, "false")) return false;
  return std::nullopt;
}

std::string FlagText(std::optional<bool> flag) {
  if (!flag) return {};
  return *flag ? "True" : "False";
}

// A place is kept only whole: all four numbers, and a size a window can have.
std::optional<WindowPlace> PlaceOrNone(const IniFile& ini) {
  const std::optional<int> left = WholeNumber(ini, kWindow, "Left");
  const std::optional<int> top = WholeNumber(ini, kWindow, "Top");
  const std::optional<int> width = WholeNumber(ini, kWindow, "Width");
  const std::optional<int> height = WholeNumber(ini, kWindow, "Height");
  if (!left || !top || !width || !height || *width <= 0 || *height <= 0) return std::nullopt;
  return WindowPlace{*left, *top, *width, *height,
                     FlagOrNone(ini, kWindow, "Maximized").value_or(false)};
}

}  // namespace

Settings ReadSettings(const IniFile& ini) {
  const Settings defaults;
  Settings s;
  s.fontName = TextOr(ini, kFont, "Name", defaults.fontName);
  s.fontSize = TextOr(ini, kFont, "Size", defaults.fontSize);
  s.fontBold = FlagOrNone(ini, kFont, "Bold");
  s.fontItalic = FlagOrNone(ini, kFont, "Italic");
  s.fontStrikeout = FlagOrNone(ini, kFont, "Strikeout");
  s.fontUnderline = FlagOrNone(ini, kFont, "Underline");
  s.scoreOptions.tone = TextOr(ini, kScore, "Tone", defaults.scoreOptions.tone);
  const ImportOptions& import = defaults.importOptions;
  s.importOptions.takeTone = WholeNumberOr(ini, kMidi, "Tone", import.takeTone);
  s.importOptions.takeOctave = WholeNumberOr(ini, kMidi, "Oct", import.takeOctave);
  s.importOptions.volumeSource = WholeNumberOr(ini, kMidi, "Vol", import.volumeSource);
  s.importOptions.measures = WholeNumberOr(ini, kMidi, "Pos", import.measures);
  s.importOptions.loop = WholeNumberOr(ini, kMidi, "Loop", import.loop);
  s.transferPaths.exe = TextOr(ini, kN003, "EXE", defaults.transferPaths.exe);
  s.transferPaths.file = TextOr(ini, kN003, "FILE", defaults.transferPaths.file);
  for (const auto& [key, flag] : kViewKeys) s.view.*flag = WholeNumberOr(ini, kView, key, 1) != 0;
  s.repeatOn = WholeNumberOr(ini, kMidi, "Time", 0) == 1;
  s.octaveChoice = WholeNumberOr(ini, kMidi, "Key", defaults.octaveChoice);
  // The octave menu has three items; any other index would check none of them.
  if (s.octaveChoice < 0 || s.octaveChoice > 2) s.octaveChoice = defaults.octaveChoice;
  s.folder = TextOr(ini, kFile, "Folder", defaults.folder);
  s.soundFont = TextOr(ini, kMidi, "SoundFont", defaults.soundFont);
  s.supportUrl = TextOr(ini, "Links", "Support", defaults.supportUrl);
  s.imodeUrl = TextOr(ini, "Links", "IMode", defaults.imodeUrl);
  s.window = PlaceOrNone(ini);
  for (int i = 1; i <= kRecentFiles; ++i) {
    std::string path = TextOr(ini, kRecent, "File" + std::to_string(i), "");
    if (!path.empty()) s.recentFiles.push_back(std::move(path));
  }
  return s;
}

void WriteSettings(IniFile& ini, const Settings& s) {
  ini.Set(kFont, "Name", s.fontName);
  ini.Set(kFont, "Size", s.fontSize);
  ini.Set(kFont, "Bold", FlagText(s.fontBold));
  ini.Set(kFont, "Italic", FlagText(s.fontItalic));
  // Older versions know only the four keys above; a file they share gets the two effects
  // only once the user has chosen a font here.
  if (s.fontStrikeout) ini.Set(kFont, "Strikeout", FlagText(s.fontStrikeout));
  if (s.fontUnderline) ini.Set(kFont, "Underline", FlagText(s.fontUnderline));
  ini.Set(kScore, "Tone", s.scoreOptions.tone);
  ini.Set(kMidi, "Tone", std::to_string(s.importOptions.takeTone));
  ini.Set(kMidi, "Oct", std::to_string(s.importOptions.takeOctave));
  ini.Set(kMidi, "Vol", std::to_string(s.importOptions.volumeSource));
  ini.Set(kMidi, "Pos", std::to_string(s.importOptions.measures));
  ini.Set(kMidi, "Time", s.repeatOn ? "1" : "0");
  ini.Set(kMidi, "Key", std::to_string(s.octaveChoice));
  ini.Set(kFile, "Folder", s.folder);
  // Written once a switch was turned off, so that a file shared with older versions
  // gains a section only when it means something.
  bool viewWritten = s.view != ViewOptions{};
  for (const auto& entry : kViewKeys) viewWritten = viewWritten || ini.Get(kView, entry.first);
  if (viewWritten) {
    for (const auto& [key, flag] : kViewKeys) ini.Set(kView, key, s.view.*flag ? "1" : "0");
  }
  // Only this program knows the key; a file shared with older versions stays as they wrote it.
  if (!s.soundFont.empty()) ini.Set(kMidi, "SoundFont", s.soundFont);
  // Likewise; once written, the key follows the check box both ways.
  if (s.importOptions.loop != 0 || ini.Get(kMidi, "Loop")) {
    ini.Set(kMidi, "Loop", std::to_string(s.importOptions.loop));
  }
  if (s.window) {
    ini.Set(kWindow, "Left", std::to_string(s.window->left));
    ini.Set(kWindow, "Top", std::to_string(s.window->top));
    ini.Set(kWindow, "Width", std::to_string(s.window->width));
    ini.Set(kWindow, "Height", std::to_string(s.window->height));
    ini.Set(kWindow, "Maximized", FlagText(s.window->maximized));
  }
  // Every key, so a shorter list leaves no file of the longer one behind.
  for (int i = 0; i < kRecentFiles; ++i) {
    const std::size_t at = static_cast<std::size_t>(i);
    ini.Set(kRecent, "File" + std::to_string(i + 1),
            at < s.recentFiles.size() ? s.recentFiles[at] : std::string());
  }
}

void WriteTransferSettings(IniFile& ini, std::string_view exe, std::string_view file) {
  ini.Set(kN003, "EXE", exe);
  ini.Set(kN003, "FILE", file);
}

std::filesystem::path SettingsPath(const std::filesystem::path& programDir) {
  std::error_code ec;
  std::filesystem::path portable = programDir / kSettingsFileName;
  if (!programDir.empty() && std::filesystem::is_regular_file(portable, ec)) return portable;

  // The XDG rules say a relative XDG_CONFIG_HOME is to be ignored.
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    if (std::filesystem::path p(xdg); p.is_absolute()) base = p;
  }
  if (base.empty()) {
    const char* home = std::getenv("HOME");
    // With no home folder at all there is nowhere else to keep settings.
    if (!home || !*home) return portable;
    base = std::filesystem::path(home) / ".config";
  }
  return base / "chimewright" / kSettingsFileName;
}

Settings LoadSettings(const std::filesystem::path& path) {
  Result<IniFile> ini = LoadIniFile(path);
  return ini ? ReadSettings(*ini) : Settings{};
}

namespace {

// Starts from the file as it is now; a file that exists but cannot be read is left alone
// rather than replaced by one holding only our keys. Either failure says that the settings
// are not saved, keeping the file and the system's reason as the detail.
template <class Change>
Result<void> UpdateFile(const std::filesystem::path& path, Change change) {
  Result<void> saved = [&]() -> Result<void> {
    Result<IniFile> ini = LoadIniFile(path);
    if (!ini) return std::unexpected(ini.error());
    change(*ini);
    return SaveIniFile(path, *ini);
  }();
  if (!saved) saved.error().message = msg::kSettingsNotSaved;
  return saved;
}

}  // namespace

Result<void> SaveSettings(const std::filesystem::path& path, const Settings& settings) {
  return UpdateFile(path, [&](IniFile& ini) { WriteSettings(ini, settings); });
}

Result<void> SaveTransferSettings(const std::filesystem::path& path, std::string_view exe,
                                  std::string_view file) {
  return UpdateFile(path, [&](IniFile& ini) { WriteTransferSettings(ini, exe, file); });
}

}  // namespace chwr

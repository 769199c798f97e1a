#pragma once
// The user settings kept in chwr.ini, and where that file lives.
//
// Reading never fails: a missing file, section or key, or a number that is not one, leaves the
// default. Writing goes through the file as it is on disk at that moment, so keys written by
// someone else in between (the transfer dialog's paths, keys of other versions) survive.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "settings/ini_file.h"

namespace chwr {

/// The main window's place on the desktop: the inside of the window, without the frame.
struct WindowPlace {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool maximized = false;
  /// Field-by-field equality.
  bool operator==(const WindowPlace&) const = default;
};

/// The MIDI import dialog's options, kept in [Midi].
struct ImportOptions {
  int takeTone = 1;      ///< [Midi] Tone: the tone check box, 0 = off
  int takeOctave = 0;    ///< [Midi] Oct: the octave check box, 0 = off
  int volumeSource = 0;  ///< [Midi] Vol: 1 volume, 2 expression, 3 velocity, else none
  int measures = 32;     ///< [Midi] Pos: the number of measures to convert
  int loop = 0;          ///< [Midi] Loop: the preview's loop check box, 0 = off
  /// Field-by-field equality.
  bool operator==(const ImportOptions&) const = default;
};

/// The score editor's options, kept in [Score].
struct ScoreOptions {
  std::string tone = "0";  ///< [Score] Tone: the score editor's tone setting
  /// Field-by-field equality.
  bool operator==(const ScoreOptions&) const = default;
};

/// The transfer settings' paths, kept in [N003].
struct TransferPaths {
  std::string exe;   ///< [N003] EXE: the data-link program
  std::string file;  ///< [N003] FILE: the phone-book file (".mdd")
  /// Field-by-field equality.
  bool operator==(const TransferPaths&) const = default;
};

/// Every setting the program keeps, with its default.
/// [View]: the writing aids of the MML boxes, each on unless switched off.
struct ViewOptions {
  bool check = true;        ///< [View] Check: errors marked while typing
  bool colors = true;       ///< [View] Colors: the MML in colours
  bool drift = true;        ///< [View] Drift: parts of differing lengths named in the report
  bool playing = true;      ///< [View] Playing: the note heard marked in the part boxes

  bool operator==(const ViewOptions&) const = default;
};

struct Settings {
  std::string fontName;            ///< [Font] Name: MML box font; empty = system font
  std::string fontSize;            ///< [Font] Size: decimals kept ("10.5")
  std::optional<bool> fontBold;    ///< [Font] Bold; nullopt = unset
  std::optional<bool> fontItalic;  ///< [Font] Italic; nullopt = unset
  ScoreOptions scoreOptions;       ///< [Score]: the score editor's part
  ImportOptions importOptions;     ///< [Midi] Tone, Oct, Vol, Pos: the import dialog's part
  TransferPaths transferPaths;     ///< [N003]: the transfer settings' part
  ViewOptions view;                ///< [View]: the MML boxes' writing aids
  bool repeatOn = false;           ///< [Midi] Time: MIDI repeat, "1" = on
  int octaveChoice = 1;            ///< [Midi] Key: MIDI octave menu index 0..2, 1 = normal
  std::string folder;              ///< [File] Folder: last folder of the file dialogs
  std::string soundFont;           ///< [Midi] SoundFont; empty = default
  /// [Links] Support and IMode: the maker's pages; read only, never written back.
  std::string supportUrl = "https://github.com/chimewright/chimewright";
  std::string imodeUrl = "https://www.docomo.ne.jp/";
  /// [Window] Left, Top, Width, Height, Maximized; nullopt = the default size, centred.
  std::optional<WindowPlace> window;
  /// [Recent] File1..File8: the files last opened or saved, the latest first.
  std::vector<std::string> recentFiles;
  /// [Font] Strikeout and Underline, the font dialog's two effects; nullopt = unset. Last,
  /// so that initialisers listing the fields above in order stay as they are.
  std::optional<bool> fontStrikeout;
  std::optional<bool> fontUnderline;

  /// Field-by-field equality.
  bool operator==(const Settings&) const = default;
};

/// Name of the settings file, beside the program or in the user's config folder.
inline constexpr std::string_view kSettingsFileName = "chwr.ini";

/// Reads every setting from `ini`, taking the default for each one missing or unreadable.
Settings ReadSettings(const IniFile& ini);

/// Writes the keys the main window writes when it closes (all but the [N003] paths;
/// SoundFont, [Window], [Font] Strikeout and Underline only when set; all eight [Recent]
/// keys, empty past the list),
/// leaving every other line of `ini` as it is.
void WriteSettings(IniFile& ini, const Settings& settings);

/// Writes the [N003] EXE and FILE keys, as the transfer settings dialog does when it closes.
void WriteTransferSettings(IniFile& ini, std::string_view exe, std::string_view file);

/// `programDir`/chwr.ini when that file exists (a portable install), else chwr.ini in the
/// "chimewright" folder of $XDG_CONFIG_HOME, or of ~/.config when that is unset or relative.
std::filesystem::path SettingsPath(const std::filesystem::path& programDir);

/// Settings read from the file at `path`; defaults when it is missing or unreadable.
Settings LoadSettings(const std::filesystem::path& path);

/// Writes `settings` into the file at `path` (creating it and its folder when missing),
/// keeping every line it does not set. Fails with "設定を保存できませんでした。", the
/// detail naming the file (or its folder) and the system's reason.
Result<void> SaveSettings(const std::filesystem::path& path, const Settings& settings);

/// Writes the [N003] paths into the file at `path`, keeping every other line; fails as
/// SaveSettings does.
Result<void> SaveTransferSettings(const std::filesystem::path& path, std::string_view exe,
                                  std::string_view file);

}  // namespace chwr

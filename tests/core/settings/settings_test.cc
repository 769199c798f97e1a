#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "test_support.h"

namespace chwr {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  test::TempDir tmp_;
  const fs::path dir_ = tmp_.path();
  const fs::path path_ = dir_ / "chwr.ini";
};

Settings Read(std::string_view text) {
  return ReadSettings(IniFile::Parse(text));
}

TEST(ReadSettings, MissingOrUnreadableValuesTakeTheirDefaults) {
  // Numbers must be whole numbers, the octave one of the three menu items, the repeat "1" to
  // be on, and a font flag True or False.
  for (std::string_view text :
       {"[Unrelated]\nName=x\n", "[Midi]\nTone=\nOct=12abc\nVol=+-1\nPos=99999999999\n",
        "[Midi]\nKey=3\nTime=2\n", "[Midi]\nKey=-1\nTime=on\n", "[Font]\nBold=yes\n"}) {
    EXPECT_EQ(Read(text), Settings{}) << text;
  }
}

TEST(ReadSettings, ReadsNumbersFlagsAndMenuChoices) {
  EXPECT_EQ(Read("[Midi]\nPos= +48 \nVol=\"2\"\nTime=1\nKey=2\n"),
            (Settings{.importOptions = {.volumeSource = 2, .measures = 48},
                      .repeatOn = true,
                      .octaveChoice = 2}));
  EXPECT_EQ(Read("[Font]\nBold=True\nItalic=false\n"),
            (Settings{.fontBold = true, .fontItalic = false}));
  EXPECT_EQ(Read("[Midi]\nKey=0\n").octaveChoice, 0);
  // The font dialog's two effects; a file without them leaves them unset.
  EXPECT_EQ(Read("[Font]\nStrikeout=True\nUnderline=False\n"),
            (Settings{.fontStrikeout = true, .fontUnderline = false}));
}

TEST(WriteSettings, WritesTheClosingKeysAsTheMenusHoldThem) {
  IniFile ini = IniFile::Parse("[N003]\r\nEXE=C:\\link.exe\r\n");
  WriteSettings(ini, {.fontName = "IPAGothic",
                      .fontSize = "10.5",
                      .fontBold = false,
                      .transferPaths = {.exe = "ignored", .file = "ignored"},
                      .repeatOn = true,
                      .octaveChoice = 2});
  EXPECT_EQ(ini.Serialize(),
            "[N003]\r\nEXE=C:\\link.exe\r\n"
            "[Font]\r\nName=IPAGothic\r\nSize=10.5\r\nBold=False\r\nItalic=\r\n"
            "[Score]\r\nTone=0\r\n"
            "[Midi]\r\nTone=1\r\nOct=0\r\nVol=0\r\nPos=32\r\nTime=1\r\nKey=2\r\n"
            "[File]\r\nFolder=\r\n"
            "[Recent]\r\nFile1=\r\nFile2=\r\nFile3=\r\nFile4=\r\nFile5=\r\nFile6=\r\n"
            "File7=\r\nFile8=\r\n");
}

TEST(ViewSettings, EachSwitchIsOnUnlessTheFileSaysZeroAndIsWrittenOnceTurnedOff) {
  EXPECT_EQ(Read("").view, ViewOptions{});
  EXPECT_EQ(Read("[View]\nCheck=0\nColors=x\nDrift=0\n").view,
            (ViewOptions{.check = false, .colors = true, .drift = false}));
  IniFile untouched;
  WriteSettings(untouched, Settings{});
  EXPECT_FALSE(untouched.Get("View", "Check"));
  // Turned back on, a switch the file had off is written on again.
  IniFile shared = IniFile::Parse("[View]\r\nColors=0\r\n");
  WriteSettings(shared, Settings{});
  EXPECT_EQ(ReadSettings(shared).view, ViewOptions{});
  EXPECT_EQ(shared.Get("View", "Colors"), "1");
}

TEST(WindowSettings, ThePlaceIsKeptOnlyWholeAndTheRecentFilesInOrder) {
  // Left and Top may be negative (a screen left of the main one); a size must be positive.
  EXPECT_EQ(Read("[Window]\nLeft=-1200\nTop=40\nWidth=720\nHeight=560\nMaximized=True\n").window,
            (WindowPlace{-1200, 40, 720, 560, true}));
  for (std::string_view text : {"[Window]\nLeft=10\nTop=10\nWidth=720\n",
                                "[Window]\nLeft=10\nTop=x\nWidth=720\nHeight=560\n",
                                "[Window]\nLeft=10\nTop=10\nWidth=0\nHeight=560\n"}) {
    EXPECT_EQ(Read(text).window, std::nullopt) << text;
  }
  // Empty keys are gaps, not files.
  EXPECT_EQ(Read("[Recent]\nFile2=/b.txt\nFile1=/a.txt\nFile3=\nFile8=/h.mld\nFile9=/i.txt\n")
                .recentFiles,
            (std::vector<std::string>{"/a.txt", "/b.txt", "/h.mld"}));

  // A shorter list written over a longer one leaves none of the longer one behind.
  IniFile ini = IniFile::Parse("[Recent]\r\nFile1=/a.txt\r\nFile2=/b.txt\r\n");
  Settings s;
  s.window = WindowPlace{5, 6, 700, 500, false};
  s.recentFiles = {"/c.txt"};
  WriteSettings(ini, s);
  EXPECT_EQ(ReadSettings(ini), s);
  EXPECT_EQ(ini.Get("Window", "Maximized"), "False");
}

TEST_F(SettingsFile, NoFileGivesDefaultsAndEverySettingSurvivesAlongsideOtherKeys) {
  EXPECT_EQ(LoadSettings(path_), Settings{});
  EXPECT_EQ(LoadSettings(dir_), Settings{}) << "a folder in the file's place";
  EXPECT_FALSE(SaveSettings(dir_, Settings{}));
  // An older install's Shift-JIS file with repeat on: [File] Folder=C:\メロディ
  std::ofstream(path_, std::ios::binary)
      << "[Extra]\r\nKeep=me\r\n[Midi]\r\nTime=1\r\n"
         "[File]\r\nFolder=C:\\\x83\x81\x83\x8D\x83\x66\x83\x42\r\n";
  EXPECT_EQ(LoadSettings(path_).folder, "C:\\メロディ");
  // Every field but the repeat away from its default; repeat off must replace Time=1.
  Settings s{
      "Noto Sans",     "9",   true, false,           "3",         0, 1, 4, 16, 1, "/opt/link",
      "/tmp/book.mdd", false, 0,    "/home/me/café", "/sf/GM.sf2"};
  s.fontStrikeout = true;
  s.fontUnderline = false;
  ASSERT_TRUE(SaveTransferSettings(path_, s.transferPaths.exe, s.transferPaths.file));
  ASSERT_TRUE(SaveSettings(path_, s));
  EXPECT_EQ(LoadSettings(path_), s);
  EXPECT_EQ(LoadIniFile(path_)->Get("Extra", "Keep"), "me");
}

TEST_F(SettingsFile, AFailedSaveSaysSoWithTheFileAndTheReason) {
  auto failure = [](const fs::path& path) {
    Result<void> saved = SaveSettings(path, Settings{.repeatOn = true});
    return saved ? std::pair<std::string, std::string>{}
                 : std::pair{saved.error().message, saved.error().detail};
  };
  const std::string kNotSaved = "設定を保存できませんでした。";
  EXPECT_EQ(failure(dir_), std::pair(kNotSaved, dir_.string() + "\nﾌｫﾙﾀﾞです。"));

  // A protected file stays as it was.
  std::ofstream(path_, std::ios::binary) << "[Midi]\r\nTime=0\r\n";
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(failure(path_), std::pair(kNotSaved, path_.string() + "\nｱｸｾｽが許可されていません。"));
  EXPECT_FALSE(LoadSettings(path_).repeatOn);

  // A folder that cannot be made: a file stands where it would be.
  const fs::path blocked = path_.parent_path() / "chwr.ini" / "sub" / "chwr.ini";
  auto [message, detail] = failure(blocked);
  EXPECT_EQ(message, kNotSaved);
  EXPECT_TRUE(detail.starts_with((path_ / "sub").string() + "\n")) << detail;
  EXPECT_GT(detail.size(), (path_ / "sub").string().size() + 1) << "no reason given";
}

// Sets an environment variable for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* var, const char* value) : name(var) {
    if (const char* was = std::getenv(var)) old = was;
    ::setenv(var, value, 1);
  }
  ~ScopedEnv() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
  const char* name;
  std::optional<std::string> old;
};

TEST_F(SettingsFile, PathPrefersThePortableFileThenXdgThenHome) {
  ScopedEnv home("HOME", "/home/me");
  for (auto [xdg, path] : {std::pair{"/cfg", "/cfg/chimewright/chwr.ini"},
                           {"relative/cfg", "/home/me/.config/chimewright/chwr.ini"}}) {
    ScopedEnv env("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(SettingsPath(dir_), fs::path(path)) << xdg;
  }
  ASSERT_TRUE(SaveSettings(path_, Settings{}));
  EXPECT_EQ(SettingsPath(dir_), path_);
}

}  // namespace
}  // namespace chwr

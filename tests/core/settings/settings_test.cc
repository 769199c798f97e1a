#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "io/file_io.h"

namespace chwr {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
  auto bytes = ReadFileBytes(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<unreadable>";
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  ASSERT_TRUE(WriteFileAtomic(
      path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("chwr-settings-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    path_ = dir_ / "chwr.ini";
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  fs::path path_;
};

Settings Read(std::string_view text) {
  return ReadSettings(IniFile::Parse(text));
}

TEST(ReadSettings, MissingKeysTakeTheirDefaults) {
  Settings s = Read("[Unrelated]\nName=x\n");
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(s.fontName, "");
  EXPECT_EQ(s.fontBold, std::nullopt);
  EXPECT_EQ(s.scoreTone, "0");
  EXPECT_EQ(s.midiTone, 1);
  EXPECT_EQ(s.midiPos, 32);
  EXPECT_FALSE(s.repeatOn);
  EXPECT_EQ(s.octaveChoice, 1);
}

TEST(ReadSettings, NumbersThatAreNotWholeNumbersGiveTheDefault) {
  for (std::string junk : {"", "abc", "12abc", "3.5", "0x10", "+-1", "99999999999"}) {
    Settings s = Read("[Midi]\nTone=" + junk + "\nPos=" + junk + "\nKey=" + junk + "\n");
    EXPECT_EQ(s.midiTone, 1) << junk;
    EXPECT_EQ(s.midiPos, 32) << junk;
    EXPECT_EQ(s.octaveChoice, 1) << junk;
  }
  EXPECT_EQ(Read("[Midi]\nPos= +48 \nVol=\"2\"\n").midiPos, 48);
  EXPECT_EQ(Read("[Midi]\nVol=\"2\"\n").midiVol, 2);
}

TEST(ReadSettings, OctaveOutsideTheMenuIsNormalAndOnlyOneMeansRepeat) {
  const std::pair<std::string, int> keys[] = {{"0", 0}, {"2", 2}, {"3", 1}, {"-1", 1}};
  for (const auto& [text, choice] : keys) {
    EXPECT_EQ(Read("[Midi]\nKey=" + text + "\n").octaveChoice, choice) << text;
  }
  EXPECT_TRUE(Read("[Midi]\nTime=1\n").repeatOn);
  EXPECT_FALSE(Read("[Midi]\nTime=2\n").repeatOn);
  EXPECT_FALSE(Read("[Midi]\nTime=on\n").repeatOn);
}

TEST(ReadSettings, FontFlagsAreTrueFalseOrUnset) {
  Settings s = Read("[Font]\nBold=True\nItalic=false\n");
  EXPECT_EQ(s.fontBold, true);
  EXPECT_EQ(s.fontItalic, false);
  EXPECT_EQ(Read("[Font]\nBold=yes\n").fontBold, std::nullopt);
}

TEST(WriteSettings, WritesTheClosingKeysAsTheMenusHoldThem) {
  IniFile ini = IniFile::Parse("[N003]\r\nEXE=C:\\link.exe\r\n");
  Settings s;
  s.fontName = "IPAGothic";
  s.fontSize = "10.5";
  s.fontBold = false;
  s.repeatOn = true;
  s.octaveChoice = 2;
  s.n003Exe = "ignored";
  s.n003File = "ignored";
  WriteSettings(ini, s);
  EXPECT_EQ(ini.Serialize(),
            "[N003]\r\nEXE=C:\\link.exe\r\n"
            "[Font]\r\nName=IPAGothic\r\nSize=10.5\r\nBold=False\r\nItalic=\r\n"
            "[Score]\r\nTone=0\r\n"
            "[Midi]\r\nTone=1\r\nOct=0\r\nVol=0\r\nPos=32\r\nTime=1\r\nKey=2\r\n"
            "[File]\r\nFolder=\r\n");

  s.repeatOn = false;
  s.octaveChoice = 0;
  s.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  WriteSettings(ini, s);
  EXPECT_EQ(ini.Get("Midi", "Time"), "0");
  EXPECT_EQ(ini.Get("Midi", "Key"), "0");
  EXPECT_EQ(ini.Get("Midi", "SoundFont"), s.soundFont);
}

TEST_F(SettingsFile, NoFileGivesDefaults) {
  EXPECT_EQ(LoadSettings(path_), Settings{});
  EXPECT_EQ(LoadSettings(dir_), Settings{}) << "a folder in the file's place";
  EXPECT_FALSE(SaveSettings(dir_, Settings{}));
}

TEST_F(SettingsFile, EverySettingSurvivesSaveAndLoadAlongsideOtherKeys) {
  WriteBytes(path_, "; mine\r\n[Extra]\r\nKeep=me\r\n");
  Settings s{"Noto Sans",     "9",  true, false,           "3",         0, 1, 4, 16, "/opt/link",
             "/tmp/book.mdd", true, 0,    "/home/me/café", "/sf/GM.sf2"};
  ASSERT_TRUE(SaveTransferSettings(path_, s.n003Exe, s.n003File));
  ASSERT_TRUE(SaveSettings(path_, s));
  EXPECT_EQ(LoadSettings(path_), s);
  EXPECT_TRUE(Bytes(path_).starts_with("\xEF\xBB\xBF; mine\r\n[Extra]\r\nKeep=me\r\n"));
}

TEST_F(SettingsFile, ShiftJisFolderFromAnOlderInstallIsRead) {
  // [File] Folder=C:\メロディ
  WriteBytes(path_, "[File]\r\nFolder=C:\\\x83\x81\x83\x8D\x83\x66\x83\x42\r\n");
  EXPECT_EQ(LoadSettings(path_).folder, "C:\\メロディ");
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(SettingsFile, PathPrefersThePortableFileThenXdgThenHome) {
  ScopedEnv home("HOME", "/home/me");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(SettingsPath(dir_), fs::path("/cfg/chimewright/chwr.ini"));
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(SettingsPath(dir_), fs::path("/home/me/.config/chimewright/chwr.ini"));
  }
  WriteBytes(path_, "");
  EXPECT_EQ(SettingsPath(dir_), path_);
}

}  // namespace
}  // namespace chwr

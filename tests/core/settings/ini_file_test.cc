#include "settings/ini_file.h"

#include <gtest/gtest.h>

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

class IniFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("chwr-ini-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST(IniFileRead, NamesIgnoreAsciiCaseAndBlanksAreTrimmed) {
  IniFile ini = IniFile::Parse("[ midi ]\r\n  tImE  =  1  \r\nKey=\r\n");
  EXPECT_EQ(ini.Get("Midi", "Time"), "1");
  EXPECT_EQ(ini.Get("MIDI", "key"), "");
  EXPECT_EQ(ini.Get("Midi", "Vol"), std::nullopt);
  EXPECT_EQ(ini.Get("Font", "Time"), std::nullopt);
}

TEST(IniFileRead, OnlyAMatchingPairOfQuotesIsRemoved) {
  IniFile ini =
      IniFile::Parse("[A]\nd=\" x y \"\ns='z'\nmixed=\"z'\nopen=\"z\nlone=\"\ninner=a\"b\"c\n");
  EXPECT_EQ(ini.Get("A", "d"), " x y ");
  EXPECT_EQ(ini.Get("A", "s"), "z");
  EXPECT_EQ(ini.Get("A", "mixed"), "\"z'");
  EXPECT_EQ(ini.Get("A", "open"), "\"z");
  EXPECT_EQ(ini.Get("A", "lone"), "\"");
  EXPECT_EQ(ini.Get("A", "inner"), "a\"b\"c");
}

TEST(IniFileRead, CommentsStrayLinesAndRepeatsDoNotShadowTheFirstKey) {
  IniFile ini = IniFile::Parse(
      ";[A]\n[A]\n; k=comment\nk=first\nno equals sign\n[broken\nk=second\n[B]\nk=b\n[a]\nz=1\n");
  EXPECT_EQ(ini.Get("A", "k"), "first");
  EXPECT_EQ(ini.Get("B", "k"), "b");
  EXPECT_EQ(ini.Get("A", "z"), std::nullopt) << "a repeated section is not read";
  EXPECT_EQ(ini.Get("A", "; k"), std::nullopt);
}

TEST(IniFileRead, EveryKindOfLineEndEndsALine) {
  IniFile ini = IniFile::Parse("\xEF\xBB\xBF[A]\rx=1\r\ny=2\nz=3");
  EXPECT_EQ(ini.Get("A", "x"), "1");
  EXPECT_EQ(ini.Get("A", "y"), "2");
  EXPECT_EQ(ini.Get("A", "z"), "3");
  EXPECT_EQ(ini.Serialize(), "[A]\r\nx=1\r\ny=2\r\nz=3\r\n");
}

TEST(IniFileRead, ValuesAreCutTo254CharactersNotBytes) {
  std::string kana;
  for (int i = 0; i < 300; ++i) kana += "ア";
  IniFile ini = IniFile::Parse("[A]\nascii=" + std::string(300, 'x') + "\nkana=\"" + kana + "\"\n");
  EXPECT_EQ(ini.Get("A", "ascii"), std::string(254, 'x'));
  EXPECT_EQ(ini.Get("A", "kana"), kana.substr(0, 254 * 3));
}

constexpr std::string_view kOtherProgramsFile =
    "; written by hand\r\n"
    "[Window]\r\n"
    "Left = 10 \r\n"
    "\r\n"
    "[Midi]\r\n"
    "Tone=1\r\n"
    "  ; keep me\r\n"
    "\r\n"
    "[Unknown]\r\n"
    "x=\"quoted\"\r\n";

TEST(IniFileWrite, OnlyTheLinesOfKeysSetChange) {
  IniFile ini = IniFile::Parse(kOtherProgramsFile);
  EXPECT_EQ(ini.Serialize(), kOtherProgramsFile);

  ini.Set("midi", "TONE", "0");
  ini.Set("Midi", "Pos", "32");
  ini.Set("File", "Folder", "/home/me");
  EXPECT_EQ(ini.Serialize(),
            "; written by hand\r\n"
            "[Window]\r\n"
            "Left = 10 \r\n"
            "\r\n"
            "[Midi]\r\n"
            "Tone=0\r\n"
            "  ; keep me\r\n"
            "Pos=32\r\n"
            "\r\n"
            "[Unknown]\r\n"
            "x=\"quoted\"\r\n"
            "[File]\r\n"
            "Folder=/home/me\r\n");
}

TEST(IniFileWrite, EveryValueReadsBackAsWritten) {
  IniFile ini;
  for (std::string value :
       {"", " lead", "trail ", "\"quoted\"", "'single'", "\"", "a=b;c", "[x]"}) {
    ini.Set("A", "k", value);
    EXPECT_EQ(IniFile::Parse(ini.Serialize()).Get("A", "k"), value);
  }
}

TEST(IniFileWrite, LineBreaksInAValueCannotAddLines) {
  IniFile ini;
  ini.Set("A", "k", "one\r\n[B]\nk=two");
  IniFile reread = IniFile::Parse(ini.Serialize());
  EXPECT_EQ(reread.Get("A", "k"), "one  [B] k=two");
  EXPECT_EQ(reread.Get("B", "k"), std::nullopt);
}

TEST_F(IniFileOnDisk, MissingFileIsEmptyButAFolderIsAnError) {
  auto missing = LoadIniFile(dir_ / "none.ini");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->Serialize(), "");
  EXPECT_FALSE(LoadIniFile(dir_));
  EXPECT_FALSE(SaveIniFile(dir_, IniFile::Parse("[A]\nk=v\n")));
}

TEST_F(IniFileOnDisk, ShiftJisIsReadAndWrittenByteForByte) {
  // "C:\ソフト\音楽": ソ has 0x5C as its second byte, which must not be taken for a backslash.
  const std::string bytes = "[File]\r\nFolder=C:\\\x83\x5C\x83\x74\x83\x67\\\x89\xB9\x8A\x79\r\n";
  WriteBytes(dir_ / "sjis.ini", bytes);
  auto ini = LoadIniFile(dir_ / "sjis.ini");
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->Get("File", "Folder"), "C:\\ソフト\\音楽");
  ASSERT_TRUE(SaveIniFile(dir_ / "copy.ini", *ini));
  EXPECT_EQ(Bytes(dir_ / "copy.ini"), bytes);
}

TEST_F(IniFileOnDisk, TextShiftJisCannotHoldIsSavedAsUtf8WithBom) {
  // é is missing from code page 932; the wave dash would come back as a fullwidth tilde.
  for (std::string folder : {"/home/me/café", "/home/me/a\u301Cb"}) {
    IniFile ini;
    ini.Set("File", "Folder", folder);
    fs::path path = dir_ / "new" / "deeper" / "chwr.ini";
    ASSERT_TRUE(SaveIniFile(path, ini));
    EXPECT_EQ(Bytes(path), "\xEF\xBB\xBF[File]\r\nFolder=" + folder + "\r\n");
    EXPECT_EQ(LoadIniFile(path)->Get("File", "Folder"), folder);
  }
}

TEST_F(IniFileOnDisk, HandEditedUtf8WithoutBomIsNotMangled) {
  WriteBytes(dir_ / "utf8.ini", "[File]\nFolder=/home/me/日本語のフォルダ\n");
  EXPECT_EQ(LoadIniFile(dir_ / "utf8.ini")->Get("File", "Folder"), "/home/me/日本語のフォルダ");
}

}  // namespace
}  // namespace chwr

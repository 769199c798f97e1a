#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "io/file_io.h"
#include "test_support.h"

namespace chwr {
namespace {

namespace fs = std::filesystem;

constexpr auto B = test::Ascii;

class IniFileOnDisk : public ::testing::Test {
 protected:
  test::TempDir tmp_;
  const fs::path dir_ = tmp_.path();
};

TEST(IniFileRead, NamesIgnoreAsciiCaseAndOnlyTheFirstOfEachCounts) {
  IniFile ini = IniFile::Parse(
      ";[A]\n[ a ]\n  tImE  =  1  \nKey=\n; k=comment\nno equals sign\nk=first\n[broken\nk=second\n"
      "[B]\nk=b\n[A]\nz=1\n");
  EXPECT_EQ(ini.Get("A", "Time"), "1");
  EXPECT_EQ(ini.Get("a", "key"), "");
  EXPECT_EQ(ini.Get("A", "k"), "first");
  EXPECT_EQ(ini.Get("B", "k"), "b");
  EXPECT_EQ(ini.Get("A", "Vol"), std::nullopt);
  EXPECT_EQ(ini.Get("C", "k"), std::nullopt);
  EXPECT_EQ(ini.Get("A", "z"), std::nullopt) << "a repeated section is not read";
  EXPECT_EQ(ini.Get("A", "; k"), std::nullopt);
}

TEST(IniFileRead, OnlyAMatchingPairOfQuotesIsRemovedAndValuesAreCutTo254Characters) {
  std::string kana;
  for (int i = 0; i < 300; ++i) kana += "ア";
  IniFile ini =
      IniFile::Parse("[A]\nd=\" x y \"\ns='z'\nmixed=\"z'\nlone=\"\ninner=a\"b\"c\nascii=" +
                     std::string(300, 'x') + "\nkana=\"" + kana + "\"\n");
  EXPECT_EQ(ini.Get("A", "d"), " x y ");
  EXPECT_EQ(ini.Get("A", "s"), "z");
  EXPECT_EQ(ini.Get("A", "mixed"), "\"z'");
  EXPECT_EQ(ini.Get("A", "lone"), "\"");
  EXPECT_EQ(ini.Get("A", "inner"), "a\"b\"c");
  EXPECT_EQ(ini.Get("A", "ascii"), std::string(254, 'x'));
  EXPECT_EQ(ini.Get("A", "kana"), kana.substr(0, 254 * 3)) << "characters, not bytes";
}

TEST(IniFileWrite, OnlyTheLinesOfKeysSetChange) {
  // Every kind of line end ends a line; all are written back as CR LF.
  EXPECT_EQ(IniFile::Parse("\xEF\xBB\xBF[A]\rx=1\r\ny=2\nz=3").Serialize(),
            "[A]\r\nx=1\r\ny=2\r\nz=3\r\n");
  IniFile ini = IniFile::Parse(
      "; written by hand\r\n[Window]\r\nLeft = 10 \r\n\r\n"
      "[Midi]\r\nTone=1\r\n  ; keep me\r\n\r\n"
      "[Unknown]\r\nx=\"quoted\"\r\n");
  ini.Set("midi", "TONE", "0");
  ini.Set("Midi", "Pos", "32");
  ini.Set("File", "Folder", "/home/me");
  EXPECT_EQ(ini.Serialize(),
            "; written by hand\r\n[Window]\r\nLeft = 10 \r\n\r\n"
            "[Midi]\r\nTone=0\r\n  ; keep me\r\nPos=32\r\n\r\n"
            "[Unknown]\r\nx=\"quoted\"\r\n"
            "[File]\r\nFolder=/home/me\r\n");
}

TEST(IniFileWrite, EveryValueReadsBackAsWritten) {
  IniFile ini;
  for (std::string value :
       {"", " lead", "trail ", "\"quoted\"", "'single'", "\"", "a=b;c", "[x]"}) {
    ini.Set("A", "k", value);
    EXPECT_EQ(IniFile::Parse(ini.Serialize()).Get("A", "k"), value);
  }
  ini.Set("A", "k", "one\r\n[B]\nk=two");
  IniFile reread = IniFile::Parse(ini.Serialize());
  EXPECT_EQ(reread.Get("A", "k"), "one  [B] k=two") << "line breaks cannot add lines";
  EXPECT_EQ(reread.Get("B", "k"), std::nullopt);
}

TEST_F(IniFileOnDisk, MissingFileIsEmptyButAFolderIsAnError) {
  auto missing = LoadIniFile(dir_ / "none.ini");
  EXPECT_TRUE(missing && missing->Serialize().empty());
  EXPECT_FALSE(LoadIniFile(dir_));
  EXPECT_FALSE(SaveIniFile(dir_, IniFile::Parse("[A]\nk=v\n")));
}

TEST_F(IniFileOnDisk, ShiftJisIsKeptByteForByteAndUtf8WithoutBomIsNotMangled) {
  // "C:\ソフト\音楽": ソ has 0x5C as its second byte, which must not be taken for a backslash.
  const std::string bytes = "[File]\r\nFolder=C:\\\x83\x5C\x83\x74\x83\x67\\\x89\xB9\x8A\x79\r\n";
  std::ofstream(dir_ / "sjis.ini", std::ios::binary) << bytes;
  auto ini = LoadIniFile(dir_ / "sjis.ini");
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->Get("File", "Folder"), "C:\\ソフト\\音楽");
  ASSERT_TRUE(SaveIniFile(dir_ / "copy.ini", *ini));
  EXPECT_EQ(ReadFileBytes(dir_ / "copy.ini"), B(bytes));

  std::ofstream(dir_ / "utf8.ini", std::ios::binary)
      << "[File]\nFolder=/home/me/日本語のフォルダ\n";
  EXPECT_EQ(LoadIniFile(dir_ / "utf8.ini")->Get("File", "Folder"), "/home/me/日本語のフォルダ");
}

TEST_F(IniFileOnDisk, TextShiftJisCannotHoldIsSavedAsUtf8WithBom) {
  // é is missing from code page 932; the wave dash would come back as a fullwidth tilde.
  for (std::string folder : {"/home/me/café", "/home/me/a\u301Cb"}) {
    IniFile ini;
    ini.Set("File", "Folder", folder);
    fs::path path = dir_ / "new" / "deeper" / "chwr.ini";
    ASSERT_TRUE(SaveIniFile(path, ini));
    EXPECT_EQ(ReadFileBytes(path), B("\xEF\xBB\xBF[File]\r\nFolder=" + folder + "\r\n"));
    EXPECT_EQ(LoadIniFile(path)->Get("File", "Folder"), folder);
  }
}

}  // namespace
}  // namespace chwr

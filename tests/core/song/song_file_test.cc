#include "song/song_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <fstream>
#include <random>
#include <string>

#include "io/file_io.h"
#include "messages.h"

namespace chwr {

// Readable failure output; file-local so other test files may have their own.
[[maybe_unused]] static void PrintTo(const SongDocument& s, std::ostream* os) {
  *os << "{title=" << s.title << " tempo=" << s.tempo << " res=" << s.resolution
      << " protect=" << s.copyProtect << " text=" << s.protectText;
  for (const PartSlot& p : s.parts) *os << " [" << p.tone << "|" << p.volume << "|" << p.mml << "]";
  *os << "}";
}

namespace {

using test::Bytes;
constexpr auto B = test::Ascii;

template <class T>
std::string ErrorOf(const Result<T>& result) {
  return result ? "<no error>" : result.error().message;
}

SongDocument SmallSong() {
  SongDocument song{.title = "ﾃｽﾄ", .tempo = "", .copyProtect = true, .protectText = "abc"};
  song.parts[0] = {"O4C8\r\nD8", "40", "A"};
  song.parts[3] = {"", "――", "――――――――"};
  return song;
}

// Checked line by line against the layout of the format.
const std::string kSmallSongFile =
    "qrv\r\n"
    "\xC3\xBD\xC4\r\n"     // ﾃｽﾄ
    "@120\r\n"             // empty tempo
    "A\r\nB\r\nB\r\n"      // tones 1-3
    "40\r\nA\r\nA\r\n"     // volumes 1-3
    "O4C8`D8\r\n\r\n\r\n"  // MML 1-3
    "1\r\nabc\r\n 1 \r\n"  // protection, its text, resolution
    "\x81\x5C\x81\x5C\x81\x5C\x81\x5C\x81\x5C\x81\x5C\x81\x5C\x81\x5C\r\n"
    "\x81\x5C\x81\x5C\r\n"
    "\r\n";

SongFileRead Parse(std::string_view text) {
  auto read = ParseSongFile(B(text));
  EXPECT_TRUE(read) << ErrorOf(read);
  return read ? *read : SongFileRead{};
}

TEST(SongFile, WritesTheLayoutByteForByteAndReadsWhatItWrites) {
  EXPECT_EQ(SerializeSongFile(SmallSong()), B(kSmallSongFile));
  SongDocument song = SmallSong();
  song.tempo = "120";  // an empty tempo comes back as the "120" written for it
  SongFileRead read = Parse(kSmallSongFile);
  EXPECT_EQ(read.song, song);
  EXPECT_TRUE(read.warnings.empty());

  song = {.title = "着信ﾒﾛﾃﾞｨ ①髙", .tempo = "96", .resolution = 0, .protectText = "保護ﾃｷｽﾄ"};
  song.parts[1] = {"@{1,2}\r\n\r\nL4 C*24 D*48\r\n", "0", "1   Piano 1", false};
  song.parts[2] = {"あいう", "B", "128 Gun Shot", false};
  song.parts[3].mml = "R1\r\n";
  auto bytes = SerializeSongFile(song);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(Parse(std::string(bytes->begin(), bytes->end())).song, song);
}

TEST(SongFile, LineBreaksBecomeOneLineEachAndAnyLineEndIsRead) {
  SongDocument song;
  song.title = "a\r\nb\nc\rd";
  song.parts[0].mml = "1\r\n2\n3\r4`5";
  auto bytes = SerializeSongFile(song);
  ASSERT_TRUE(bytes);
  const std::string text(bytes->begin(), bytes->end());
  EXPECT_NE(text.find("\r\na b c d\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n1`2`3`4`5\r\n"), std::string::npos);
  // A grave accent typed in MML is the format's line break and reads back as one.
  EXPECT_EQ(Parse(text).song.parts[0].mml, "1\r\n2\r\n3\r\n4\r\n5");

  std::string lf = kSmallSongFile, cr = kSmallSongFile;
  for (std::size_t i; (i = lf.find("\r\n")) != std::string::npos;) lf.erase(i, 1);
  for (std::size_t i; (i = cr.find("\r\n")) != std::string::npos;) cr.erase(i + 1, 1);
  EXPECT_EQ(Parse(lf).song, Parse(kSmallSongFile).song);
  EXPECT_EQ(Parse(cr).song, Parse(kSmallSongFile).song);
}

TEST(SongFile, ShortFilesKeepNewSongValues) {
  SongFileRead read = Parse(
      "qrv\r\nT\r\n@150\r\nC\r\nC\r\nC\r\n1\r\n2\r\n3\r\nC*24\r\nD*48\r\nE\r\n0\r\n\r\n 0 \r\n");
  EXPECT_TRUE(read.warnings.empty()) << "a three-part file ends after the resolution line";
  EXPECT_EQ(read.song.resolution, 0);
  EXPECT_EQ(read.song.parts[0].mml, "C*24");  // lengths are not rescaled
  EXPECT_EQ(read.song.parts[3], PartSlot{});

  const std::string fullWidthAt = "\x81\x97";  // "＠" is a character, not a byte
  read = Parse("qrv\r\nT\r\n" + fullWidthAt + "96");
  EXPECT_EQ(read.song, (SongDocument{.title = "T", .tempo = "96"}));
  EXPECT_EQ(test::Messages(read.warnings),
            std::vector<std::string>{
                "ﾌｧｲﾙが3行で終わっています。足りない項目は新規作成時の内容にしました。"});
}

TEST(SongFile, RepairsFieldsItCannotUse) {
  std::string file = kSmallSongFile;
  file.replace(file.find("A\r\nB\r\nB"), 7, "A\r\nZ\r\nB");
  file.replace(file.find("40\r\nA"), 5, "40\r\n99");
  file.replace(file.find(" 1 "), 3, "1 2");
  file.replace(file.find("abc"), 3, "a\x85\x40");
  file += "extra line\r\n";
  SongFileRead read = Parse(file);
  EXPECT_EQ(read.song.parts[1].tone, "B");
  EXPECT_EQ(read.song.parts[1].volume, "A");
  EXPECT_EQ(read.song.resolution, 1);
  EXPECT_EQ(read.song.protectText, "a\uFFFD");
  EXPECT_EQ(test::Messages(read.warnings),
            (std::vector<std::string>{"ｼﾌﾄJISとして読めないﾊﾞｲﾄが1か所あり、「\uFFFD」にしました。",
                                      "5行目の音色「Z」は選択肢にないため、「B」にしました。",
                                      "8行目のﾎﾞﾘｭｰﾑ「99」は選択肢にないため、「A」にしました。",
                                      "15行目の分解能「1 2」が読めないため、「48」にしました。"}));
}

TEST(SongFile, ResolutionAndProtectionLines) {
  const std::tuple<std::string, int, bool> resolutions[] = {
      {"\t00 ", 0, false}, {" 1", 1, false}, {"", 1, true},
      {"2", 1, true},      {"x", 1, true},   {"99999999999999999999", 1, true}};
  for (const auto& [line, index, warned] : resolutions) {
    std::string file = kSmallSongFile;
    file.replace(file.find(" 1 "), 3, line);
    SongFileRead read = Parse(file);
    EXPECT_EQ(read.song.resolution, index) << line;
    EXPECT_EQ(read.warnings.size(), warned ? 1u : 0u) << line;
  }
  for (const char* line : {" 1", "2", "true", ""}) {
    std::string file = kSmallSongFile;
    file.replace(file.find("1\r\nabc"), 1, line);
    EXPECT_FALSE(Parse(file).song.copyProtect) << line;
  }
}

TEST(SongFile, RejectsFilesThatAreNotSongs) {
  for (std::string_view text : {"", "QRV\r\n", " qrv\r\n", "qrvx\r\n", "\xEF\xBB\xBFqrv\r\n"})
    EXPECT_EQ(ErrorOf(ParseSongFile(B(text))), "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。") << text;
}

class SongFileOnDisk : public ::testing::Test {
 protected:
  test::TempDir tmp_;
  const std::filesystem::path dir_ = tmp_.path();
};

TEST_F(SongFileOnDisk, WritesAndReadsBackAndFailuresHaveTheirMessages) {
  const auto path = dir_ / "song.txt";
  ASSERT_TRUE(WriteSongFile(path, SmallSong()));
  EXPECT_EQ(ReadFileBytes(path), B(kSmallSongFile));
  EXPECT_EQ(ReadSongFile(path).value_or(SongFileRead{}).song, Parse(kSmallSongFile).song);

  SongDocument bad = SmallSong();
  bad.parts[2].mml = "C😀";
  EXPECT_EQ(ErrorOf(WriteSongFile(path, bad)), "ｼﾌﾄJISで表せない文字(😀)があります。");
  for (const auto& target : {dir_ / "missing" / "song.txt", dir_})
    EXPECT_EQ(ErrorOf(WriteSongFile(target, SmallSong())), msg::kFileWriteFailed);
  EXPECT_EQ(ReadFileBytes(path), B(kSmallSongFile));

  EXPECT_EQ(ErrorOf(ReadSongFile(dir_ / "missing.txt")), msg::kFileReadFailed);
  std::ofstream(dir_ / "other.txt", std::ios::binary) << "melo\r\n";
  EXPECT_EQ(ErrorOf(ReadSongFile(dir_ / "other.txt")), "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。");
}

}  // namespace
}  // namespace chwr

// Whole-file reads and atomic writes: what the user protected stays untouched, links
// stay links, and every failure says which file and why.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/file_io.h"
#include "test_support.h"

namespace chwr {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const Bytes kNew = {'n', 'e', 'w'};

TEST(WriteFileAtomic, RefusesAFileTheUserProtected) {
  test::TempDir dir;
  const fs::path file = dir / "protected.mld";
  test::WriteText(file, "old");
  ::chmod(file.c_str(), 0444);
  auto written = WriteFileAtomic(file, kNew);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().message, "ﾌｧｲﾙ書き込みに失敗しました。");
  EXPECT_EQ(written.error().detail, file.string() + "\nｱｸｾｽが許可されていません。");
  EXPECT_EQ(test::ReadText(file), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no temporary file is left behind";
}

TEST(WriteFileAtomic, KeepsTheModeOfTheFileItReplaces) {
  test::TempDir dir;
  const fs::path file = dir / "song.txt";
  test::WriteText(file, "old");
  ::chmod(file.c_str(), 0640);
  ASSERT_TRUE(WriteFileAtomic(file, kNew));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(test::ReadText(file), "new");
}

TEST(WriteFileAtomic, WritesThroughSymbolicLinks) {
  test::TempDir dir;
  fs::create_directory(dir / "real");
  test::WriteText(dir / "real/target.mld", "old");
  fs::create_symlink("real/target.mld", dir / "link.mld");
  fs::create_symlink(dir / "link.mld", dir / "chain.mld");  // a link to a link, absolute
  ASSERT_TRUE(WriteFileAtomic(dir / "chain.mld", kNew));
  EXPECT_TRUE(fs::is_symlink(dir / "link.mld"));
  EXPECT_TRUE(fs::is_symlink(dir / "chain.mld"));
  EXPECT_EQ(test::ReadText(dir / "real/target.mld"), "new");

  // A link to a file not there yet makes the file where the link points.
  fs::create_symlink("real/later.mld", dir / "dangling.mld");
  ASSERT_TRUE(WriteFileAtomic(dir / "dangling.mld", kNew));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.mld"));
  EXPECT_EQ(test::ReadText(dir / "real/later.mld"), "new");
}

TEST(FileIo, FailuresNameTheFileAndTheReason) {
  test::TempDir dir;
  // clang-format off
  const struct { fs::path path; bool write; std::string message, reason; } cases[] = {
      {dir / "missing.txt", false, "ﾌｧｲﾙ読み込みに失敗しました。", "ﾌｧｲﾙまたはﾌｫﾙﾀﾞがありません。"},
      {dir.path(), false, "ﾌｧｲﾙ読み込みに失敗しました。", "ﾌｫﾙﾀﾞです。"},
      {dir.path(), true, "ﾌｧｲﾙ書き込みに失敗しました。", "ﾌｫﾙﾀﾞです。"},
      {dir / "no/such/folder.mld", true, "ﾌｧｲﾙ書き込みに失敗しました。",
       "ﾌｧｲﾙまたはﾌｫﾙﾀﾞがありません。"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Diagnostic d =
        c.write ? WriteFileAtomic(c.path, kNew).error() : ReadFileBytes(c.path).error();
    EXPECT_EQ(d.message, c.message) << c.path;
    EXPECT_EQ(d.detail, c.path.string() + "\n" + c.reason);
  }
}

}  // namespace
}  // namespace chwr

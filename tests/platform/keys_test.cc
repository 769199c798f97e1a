// The keystroke driver against a real X server (Xvfb, started here) and the fake
// data-link program: window lookup without a window manager, focus, the whole script
// typed, non-ASCII included, and the program's start and end.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "keys/key_driver.h"
#include "keys/link_process.h"
#include "link_record.h"
#include "platform_messages.h"

namespace chwr {
namespace testing {
void* MakeTitledWindows(const char* display, int count, const char* first);
void CloseWindows(void* display);
int SetCapsLock(const char* display, bool on);
int CapsLockOn(const char* display);
}  // namespace testing
namespace {

using testing::KeysExpected;
using testing::KeysRecorded;
using testing::RecordOf;
using testing::WaitUntil;

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.display().isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
    auto made = MakeKeyDriver(xvfb_.display().toStdString());
    ASSERT_TRUE(made.has_value()) << made.error().message;
    driver_ = std::move(*made);
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }

  testing::XvfbServer xvfb_;
  QTemporaryDir dir_;
  std::unique_ptr<KeyDriver> driver_;
};

// With Caps Lock off and on: the path's letters keep their case, and the lock stays on.
class KeysTyping : public KeysTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KeysTyping, TypesTheWholeScriptIntoTheProgramsWindow) {
  const QByteArray display = xvfb_.display().toUtf8();
  ASSERT_EQ(testing::SetCapsLock(display.constData(), GetParam()), 0);
  const QString mdd = Path("phone book +%.mdd");
  LinkProcess link;
  ASSERT_TRUE(link.Start(CHWR_FAKE_LINK, mdd, xvfb_.display()).has_value());
  const TopWindow* window = nullptr;
  std::vector<TopWindow> windows;
  ASSERT_TRUE(WaitUntil([&] {
    windows = driver_->Windows();
    window = FindWindowTitled(windows, "ﾒﾓﾘﾀﾞｲﾔﾙ");
    return window && driver_->Focus(window->id) && driver_->HasFocus(window->id);
  }));
  const MldPathParts parts{"/tmp/曲 (1)+%^~{}[]", "ﾒﾛﾃﾞｨｰ é.mld"};
  for (const ScriptStep& step : MemoryDialScript(parts)) {
    ASSERT_TRUE(driver_->Send(*ParseKeys(step.keys)).has_value());
  }
  ASSERT_TRUE(WaitUntil([&] { return !link.running(); }));
  const QStringList record = RecordOf(mdd);
  ASSERT_FALSE(record.isEmpty());
  EXPECT_EQ(record.first(), "args 1 " + mdd);
  EXPECT_EQ(record.last(), "closed");
  const QStringList keys = KeysRecorded(record);
  EXPECT_EQ(keys.join(' ').toStdString(), KeysExpected(parts).join(' ').toStdString());
  EXPECT_EQ(testing::TypedTexts(keys).join('|').toStdString(),
            "o| |" + parts.folder + "|" + parts.file + "|o");
  EXPECT_EQ(FindWindowTitled(driver_->Windows(), "ﾒﾓﾘﾀﾞｲﾔﾙ"), nullptr);
  EXPECT_EQ(testing::CapsLockOn(display.constData()), GetParam() ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(CapsLock, KeysTyping, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

TEST_F(KeysTest, ScansAtMostFiveHundredWindowsComparingTwentyFourCharacters) {
  const std::string longTitle = "ﾒﾓﾘﾀﾞｲﾔﾙ of a title much longer than twenty-four";
  void* dpy =
      testing::MakeTitledWindows(xvfb_.display().toUtf8().constData(), 520, longTitle.c_str());
  ASSERT_NE(dpy, nullptr);
  const std::vector<TopWindow> windows = driver_->Windows();
  EXPECT_EQ(windows.size(), kMaxScannedWindows);
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows.front().title, "ﾒﾓﾘﾀﾞｲﾔﾙ of a title much");
  EXPECT_NE(FindWindowTitled(windows, longTitle), nullptr);
  EXPECT_EQ(FindWindowTitled(windows, "ﾒﾓﾘﾀﾞｲﾔﾙ"), nullptr);
  testing::CloseWindows(dpy);
}

// Without X, and a Windows program without Wine: the transfer tests of the window
// (tests/gui) see both messages.
TEST(Keys, AProgramThatCannotStartSaysWhy) {
  QTemporaryDir dir;
  LinkProcess link;
  auto started = link.Start(dir.filePath("missing"), "x.mdd", {});
  ASSERT_FALSE(started.has_value());
  EXPECT_EQ(started.error().message, msg::kLinkStartFailed);
}

}  // namespace
}  // namespace chwr

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "transfer/memory_dial_transfer.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>

#include "keys/key_driver.h"
#include "keys/link_process.h"
#include "main_window/build_commands.h"
#include "main_window/feedback.h"
#include "shared/box_text.h"
#include "shared/gui_messages.h"
#include "shared/settings_store.h"
#include "transfer/key_syntax.h"
#include "transfer/transfer_script.h"
#include "transfer/transfer_settings.h"

namespace chwr::gui {
namespace {

constexpr const char* kMemoryDialTitle = "ﾒﾓﾘﾀﾞｲﾔﾙ";
// Wine may first have to make its folder of Windows settings, which takes a while.
constexpr int kWindowWaitMs = 60000;
constexpr int kScanIntervalMs = 100;

}  // namespace

MemoryDialTransfer::MemoryDialTransfer(TransferEnvironment environment, SettingsStore& settings,
                                       BuildCommands& builds, const Feedback& feedback,
                                       QWidget* window)
    : env_(std::move(environment)),
      settings_(settings),
      builds_(builds),
      feedback_(feedback),
      window_(window) {}

MemoryDialTransfer::~MemoryDialTransfer() = default;

void MemoryDialTransfer::ShowSettings() {
  TransferSettings dialog(feedback_.prompts(), settings_.transferPaths(), window_);
  dialog.exec();
  // Closed by any means, the dialog keeps what its boxes hold.
  if (Result<void> saved = settings_.SaveTransferPaths(dialog.paths()); !saved) {
    feedback_.ShowDiagnostic(saved.error());
  }
}

void MemoryDialTransfer::RunMemoryDialTransfer() {
  if (running_) return;
  auto driver = MakeKeyDriver(env_.display);
  if (!driver) {
    feedback_.ShowDiagnostic(driver.error());
    return;
  }
  if (settings_.transferPaths().exe.empty()) ShowSettings();
  if (settings_.transferPaths().file.empty()) ShowSettings();
  const TransferPaths paths = settings_.transferPaths();
  const bool exeThere = QFileInfo(Q(paths.exe)).isFile();
  if (!exeThere || !QFileInfo(Q(paths.file)).isFile()) {
    feedback_.Message(exeThere ? kMddPathWrong : kExePathWrong, DiagnosticKind::Error);
    ShowSettings();
    return;
  }
  const QString mld = builds_.SaveMldFile();
  if (mld.isEmpty()) return;

  // A Windows program under Wine knows the files by their DOS names.
  const bool wine = LinkProcess::IsWindowsProgram(Q(paths.exe));
  auto dosName = [wine](const std::string& path) { return wine ? WineDosPath(path) : path; };
  driver_ = std::move(*driver);
  link_ = std::make_unique<LinkProcess>();
  if (auto started = link_->Start(Q(paths.exe), Q(dosName(paths.file)), Q(driver_->DisplayName()));
      !started) {
    link_.reset();
    driver_.reset();
    feedback_.ShowDiagnostic(started.error());
    ShowSettings();
    return;
  }
  running_ = true;
  stopped_ = false;
  qApp->installEventFilter(this);
  emit runningChanged(true);
  Drive(dosName(S(mld)));
  qApp->removeEventFilter(this);
  link_->End();
  link_.reset();
  // Only now, with the program gone, do the keys lent to its characters go back.
  driver_.reset();
  running_ = false;
  emit runningChanged(false);
}

bool MemoryDialTransfer::Drive(const std::string& mldPath) {
  // Every step is read before the first key goes out: a script that cannot be sent whole
  // sends nothing.
  std::vector<std::pair<std::vector<KeyEvent>, double>> steps;
  for (const ScriptStep& step : MemoryDialScript(SplitMldPath(mldPath))) {
    auto events = ParseKeys(step.keys);
    if (!events) {
      feedback_.ShowDiagnostic(events.error());
      return false;
    }
    steps.emplace_back(std::move(*events), step.seconds);
  }
  if (!WaitForWindow()) return false;
  for (const auto& [events, seconds] : steps) {
    if (stopped_) return false;
    if (events.empty()) {
      if (seconds > 0) WaitSeconds(seconds);
      continue;
    }
    if (auto sent = driver_->Send(events); !sent) {
      feedback_.ShowDiagnostic(sent.error());
      return false;
    }
  }
  // The user finishes in the program; the transfer is over when its window is gone.
  while (!stopped_ && link_->running() && FindMemoryDialWindow()) Pause(kScanIntervalMs);
  return !stopped_;
}

// The program's window must be there and have the focus before any key goes out: keys
// typed into another window would do there whatever they mean.
bool MemoryDialTransfer::WaitForWindow() {
  const QDeadlineTimer deadline(kWindowWaitMs);
  while (!stopped_) {
    // A program that ends at once did not start as far as the user is concerned.
    if (Result<void> alive = link_->CheckRunning(); !alive) {
      feedback_.ShowDiagnostic(alive.error());
      ShowSettings();
      return false;
    }
    const std::vector<TopWindow> windows = driver_->Windows();
    const TopWindow* found = FindWindowTitled(windows, kMemoryDialTitle);
    if (found && driver_->Focus(found->id) && driver_->HasFocus(found->id)) return true;
    if (deadline.hasExpired()) {
      feedback_.Message(found ? kLinkNotFocused : kLinkWindowMissing, DiagnosticKind::Error);
      return false;
    }
    Pause(kScanIntervalMs);
  }
  return false;
}

bool MemoryDialTransfer::FindMemoryDialWindow() {
  return driver_ && FindWindowTitled(driver_->Windows(), kMemoryDialTitle) != nullptr;
}

void MemoryDialTransfer::WaitSeconds(double seconds) {
  if (env_.wait) {
    env_.wait(seconds);
    return;
  }
  Pause(static_cast<int>(seconds * 1000));
}

// The window stays alive meanwhile: its events run, and Stop ends the pause.
void MemoryDialTransfer::Pause(int ms) {
  if (stopped_) return;
  QEventLoop loop;
  loop_ = &loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void MemoryDialTransfer::Stop() {
  if (!running_) return;
  stopped_ = true;
  if (loop_) loop_->quit();
}

bool MemoryDialTransfer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    Stop();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace chwr::gui

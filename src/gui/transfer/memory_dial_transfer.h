#pragma once
// The memory-dial transfer: the song written as an MLD file, the data-link program
// started on the phone book and driven by keystrokes until its "ﾒﾓﾘﾀﾞｲﾔﾙ" window is
// gone, then ended. The editor stays responsive throughout; Escape or closing the editor
// stops the transfer and ends the program.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

class QEventLoop;
class QWidget;

namespace chwr {
class KeyDriver;
class LinkProcess;
}  // namespace chwr

namespace chwr::gui {

class BuildCommands;
class Feedback;
class SettingsStore;

/// Where the transfer types, and how it waits.
struct TransferEnvironment {
  std::string display;  ///< the X display; empty for the session's own
  /// Stands in for the fixed waits of the script (seconds) when set; the real waits run
  /// the event loop for that long.
  std::function<void(double)> wait;
};

/// The transfer commands of the window.
class MemoryDialTransfer final : public QObject {
  Q_OBJECT

 public:
  /// Commands that build through `builds`, keep their paths in `settings` and speak
  /// through `feedback` over `window`.
  MemoryDialTransfer(TransferEnvironment environment, SettingsStore& settings,
                     BuildCommands& builds, const Feedback& feedback, QWidget* window);
  ~MemoryDialTransfer() override;

  /// The command "実行(&E)".
  void RunMemoryDialTransfer();
  /// The command "設定(&S)": the settings dialog, modal; its paths are kept and written
  /// whenever it closes.
  void ShowSettings();
  /// Stops a running transfer: no more keys, the program ended.
  void Stop();
  /// Whether a transfer runs.
  bool running() const { return running_; }
  /// Whether a window titled "ﾒﾓﾘﾀﾞｲﾔﾙ" is there.
  bool FindMemoryDialWindow();

 signals:
  /// A transfer started (true) or ended.
  void runningChanged(bool running);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Drive(const std::string& mldPath);
  bool WaitForWindow();
  void WaitSeconds(double seconds);
  void Pause(int ms);

  TransferEnvironment env_;
  SettingsStore& settings_;
  BuildCommands& builds_;
  const Feedback& feedback_;
  QWidget* window_;
  std::unique_ptr<KeyDriver> driver_;
  std::unique_ptr<LinkProcess> link_;
  QPointer<QEventLoop> loop_;  // the wait under way, which Stop ends
  bool running_ = false;
  bool stopped_ = false;
};

}  // namespace chwr::gui

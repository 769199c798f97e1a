#include "keys/link_process.h"

#include <QProcessEnvironment>
#include <QStandardPaths>

#include "platform_messages.h"

namespace chwr {
namespace {

std::unexpected<Diagnostic> StartFailed(const QString& detail) {
  Diagnostic d;
  d.message = msg::kLinkStartFailed;
  d.detail = detail.toStdString();
  return std::unexpected(std::move(d));
}

}  // namespace

LinkProcess::LinkProcess() = default;

LinkProcess::~LinkProcess() {
  End();
}

bool LinkProcess::IsWindowsProgram(const QString& program) {
  return program.endsWith(".exe", Qt::CaseInsensitive);
}

// The phone-book path is one argument whatever it holds (blanks included); no shell sees it.
Result<void> LinkProcess::Start(const QString& program, const QString& argument,
                                const QString& display) {
  End();
  process_ = std::make_unique<QProcess>();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  if (!display.isEmpty()) environment.insert("DISPLAY", display);
  process_->setProcessEnvironment(environment);
  wine_ = IsWindowsProgram(program);
  if (wine_) {
    const QString wine = QStandardPaths::findExecutable("wine");
    if (wine.isEmpty()) return StartFailed(msg::kWineMissing);
    process_->setProgram(wine);
    process_->setArguments({program, argument});
  } else {
    process_->setProgram(program);
    process_->setArguments({argument});
  }
  process_->setProcessChannelMode(QProcess::ForwardedChannels);
  process_->start();
  if (!process_->waitForStarted()) {
    const QString reason = process_->errorString();
    process_.reset();
    return StartFailed(reason);
  }
  return {};
}

bool LinkProcess::running() const {
  return process_ && process_->state() != QProcess::NotRunning;
}

Result<void> LinkProcess::CheckRunning() const {
  if (running()) return {};
  return StartFailed(QString::fromStdString(msg::LinkEnded(process_ ? process_->exitCode() : -1)));
}

void LinkProcess::End() {
  if (!running()) return;
  process_->terminate();
  if (!process_->waitForFinished(3000)) {
    process_->kill();
    process_->waitForFinished(3000);
  }
}

}  // namespace chwr

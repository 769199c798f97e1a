#pragma once
// The data-link program the transfer drives: started on the phone-book file, ended when
// the transfer is done or stopped.

#include <QProcess>
#include <QString>
#include <memory>

#include "diagnostic.h"

namespace chwr {

/// One run of the data-link program.
class LinkProcess {
 public:
  LinkProcess();
  /// Ends the program when it still runs.
  ~LinkProcess();

  /// Starts `program` with `argument` as its one argument, no shell in between, on
  /// `display`; a ".exe" goes through Wine. Fails with "ﾃﾞｰﾀﾘﾝｸｿﾌﾄが起動できませんでした。"
  /// and the reason (Wine missing, the system's refusal).
  Result<void> Start(const QString& program, const QString& argument, const QString& display);
  /// Whether it runs through Wine, which knows files by their DOS names.
  bool throughWine() const { return wine_; }
  /// Whether it still runs.
  bool running() const;
  /// Fails when the program has ended: "ﾃﾞｰﾀﾘﾝｸｿﾌﾄが起動できませんでした。" with its exit.
  Result<void> CheckRunning() const;
  /// Ends it (asked first, then forced) and waits until it is gone.
  void End();

  /// Whether `program` is one Wine runs (a ".exe", any case).
  static bool IsWindowsProgram(const QString& program);

 private:
  std::unique_ptr<QProcess> process_;
  bool wine_ = false;
};

}  // namespace chwr

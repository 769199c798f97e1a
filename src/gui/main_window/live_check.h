#pragma once
// Errors while typing: a moment after the last key, the song is compiled on a worker
// thread; what it finds is marked where it is (a wavy line under the token, its message
// as the mark's tooltip and in the status bar while the caret is on it, a sign on the
// part's tab). An edit made meanwhile makes the result void. No message box: the build
// commands keep theirs.

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTextCursor>
#include <QTimer>
#include <array>
#include <cstdint>

#include "convert/song_check.h"

class QLabel;

namespace chwr::gui {

class SongForm;

/// The background compile of the song in `form`.
class LiveCheck final : public QObject {
  Q_OBJECT

 public:
  /// Watches `form`; `messagePanel` shows the message of the mark under the caret.
  LiveCheck(SongForm& form, QLabel* messagePanel, QObject* parent = nullptr);
  /// Waits for a compile still running: its result has nowhere to go.
  ~LiveCheck() override;

  /// Switches the checking on or off; off takes every mark away.
  void setEnabled(bool on);
  bool enabled() const { return enabled_; }
  /// The pause after the last edit, before the compile starts ("liveCheckTimer"); tests
  /// fire it instead of waiting.
  QTimer* timer() { return &timer_; }
  /// Waits until no compile runs (tests; the result is then queued to this thread).
  void waitForWorker() { pool_.waitForDone(); }
  /// Whether a compile runs or its result has yet to be taken.
  bool busy() const { return running_; }
  /// Where part `part`'s mark lies: start and length in its box; length 0 when none.
  std::pair<int, int> markRange(int part) const;

 signals:
  /// The song builds: its size report and what drifts (see DriftReport).
  void sizeReported(const QString& report, const QString& drift);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The marked text as a cursor of the box's document, so that it moves with the edits
  // made before the next result; no selection: no mark.
  struct Mark {
    QTextCursor range;
    QString message;
    bool covers(int position) const {
      return range.hasSelection() && position >= range.selectionStart() &&
             position <= range.selectionEnd();
    }
  };

  void Edited();
  void Start();
  void Finished(std::uint64_t generation, const SongCheck& check);
  void ShowMark(int part, const Mark& mark);
  void CaretMoved(int part);

  SongForm& form_;
  QLabel* messagePanel_;
  QTimer timer_;
  QThreadPool pool_;  // one worker: a newer compile waits for the one running
  bool enabled_ = true;
  bool running_ = false;
  bool again_ = false;             // an edit came while a compile ran
  std::uint64_t generation_ = 0;   // counts the edits: a result of an older one is void
  std::array<Mark, 4> marks_;
  QString shown_;  // the message this check put into the panel
};

}  // namespace chwr::gui

#pragma once
// What the transfer tests share: a virtual X server of their own, and the record the fake
// data-link program (tests/platform/fake_link.c) keeps of the keys it got.

#include <X11/keysym.h>
#include <sys/prctl.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string_view>

#include "transfer/key_syntax.h"
#include "transfer/transfer_script.h"

namespace chwr::testing {

/// Xvfb on a display it picks itself; display() is empty when Xvfb is not installed.
class XvfbServer {
 public:
  XvfbServer() {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) return;
    // A test that dies takes its server with it.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    // The server writes its display number once it takes clients.
    const QDeadlineTimer deadline(30000);
    while (!process_.canReadLine() && process_.waitForReadyRead(deadline.remainingTime())) {
    }
    if (process_.canReadLine()) display_ = ":" + QString(process_.readLine()).trimmed();
  }
  ~XvfbServer() {
    process_.terminate();
    process_.waitForFinished();
  }
  QString display() const { return display_; }

 private:
  QProcess process_;
  QString display_;
};

/// Runs the event loop until `done` holds, looking every few milliseconds, for at most
/// `ms`; whether it came to hold.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

/// The record lines of the fake program for phone book `mdd`.
inline QStringList RecordOf(const QString& mdd) {
  QFile f(mdd + ".keys");
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

/// The keys of the record as "KEYSYM+alt+ctrl" (+shift for keys that type no character),
/// modifier keys left out: what the program saw, as KeysSeen tells it.
inline QStringList KeysRecorded(const QStringList& record) {
  QStringList keys;
  for (const QString& line : record) {
    const QStringList f = line.split(' ');
    if (f.size() != 3 || f[0] != "key") continue;
    unsigned long sym = f[1].toULong(nullptr, 16);
    const unsigned state = f[2].toUInt(nullptr, 16);
    // X tells Tab pressed with Shift by a keysym of its own.
    if (sym == XK_ISO_Left_Tab) sym = XK_Tab;
    if (sym >= XK_Shift_L && sym <= XK_Hyper_R) continue;
    const bool character = sym < 0xFF00 || sym >= 0x01000000;
    keys << QString("%1%2%3%4")
                .arg(sym, 0, 16)
                .arg(state & 0x8 ? "+alt" : "")
                .arg(state & 0x4 ? "+ctrl" : "")
                .arg(!character && (state & 0x1) ? "+shift" : "");
  }
  return keys;
}

/// The keys the script for `parts` makes the program see, in KeysRecorded's form.
inline QStringList KeysExpected(const MldPathParts& parts) {
  QStringList keys;
  bool held[4] = {};
  for (const ScriptStep& step : MemoryDialScript(parts)) {
    const auto events = ParseKeys(step.keys);
    for (const KeyEvent& e : *events) {
      if (e.modifier != Modifier::kNone) {
        held[static_cast<int>(e.modifier)] = e.down;
        continue;
      }
      if (!e.down) continue;
      unsigned long sym = e.character < 0x100 ? e.character : 0x01000000 | e.character;
      if (e.named == NamedKey::kTab) sym = XK_Tab;
      if (e.named == NamedKey::kRight) sym = XK_Right;
      if (e.named == NamedKey::kEnter) sym = XK_Return;
      keys << QString("%1%2%3%4")
                  .arg(sym, 0, 16)
                  .arg(held[int(Modifier::kAlt)] ? "+alt" : "")
                  .arg(held[int(Modifier::kControl)] ? "+ctrl" : "")
                  .arg(e.named != NamedKey::kNone && held[int(Modifier::kShift)] ? "+shift" : "");
    }
  }
  return keys;
}

/// The runs of characters typed without Alt or Ctrl, split at every key that types none:
/// among them the folder and the file name as the program got them.
inline QStringList TypedTexts(const QStringList& keys) {
  QStringList texts{""};
  for (const QString& k : keys) {
    const unsigned long sym = k.section('+', 0, 0).toULong(nullptr, 16);
    if (k.contains('+') || (sym >= 0xFF00 && sym < 0x01000000)) {
      if (!texts.last().isEmpty()) texts << "";
      continue;
    }
    const char32_t c = sym >= 0x01000000 ? char32_t(sym & 0xFFFFFF) : char32_t(sym);
    texts.last() += QString::fromUcs4(&c, 1);
  }
  if (texts.last().isEmpty()) texts.removeLast();
  return texts;
}

}  // namespace chwr::testing

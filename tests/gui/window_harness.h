#pragma once
// One editor window in a folder of its own, driven as a user drives it: controls found
// by name, menu actions triggered, dialogs answered by ScriptedPrompts, and the window's
// texts read back. Its settings and playback files live in its folder; playback runs a
// fake player whose clock the test turns.

#include <QtTest>
#include <QtWidgets>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "fake_player.h"
#include "main_window/main_window.h"
#include "messages.h"
#include "scripted_prompts.h"

namespace chwr::gui {

inline const QString kCaptionSuffix = " - Chimewright Ver1.21";
inline const QString kUntitled = "無題" + kCaptionSuffix;
inline const QString kDiscardQuestion = "内容が変更されています。保存しますか？";
inline const QString kReadFailed = msg::kFileReadFailed;
inline const QString kWriteFailed = msg::kFileWriteFailed;
inline const QString kInitialReport = "MLDﾌｧｲﾙｻｲｽﾞ (ﾊﾟｰﾄ：ｽﾃｯﾌﾟ数 最低音～最高音)";
// 24 quarter notes: 12 seconds at tempo 120.
inline const QString kLongSong = "L4 O4 CDEFGAB<CDEFGAB>CDEFGAB<CDE";

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Test bytes as Qt holds them.
inline QByteArray QBytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
    qFatal("cannot write %s", qPrintable(path));
  }
}

// The values of settings keys ("Section/Key") in an INI file.
inline QStringList IniValues(const QString& file, const QStringList& keys) {
  QSettings ini(file, QSettings::IniFormat);
  QStringList values;
  for (const QString& key : keys) values << ini.value(key).toString();
  return values;
}

// A song text file from its lines (ASCII only), each ended by CR LF.
inline QByteArray SongFile(const QStringList& lines) {
  return (lines.join("\r\n") + "\r\n").toLatin1();
}

// A one-line song file whose title tells which one was opened.
inline QByteArray TitledSong(const QString& title) {
  return SongFile({"qrv", title, "@120", "B", "B", "B", "A", "A", "A", "CDE", "", "", "0", "",
                   " 1 ", "B", "A", ""});
}

// The four entries of a file dialog that the user sees, for one comparison.
inline QStringList Entries(const FileDialog& dialog) {
  return {dialog.description, dialog.pattern, dialog.initialName, dialog.extension};
}

// A control or action of `root` by its name; without it the test cannot go on.
template <class T = QWidget>
T* In(const QObject* root, const QString& name) {
  T* found = root->findChild<T*>(name);
  if (!found) qFatal("no control %s", qPrintable(name));
  return found;
}

// Clicks a button of `root` by its name.
inline void Click(const QObject* root, const QString& button) {
  In<QAbstractButton>(root, button)->click();
}

// One window in its own folder, with its settings and playback files inside it.
class Harness {
 public:
  // `configure` changes the window's environment before the window is made.
  explicit Harness(const QByteArray& ini = {},
                   const std::function<void(WindowEnvironment&)>& configure = {}) {
    if (!ini.isEmpty()) WriteAll(path("chwr.ini"), ini);
    env.prompts = &prompts;
    env.settings = SettingsStore::Load(path("chwr.ini").toStdString());
    env.playbackFile = path("cache/dummy.mid").toStdString();
    env.helpPage = path("chwr.html").toStdString();
    env.makePlayer = [this]() -> Result<std::unique_ptr<MidiPlayer>> {
      ++playersMade;
      if (playerFailure) return std::unexpected(*playerFailure);
      auto made = std::make_unique<testing::FakePlayer>();
      player = made.get();
      return std::unique_ptr<MidiPlayer>(std::move(made));
    };
    if (configure) configure(env);
    window = std::make_unique<MainWindow>(env);
    window->show();
    // As the desktop makes a window just shown the active one: the keys go to it.
    QApplication::setActiveWindow(window.get());
  }

  ~Harness() {
    window.reset();
    if (!prompts.unexpected.isEmpty()) {
      QTest::qFail(qPrintable("unexpected prompts: " + prompts.unexpected.join("; ")), __FILE__,
                   __LINE__);
    }
  }

  QString path(const QString& name) const { return dir.filePath(name); }
  // The caption as the desktop gets it, Qt's modified mark put in or taken out.
  QString caption() const { return window->windowHandle()->title(); }

  template <class T = QWidget>
  T* find(const QString& name) const {
    return In<T>(window.get(), name);
  }
  QPlainTextEdit* part(int i) const { return find<QPlainTextEdit>(QString("Text1_%1").arg(i)); }
  QComboBox* combo(const QString& name) const { return find<QComboBox>(name); }
  QTabWidget* tabs() const { return find<QTabWidget>("tabPART"); }
  QSlider* slider() const { return find<QSlider>("Slider1"); }
  QTimer* timer() const { return find<QTimer>("Timer1"); }
  // The import dialog (of a MIDI or MLD file) while it is open; a closed one is gone once
  // Qt has deleted it.
  QDialog* importDialog() const {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return window->findChild<QDialog*>("Form3");
  }
  // Selects characters [from, to) of part box `i`; without `to`, puts the caret at `from`.
  void select(int i, int from, int to = -1) const {
    QTextCursor c = part(i)->textCursor();
    c.setPosition(from);
    if (to >= 0) c.setPosition(to, QTextCursor::KeepAnchor);
    part(i)->setTextCursor(c);
  }
  // Types `keys` into part box `i` as a user would: its tab shown, the box focused.
  void type(int i, const QString& keys) const {
    tabs()->setCurrentIndex(i);
    part(i)->setFocus();
    QTest::keyClicks(part(i), keys);
  }
  QString mode() const { return player ? QString(PlayerModeName(player->Mode())) : QString(); }
  // One tick of the position timer, as its clock would fire it.
  void tick() const { QVERIFY(QMetaObject::invokeMethod(timer(), "timeout")); }
  // The player's clock moved on by `ms`, or to the song's end, and then one tick.
  void advance(std::int64_t ms) const { player->Advance(ms); tick(); }
  void finish() const { player->Finish(); tick(); }
  // The slider's knob dragged to `value` and let go.
  void drag(int value) const {
    slider()->setSliderDown(true);
    slider()->setValue(value);
    slider()->setSliderDown(false);
  }
  // The player's calls since the last look.
  QStringList newCalls() {
    QStringList calls;
    for (; seenCalls < player->calls.size(); ++seenCalls)
      calls << QString::fromStdString(player->calls[seenCalls]);
    return calls;
  }

  // What a control shows: a box's text, a combo box's current text, a label's text.
  QString text(const QString& name) const {
    QObject* o = find<QObject>(name);
    if (auto* box = qobject_cast<QPlainTextEdit*>(o)) return box->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(o)) return combo->currentText();
    return o->property("text").toString();
  }
  QStringList texts(const QStringList& names) const {
    QStringList shown;
    for (const QString& name : names) shown << text(name);
    return shown;
  }
  QStringList parts() const { return texts({"Text1_0", "Text1_1", "Text1_2", "Text1_3"}); }
  // Whether a check box or a menu item is checked.
  bool on(const QString& name) const { return find<QObject>(name)->property("checked").toBool(); }
  QList<bool> octaves() const {
    return {on("mnuMIDIOCT_0"), on("mnuMIDIOCT_1"), on("mnuMIDIOCT_2")};
  }
  bool playing() const { return timer()->isActive() && mode() == "PLAYING"; }
  // Nothing playing: the timer rests and the knob is back at the start (the slider keeps
  // the length of the song last played).
  bool rested() const { return !timer()->isActive() && slider()->value() == 0; }

  // Puts values into controls as the program would, without typing.
  void set(const QList<QPair<QString, QString>>& values) const {
    for (const auto& [name, value] : values) {
      QObject* o = find<QObject>(name);
      if (auto* box = qobject_cast<QPlainTextEdit*>(o)) {
        box->setPlainText(value);
      } else if (auto* combo = qobject_cast<QComboBox*>(o)) {
        combo->isEditable() ? combo->setEditText(value) : combo->setCurrentText(value);
      } else if (auto* check = qobject_cast<QCheckBox*>(o)) {
        check->setChecked(value == "1");
      } else {
        o->setProperty("text", value);
      }
    }
  }

  void trigger(const QString& action) const { find<QAction>(action)->trigger(); }
  // Answers a file dialog with a file of this folder, then runs the action.
  void triggerWithFile(const QString& action, const QString& name) {
    prompts.files.append(path(name));
    trigger(action);
  }
  // Runs an action whose file dialog the user cancels.
  void cancelDialogOf(const QString& action) {
    prompts.files = {""};
    trigger(action);
  }
  // Runs an action answering No to the question about unsaved changes.
  void triggerAnsweringNo(const QString& name) { prompts.answers = {Answer::No}, trigger(name); }
  // Opens a file as a drop or the command line does, answering No to the question about
  // unsaved changes, which the test expects.
  void openAnsweringNo(const QString& file) {
    prompts.answers = {Answer::No};
    window->OpenPath(file);
  }
  // The last message shown, as "Error: text", "Information: text" or "Warning: text".
  QString lastMessage() const {
    if (prompts.messages.isEmpty()) return "(none)";
    const char* kinds[] = {"Error: ", "Information: ", "Warning: "};
    return kinds[int(prompts.messages.last().kind)] + prompts.messages.last().text;
  }

  QTemporaryDir dir;
  ScriptedPrompts prompts;
  WindowEnvironment env;
  testing::FakePlayer* player = nullptr;  // the player the window made, once it did
  int playersMade = 0;
  std::optional<Diagnostic> playerFailure;  // makes the player factory fail
  std::size_t seenCalls = 0;
  std::unique_ptr<MainWindow> window;
};

}  // namespace chwr::gui

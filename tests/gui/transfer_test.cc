// The memory-dial transfer from the menus: its settings dialog, and whole transfers into
// the fake data-link program on a virtual X server of the test's own (the window itself
// stays offscreen); the script's fixed waits are handed to the test, which records them.

#include <signal.h>

#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "gui_test.h"
#include "link_record.h"
#include "platform_messages.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

const QString kExeWrong = "Error: 起動EXE指定が間違っている可能性があります。";
const QString kMddWrong = "Error: MDDﾌｧｲﾙ指定が間違っている可能性があります。";
const QString kStartFailed = QString("Error: ") + msg::kLinkStartFailed;

// Answers each settings dialog as it opens, in turn; one nobody expected is just closed.
class Form8Answers {
 public:
  explicit Form8Answers(QList<std::function<void(QDialog&)>> answers = {})
      : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog || dialog->objectName() != "Form8") return;
      ++shown;
      if (answers_.isEmpty()) {
        dialog->close();
      } else {
        answers_.takeFirst()(*dialog);
      }
    });
    timer_.start(0);
  }
  int shown = 0;

 private:
  QList<std::function<void(QDialog&)>> answers_;
  QTimer timer_;
};

QByteArray TransferIni(const QString& exe, const QString& file) {
  return ("[N003]\r\nEXE=" + exe + "\r\nFILE=" + file + "\r\n").toUtf8();
}

bool Alive(const QStringList& record) {
  for (const QString& line : record) {
    if (line.startsWith("pid ")) return ::kill(line.mid(4).toInt(), 0) == 0;
  }
  return false;
}

}  // namespace

class TransferTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void settingsDialogKeepsBothPathsWheneverItCloses();
  void transferTypesTheScriptAndEndsTheProgram();
  void escapeOrClosingTheEditorStopsTheTransfer();
  void refusalsStartNothing();

 private:
  // A window whose transfer types on the test's X server; the script's waits go to
  // `waited` and then to `onWait`.
  std::unique_ptr<Harness> Window(const QByteArray& ini) {
    return std::make_unique<Harness>(ini, [this](WindowEnvironment& env) {
      env.transfer.display = xvfb_->display().toStdString();
      env.transfer.wait = [this](double seconds) {
        waited_ << seconds;
        if (onWait_) onWait_();
      };
    });
  }

  std::unique_ptr<testing::XvfbServer> xvfb_;
  QList<double> waited_;
  std::function<void()> onWait_;
};

void TransferTest::initTestCase() {
  xvfb_ = std::make_unique<testing::XvfbServer>();
  if (xvfb_->display().isEmpty()) QSKIP("Xvfb is not installed");
}

void TransferTest::settingsDialogKeepsBothPathsWheneverItCloses() {
  Harness h;
  h.prompts.files = {"/opt/link/datalink", "/home/u/phone.mdd"};
  QStringList captions;
  Form8Answers answers(
      {[&](QDialog& d) {
         captions << d.windowTitle();
         for (const char* name : {"Label1", "cmdAPPNAME", "Label2", "cmdMDDNAME", "Command2"})
           captions << In(&d, name)->property("text").toString();
         In<QPushButton>(&d, "cmdAPPNAME")->click();
         In<QPushButton>(&d, "cmdMDDNAME")->click();
         QTest::keyClick(&d, Qt::Key_Escape);
       },
       [&](QDialog& d) {
         captions << In(&d, "txtAPPNAME")->property("text").toString()
                  << In(&d, "txtMDDNAME")->property("text").toString();
         In<QPushButton>(&d, "Command2")->click();
       }});
  h.trigger("mnuN003SETTING");
  QCOMPARE(ReadAll(h.path("chwr.ini")),
           QByteArray("[N003]\r\nEXE=/opt/link/datalink\r\nFILE=/home/u/phone.mdd\r\n"));
  h.trigger("mnuN003SETTING");
  QCOMPARE(answers.shown, 2);
  QCOMPARE(captions,
           QStringList({"N003,N004自動実行設定", "起動EXE指定", "参照(&E)", "MDDﾌｧｲﾙ指定",
                        "参照(&M)", "閉じる", "/opt/link/datalink", "/home/u/phone.mdd"}));
  QCOMPARE(h.prompts.dialogs.size(), 2);
  QCOMPARE(Entries(h.prompts.dialogs[0].dialog), QStringList({"Exe File(*.exe)", "*.exe", "", ""}));
  QCOMPARE(Entries(h.prompts.dialogs[1].dialog), QStringList({"Mdd File(*.mdd)", "*.mdd", "", ""}));
}

void TransferTest::transferTypesTheScriptAndEndsTheProgram() {
  QTemporaryDir dir;
  const QString mdd = dir.filePath("phone book.mdd");
  WriteAll(mdd, "");
  auto h = Window(TransferIni(CHWR_FAKE_LINK, mdd));
  QVERIFY(QDir(h->dir.path()).mkdir("my songs"));
  const QString mld = h->path("my songs/ﾒﾛﾃﾞｨｰ +%(1).mld");
  h->set({{"Text1_0", "L8 CDE"}});
  QStringList during;
  onWait_ = [&] {
    during << h->text("stsBAR_panel1")
           << QString::number(h->find<QAction>("mnuN003EXEC")->isEnabled());
  };
  h->prompts.files = {mld};
  h->trigger("mnuN003EXEC");

  const QStringList record = testing::RecordOf(mdd);
  QVERIFY(!record.isEmpty());
  QCOMPARE(record.first(), "args 1 " + mdd);
  QCOMPARE(record.last(), QString("closed"));
  QVERIFY(!Alive(record));
  // The script's keys have the key driver's tests; here it types this song's path.
  QCOMPARE(testing::TypedTexts(testing::KeysRecorded(record)),
           QStringList({"o", " ", h->path("my songs"), "ﾒﾛﾃﾞｨｰ +%(1).mld", "o"}));
  QVERIFY(ReadAll(mld).startsWith("melo"));
  QCOMPARE(waited_, QList<double>({0.4, 0.3}));
  const QString running = "ﾃﾞｰﾀﾘﾝｸｿﾌﾄを操作しています。Escｷｰで中止します。";
  QCOMPARE(during, QStringList({running, "0", running, "0"}));
  QCOMPARE(h->text("stsBAR_panel1"), QString());
  QVERIFY(h->find<QAction>("mnuN003EXEC")->isEnabled());
  QCOMPARE(h->prompts.messages.size(), 0);
  onWait_ = nullptr;
  waited_.clear();
}

void TransferTest::escapeOrClosingTheEditorStopsTheTransfer() {
  QTemporaryDir dir;
  const QString mdd = dir.filePath("phone.mdd");
  WriteAll(mdd, "");
  for (const bool byClosing : {false, true}) {
    auto h = Window(TransferIni(CHWR_FAKE_LINK, mdd));
    onWait_ = [&] {
      // Stopped once the program has had its first keys.
      QVERIFY(testing::WaitUntil([&] { return testing::RecordOf(mdd).size() > 2; }));
      if (!byClosing) {
        QTest::keyClick(h->window.get(), Qt::Key_Escape);
        return;
      }
      h->prompts.answers = {Answer::No};
      h->window->close();
    };
    h->prompts.files = {h->path("a.mld")};
    h->trigger("mnuN003EXEC");
    const QStringList record = testing::RecordOf(mdd);
    QVERIFY(record.size() > 2);
    QVERIFY(record.last() != "closed");
    QVERIFY(!Alive(record));
    QCOMPARE(waited_.size(), 1);
    QCOMPARE(h->window->isVisible(), !byClosing);
    QVERIFY(h->find<QAction>("mnuN003EXEC")->isEnabled());
    onWait_ = nullptr;
    waited_.clear();
  }
}

// Each refusal says why (or nothing, when the user cancelled) and leaves no program
// running: the fake would have written its record.
void TransferTest::refusalsStartNothing() {
  QTemporaryDir dir;
  const QString mdd = dir.filePath("phone.mdd");
  const QString exe = dir.filePath("link.exe");
  WriteAll(mdd, "");
  WriteAll(exe, "");
  const QString quits = QStandardPaths::findExecutable("true");
  const struct {
    const char* name;
    QString exe, file;
    QStringList files;  // the MLD save dialog's answer
    int form8;          // settings dialogs shown
    QString message;
    QString detail;
  } cases[] = {
      {"empty paths", "", "", {}, 3, kExeWrong, ""},
      {"no program", dir.filePath("missing"), mdd, {}, 1, kExeWrong, ""},
      {"no phone book", CHWR_FAKE_LINK, dir.filePath("x.mdd"), {}, 1, kMddWrong, ""},
      {"save cancelled", CHWR_FAKE_LINK, mdd, {""}, 0, "(none)", ""},
      {"exits at once",
       quits,
       mdd,
       {dir.filePath("a.mld")},
       1,
       kStartFailed,
       QString::fromStdString(msg::LinkEnded(0))},
      {"exe without Wine", exe, mdd, {dir.filePath("b.mld")}, 1, kStartFailed, msg::kWineMissing},
  };
  const QByteArray path = qgetenv("PATH");
  for (const auto& c : cases) {
    auto h = Window(TransferIni(c.exe, c.file));
    h->prompts.files = c.files;
    Form8Answers answers;
    qputenv("PATH", dir.path().toUtf8());
    h->trigger("mnuN003EXEC");
    qputenv("PATH", path);
    QVERIFY2(answers.shown == c.form8, c.name);
    QVERIFY2(h->lastMessage() == c.message, qPrintable(c.name + (": " + h->lastMessage())));
    if (!c.detail.isEmpty()) QCOMPARE(h->prompts.messages.last().detail, c.detail);
    QVERIFY2(h->prompts.messages.size() <= 1, c.name);
    QVERIFY2(testing::RecordOf(mdd).isEmpty(), c.name);
  }
  // Without X the one message is all: no dialog, no file, no program.
  Harness h(TransferIni(CHWR_FAKE_LINK, mdd),
            [](WindowEnvironment& env) { env.transfer.display = ":4095"; });
  Form8Answers answers;
  h.trigger("mnuN003EXEC");
  QCOMPARE(h.lastMessage(), QString("Error: ") + msg::kTransferNeedsX11);
  QCOMPARE(answers.shown + h.prompts.dialogs.size() + h.prompts.messages.size(), 1);
}

CHWR_GUI_TEST(TransferTest)
}  // namespace chwr::gui

#include "transfer_test.moc"

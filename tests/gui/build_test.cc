// The build commands of the main window: the MLD, SMD and MIDI files, the melody mail,
// the MIDI menus, and compile errors and warnings shown where the user looks. What the
// files hold has the core's tests; these prove each command reaches them and shows what
// came back.

#include <QtTest>
#include <QtWidgets>

#include "gui_test.h"
#include "window_harness.h"
#include "main_window/elided_label.h"

namespace chwr::gui {
class BuildTest : public QObject {
  Q_OBJECT

 private slots:
  void compileErrorSelectsTheOffendingText();
  void extraToneValuesWarnAndSelectTheDefinition();
  void buildCommandsWriteMldMidiAndMail();
  void smdCommandSaysWhatTheFileCannotHold();
  void midiMenusChangeTheMidiFile();
  void buildWarningsShowOncePerCommand();
  void sizeReportIsElidedWithTheWholeTextAsTip();
};

void BuildTest::compileErrorSelectsTheOffendingText() {
  Harness h;
  // The same text on an earlier line (a comment) is not the one the message means.
  const QString text = "' o7 is too high\ncde\nab o7c";
  h.set({{"Text1_0", "L8 CDE"}, {"Text1_1", text}});
  QGuiApplication::clipboard()->setText("untouched");
  for (const char* command : {"mnuMLD", "mnuMAIL", "PLAY", "mnuMIDIMAKE"}) {
    h.tabs()->setCurrentIndex(3);
    h.part(1)->moveCursor(QTextCursor::Start);
    h.trigger(command);
    QCOMPARE(h.tabs()->currentIndex(), 1);
    QCOMPARE(h.part(1)->textCursor().selectedText(), QString("o7"));
    QCOMPARE(h.part(1)->textCursor().selectionStart(), text.lastIndexOf("o7"));
    QCOMPARE(h.lastMessage(), QString("Error: ﾊﾟｰﾄ2 (3行目) に(O命令)構文ｴﾗｰがあります。"));
  }
  // Nothing was built, asked, copied or played.
  QCOMPARE(h.prompts.messages.size(), 4);
  QVERIFY(h.prompts.dialogs.isEmpty());
  QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));
  QCOMPARE(h.texts({"txtMAIL", "stsBAR_panel3"}), QStringList({"", kInitialReport}));
  QVERIFY(h.window->player() == nullptr);
}

void BuildTest::extraToneValuesWarnAndSelectTheDefinition() {
  Harness h;
  h.set({{"Text1_2", "C4\n@{1,0,15,7,4,2,0,20,0,0,5,\n1,1,15,7,4,2,0,0,0,0,0,3,9,9}C4"}});
  h.tabs()->setCurrentIndex(0);
  h.prompts.files = {""};  // the save dialog is cancelled
  h.trigger("mnuMLD");
  QCOMPARE(
      h.lastMessage(),
      QString("Warning: ﾊﾟｰﾄ3 (2行目) の音色定義は数値が25個あります。24個目からは使われません。"));
  QCOMPARE(h.tabs()->currentIndex(), 2);
  QCOMPARE(h.part(2)->textCursor().selectedText(), QString("@{"));
  // The song was built all the same: the save dialog came after the warning.
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog).first(), QString("Mld File(*.mld)"));
}

void BuildTest::buildCommandsWriteMldMidiAndMail() {
  Harness h;
  WriteAll(h.path("Tune.txt"),
           SongFile({"qrv", "Mail", "@120", "B", "A", "B", "A", "40", "A", "L8 O4 CDEFGAB",
                     "L4 O3 CEG", "", "0", "", " 1 ", "B", "A", ""}));
  h.window->OpenPath(h.path("Tune.txt"));

  // The dialogs propose the song's own name, in lower case; the report (its form has the
  // core's tests) gives the size of the file written.
  h.triggerWithFile("MLD", "out");
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Mld File(*.mld)", "*.mld", h.path("tune.mld"), ".mld"}));
  const QByteArray mld = ReadAll(h.path("out.mld"));
  QVERIFY(mld.startsWith("melo"));
  QVERIFY2(h.text("stsBAR_panel3").startsWith(QString("%1ﾊﾞｲﾄ  ").arg(mld.size())),
           qPrintable(h.text("stsBAR_panel3")));

  h.triggerWithFile("mnuMIDIMAKE", "out");
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Midi File(*.mid)", "*.mid", h.path("tune.mid"), ".mid"}));
  QVERIFY(ReadAll(h.path("out.mid")).startsWith("MThd"));
  QVERIFY(h.prompts.messages.isEmpty());

  // Melody mail: marker, line break, base64 of the image, on the clipboard and in the box.
  h.trigger("MAIL");
  const QString mail = QGuiApplication::clipboard()->text();
  QCOMPARE(mail, "--B:M\r\n" + mld.toBase64());
  QCOMPARE(h.text("txtMAIL"), mail);
  QCOMPARE(h.lastMessage(), "Information: " + QString::fromStdString(msg::MailSaved(mail.size())));

  // Reading it back gives an untitled song (the mail's round trip has the core's tests).
  h.triggerAnsweringNo("mnuNEW");
  QGuiApplication::clipboard()->setText(mail + "\r\n");
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.texts({"Text3", "Combo2_1"}), QStringList({"Mail", "40"}));
  QCOMPARE(h.caption(), kUntitled);
  QVERIFY(!h.window->modified());

  // With unsaved changes the clipboard read asks first.
  QTest::keyClicks(h.find("Text3"), "!");
  h.prompts.answers = {Answer::Cancel};
  h.trigger("mnuCLIPREAD");
  QCOMPARE(h.prompts.questions.last(), kDiscardQuestion);
  QCOMPARE(h.text("Text3"), QString("Mail!"));

  // The SMD file: what SMD cannot express in one warning box, then the file beside the song.
  h.set({{"Text1_0", "O4C4 O1C4 C*36"}, {"Text1_1", ""}});
  const int shown = h.prompts.messages.size();
  h.triggerWithFile("mnuMAKESMD", "out");
  QCOMPARE(h.prompts.messages.size(), shown + 1);
  QCOMPARE(h.lastMessage(),
           QString("Warning: ") + msg::kSmdOutOfRange + "\r\n\r\n" + msg::kSmdLengthApproximated);
  QCOMPARE(Entries(h.prompts.dialogs.last().dialog),
           QStringList({"Smd File(*.smd)", "*.smd", "無題.smd", ".smd"}));  // read from mail
  QCOMPARE(ReadAll(h.path("out.smd")), QByteArray("\x1B$Df%%\x0F"));
  // The next SMD dialog offers the file just written.
  h.cancelDialogOf("mnuMAKESMD");
  QCOMPARE(h.prompts.dialogs.last().dialog.initialName, h.path("out.smd"));
}

// What stops the SMD build stops its save dialog too; the texts have the core's tests.
void BuildTest::smdCommandSaysWhatTheFileCannotHold() {
  Harness h;
  // A part longer than a song may be: the refusal, and no save dialog.
  QString whole;
  for (int i = 0; i < 261; ++i) whole += "C1";
  h.set({{"Text1_0", "C4"}, {"Text1_2", whole}, {"Text5", "120"}});
  const int dialogs = h.prompts.dialogs.size();
  h.trigger("mnuMAKESMD");
  QVERIFY(h.lastMessage().startsWith("Error: ﾊﾟｰﾄ3 のｽﾃｯﾌﾟ数(50112)"));
  QCOMPARE(h.prompts.dialogs.size(), dialogs);

  // A song without a note or rest: the warning, and no save dialog.
  h.set({{"Text1_0", "V10"}, {"Text1_2", ""}});
  h.trigger("mnuMAKESMD");
  QCOMPARE(h.lastMessage(), QString("Warning: ") + msg::kSmdNothingToWrite);
  QCOMPARE(h.prompts.dialogs.size(), dialogs);
}

void BuildTest::midiMenusChangeTheMidiFile() {
  Harness h;
  h.set({{"Text1_0", "L8 O4 CDEFGAB"}, {"Text1_1", "L4 O3 CEG"}});
  int made = 0;
  auto midiFile = [&h, &made] {
    const QString name = QString("%1.mid").arg(++made);
    h.triggerWithFile("mnuMIDIMAKE", name);
    return ReadAll(h.path(name));
  };
  // The octave menu moves every key by an octave: the first difference is 12.
  auto firstDifference = [](const QByteArray& a, const QByteArray& b) {
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
      if (a[i] != b[i]) return quint8(a[i]) - quint8(b[i]);
    }
    return 0;
  };
  // Without a settings file the octave is normal and repeat off: each menu below changes
  // the file one way from there.
  const QByteArray normal = midiFile();
  QCOMPARE(normal.count("MTrk"), 3);
  h.trigger("mnuMIDIOCT_0");
  QCOMPARE(h.octaves(), QList<bool>({true, false, false}));
  QCOMPARE(firstDifference(midiFile(), normal), 12);
  h.trigger("mnuMIDIOCT_2");
  QCOMPARE(firstDifference(normal, midiFile()), 12);
  h.trigger("mnuMIDIOCT_1");
  QCOMPARE(midiFile(), normal);

  // Repeat plays every track's events twice.
  h.trigger("mnuMIDIREPEAT");
  QVERIFY(midiFile().size() > normal.size() + 20);
  h.trigger("mnuMIDIREPEAT");
  QCOMPARE(midiFile(), normal);

  // A muted part has no track.
  h.set({{"Check1_1", "1"}});
  QCOMPARE(midiFile().count("MTrk"), 2);
}

void BuildTest::buildWarningsShowOncePerCommand() {
  Harness h;
  h.set({{"Text5", "300"}, {"Text1_0", kLongSong}});
  const QString warning = "ﾃﾝﾎﾟ 300 は MLD では 44 になります。1～255で指定して下さい。";
  // Each command builds once and warns once; the warning stops nothing.
  const QList<QPair<QString, QString>> commands = {
      {"mnuMLD", "t.mld"}, {"mnuMIDIMAKE", "t.mid"}, {"mnuMAIL", ""}, {"mnuPLAY", ""}};
  for (const auto& [command, file] : commands) {
    const qsizetype before = h.prompts.messages.size();
    file.isEmpty() ? h.trigger(command) : h.triggerWithFile(command, file);
    QStringList warnings;
    for (const auto& m : h.prompts.messages.mid(before)) {
      if (m.kind == DiagnosticKind::Warning) warnings << m.text;
    }
    QCOMPARE(warnings, QStringList({warning}));
    if (!file.isEmpty()) QVERIFY(QFile::exists(h.path(file)));
  }
  QVERIFY(h.playing());
  QVERIFY(!h.text("txtMAIL").isEmpty());
  QCOMPARE(h.text("Text5"), QString("300"));
}

void BuildTest::sizeReportIsElidedWithTheWholeTextAsTip() {
  Harness h;
  h.set({{"Text1_0", "O4 C D E F"},
         {"Text1_1", "O3 G A B"},
         {"Text1_2", "O5 C C"},
         {"Text1_3", "O2 E"}});
  h.triggerWithFile("mnuMLD", "four.mld");
  auto* report = h.find<ElidedLabel>("stsBAR_panel3");
  const QString whole = report->text();
  QVERIFY2(whole.contains("ﾊﾟｰﾄ4："), qPrintable(whole));
  QCOMPARE(report->toolTip(), whole);

  h.window->resize(1, 1);  // the smallest the window lets itself be
  QCoreApplication::sendPostedEvents();
  QVERIFY(report->width() < report->fontMetrics().horizontalAdvance(whole));
  const QString shown = report->shownText();
  QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
  QVERIFY(whole.startsWith(shown.chopped(1)));
  QCOMPARE(report->toolTip(), whole);

  // A new song's first text is as whole in the tip.
  h.triggerAnsweringNo("mnuNEW");
  QCOMPARE(report->toolTip(), kInitialReport);
}

CHWR_GUI_TEST(BuildTest)

}  // namespace chwr::gui

#include "build_test.moc"

#include "main_window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "convert/open_song.h"
#include "import_dialog/import_dialog.h"
#include "io/file_io.h"
#include "main_window/actions.h"
#include "main_window/command_line.h"
#include "main_window/elided_label.h"
#include "main_window/feedback.h"
#include "main_window/heard_notes.h"
#include "main_window/help_window.h"
#include "main_window/live_check.h"
#include "main_window/mml_highlighter.h"
#include "main_window/part_page.h"
#include "main_window/position_slider.h"
#include "main_window/recent_files.h"
#include "main_window/song_form.h"
#include "mml/event_time.h"
#include "shared/paste_guard.h"
#include "score/score_read.h"
#include "score_editor/score_editor.h"
#include "shared/box_text.h"
#include "shared/drop_guard.h"
#include "shared/gui_messages.h"
#include "shared/paste_guard.h"
#include "shared/window_placement.h"
#include "song/choices.h"
#include "tone_editor/tone_editor.h"

namespace chwr::gui {
namespace {

constexpr const char* kInitialReport = "MLDﾌｧｲﾙｻｲｽﾞ (ﾊﾟｰﾄ：ｽﾃｯﾌﾟ数 最低音～最高音)";

constexpr ToolbarButton kToolbar[] = {
    {"NEW", "mnuNEW", QStyle::SP_FileIcon, "新規"},
    {"READ", "mnuREAD", QStyle::SP_DialogOpenButton, "開く"},
    {"SAVE", "mnuSAVE", QStyle::SP_DialogSaveButton, "保存"},
    {"MLD", "mnuMLD", QStyle::SP_DriveFDIcon, "MLD"},
    {"MAIL", "mnuMAIL", QStyle::SP_MessageBoxInformation, "ﾒｰﾙ"},
    {"SCO", "mnuSCO", QStyle::SP_FileDialogDetailedView, "楽譜"},
    {"PLAY", "mnuPLAY", QStyle::SP_MediaPlay, "再生"},
    {"STOP", "mnuSTOP", QStyle::SP_MediaStop, "停止"},
};

}  // namespace

MainWindow::MainWindow(WindowEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)) {
  setObjectName("Form2");
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  form_ = new SongForm(central);
  layout->addWidget(form_, 1);
  layout->addWidget(BuildPlayFrame());
  txtMail_ = new QLineEdit(central);
  txtMail_->setObjectName("txtMAIL");
  txtMail_->setToolTip("メールに貼り付けて下さい。");
  InstallPasteGuard(txtMail_);
  GuardDrops(txtMail_, false);
  layout->addWidget(txtMail_);
  setCentralWidget(central);
  // After the song, the playback row and the mail box, as they stand below it.
  const QList<QWidget*> order = {form_->lastTabStop(), midi_.doubleSpeed, midi_.toneCombo, slider_,
                                 txtMail_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  BuildStatusBar();

  feedback_ = std::make_unique<Feedback>(*env_.prompts, this, *form_);
  form_->setAskOkCancel(
      [this](const QString& text) { return env_.prompts->AskOkCancel(this, text); });
  BuildCommandTable();
  files_ = std::make_unique<FileCommands>(*form_, *feedback_, this);
  builds_ = std::make_unique<BuildCommands>(*form_, *files_, midi_, *feedback_, this);
  playback_ = std::make_unique<PlaybackController>(*builds_, *feedback_, env_.makePlayer,
                                                   env_.playbackFile, slider_, midi_, this);
  recent_ = std::make_unique<RecentFiles>(menuBar()->findChild<QMenu*>("mnuRECENT"),
                                          [this](const QString& path) { files_->OpenPath(path); });
  transfer_ = std::make_unique<MemoryDialTransfer>(env_.transfer, env_.settings, *builds_,
                                                   *feedback_, this);
  // While the transfer drives the data-link program, the editor says so and how to stop.
  connect(transfer_.get(), &MemoryDialTransfer::runningChanged, this, [this](bool running) {
    statusBar()->findChild<QLabel*>("stsBAR_panel1")->setText(running ? kTransferRunning : "");
    actions_->find("mnuN003EXEC")->setEnabled(!running);
  });
  connect(files_.get(), &FileCommands::captionChanged, this, &QWidget::setWindowTitle);
  connect(form_, &SongForm::modifiedChanged, this, &QWidget::setWindowModified);
  // A change typed into the mail box counts as an edit too, as in any box of the window.
  connect(txtMail_, &QLineEdit::textEdited, form_, [this] { form_->setModified(true); });
  connect(files_.get(), &FileCommands::songReplaced, this, [this] {
    ShowSizeReport(kInitialReport, {});
    txtMail_->clear();
  });
  connect(files_.get(), &FileCommands::fileUsed, recent_.get(), &RecentFiles::add);
  connect(builds_.get(), &BuildCommands::sizeReported, this, &MainWindow::ShowSizeReport);
  live_ = std::make_unique<LiveCheck>(*form_, statusBar()->findChild<QLabel*>("stsBAR_panel2"));
  connect(live_.get(), &LiveCheck::sizeReported, this, &MainWindow::ShowSizeReport);
  for (int part = 0; part < 4; ++part) {
    highlighters_[part] = new MmlHighlighter(form_->page(part)->mmlBox());
  }
  heard_ = std::make_unique<HeardNotes>(*form_);
  connect(playback_.get(), &PlaybackController::songStarted, heard_.get(), &HeardNotes::SongStarted);
  connect(playback_.get(), &PlaybackController::songHeard, heard_.get(), &HeardNotes::Heard);
  connect(builds_.get(), &BuildCommands::mailMade, txtMail_, &QLineEdit::setText);
  connect(form_, &SongForm::fileDropped, files_.get(), &FileCommands::OpenPath);
  connect(files_.get(), &FileCommands::midiChosen, this, &MainWindow::ImportMidi);
  connect(form_, &SongForm::muteChanged, playback_.get(), &PlaybackController::SetPartMute);
  connect(builds_.get(), &BuildCommands::midiLengthKnown, playback_.get(),
          &PlaybackController::SongLengthKnown);
  connect(playback_.get(), &PlaybackController::notice,
          statusBar()->findChild<QLabel*>("stsBAR_panel1"), &QLabel::setText);

  ApplySettings(env_.settings.settings());
  setWindowTitle(files_->caption());
  PlaceOnScreen(env_.settings.settings().window);
  form_->setModified(false);
}

MainWindow::~MainWindow() = default;

// The frame "Frame1": how playback sounds, and where it is.
QWidget* MainWindow::BuildPlayFrame() {
  auto* frame1 = new QGroupBox;
  frame1->setObjectName("Frame1");
  auto* play = new QHBoxLayout(frame1);
  midi_.doubleSpeed = new QCheckBox("倍速再生", frame1);
  midi_.doubleSpeed->setObjectName("chkDOUBLE");
  midi_.toneCombo = new QComboBox(frame1);
  midi_.toneCombo->setObjectName("cmbTONE");
  midi_.toneCombo->setToolTip("ﾊﾟｰﾄ音色指定にA-Cを選択時、\nMIDI再生時の音色を選択");
  FillCombo(midi_.toneCombo, MidiToneItems());
  slider_ = new PositionSlider(frame1);
  slider_->setObjectName("Slider1");
  slider_->setToolTip("再生位置");
  play->addWidget(midi_.doubleSpeed);
  play->addWidget(midi_.toneCombo);
  play->addWidget(slider_, 1);
  return frame1;
}

void MainWindow::PlaceOnScreen(const std::optional<WindowPlace>& place) {
  QList<QRect> screens;
  if (const QScreen* main = QGuiApplication::primaryScreen()) {
    screens.append(main->availableGeometry());
  }
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != QGuiApplication::primaryScreen()) screens.append(screen->availableGeometry());
  }
  std::optional<QRect> stored;
  if (place) stored = QRect(place->left, place->top, place->width, place->height);
  setGeometry(PlaceWindow(stored, kDefaultWindowSize, minimumSizeHint(), screens));
  if (place && place->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::BuildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName("stsBAR");
  for (int i = 0; i < 2; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QString("stsBAR_panel%1").arg(i + 1));
    bar->addWidget(panel);
  }
  // At the window's smallest width the report of four parts is wider than the bar.
  sizeReport_ = kInitialReport;
  sizePanel_ = new ElidedLabel(sizeReport_, bar);
  sizePanel_->setObjectName("stsBAR_panel3");
  bar->addWidget(sizePanel_, 1);
  setStatusBar(bar);
}

void MainWindow::BuildCommandTable() {
  using K = ActionLine::Kind;
  // Without a browser the address is all the user can take away: it is shown to be copied.
  auto open = [this](const QString& address) {
    if (env_.prompts->OpenUrl(QUrl(address))) return;
    feedback_->Message(kNoBrowser, DiagnosticKind::Warning, address);
  };
  using Keys = QKeySequence;
  const ActionLine table[] = {
      {K::Menu, "mnuFILE", "ﾌｧｲﾙ(&F)"},
      {K::Item, "mnuNEW", "新規作成(&N)", [this] { files_->NewSong(); }, Keys::New},
      {K::Item, "mnuREAD", "開く(&O)", [this] { files_->OpenSong(); }, Keys::Open},
      {K::Item, "mnuSAVE", "上書き保存(&S)", [this] { files_->SaveSong(); }, Keys::Save},
      {K::Item, "mnuSAVENAME", "名前を付けて保存(&A)", [this] { files_->SaveSongAs(); },
       Keys::SaveAs},
      {K::Separator},
      {K::Menu, "mnuMAKE", "作成(&M)"},
      {K::Item, "mnuMLD", "MLDﾌｧｲﾙ作成(&M)", [this] { builds_->WriteMldFile(); }},
      {K::Item, "mnuMAIL", "ﾒﾛﾃﾞｨｰﾒｰﾙ作成(&L)", [this] { builds_->MakeMelodyMail(); }},
      {K::Item, "mnuMAKESMD", "SMDﾌｧｲﾙ作成(&S)", [this] { builds_->MakeSmdFile(); }},
      {K::Item, "mnuMIDIMAKE", "MIDIﾌｧｲﾙ作成(&N)", [this] { builds_->MakeMidiFile(); }},
      {K::End},
      {K::Separator},
      {K::Menu, "mnuRECENT", "最近使ったﾌｧｲﾙ(&R)"},
      {K::End},
      {K::Separator},
      {K::Item, "mnuEND", "終了(&X)", [this] { close(); }, Keys::Quit},
      {K::End},
      {K::Menu, "mnuSETTING", "機能(&S)"},
      {K::Item, "mnuSCO", "楽譜入力(&S)", [this] { ShowScoreEditor(); }},
      {K::Item, "mnuSHTONE", "音色入力(&T)", [this] { ShowToneEditor(); }},
      {K::Item, "mnuCLIPREAD", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞ読込み(&C)",
       [this] { builds_->ReadMailFromClipboard(); }},
      {K::Menu, "mnuN003", "N003,N004自動実行(&N)"},
      {K::Item, "mnuN003EXEC", "実行(&E)", [this] { transfer_->RunMemoryDialTransfer(); }},
      {K::Item, "mnuN003SETTING", "設定(&S)", [this] { transfer_->ShowSettings(); }},
      {K::End},
      {K::Item, "mnuFONT", "ﾌｫﾝﾄ設定(&F)", [this] { ChooseFont(); }},
      {K::End},
      {K::Menu, "mnuSAMPLE", "演奏(&P)"},
      {K::Item, "mnuPLAY", "再生(&P)", [this] { playback_->Play(); }},
      {K::Item, "mnuPLAYCARET", "ｶｰｿﾙ位置から再生(&C)", [this] { PlayFromCaret(); }},
      {K::Item, "mnuSTOP", "停止(&S)", [this] { playback_->Stop(); }},
      {K::Item, "mnuINIT", "音源初期化(&I)", [this] { playback_->ResetSoundSource(); }},
      {K::Menu, "mnuMIDISETTING", "演奏設定(&M)"},
      {K::Toggle, "mnuMIDIREPEAT", "繰り返し(&R)"},
      {K::Menu, "mnuOCT", "ｵｸﾀｰﾌﾞ(&O)"},
      {K::Choice, "mnuMIDIOCT_0", "高い(&U)"},
      {K::Choice, "mnuMIDIOCT_1", "普通(&N)"},
      {K::Choice, "mnuMIDIOCT_2", "低い(&D)"},
      {K::End},
      {K::End},
      {K::End},
      {K::Menu, "mnuVIEW", "表示(&V)"},
      {K::Toggle, "mnuVIEWCHECK", "入力中のｴﾗｰ表示(&E)", [this] { ApplyView(); }},
      {K::Toggle, "mnuVIEWCOLOR", "MMLの色分け(&C)", [this] { ApplyView(); }},
      {K::Toggle, "mnuVIEWDRIFT", "ﾊﾟｰﾄ長のずれ表示(&D)", [this] { ApplyView(); }},
      {K::Toggle, "mnuVIEWPLAYING", "演奏中の音符表示(&P)", [this] { ApplyView(); }},
      {K::End},
      {K::Menu, "mnuVERSION", "ﾍﾙﾌﾟ(&H)"},
      {K::Item, "mnuHELP", "ﾍﾙﾌﾟ(&H)", [this] { ShowHelp(); }},
      {K::Item, "mnuVER", "ﾊﾞｰｼﾞｮﾝ情報(&V)", [this] { ShowAbout(); }},
      {K::Item, "mnuSAPORT", "ｻﾎﾟｰﾄﾍﾟｰｼﾞ(&S)", [open, this] { open(env_.supportUrl); }},
      {K::Item, "mnuIMODE", "i-modeﾍﾟｰｼﾞ(&I)", [open, this] { open(env_.imodeUrl); }},
      {K::End},
  };
  actions_ = std::make_unique<Actions>(table, menuBar(), this);
  QToolBar* toolbar = addToolBar("Toolbar1");
  toolbar->setObjectName("Toolbar1");
  toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  actions_->BuildToolbar(toolbar, kToolbar, style());
  midi_.repeat = actions_->find("mnuMIDIREPEAT");
  const char* octaves[] = {"mnuMIDIOCT_0", "mnuMIDIOCT_1", "mnuMIDIOCT_2"};
  for (int i = 0; i < 3; ++i) midi_.octave[i] = actions_->find(octaves[i]);
  midi_.octave[1]->setChecked(true);
  actions_->find("mnuPLAYCARET")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
}

// All parts from the moment in the song where the note under the caret starts. A song
// that does not compile plays from the start: the playback's own build says why.
void MainWindow::PlayFromCaret() {
  const int part = form_->currentPart();
  const QPlainTextEdit* box = form_->page(part)->mmlBox();
  // The caret as a place in the part's song text, whose line breaks are CR LF.
  const QString before = box->toPlainText().left(box->textCursor().position());
  const auto offset = static_cast<std::uint32_t>(before.toUcs4().size() + before.count('\n'));
  playback_->PlayFromStep(SongStepAtOffset(form_->currentSong(), part, offset));
}

void MainWindow::ApplyView() {
  live_->setEnabled(actions_->find("mnuVIEWCHECK")->isChecked());
  for (MmlHighlighter* h : highlighters_) h->setActive(actions_->find("mnuVIEWCOLOR")->isChecked());
  heard_->setEnabled(actions_->find("mnuVIEWPLAYING")->isChecked());
  // The report shown keeps its drift only while the user wants it.
  ShowSizeReport(sizeReport_, drift_);
}

void MainWindow::ShowSizeReport(const QString& report, const QString& drift) {
  sizeReport_ = report;
  drift_ = drift;
  sizePanel_->setText(actions_->find("mnuVIEWDRIFT")->isChecked() ? report + drift : report);
}

void MainWindow::ApplySettings(const Settings& s) {
  if (!s.fontName.empty()) {
    QFont font(Q(s.fontName));
    bool ok = false;
    const int size = static_cast<int>(Q(s.fontSize).toDouble(&ok));
    if (ok && size > 0) font.setPointSize(size);
    if (s.fontBold) font.setBold(*s.fontBold);
    if (s.fontItalic) font.setItalic(*s.fontItalic);
    if (s.fontStrikeout) font.setStrikeOut(*s.fontStrikeout);
    if (s.fontUnderline) font.setUnderline(*s.fontUnderline);
    form_->setMmlFont(font);
  }
  actions_->find("mnuVIEWCHECK")->setChecked(s.view.check);
  actions_->find("mnuVIEWCOLOR")->setChecked(s.view.colors);
  actions_->find("mnuVIEWDRIFT")->setChecked(s.view.drift);
  actions_->find("mnuVIEWPLAYING")->setChecked(s.view.playing);
  ApplyView();
  midi_.repeat->setChecked(s.repeatOn);
  midi_.octave[std::clamp(s.octaveChoice, 0, 2)]->setChecked(true);
  files_->setFolder(Q(s.folder));
  QStringList recent;
  for (const std::string& path : s.recentFiles) recent.append(Q(path));
  recent_->setPaths(recent);
}

Settings MainWindow::currentSettings() const {
  Settings s = env_.settings.settings();
  const QFont font = form_->mmlFont();
  if (font != QApplication::font()) {
    s.fontName = S(font.family());
    const double size = font.pointSizeF();
    s.fontSize = size == std::floor(size) ? std::to_string(static_cast<int>(size))
                                          : S(QString::number(size));
    s.fontBold = font.bold();
    s.fontItalic = font.italic();
    s.fontStrikeout = font.strikeOut();
    s.fontUnderline = font.underline();
  }
  s.view = {actions_->find("mnuVIEWCHECK")->isChecked(), actions_->find("mnuVIEWCOLOR")->isChecked(),
            actions_->find("mnuVIEWDRIFT")->isChecked(), actions_->find("mnuVIEWPLAYING")->isChecked()};
  s.repeatOn = midi_.repeat->isChecked();
  for (int i = 0; i < 3; ++i) {
    if (midi_.octave[i]->isChecked()) s.octaveChoice = i;
  }
  s.folder = S(files_->folder());
  const QRect inside = normalGeometry();
  s.window = WindowPlace{inside.x(), inside.y(), inside.width(), inside.height(), isMaximized()};
  s.recentFiles.clear();
  for (const QString& path : recent_->paths()) s.recentFiles.push_back(S(path));
  return s;
}

SongDocument MainWindow::currentSong() const {
  return form_->currentSong();
}

void MainWindow::OpenPath(const QString& path) {
  files_->OpenPath(path);
}

void MainWindow::OpenCommandLine(const QStringList& arguments, const QString& startFolder) {
  const CommandLineRequest request = ReadCommandLine(arguments, startFolder);
  if (!request.warning.isEmpty()) feedback_->Message(request.warning, DiagnosticKind::Warning);
  if (!request.path.isEmpty()) files_->OpenPath(request.path);
}

void MainWindow::NewSong() {
  files_->NewSong();
}

bool MainWindow::modified() const {
  return form_->modified();
}

QString MainWindow::documentPath() const {
  return files_->documentPath();
}

MidiPlayer* MainWindow::player() const {
  return playback_->player();
}

void MainWindow::ChooseFont() {
  if (auto font = env_.prompts->ChooseFont(this, form_->mmlFont())) form_->setMmlFont(*font);
}

void MainWindow::ShowHelp() {
  // A page that is not there is reported, whoever would have shown it.
  if (auto page = ReadFileBytes(env_.helpPage); !page) {
    feedback_->ShowDiagnostic(page.error());
    return;
  }
  const QString path = Q(env_.helpPage.string());
  if (env_.prompts->OpenUrl(QUrl::fromLocalFile(path))) return;
  // No browser took it: the program shows the page itself.
  if (!help_) help_ = new HelpWindow(this);
  help_->ShowPage(path);
}

void MainWindow::ShowAbout() {
  QMessageBox::about(this, "ﾊﾞｰｼﾞｮﾝ情報",
                     QString("<b>%1</b><p>i-mode着信ﾒﾛﾃﾞｨｰ作成ｴﾃﾞｨﾀ</p>"
                             "<p><a href=\"%2\">ｻﾎﾟｰﾄﾍﾟｰｼﾞ</a></p>")
                         .arg(kProductCaption, env_.supportUrl));
}

void MainWindow::ShowToneEditor() {
  if (!tone_) tone_ = std::make_unique<ToneEditor>();
  tone_->ShowBeside(this);
}

// The score editor opens on the cells of the part whose tab is selected, compiled from its
// selection when it has one. Open, it is only raised: the user's cells are never replaced
// behind their back.
void MainWindow::ShowScoreEditor() {
  if (score_ && score_->isVisible()) {
    score_->ShowBeside(this);
    return;
  }
  auto built = builds_->Build({.selectionOnly = true});
  if (!built) return;
  const SongDocument song = form_->currentSong();
  const ScoreReading reading =
      ReadCompiledPart(built->compiled.parts[form_->currentPart()], song.resolution);
  if (!score_) {
    ScoreEditorLinks links{env_.prompts, playback_.get(),
                           [this] { return form_->currentSong().resolution; }};
    score_ = std::make_unique<ScoreEditor>(std::move(links));
    connect(score_.get(), &ScoreEditor::closed, this, [this](const QString& tempo, int tone) {
      scoreTempo_ = tempo;
      env_.settings.setScoreOptions({std::to_string(tone)});
    });
  }
  bool ok = false;
  const int tone = Q(env_.settings.scoreOptions().tone).trimmed().toInt(&ok);
  score_->Open(reading, scoreTempo_.value_or(Q(song.tempo)), ok ? tone : 0);
  score_->ShowBeside(this);
}

// A MIDI file is handed to the import dialog when its header is one. Until the dialog
// converts, the song stays the user's: its text, its file, its unsaved changes and the
// recent files are as they were, so closing the dialog takes nothing away. Another MIDI
// file opened meanwhile (dropped, from the recent files) takes the open dialog's place.
// A ring tone whose voices need choosing comes as the MIDI file of its voices, at the
// keys a song names.
void MainWindow::ImportMidi(const QString& path) {
  std::optional<ImportMld> mld;
  auto read = [&]() -> Result<std::pair<std::vector<std::uint8_t>, SmfFacts>> {
    WaitCursor wait;
    auto bytes = ReadFileBytes(S(path));
    if (!bytes) return std::unexpected(bytes.error());
    if (FileKindOf(S(path)) == FileKind::kMld) {
      auto music = DecodeMld(*bytes);
      if (!music) return std::unexpected(music.error());
      MldMidi midi = MldToSmf(*music, kMldSongBase);
      *bytes = midi.bytes;
      mld = ImportMld{std::move(*music), std::move(midi)};
    }
    auto facts = ReadMidiFileFacts(*bytes);
    if (!facts) return std::unexpected(facts.error());
    return std::pair{std::move(*bytes), *facts};
  }();
  if (!read) {
    feedback_->ShowDiagnostic(read.error());
    return;
  }
  files_->RememberFolderOf(path);
  if (import_) import_->reject();
  ImportDialogLinks links{
      env_.prompts,
      form_,
      files_.get(),
      playback_.get(),
      env_.settings.importOptions(),
      {actions_->find("mnuNEW"), actions_->find("mnuREAD"), actions_->find("mnuSAVE")}};
  import_ =
      new ImportDialog(std::move(links), path, read->second, read->first, this, std::move(mld));
  connect(import_, &ImportDialog::closed, this,
          [this, dialog = import_](const ImportOptions& options) {
            env_.settings.setImportOptions(options);
            if (import_ == dialog) import_ = nullptr;
            dialog->deleteLater();
          });
  import_->show();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The score editor asks about its own cells; kept open, it keeps the program open.
  if (!files_->ConfirmDiscard() || (score_ && score_->isVisible() && !score_->close())) {
    event->ignore();
    return;
  }
  // The dialog's options go into the settings written now.
  if (import_) import_->reject();
  // A transfer under way ends with the program it drives; nothing is left running.
  transfer_->Stop();
  // The program closes all the same; the user learns now, not at the next start, that
  // the menus and the font will come back as they were.
  if (Result<void> saved = env_.settings.Save(currentSettings()); !saved) {
    feedback_->ShowDiagnostic(saved.error());
  }
  playback_->Shutdown();
  if (tone_) tone_->close();
  event->accept();
}

}  // namespace chwr::gui

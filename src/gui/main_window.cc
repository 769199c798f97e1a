#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "io/file_io.h"
#include "mail/melody_mail.h"
#include "messages.h"
#include "midi/smf_writer.h"
#include "mld/mld_reader.h"
#include "mml/lengths.h"
#include "paste_guard.h"
#include "song/choices.h"
#include "song/song_file.h"

namespace chwr::gui {
namespace {

constexpr const char* kInitialReport = "MLDﾌｧｲﾙｻｲｽﾞ (ﾊﾟｰﾄ：ｽﾃｯﾌﾟ数 最低音～最高音)";
constexpr const char* kDiscardQuestion = "内容が変更されています。保存しますか？";
constexpr int kDropDownRows = 28;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
std::string S(const QString& s) {
  return s.toStdString();
}

// The editor's boxes use "\n"; songs and files use CR LF.
std::string ToSongText(const QString& box) {
  QString t = box;
  t.replace(QChar(0x2029), QChar('\n'));
  return S(t.replace("\n", "\r\n"));
}
QString ToBoxText(const std::string& song) {
  QString t = Q(song);
  return t.replace("\r\n", "\n");
}

// Shows the hourglass for as long as a build or file operation runs.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

void FillCombo(QComboBox* box, const std::vector<ChoiceItem>& items) {
  for (const ChoiceItem& item : items) box->addItem(Q(item.text), item.itemData);
  box->setMaxVisibleItems(kDropDownRows);
}

// The part's MML box: it accepts files dropped on it and hands the first one on.
class MmlBox final : public PlainTextBox {
 public:
  std::function<void(const QString&)> onFileDropped;

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasUrls()) {
      e->acceptProposedAction();
    } else {
      QPlainTextEdit::dragEnterEvent(e);
    }
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (e->mimeData()->hasUrls()) {
      e->acceptProposedAction();
    } else {
      QPlainTextEdit::dragMoveEvent(e);
    }
  }
  void dropEvent(QDropEvent* e) override {
    if (e->mimeData()->hasUrls() && !e->mimeData()->urls().isEmpty()) {
      const QUrl first = e->mimeData()->urls().first();
      e->acceptProposedAction();
      if (onFileDropped) onFileDropped(first.toLocalFile());
      return;
    }
    QPlainTextEdit::dropEvent(e);
  }
};

}  // namespace

MainWindow::MainWindow(WindowEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)) {
  setObjectName("Form2");
  loading_ = true;
  BuildControls();
  BuildMenus();
  FillLists();
  settings_ = LoadSettings(env_.settingsFile);
  ApplySettings(settings_);
  ResetDefaultNames();
  SetCaption();
  resize(720, 560);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  loading_ = false;
  modified_ = false;
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);

  auto* frame2 = new QGroupBox(central);
  frame2->setObjectName("Frame2");
  auto* header = new QGridLayout(frame2);
  text3_ = new QLineEdit(frame2);
  text3_->setObjectName("Text3");
  text3_->setToolTip("曲ﾀｲﾄﾙ名");
  text5_ = new QComboBox(frame2);
  text5_->setObjectName("Text5");
  text5_->setEditable(true);
  text5_->setToolTip(
      "F502i：125,150\nSO502i：180,168,144,120,96,84\n以外：1-255\n―――――――――――――\nSMDﾌｧｲﾙ\n   "
      "0-94 ：遅い\n 95-107：やや遅い\n108-125：普通\n126-255：速い");
  cmbBunkai_ = new QComboBox(frame2);
  cmbBunkai_->setObjectName("cmbBUNKAI");
  cmbBunkai_->setToolTip("4分音符の分解能(ｽﾃｯﾌﾟ数)");
  check2_ = new QCheckBox("著作権保護", frame2);
  check2_->setObjectName("Check2");
  text6_ = new QLineEdit(frame2);
  text6_->setObjectName("Text6");
  text6_->setEnabled(false);
  header->addWidget(new QLabel("ﾀｲﾄﾙ", frame2), 0, 0);
  header->addWidget(text3_, 0, 1, 1, 3);
  header->addWidget(new QLabel("ﾃﾝﾎﾟ", frame2), 1, 0);
  header->addWidget(text5_, 1, 1);
  header->addWidget(new QLabel("分解能", frame2), 1, 2);
  header->addWidget(cmbBunkai_, 1, 3);
  header->addWidget(check2_, 2, 0);
  header->addWidget(text6_, 2, 1, 1, 3);
  header->setColumnStretch(1, 1);
  layout->addWidget(frame2);

  tabPart_ = new QTabWidget(central);
  tabPart_->setObjectName("tabPART");
  for (int i = 0; i < 4; ++i) {
    auto* page = new QWidget(tabPart_);
    page->setObjectName(QString("fraPART_%1").arg(i));
    page->setProperty("key", QString("P%1").arg(i + 1));
    auto* pageLayout = new QVBoxLayout(page);
    auto* box = new MmlBox;
    box->setParent(page);
    box->setObjectName(QString("Text1_%1").arg(i));
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->onFileDropped = [this](const QString& path) { OpenPath(path); };
    text1_[i] = box;
    auto* row = new QHBoxLayout;
    check1_[i] = new QCheckBox("ﾐｭｰﾄ", page);
    check1_[i]->setObjectName(QString("Check1_%1").arg(i));
    combo2_[i] = new QComboBox(page);
    combo2_[i]->setObjectName(QString("Combo2_%1").arg(i));
    combo2_[i]->setToolTip("D502i：A(大)-C(小)  \nSO502i：42(大) 32(中) 22(小)\nN502i等：0-63");
    combo3_[i] = new QComboBox(page);
    combo3_[i]->setObjectName(QString("Combo3_%1").arg(i));
    combo3_[i]->setToolTip("D502i：A(長)-C(短) / N502i：1-128");
    row->addWidget(check1_[i]);
    row->addStretch();
    row->addWidget(new QLabel("ﾎﾞﾘｭｰﾑ", page));
    row->addWidget(combo2_[i]);
    row->addWidget(new QLabel("音色", page));
    row->addWidget(combo3_[i]);
    pageLayout->addLayout(row);
    pageLayout->addWidget(box, 1);
    tabPart_->addTab(page, QString("ﾊﾟｰﾄ%1").arg(i + 1));

    connect(box, &QPlainTextEdit::textChanged, this, [this] { SetModified(); });
    connect(check1_[i], &QCheckBox::toggled, this, [this, i] { UpdateTabCaption(i); });
    connect(combo2_[i], &QComboBox::currentIndexChanged, this, [this] { SetModified(); });
    connect(combo3_[i], &QComboBox::currentIndexChanged, this, [this] { SetModified(); });
  }
  layout->addWidget(tabPart_, 1);

  auto* frame1 = new QGroupBox(central);
  frame1->setObjectName("Frame1");
  auto* play = new QHBoxLayout(frame1);
  chkDouble_ = new QCheckBox("倍速再生", frame1);
  chkDouble_->setObjectName("chkDOUBLE");
  cmbTone_ = new QComboBox(frame1);
  cmbTone_->setObjectName("cmbTONE");
  cmbTone_->setToolTip("ﾊﾟｰﾄ音色指定にA-Cを選択時、\nMIDI再生時の音色を選択");
  slider1_ = new QSlider(Qt::Horizontal, frame1);
  slider1_->setObjectName("Slider1");
  slider1_->setToolTip("再生位置");
  slider1_->setRange(0, 1);
  play->addWidget(chkDouble_);
  play->addWidget(cmbTone_);
  play->addWidget(slider1_, 1);
  layout->addWidget(frame1);

  txtMail_ = new QLineEdit(central);
  txtMail_->setObjectName("txtMAIL");
  txtMail_->setToolTip("メールに貼り付けて下さい。");
  layout->addWidget(txtMail_);
  setCentralWidget(central);
  for (QWidget* box : std::initializer_list<QWidget*>{text3_, text5_, text6_, txtMail_}) {
    InstallPasteGuard(box);
  }

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(250);
  connect(timer1_, &QTimer::timeout, this, [this] { TimerTick(); });

  auto* bar = new QStatusBar(this);
  bar->setObjectName("stsBAR");
  for (int i = 0; i < 2; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QString("stsBAR_panel%1").arg(i + 1));
    bar->addWidget(panel);
  }
  sizePanel_ = new QLabel(kInitialReport, bar);
  sizePanel_->setObjectName("stsBAR_panel3");
  bar->addWidget(sizePanel_, 1);
  setStatusBar(bar);

  connect(text3_, &QLineEdit::textEdited, this, [this] { SetModified(); });
  connect(text6_, &QLineEdit::textEdited, this, [this] { SetModified(); });
  connect(text5_, &QComboBox::editTextChanged, this, [this] { SetModified(); });
  connect(check2_, &QCheckBox::toggled, this, [this](bool on) {
    text6_->setEnabled(on);
    SetModified();
  });
  connect(cmbBunkai_, &QComboBox::currentIndexChanged, this,
          [this](int index) { ResolutionChanged(index); });
  // Holding the slider pauses a playback under way; letting go plays on from there.
  // The player outlives its playbacks, so a slider moved while nothing plays must not
  // start the last file again.
  connect(slider1_, &QSlider::sliderPressed, this, [this] {
    timer1_->stop();
    seeking_ = player_ && player_->Mode() == PlayerMode::kPlaying;
    if (seeking_) player_->Pause();
  });
  connect(slider1_, &QSlider::sliderReleased, this, [this] {
    if (!seeking_) return;
    seeking_ = false;
    player_->SetPosition(slider1_->value());
    player_->Play();
    timer1_->start();
  });
  // The window sees its keys before any control does.
  qApp->installEventFilter(this);
}

void MainWindow::BuildMenus() {
  auto action = [this](QMenu* menu, const char* name, const QString& caption,
                       std::function<void()> run) {
    auto* a = menu->addAction(caption);
    a->setObjectName(name);
    if (run) connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return a;
  };
  auto menu = [this](QMenu* parentMenu, const char* name, const QString& caption) {
    QMenu* m = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
  };
  auto later = [this] {
    env_.prompts->Message(this, "この機能はまだ使えません。", MessageKind::Warning);
  };

  QMenu* file = menu(nullptr, "mnuFILE", "ﾌｧｲﾙ(&F)");
  action(file, "mnuNEW", "新規作成(&N)", [this] { NewSong(); });
  action(file, "mnuREAD", "開く(&O)", [this] { OpenSong(); });
  action(file, "mnuSAVE", "上書き保存(&S)", [this] { SaveSong(); });
  action(file, "mnuSAVENAME", "名前を付けて保存(&A)", [this] { SaveSongAs(); });
  file->addSeparator();
  QMenu* make = menu(file, "mnuMAKE", "作成(&M)");
  action(make, "mnuMLD", "MLDﾌｧｲﾙ作成(&M)", [this] { WriteMldFile(); });
  action(make, "mnuMAIL", "ﾒﾛﾃﾞｨｰﾒｰﾙ作成(&L)", [this] { MakeMelodyMail(); });
  action(make, "mnuMAKESMD", "SMDﾌｧｲﾙ作成(&S)", later);
  action(make, "mnuMIDIMAKE", "MIDIﾌｧｲﾙ作成(&N)", [this] { MakeMidiFile(); });
  file->addSeparator();
  action(file, "mnuEND", "終了(&X)", [this] { close(); });

  QMenu* setting = menu(nullptr, "mnuSETTING", "機能(&S)");
  action(setting, "mnuSCO", "楽譜入力(&S)", later);
  action(setting, "mnuSHTONE", "音色入力(&T)", later);
  action(setting, "mnuCLIPREAD", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞ読込み(&C)", [this] { ReadMailFromClipboard(); });
  QMenu* n003 = menu(setting, "mnuN003", "N003,N004自動実行(&N)");
  action(n003, "mnuN003EXEC", "実行(&E)", later);
  action(n003, "mnuN003SETTING", "設定(&S)", later);
  action(setting, "mnuFONT", "ﾌｫﾝﾄ設定(&F)", [this] { ChooseFont(); });

  QMenu* sample = menu(nullptr, "mnuSAMPLE", "演奏(&P)");
  action(sample, "mnuPLAY", "再生(&P)", [this] { Play(); });
  action(sample, "mnuSTOP", "停止(&S)", [this] { StopPlayback(); });
  action(sample, "mnuINIT", "音源初期化(&I)", [this] { ResetSoundSource(); });
  QMenu* midiSetting = menu(sample, "mnuMIDISETTING", "演奏設定(&M)");
  mnuMidiRepeat_ = action(midiSetting, "mnuMIDIREPEAT", "繰り返し(&R)", {});
  mnuMidiRepeat_->setCheckable(true);
  QMenu* oct = menu(midiSetting, "mnuOCT", "ｵｸﾀｰﾌﾞ(&O)");
  auto* group = new QActionGroup(this);
  const char* octCaptions[] = {"高い(&U)", "普通(&N)", "低い(&D)"};
  for (int i = 0; i < 3; ++i) {
    mnuMidiOct_[i] = action(oct, "", octCaptions[i], {});
    mnuMidiOct_[i]->setObjectName(QString("mnuMIDIOCT_%1").arg(i));
    mnuMidiOct_[i]->setCheckable(true);
    group->addAction(mnuMidiOct_[i]);
  }
  mnuMidiOct_[1]->setChecked(true);

  QMenu* help = menu(nullptr, "mnuVERSION", "ﾍﾙﾌﾟ(&H)");
  action(help, "mnuHELP", "ﾍﾙﾌﾟ(&H)", [this] {
    env_.prompts->OpenUrl(QUrl::fromLocalFile(QString::fromStdString(env_.helpPage.string())));
  });
  action(help, "mnuVER", "ﾊﾞｰｼﾞｮﾝ情報(&V)", [this] {
    QMessageBox::about(this, "ﾊﾞｰｼﾞｮﾝ情報",
                       QString("<b>%1</b><p>i-mode着信ﾒﾛﾃﾞｨｰ作成ｴﾃﾞｨﾀ</p>"
                               "<p><a href=\"%2\">ｻﾎﾟｰﾄﾍﾟｰｼﾞ</a></p>")
                           .arg(kProductCaption, env_.supportUrl));
  });
  action(help, "mnuSAPORT", "ｻﾎﾟｰﾄﾍﾟｰｼﾞ(&S)",
         [this] { env_.prompts->OpenUrl(QUrl(env_.supportUrl)); });
  action(help, "mnuIMODE", "i-modeﾍﾟｰｼﾞ(&I)",
         [this] { env_.prompts->OpenUrl(QUrl(env_.imodeUrl)); });

  auto* toolbar = addToolBar("Toolbar1");
  toolbar->setObjectName("Toolbar1");
  toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  struct Button {
    const char* key;
    const char* menuName;
    QStyle::StandardPixmap icon;
    const char* text;
  };
  const Button buttons[] = {
      {"NEW", "mnuNEW", QStyle::SP_FileIcon, "新規"},
      {"READ", "mnuREAD", QStyle::SP_DialogOpenButton, "開く"},
      {"SAVE", "mnuSAVE", QStyle::SP_DialogSaveButton, "保存"},
      {"MLD", "mnuMLD", QStyle::SP_DriveFDIcon, "MLD"},
      {"MAIL", "mnuMAIL", QStyle::SP_MessageBoxInformation, "ﾒｰﾙ"},
      {"SCO", "mnuSCO", QStyle::SP_FileDialogDetailedView, "楽譜"},
      {"PLAY", "mnuPLAY", QStyle::SP_MediaPlay, "再生"},
      {"STOP", "mnuSTOP", QStyle::SP_MediaStop, "停止"},
  };
  for (const Button& b : buttons) {
    auto* target = findChild<QAction*>(b.menuName);
    auto* a = toolbar->addAction(style()->standardIcon(b.icon), b.text);
    a->setObjectName(b.key);
    connect(a, &QAction::triggered, target, &QAction::trigger);
  }
}

void MainWindow::FillLists() {
  for (const std::string& t : TempoItems()) text5_->addItem(Q(t));
  cmbBunkai_->addItems({"24", "48"});
  FillCombo(cmbTone_, MidiToneItems());
  for (int i = 0; i < 4; ++i) {
    FillCombo(combo2_[i], VolumeItems(i));
    FillCombo(combo3_[i], ToneItems());
  }
  showSong(SongDocument{});
}

void MainWindow::ApplySettings(const Settings& s) {
  if (!s.fontName.empty()) {
    QFont font(Q(s.fontName));
    bool ok = false;
    const int size = static_cast<int>(Q(s.fontSize).toDouble(&ok));
    if (ok && size > 0) font.setPointSize(size);
    if (s.fontBold) font.setBold(*s.fontBold);
    if (s.fontItalic) font.setItalic(*s.fontItalic);
    for (auto* box : text1_) box->setFont(font);
  }
  mnuMidiRepeat_->setChecked(s.repeatOn);
  mnuMidiOct_[std::clamp(s.octaveChoice, 0, 2)]->setChecked(true);
  folder_ = Q(s.folder);
  // A stored folder that is gone leaves the current folder as it is.
  if (!folder_.isEmpty()) QDir::setCurrent(folder_);
}

Settings MainWindow::currentSettings() const {
  Settings s = settings_;
  const QFont font = text1_[0]->font();
  if (text1_[0]->font() != QApplication::font()) {
    s.fontName = S(font.family());
    const double size = font.pointSizeF();
    s.fontSize = size == std::floor(size) ? std::to_string(static_cast<int>(size))
                                          : S(QString::number(size));
    s.fontBold = font.bold();
    s.fontItalic = font.italic();
  }
  s.repeatOn = mnuMidiRepeat_->isChecked();
  for (int i = 0; i < 3; ++i) {
    if (mnuMidiOct_[i]->isChecked()) s.octaveChoice = i;
  }
  s.folder = S(folder_);
  return s;
}

SongDocument MainWindow::currentSong() const {
  SongDocument song;
  song.title = S(text3_->text());
  song.tempo = S(text5_->currentText());
  song.resolution = cmbBunkai_->currentIndex() == 0 ? 0 : 1;
  song.copyProtect = check2_->isChecked();
  song.protectText = S(text6_->text());
  for (int i = 0; i < 4; ++i) {
    song.parts[i].mml = ToSongText(text1_[i]->toPlainText());
    song.parts[i].volume = S(combo2_[i]->currentText());
    song.parts[i].tone = S(combo3_[i]->currentText());
    song.parts[i].mute = check1_[i]->isChecked();
  }
  return song;
}

void MainWindow::showSong(const SongDocument& song) {
  const bool wasLoading = loading_;
  loading_ = true;
  text3_->setText(Q(song.title));
  text5_->setEditText(Q(song.tempo));
  cmbBunkai_->setCurrentIndex(song.resolution == 0 ? 0 : 1);
  check2_->setChecked(song.copyProtect);
  text6_->setEnabled(song.copyProtect);
  text6_->setText(Q(song.protectText));
  for (int i = 0; i < 4; ++i) {
    text1_[i]->setPlainText(ToBoxText(song.parts[i].mml));
    const int volume = combo2_[i]->findText(Q(song.parts[i].volume));
    combo2_[i]->setCurrentIndex(volume >= 0 ? volume : 0);
    const int tone = combo3_[i]->findText(Q(song.parts[i].tone));
    combo3_[i]->setCurrentIndex(tone >= 0 ? tone : 1);
  }
  loading_ = wasLoading;
}

void MainWindow::SetCaption() {
  const QString name = documentPath_.isEmpty() ? QString("無題") : documentPath_;
  setWindowTitle(name + " - " + kProductCaption);
}

void MainWindow::ResetDefaultNames() {
  defaultTextName_ = "無題.txt";
  defaultMldName_ = "無題.mld";
  defaultMidiName_ = "無題.mid";
  defaultSmdName_ = "無題.smd";
}

// The other outputs of a song are offered beside its file, under its name in lower
// case with their own extension. The folder keeps its case: this file system tells
// "/home/Me" from "/home/me". A name without one of our extensions keeps it whole, so
// no output is ever offered the song's own file.
void MainWindow::DeriveDefaultNames(const QString& path) {
  const QString fileName = QFileInfo(path).fileName();
  QString name = fileName.toLower();
  for (const char* extension : {".txt", ".mld", ".mid", ".smd"}) {
    if (name.endsWith(extension)) {
      name.chop(4);
      break;
    }
  }
  const QString base = path.left(path.size() - fileName.size()) + name;
  defaultTextName_ = base + ".txt";
  defaultMldName_ = base + ".mld";
  defaultMidiName_ = base + ".mid";
  defaultSmdName_ = base + ".smd";
}

void MainWindow::UpdateTabCaption(int part) {
  tabPart_->setTabText(
      part, QString("ﾊﾟｰﾄ%1").arg(part + 1) + (check1_[part]->isChecked() ? "(ﾐｭｰﾄ)" : ""));
}

void MainWindow::ToggleMute(int part) {
  check1_[part]->setChecked(!check1_[part]->isChecked());
}

void MainWindow::ConvertCase(bool upper) {
  for (auto* box : text1_) {
    const QString text = box->toPlainText();
    box->setPlainText(upper ? text.toUpper() : text.toLower());
  }
}

void MainWindow::ResolutionChanged(int index) {
  if (loading_) return;
  SetModified();
  WaitCursor wait;
  // Absolute lengths keep their time: halved towards 24 steps, doubled towards 48.
  for (auto* box : text1_) {
    const std::string text = RescaleAbsoluteLengths(ToSongText(box->toPlainText()), index == 0);
    box->setPlainText(ToBoxText(text));
  }
}

void MainWindow::ChooseFont() {
  auto font = env_.prompts->ChooseFont(this, text1_[0]->font());
  if (!font) return;
  for (auto* box : text1_) box->setFont(*font);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (event->type() == QEvent::KeyPress && widget && widget->window() == this) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    if (ctrl && key->key() == Qt::Key_D) {
      ConvertCase(false);
      return true;
    }
    if (ctrl && key->key() == Qt::Key_U) {
      ConvertCase(true);
      return true;
    }
    if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F4 &&
        key->modifiers() == Qt::NoModifier) {
      ToggleMute(key->key() - Qt::Key_F1);
      return true;
    }
    // A key with Ctrl is a command, not typing, whatever text the platform gives it
    // (a paste with nothing to paste changes nothing).
    if (!ctrl && !key->text().isEmpty() && key->text()[0].isPrint()) SetModified();
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShowDiagnostic(const Diagnostic& d) {
  if (d.part >= 0) SelectErrorText(d.part, Q(d.searchText));
  env_.prompts->Message(this, Q(d.message), MessageKind::Error);
}

void MainWindow::SelectErrorText(int part, const QString& search) {
  tabPart_->setCurrentIndex(part);
  QPlainTextEdit* box = text1_[part];
  box->setFocus();
  QTextCursor cursor = box->textCursor();
  const int at = search.isEmpty() ? -1 : box->toPlainText().toUpper().indexOf(search);
  if (at < 0) {
    if (search.isEmpty()) cursor.setPosition(0);
  } else {
    cursor.setPosition(at);
    cursor.setPosition(at + search.size(), QTextCursor::KeepAnchor);
  }
  box->setTextCursor(cursor);
}

MidiSettings MainWindow::CurrentMidiSettings() const {
  MidiSettings m;
  for (int i = 0; i < 3; ++i) {
    if (mnuMidiOct_[i]->isChecked()) m.octaveChoice = i;
  }
  m.repeatOn = mnuMidiRepeat_->isChecked();
  m.doubleSpeed = chkDouble_->isChecked();
  m.midiTone = cmbTone_->currentIndex() >= 1 ? cmbTone_->currentIndex() - 1 : -1;
  for (int i = 0; i < 4; ++i) m.mute[i] = check1_[i]->isChecked();
  return m;
}

std::optional<MldBuild> MainWindow::Build(bool selectionOnly, bool midiWanted) {
  const SongDocument song = currentSong();
  MldBuildOptions options;
  if (selectionOnly) {
    std::array<std::string, 4> texts;
    for (int i = 0; i < 4; ++i) {
      const QTextCursor c = text1_[i]->textCursor();
      texts[i] = c.hasSelection() ? ToSongText(c.selectedText()) : song.parts[i].mml;
    }
    options.selectionTexts = texts;
  }
  options.midiWanted = midiWanted;
  options.midi = CurrentMidiSettings();
  auto build = [&] {
    WaitCursor wait;
    return BuildMld(song, compiled_, options);
  }();
  if (!build) {
    ShowDiagnostic(build.error());
    return std::nullopt;
  }
  if (build->tempoReplaced) {
    // The box shows what was built; the program changing it is no edit of the user's.
    const bool wasLoading = loading_;
    loading_ = true;
    text5_->setEditText("120");
    loading_ = wasLoading;
  }
  sizePanel_->setText(Q(build->sizeReport));
  return std::move(*build);
}

void MainWindow::NewSong() {
  if (!ConfirmDiscard()) return;
  loading_ = true;
  documentPath_.clear();
  SetCaption();
  sizePanel_->setText(kInitialReport);
  showSong(SongDocument{});
  txtMail_->clear();
  tabPart_->setCurrentIndex(0);
  ResetDefaultNames();
  text3_->setFocus();
  loading_ = false;
  modified_ = false;
}

bool MainWindow::ConfirmDiscard() {
  if (!modified_) return true;
  switch (env_.prompts->AskYesNoCancel(this, kDiscardQuestion)) {
    case Answer::Cancel:
      return false;
    case Answer::Yes:
      return SaveSong();
    case Answer::No:
      return true;
  }
  return false;
}

void MainWindow::OpenPath(const QString& path) {
  QString p = path;
  // A path handed over in quotes (as some shells and launchers do) is the path inside them.
  if (p.size() >= 2 && p.startsWith('"') && p.endsWith('"')) p = p.mid(1, p.size() - 2);
  if (p.isEmpty()) return;
  pendingOpenPath_ = p;
  OpenSong();
}

void MainWindow::OpenSong() {
  if (!ConfirmDiscard()) {
    pendingOpenPath_.clear();
    return;
  }
  QString path = pendingOpenPath_;
  pendingOpenPath_.clear();
  if (path.isEmpty()) {
    FileDialog dialog{"Text&Mld&Smd&Midi File(*.txt;*.mld;*.smd;*.mid)",
                      "*.txt;*.mld;*.smd;*.mid",
                      {},
                      {},
                      folder_};
    path = env_.prompts->OpenFile(this, dialog);
    if (path.isEmpty()) return;
  }
  const QString kind = path.right(3).toUpper();
  if (kind == "MID" || kind == "SMD") {
    env_.prompts->Message(this, kind + "ﾌｧｲﾙの読み込みにはまだ対応していません。",
                          MessageKind::Warning);
    return;
  }
  if (kind == "MLD") {
    auto bytes = [&] {
      WaitCursor wait;
      return ReadFileBytes(path.toStdString());
    }();
    if (!bytes) {
      ShowDiagnostic(bytes.error());
      return;
    }
    DeriveDefaultNames(path);
    defaultMldName_ = path;
    OpenMld(*bytes, path);
    return;
  }
  auto read = [&] {
    WaitCursor wait;
    return ReadSongFile(path.toStdString());
  }();
  if (!read) {
    ShowDiagnostic(read.error());
    return;
  }
  loading_ = true;
  showSong(read->song);
  tabPart_->setCurrentIndex(0);
  documentPath_ = path;
  SetCaption();
  DeriveDefaultNames(path);
  loading_ = false;
  modified_ = false;
  for (const std::string& w : read->warnings)
    env_.prompts->Message(this, Q(w), MessageKind::Warning);
}

void MainWindow::OpenMld(std::span<const std::uint8_t> bytes, const QString&) {
  auto read = ReadMld(bytes);
  if (!read) {
    ShowDiagnostic(read.error());
    return;
  }
  loading_ = true;
  SongDocument song = read->song;
  for (int i = 0; i < 4; ++i) song.parts[i].mute = check1_[i]->isChecked();
  showSong(song);
  tabPart_->setCurrentIndex(0);
  documentPath_.clear();
  SetCaption();
  loading_ = false;
  modified_ = false;
  for (const std::string& w : read->warnings)
    env_.prompts->Message(this, Q(w), MessageKind::Warning);
}

void MainWindow::RememberFolder(const QString& path) {
  folder_ = QFileInfo(path).absolutePath();
  QDir::setCurrent(folder_);
}

bool MainWindow::SaveSong() {
  QString path = documentPath_;
  if (path.isEmpty()) {
    path = env_.prompts->SaveFile(this,
                                  {"Text File(*.txt)", "*.txt", defaultTextName_, ".txt", folder_});
    if (path.isEmpty()) return false;
  }
  auto written = [&] {
    WaitCursor wait;
    return WriteSongFile(path.toStdString(), currentSong());
  }();
  if (!written) {
    ShowDiagnostic(written.error());
    return false;
  }
  documentPath_ = path;
  SetCaption();
  DeriveDefaultNames(path);
  RememberFolder(path);
  modified_ = false;
  return true;
}

bool MainWindow::SaveSongAs() {
  const QString path = env_.prompts->SaveFile(
      this, {"Text File(*.txt)", "*.txt", defaultTextName_, ".txt", folder_});
  if (path.isEmpty()) return false;
  const QString previous = documentPath_;
  documentPath_ = path;
  if (!SaveSong()) {
    documentPath_ = previous;
    SetCaption();
    return false;
  }
  return true;
}

void MainWindow::WriteMldFile() {
  auto build = Build(false, false);
  if (!build) return;
  const QString path =
      env_.prompts->SaveFile(this, {"Mld File(*.mld)", "*.mld", defaultMldName_, ".mld", folder_});
  if (path.isEmpty()) return;
  defaultMldName_ = path;
  auto written = [&] {
    WaitCursor wait;
    return chwr::WriteMldFile(path.toStdString(), build->mldImage);
  }();
  if (!written) {
    ShowDiagnostic(written.error());
  }
}

void MainWindow::MakeMidiFile() {
  auto build = Build(false, true);
  if (!build) return;
  auto image = SmfImage(currentSong(), build->midiTracks, chkDouble_->isChecked());
  if (!image) {
    ShowDiagnostic(image.error());
    return;
  }
  const QString path = env_.prompts->SaveFile(
      this, {"Midi File(*.mid)", "*.mid", defaultMidiName_, ".mid", folder_});
  if (path.isEmpty()) return;
  defaultMidiName_ = path;
  auto written = [&] {
    WaitCursor wait;
    return WriteMidiFile(path.toStdString(), *image);
  }();
  if (!written) {
    ShowDiagnostic(written.error());
  }
}

void MainWindow::MakeMelodyMail() {
  auto build = Build(false, false);
  if (!build) return;
  const QString mail = Q(MakeMailText(build->mldImage));
  QGuiApplication::clipboard()->clear();
  QGuiApplication::clipboard()->setText(mail);
  txtMail_->setText(mail);
  env_.prompts->Message(this, Q(MailReportText(S(mail))), MessageKind::Information);
}

void MainWindow::ReadMailFromClipboard() {
  const QString text = QGuiApplication::clipboard()->text();
  auto bytes = MailTextToBytes(S(text));
  if (!bytes) {
    ShowDiagnostic(bytes.error());
    return;
  }
  if (!ConfirmDiscard()) return;
  OpenMld(*bytes, "MLD");
}

bool MainWindow::EnsurePlayer() {
  if (player_) return true;
  auto created = env_.makePlayer();
  if (!created) {
    ShowDiagnostic(created.error());
    return false;
  }
  player_ = std::move(*created);
  return true;
}

void MainWindow::StartPlaybackFile(bool resetOnly) {
  if (busy_) return;
  busy_ = true;
  timer1_->stop();
  if (player_) player_->StopM();
  std::vector<std::uint8_t> image;
  if (resetOnly) {
    image = ResetSmfImage();
    slider1_->setValue(0);
    slider1_->setMaximum(1);
  } else {
    auto build = Build(true, true);
    if (!build) {
      busy_ = false;
      return;
    }
    auto smf = SmfImage(currentSong(), build->midiTracks, chkDouble_->isChecked());
    if (!smf) {
      ShowDiagnostic(smf.error());
      busy_ = false;
      return;
    }
    image = std::move(*smf);
  }
  std::error_code ec;
  std::filesystem::create_directories(env_.playbackFile.parent_path(), ec);
  if (!WriteMidiFile(env_.playbackFile, image)) {
    env_.prompts->Message(this, msg::kFileWriteFailed, MessageKind::Error);
    busy_ = false;
    return;
  }
  if (!EnsurePlayer()) {
    busy_ = false;
    return;
  }
  if (auto r = player_->Open(env_.playbackFile); !r) {
    ShowDiagnostic(r.error());
    busy_ = false;
    return;
  }
  if (!resetOnly) {
    const auto length = player_->Length();
    if (length > 0) slider1_->setMaximum(static_cast<int>(length));
    slider1_->setValue(0);
  }
  player_->Play();
  if (!resetOnly) timer1_->start();
  busy_ = false;
}

void MainWindow::Play() {
  StartPlaybackFile(false);
}

void MainWindow::ResetSoundSource() {
  StartPlaybackFile(true);
}

void MainWindow::StopPlayback() {
  seeking_ = false;
  if (player_) player_->StopM();
}

void MainWindow::TimerTick() {
  if (!player_ || player_->Mode() != PlayerMode::kPlaying) {
    timer1_->stop();
    if (player_) player_->StopM();
    slider1_->setValue(0);
    slider1_->setMaximum(1);
    return;
  }
  if (!slider1_->isSliderDown()) slider1_->setValue(static_cast<int>(player_->Position()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (modified_) {
    switch (env_.prompts->AskYesNoCancel(this, kDiscardQuestion)) {
      case Answer::Cancel:
        event->ignore();
        return;
      case Answer::Yes:
        if (!SaveSong()) {
          event->ignore();
          return;
        }
        break;
      case Answer::No:
        break;
    }
  }
  SaveSettings(env_.settingsFile, currentSettings());
  timer1_->stop();
  if (player_) player_->StopM();
  event->accept();
}

}  // namespace chwr::gui

#include "score_editor/score_editor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "main_window/actions.h"
#include "main_window/playback_controller.h"
#include "messages.h"
#include "score/score_mml.h"
#include "score/score_timing.h"
#include "score_editor/score_glyphs.h"
#include "score_editor/staff_view.h"
#include "shared/box_text.h"
#include "shared/prompts.h"
#include "shared/window_placement.h"

namespace chwr::gui {
namespace {

// The lengths as the menu and the buttons' tips name them, in length-code order.
constexpr const char* kLengthNames[10] = {"全音",    "付点2分", "2分", "付点4分", "4分",
                                          "付点8分", "8分",     "付点16分", "16分", "32分"};
constexpr const char* kLengthKeys = "1234567890";
constexpr const char* kAccidentalNames[4] = {"ﾅｼ", "ﾅﾁｭﾗﾙ", "＃", "♭"};
constexpr const char* kAccidentalKeys = "NASF";

struct ToolbarKey {
  const char* key;
  const char* item;  // the menu item it runs; none for the toggle
  QStyle::StandardPixmap icon;
  const char* text;
};

constexpr ToolbarKey kToolbar[] = {
    {"NEW", "mnuNEW", QStyle::SP_FileIcon, "ｸﾘｱ"},
    {"INS", "mnuED_0", QStyle::SP_ArrowDown, "挿入"},
    {"CUT", "mnuED_1", QStyle::SP_TrashIcon, "削除"},
    {"PLAY", "mnuPLAY", QStyle::SP_MediaPlay, "再生"},
    {"STOP", "mnuSTOP", QStyle::SP_MediaStop, "停止"},
    {"COMM", nullptr, QStyle::SP_FileDialogInfoView, "ｺﾒﾝﾄ"},
    {"MML", "mnuCHGMML", QStyle::SP_DialogSaveButton, "MML"},
    {"EXIT", "mnuEXIT", QStyle::SP_DialogCloseButton, "閉じる"},
};

QByteArray Indexed(const char* name, int i) {
  return QByteArray(name) + "_" + QByteArray::number(i);
}

bool Plain(const QKeyEvent* key) {
  return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

ScoreEditor::ScoreEditor(ScoreEditorLinks links)
    : QMainWindow(nullptr, Qt::Window), links_(std::move(links)) {
  setObjectName("Form6");
  setWindowTitle("楽譜入力");
  BuildMenus();
  BuildToolbar();

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  frame_ = new QFrame(central);
  frame_->setObjectName("fraSCO");
  frame_->setFixedHeight(kStaffPictureHeight);
  frame_->setMinimumWidth(kClefAreaWidth + 8 * kCellWidth);
  frame_->setMaximumWidth(kStaffPictureWidth);
  frame_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  staff_ = new StaffView(score_, frame_);
  staff_->setFocusPolicy(Qt::StrongFocus);
  layout->addWidget(frame_);
  slider_ = new QSlider(Qt::Horizontal, central);
  slider_->setObjectName("sliSCO");
  slider_->setRange(1, 1);
  layout->addWidget(slider_);
  layout->addWidget(BuildControls());
  mml_ = new QPlainTextEdit(central);
  mml_->setObjectName("txtMML");
  mml_->setReadOnly(true);
  mml_->setFixedHeight(mml_->fontMetrics().lineSpacing() * 4 + 12);
  layout->addWidget(mml_);
  setCentralWidget(central);
  notice_ = new QLabel(this);
  notice_->setObjectName("stsSCO_notice");
  statusBar()->setObjectName("stsSCO");
  statusBar()->addWidget(notice_, 1);

  connect(slider_, &QSlider::valueChanged, this, &ScoreEditor::Scrolled);
  connect(staff_, &StaffView::pressed, this, &ScoreEditor::StaffPressed);
  connect(staff_, &StaffView::moved, this, &ScoreEditor::StaffMoved);
  connect(staff_, &StaffView::released, this, &ScoreEditor::StaffReleased);
  connect(links_.playback, &PlaybackController::scoreHeard, this, &ScoreEditor::Heard);
  WatchKeys(this);
  frame_->installEventFilter(this);
  ShowControls();
  // As wide as the main window starts, so that it fits beside it on a small screen.
  resize(std::max(kDefaultWindowSize.width(), minimumSizeHint().width()), sizeHint().height());
}

ScoreEditor::~ScoreEditor() = default;

void ScoreEditor::BuildMenus() {
  using K = ActionLine::Kind;
  std::vector<ActionLine> table = {
      {K::Menu, "mnuFILE", "ﾌｧｲﾙ(&F)"},
      {K::Item, "mnuNEW", "ｸﾘｱ(&N)", [this] { Clear(); }},
      {K::Item, "mnuCHGMML", "MML変換", [this] { ConvertToMml(); }},
      {K::Separator},
      {K::Item, "mnuEXIT", "閉じる(&C)", [this] { close(); }},
      {K::End},
      {K::Menu, "mnuEDIT", "編集(&E)"},
      {K::Item, "mnuED_0", "挿入(&I)", [this] { Apply(score_.Insert()); }},
      {K::Item, "mnuED_1", "削除(&D)", [this] { Apply(score_.Delete()); }},
      {K::Separator},
      {K::Menu, "mnuED_3", "音長(&L)"},
  };
  // Names and captions made here live until the actions have copied them.
  std::array<QByteArray, 14> names, captions;
  for (int i = 0; i < 10; ++i) {
    names[i] = Indexed("mnuLEN", i);
    captions[i] = QByteArray(kLengthNames[i]) + "(&" + kLengthKeys[i] + ")";
    table.push_back({K::Choice, names[i].constData(), captions[i].constData(),
                     [this, i] { Apply(score_.ChooseLengthItem(i)); }});
  }
  table.push_back({K::End});
  table.push_back({K::Menu, "mnuED_4", "その他(&O)"});
  for (int i = 0; i < 4; ++i) {
    names[10 + i] = Indexed("mnuCYO", i);
    captions[10 + i] = QByteArray(kAccidentalNames[i]) + "(&" + kAccidentalKeys[i] + ")";
    table.push_back({K::Choice, names[10 + i].constData(), captions[10 + i].constData(),
                     [this, i] { Apply(score_.SetAccidental(i)); }});
  }
  table.push_back({K::Toggle, "mnuCYO_4", "ﾀｲ・ｽﾗｰ(&T)",
                   [this] { Apply(score_.SetTie(!score_.Controls().tie)); }});
  table.push_back({K::Toggle, "mnuCYO_5", "3連符(&3)",
                   [this] { Apply(score_.SetTriplet(!score_.Controls().triplet)); }});
  table.push_back({K::End});
  table.push_back({K::Toggle, "mnuED_5", "休符(&R)", [this] { Apply(score_.ToggleRest()); }});
  table.push_back({K::End});
  table.push_back({K::Menu, "mnuSAMPLE", "演奏(&P)"});
  table.push_back({K::Item, "mnuPLAY", "再生(&P)", [this] { Play(); }});
  table.push_back({K::Item, "mnuSTOP", "停止(&S)", [this] { links_.playback->Stop(); }});
  table.push_back(
      {K::Item, "mnuINIT", "音源初期化(&I)", [this] { links_.playback->ResetSoundSource(); }});
  table.push_back({K::End});
  actions_ = std::make_unique<Actions>(table, menuBar(), this);
}

void ScoreEditor::BuildToolbar() {
  QToolBar* toolbar = addToolBar("Toolbar1");
  toolbar->setObjectName("Toolbar1");
  toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  for (const ToolbarKey& b : kToolbar) {
    QAction* button = toolbar->addAction(style()->standardIcon(b.icon), b.text);
    button->setObjectName(b.key);
    if (!b.item) {
      button->setCheckable(true);
      comment_ = button;
      continue;
    }
    connect(button, &QAction::triggered, actions_->find(b.item), &QAction::trigger);
  }
}

QWidget* ScoreEditor::BuildControls() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* lengthFrame = new QGroupBox("音長", row);
  lengthFrame->setObjectName("fraLEN");
  auto* grid = new QGridLayout(lengthFrame);
  grid->setSpacing(2);
  lengths_ = new QButtonGroup(this);
  for (int code = 0; code < kLengthCodes; ++code) {
    auto* button = new QToolButton(lengthFrame);
    button->setObjectName(Indexed("Option1", code));
    button->setCheckable(true);
    button->setIcon(LengthIcon(code));
    button->setIconSize(QSize(24, 32));
    const int length = code % kRestCodeOffset;
    button->setToolTip(QString(kLengthNames[length]) + (IsRestCode(code) ? "休符" : "音符"));
    lengths_->addButton(button, code);
    grid->addWidget(button, code / kRestCodeOffset, length);
  }
  connect(lengths_, &QButtonGroup::idClicked, this,
          [this](int code) { Apply(score_.SetLength(code)); });
  layout->addWidget(lengthFrame);

  auto* accidentalFrame = new QGroupBox("臨時記号", row);
  accidentalFrame->setObjectName("fraCYO");
  auto* accidentalLayout = new QVBoxLayout(accidentalFrame);
  accidentals_ = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    auto* button = new QRadioButton(kAccidentalNames[i], accidentalFrame);
    button->setObjectName(Indexed("Option2", i));
    accidentals_->addButton(button, i);
    accidentalLayout->addWidget(button);
  }
  connect(accidentals_, &QButtonGroup::idClicked, this,
          [this](int i) { Apply(score_.SetAccidental(i)); });
  layout->addWidget(accidentalFrame);

  auto* other = new QGridLayout;
  tie_ = new QCheckBox("ﾀｲ・ｽﾗｰ", row);
  tie_->setObjectName("Check1");
  triplet_ = new QCheckBox("3連符", row);
  triplet_->setObjectName("Check2");
  connect(tie_, &QCheckBox::clicked, this, [this](bool on) { Apply(score_.SetTie(on)); });
  connect(triplet_, &QCheckBox::clicked, this, [this](bool on) { Apply(score_.SetTriplet(on)); });
  tempo_ = new QComboBox(row);
  tempo_->setObjectName("cmbTEMPO");
  tempo_->setEditable(true);
  tempo_->setToolTip("1-255");
  for (const std::string& item : TempoItems()) tempo_->addItem(Q(item));
  tempo_->setEditText("120");
  tone_ = new QComboBox(row);
  tone_->setObjectName("cmbTONE");
  const std::vector<ChoiceItem>& tones = MidiToneItems();
  FillCombo(tone_, std::vector<ChoiceItem>(tones.begin() + 1, tones.end()));
  auto* tempoLabel = new QLabel("ﾃﾝﾎﾟ", row);
  tempoLabel->setBuddy(tempo_);
  auto* toneLabel = new QLabel("音色", row);
  toneLabel->setBuddy(tone_);
  other->addWidget(tie_, 0, 0, 1, 2);
  other->addWidget(triplet_, 1, 0, 1, 2);
  other->addWidget(tempoLabel, 2, 0);
  other->addWidget(tempo_, 2, 1);
  other->addWidget(toneLabel, 3, 0);
  other->addWidget(tone_, 3, 1);
  layout->addLayout(other);
  layout->addStretch(1);
  return row;
}

// The window sees the score's keys before its controls do, but the tempo box keeps its
// own: its digits and arrows are the user's typing. Menus and drop-down lists are windows
// of their own and keep theirs.
void ScoreEditor::WatchKeys(QWidget* root) {
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (w == tempo_ || w->parent() == tempo_) continue;
    w->installEventFilter(this);
  }
}

bool ScoreEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frame_ && event->type() == QEvent::Resize) FitSlider();
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this || qobject_cast<QMenu*>(widget) ||
      qobject_cast<QMenuBar*>(widget)) {
    return false;
  }
  return Key(static_cast<QKeyEvent*>(event));
}

bool ScoreEditor::Key(QKeyEvent* key) {
  if (!Plain(key)) return false;
  const int k = key->key();
  if (k >= Qt::Key_0 && k <= Qt::Key_9) {
    Apply(score_.PressDigitKey(k - Qt::Key_0));
    return true;
  }
  switch (k) {
    case Qt::Key_Left:
      Apply(score_.StepLength(-1));
      return true;
    case Qt::Key_Right:
      Apply(score_.StepLength(+1));
      return true;
    case Qt::Key_Up:
      Apply(score_.MoveUp());
      return true;
    case Qt::Key_Down:
      Apply(score_.MoveDown());
      return true;
    case Qt::Key_Insert:
      Apply(score_.Insert());
      return true;
    case Qt::Key_Delete:
      Apply(score_.Delete());
      return true;
    default:
      return false;
  }
}

// Every operation ends here: the picture is redrawn (36 cells cost little) and every
// control shows the current cell again, also after a refused change.
void ScoreEditor::Apply(const ScoreChange&) {
  staff_->update();
  ShowControls();
}

void ScoreEditor::ShowControls() {
  const ScoreControls c = score_.Controls();
  lengths_->button(c.lengthCode)->setChecked(true);
  accidentals_->button(c.accidental)->setChecked(true);
  tie_->setChecked(c.tie);
  triplet_->setChecked(c.triplet);
  actions_->find(Indexed("mnuLEN", c.lengthItem).constData())->setChecked(true);
  actions_->find(Indexed("mnuCYO", c.accidental).constData())->setChecked(true);
  actions_->find("mnuCYO_4")->setChecked(c.tie);
  actions_->find("mnuCYO_5")->setChecked(c.triplet);
  actions_->find("mnuED_5")->setChecked(c.rest);
}

void ScoreEditor::StaffPressed(QPoint at, Qt::MouseButton button, QPoint global) {
  if (button == Qt::RightButton) {
    menuBar()->findChild<QMenu*>("mnuEDIT")->popup(global);
    return;
  }
  if (button != Qt::LeftButton) return;
  if (const std::optional<int> cell = CellAtX(at.x())) Apply(score_.Press(*cell, at.y()));
}

void ScoreEditor::StaffMoved(QPoint at) {
  if (!score_.held()) return;
  at = Confined(at);
  Apply(score_.Drag(CellAtXClamped(at.x()), at.y()));
}

void ScoreEditor::StaffReleased(QPoint at) {
  if (!score_.held()) return;
  at = Confined(at);
  Apply(score_.Release(CellAtXClamped(at.x())));
}

// While the button is held the pointer counts as kept in the dragged note's column, or in
// the part of the staff that can be seen: what lies beyond cannot be aimed at.
QPoint ScoreEditor::Confined(QPoint at) const {
  int left = 0, right = kStaffPictureWidth - 1;
  if (score_.dragMode() == ScoreDragMode::kNoteDrag) {
    left = CellLeft(score_.currentCell());
    right = left + kCellWidth - 1;
  } else {
    left = std::max(left, -staff_->x());
    right = std::min(right, -staff_->x() + frame_->width() - 1);
  }
  return {std::clamp(at.x(), left, std::max(left, right)),
          std::clamp(at.y(), 0, kStaffPictureHeight - 1)};
}

void ScoreEditor::Scrolled(int value) {
  staff_->move(StaffLeftForSlider(value), 0);
}

// The slider reaches as far as makes the last cell visible in the frame's width.
void ScoreEditor::FitSlider() {
  const int hidden = kCellsRight - frame_->width();
  const int last = hidden <= 0 ? 1 : (hidden + kCellWidth - 1) / kCellWidth + 1;
  slider_->setRange(1, last);
  slider_->setPageStep(std::max(1, (frame_->width() - kClefAreaWidth) / kCellWidth));
  Scrolled(slider_->value());
}

void ScoreEditor::KeepInView(int cell) {
  const int first = slider_->value();
  const int fit = std::max(1, (frame_->width() - kClefAreaWidth) / kCellWidth);
  if (cell >= first && cell < first + fit) return;
  slider_->setValue(std::clamp(cell, slider_->minimum(), slider_->maximum()));
}

void ScoreEditor::Heard(int step) {
  const int cell = step < 0 ? 0 : ScoreCellAtStep(score_.cells(), links_.resolution(), step);
  staff_->setHeardCell(cell);
  if (cell > 0) KeepInView(cell);
}

bool ScoreEditor::ConfirmDiscard() {
  return !score_.NeedsDiscardQuestion() ||
         links_.prompts->AskOkCancel(this, msg::kScoreDiscardQuestion);
}

void ScoreEditor::Clear() {
  if (!ConfirmDiscard()) return;
  Apply(score_.Clear());
  slider_->setValue(1);
  mml_->clear();
  if (links_.playback->ScorePlaying()) links_.playback->Stop();
}

void ScoreEditor::ConvertToMml() {
  const ScoreMml mml = ScoreToMml(score_, links_.resolution(), comment_->isChecked());
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(Q(mml.saved));
  mml_->setPlainText(ToBoxText(mml.shown));
}

// The score plays as the user sees it now, not as the last conversion left it.
void ScoreEditor::Play() {
  const ScoreMml mml = ScoreToMml(score_, links_.resolution(), false);
  links_.playback->PlayScore({mml.mml, S(tempo_->currentText()), tone_->currentIndex()});
}

void ScoreEditor::Open(const ScoreReading& reading, const QString& tempo, int tone) {
  Apply(score_.Load(reading.cells));
  tempo_->setEditText(tempo);
  tone_->setCurrentIndex(std::clamp(tone, 0, tone_->count() - 1));
  slider_->setValue(1);
  mml_->clear();
  staff_->setHeardCell(0);
  notice_->setText(Q(reading.notice));
}

void ScoreEditor::ShowBeside(QWidget* owner) {
  if (!isVisible()) {
    QList<QRect> screens;
    if (const QScreen* main = QGuiApplication::primaryScreen()) {
      screens.append(main->availableGeometry());
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
      if (screen != QGuiApplication::primaryScreen()) screens.append(screen->availableGeometry());
    }
    // The frame is counted in: `wanted` is the whole window, title bar and all.
    const QRect wanted(owner->frameGeometry().topLeft() + QPoint(3, 62), frameGeometry().size());
    move(PlaceWindow(wanted, wanted.size(), minimumSizeHint(), screens, QMargins()).topLeft());
    winId();  // the window must exist to be kept above its owner
    if (QWindow* above = owner->windowHandle()) windowHandle()->setTransientParent(above);
  }
  show();
  raise();
  activateWindow();
}

void ScoreEditor::closeEvent(QCloseEvent* event) {
  if (!ConfirmDiscard()) {
    event->ignore();
    return;
  }
  if (links_.playback->ScorePlaying()) links_.playback->Stop();
  staff_->setHeardCell(0);
  emit closed(tempo_->currentText(), tone_->currentIndex());
  event->accept();
}

}  // namespace chwr::gui

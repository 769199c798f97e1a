#include "tone_editor/tone_editor.h"

#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "shared/box_text.h"
#include "shared/drop_guard.h"
#include "shared/gui_messages.h"
#include "shared/number_box.h"
#include "shared/paste_guard.h"

namespace chwr::gui {
namespace {

struct ListRow {
  const char* label;
  QStringList items;  // each item's data is its position, the value the definition takes
};

const ListRow kListRows[] = {
    {"ﾏﾙﾁﾌﾟﾙ", {"0.5", "1", "2", "3", "4", "5", "6", "7"}},
    {"ﾋﾞﾌﾞﾗｰﾄ", {"OFF", "ON"}},
    {"ｴﾝﾍﾞﾛｰﾌﾞ", {"減衰音", "持続音"}},
    {"ｻｽﾃｨｰﾝ", {"OFF", "ON"}},
    {"波形選択", {"ｻｲﾝ波", "半波"}},
};

struct BoxRow {
  const char* label;
  const char* start;
};

// AR DR SL RR TL, then the modulator's FB.
const BoxRow kBoxRows[] = {
    {"ｱﾀｯｸﾚｰﾄ", "0"}, {"ﾃﾞｨｹｲﾚｰﾄ", "1"},  {"ｻｽﾃｨｰﾝﾚﾍﾞﾙ", "1"},
    {"ﾘﾘｰｽﾚｰﾄ", "1"}, {"ﾄｰﾀﾙﾚﾍﾞﾙ", "64"}, {"ﾌｨｰﾄﾞﾊﾞｯｸ", "0"},
};

// Where the lists and boxes of each operator start in their control arrays.
constexpr int kCarrierLists = 0, kModulatorLists = 5;
constexpr int kCarrierBoxes = 0, kModulatorBoxes = 5, kFeedbackBox = 10;

const char* const kModulatorTitle = "ﾓｼﾞｭﾚｰﾀｰ";
const char* const kCarrierTitle = "ｷｬﾘｱ";

// What a box holds; its row in kBoxRows is the same number.
ToneBox KindOf(int box) {
  return box == kFeedbackBox ? ToneBox::kFeedback : static_cast<ToneBox>(box % 5);
}

QString RangeText(ToneBox box) {
  const ToneRange range = TypedRange(box);
  return QString("%1～%2").arg(range.low).arg(range.high);
}

// The window's own base colour turned towards red: pink on a light palette, dark red on
// a dark one, so the box's text reads as well as it did unmarked.
QColor Tinted(const QColor& base) {
  constexpr float kRed = 0.35f;
  return QColor::fromRgbF(base.redF() * (1 - kRed) + kRed, base.greenF() * (1 - kRed),
                          base.blueF() * (1 - kRed));
}

bool Plain(const QKeyEvent* key) {
  return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool IsEnter(const QKeyEvent* key) {
  return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && Plain(key);
}

}  // namespace

ToneEditor::ToneEditor() : QWidget(nullptr, Qt::Dialog) {
  setObjectName("frmSHTONE");
  setWindowTitle("J-SH03音色定義変換");
  auto* operators = new QHBoxLayout;
  // The modulator first, as the definition writes it.
  operators->addWidget(BuildFrame(kModulatorTitle, kModulatorLists, kModulatorBoxes, false));
  operators->addWidget(BuildFrame(kCarrierTitle, kCarrierLists, kCarrierBoxes, true));

  rangeNote_ = new QLabel(this);
  rangeNote_->setObjectName("lblRANGE");
  rangeNote_->setWordWrap(true);
  rangeNote_->hide();

  auto* copy = new QPushButton("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", this);
  copy->setObjectName("cmdCLIP");
  auto* close = new QPushButton("閉じる", this);
  close->setObjectName("cmdCLOSE");
  connect(copy, &QPushButton::clicked, this, &ToneEditor::CopyToClipboard);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(copy);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(operators);
  layout->addWidget(rangeNote_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Tab, Enter and the arrows go down the modulator, then down the carrier, then to the
  // buttons: the order the controls stand in.
  QList<QWidget*> order;
  for (int base : {kModulatorLists, kCarrierLists}) {
    for (int i = 0; i < 5; ++i) order << lists_[base + i];
    const int boxes = base == kModulatorLists ? kModulatorBoxes : kCarrierBoxes;
    for (int i = 0; i < 5; ++i) order << boxes_[boxes + i];
    order << (base == kModulatorLists ? static_cast<QWidget*>(boxes_[kFeedbackBox]) : octave_);
  }
  order << copy << close;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// The boxes outlive this part of the window: a box that loses the focus while the window
// goes may still write its number plain, and the change must not reach a mark that is gone.
ToneEditor::~ToneEditor() {
  for (QLineEdit* box : boxes_) {
    if (box) box->disconnect(this);
  }
}

QWidget* ToneEditor::BuildFrame(const QString& title, int lists, int boxes, bool carrier) {
  auto* frame = new QGroupBox(title, this);
  frame->setObjectName(carrier ? "fraCARRIER" : "fraMODULATOR");
  auto* grid = new QGridLayout(frame);
  int row = 0;
  auto addRow = [&](const char* label, QWidget* control) {
    auto* text = new QLabel(label, frame);
    text->setBuddy(control);
    grid->addWidget(text, row, 0);
    grid->addWidget(control, row++, 1);
  };
  for (int i = 0; i < 5; ++i) {
    auto* list = new QComboBox(frame);
    list->setObjectName(QString("cmbTONE1_%1").arg(lists + i));
    for (int k = 0; k < kListRows[i].items.size(); ++k) list->addItem(kListRows[i].items[k], k);
    list->installEventFilter(this);
    lists_[lists + i] = list;
    addRow(kListRows[i].label, list);
  }
  const int rows = carrier ? 5 : 6;  // the carrier feeds nothing back: no FB box
  for (int i = 0; i < rows; ++i) {
    auto* box = new QLineEdit(kBoxRows[i].start, frame);
    const int index = i < 5 ? boxes + i : kFeedbackBox;
    box->setObjectName(QString("Text1_%1").arg(index));
    InstallPasteGuard(box);
    GuardDrops(box, false);
    ShowTypedNumberPlain(box);
    box->installEventFilter(this);
    boxes_[index] = box;
    connect(box, &QLineEdit::textChanged, this, [this, index] { MarkRange(index); });
    addRow(kBoxRows[i].label, box);
  }
  if (carrier) {
    octave_ = new QComboBox(frame);
    octave_->setObjectName("cmbOCT");
    octave_->addItems({"1", "2", "3"});
    octave_->installEventFilter(this);
    addRow("ｵｸﾀｰﾌﾞ", octave_);
  }
  return frame;
}

void ToneEditor::ShowBeside(QWidget* owner) {
  if (!isVisible()) {
    rangeNote_->hide();  // it told of a copy made before the window was closed
    move(owner->frameGeometry().topLeft() + QPoint(3, 62));
    winId();  // the window must exist to be kept above its owner
    if (QWindow* above = owner->windowHandle()) windowHandle()->setTransientParent(above);
  }
  show();
  raise();
  activateWindow();
}

ToneSettings ToneEditor::settings() const {
  auto read = [this](int lists, int boxes) {
    auto value = [&](int i) { return lists_[lists + i]->currentData().toInt(); };
    auto text = [&](int i) { return S(boxes_[boxes + i]->text()); };
    ToneOperatorSettings op;
    op.multiple = value(0);
    op.vibrato = value(1);
    op.envelope = value(2);
    op.sustain = value(3);
    op.waveform = value(4);
    op.attackRate = text(0);
    op.decayRate = text(1);
    op.sustainLevel = text(2);
    op.releaseRate = text(3);
    op.totalLevel = text(4);
    return op;
  };
  ToneSettings s;
  s.modulator = read(kModulatorLists, kModulatorBoxes);
  s.carrier = read(kCarrierLists, kCarrierBoxes);
  s.feedback = S(boxes_[kFeedbackBox]->text());
  s.octave = S(octave_->currentText());
  return s;
}

void ToneEditor::CopyToClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  const ToneSettings values = settings();
  clipboard->setText(Q(ToneDefinitionText(values)));

  const std::vector<ToneBoxAt> outside = BoxesOutOfRange(values);
  if (outside.empty()) {
    rangeNote_->hide();
    return;
  }
  QStringList named;
  for (const ToneBoxAt& at : outside) {
    named << QString("%1の%2(%3)")
                 .arg(at.carrier ? kCarrierTitle : kModulatorTitle,
                      kBoxRows[static_cast<int>(at.box)].label, RangeText(at.box));
  }
  rangeNote_->setText(CopiedValuesOutOfRange(outside.size(), named));
  rangeNote_->show();
}

// A value out of range still goes into the definition as typed; the box only says that
// it would spill into the fields beside it.
void ToneEditor::MarkRange(int index) {
  QLineEdit* box = boxes_[index];
  const ToneBox kind = KindOf(index);
  if (FitsItsField(kind, S(box->text()))) {
    box->setPalette(QPalette());  // the window's colours again
    box->setToolTip(QString());
    return;
  }
  // The window's colours, not the frame's: when they change, the window hears of it
  // before its frames do.
  const QPalette around = palette();
  QPalette tint;  // only its base is the box's own
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    tint.setColor(group, QPalette::Base, Tinted(around.color(group, QPalette::Base)));
  }
  box->setPalette(tint);
  box->setToolTip(RangeText(kind) + "で指定して下さい。範囲外の値は隣の項目にはみ出します。");
}

// A change of the desktop's colours (a dark theme chosen) tints the marked boxes anew.
void ToneEditor::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) {
    for (int i = 0; i < static_cast<int>(boxes_.size()); ++i) {
      if (boxes_[i]) MarkRange(i);  // not yet all built while the window is made
    }
  }
  QWidget::changeEvent(event);
}

// A tool window of the dialog kind closes on Escape as dialogs do; an open list's popup
// takes its Escape first.
void ToneEditor::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool ToneEditor::eventFilter(QObject* watched, QEvent* event) {
  if (auto* box = qobject_cast<QLineEdit*>(watched)) return BoxEvent(box, event);
  // A list moves on with Enter; its arrows still step through its items.
  if (event->type() == QEvent::KeyPress && IsEnter(static_cast<QKeyEvent*>(event))) {
    focusNextPrevChild(true);
    return true;
  }
  return false;
}

bool ToneEditor::BoxEvent(QLineEdit* box, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      const bool down = key->key() == Qt::Key_Down && Plain(key);
      if (IsEnter(key) || down || (key->key() == Qt::Key_Up && Plain(key))) {
        focusNextPrevChild(IsEnter(key) || down);
        return true;
      }
      return false;
    }
    case QEvent::FocusIn: {
      // The whole value is selected, so typing replaces it. Not when the focus only comes
      // back from a menu (the box's own context menu pastes into its selection) or with
      // the window: the user's caret stays where it was.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return false;
      box->selectAll();
      clickedInto_ = reason == Qt::MouseFocusReason ? box : nullptr;
      return false;
    }
    case QEvent::FocusOut:
      clickedInto_ = nullptr;
      return false;
    case QEvent::MouseButtonPress: {
      // The click that brought the focus would put the caret under the mouse and lose
      // the selection: it is kept from the box.
      const bool swallow =
          clickedInto_ == box && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
      clickedInto_ = nullptr;
      return swallow;
    }
    default:
      return false;
  }
}

}  // namespace chwr::gui

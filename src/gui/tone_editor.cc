#include "tone_editor.h"

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
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "box_text.h"
#include "drop_guard.h"
#include "number_box.h"
#include "paste_guard.h"

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
  operators->addWidget(BuildFrame("ﾓｼﾞｭﾚｰﾀｰ", kModulatorLists, kModulatorBoxes, false));
  operators->addWidget(BuildFrame("ｷｬﾘｱ", kCarrierLists, kCarrierBoxes, true));

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
  clipboard->setText(Q(ToneDefinitionText(settings())));
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

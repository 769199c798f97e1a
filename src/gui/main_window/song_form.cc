#include "main_window/song_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "main_window/part_page.h"
#include "main_window/parts_undo.h"
#include "mml/lengths.h"
#include "shared/box_text.h"
#include "shared/drop_guard.h"
#include "shared/number_box.h"
#include "shared/paste_guard.h"
#include "song/choices.h"

namespace chwr::gui {
namespace {

QString PartCaption(int part, bool muted) {
  return QString("ﾊﾟｰﾄ%1").arg(part + 1) + (muted ? "(ﾐｭｰﾄ)" : "");
}

}  // namespace

SongForm::SongForm(QWidget* parent) : QWidget(parent) {
  auto* frame2 = new QGroupBox(this);
  frame2->setObjectName("Frame2");
  auto* header = new QGridLayout(frame2);
  title_ = new QLineEdit(frame2);
  title_->setObjectName("Text3");
  title_->setToolTip("曲ﾀｲﾄﾙ名");
  tempo_ = new NumberCombo(frame2);
  tempo_->setObjectName("Text5");
  tempo_->setToolTip(
      "F502i：125,150\nSO502i：180,168,144,120,96,84\n以外：1-255\n―――――――――――――\nSMDﾌｧｲﾙ\n   "
      "0-94 ：遅い\n 95-107：やや遅い\n108-125：普通\n126-255：速い");
  resolution_ = new QComboBox(frame2);
  resolution_->setObjectName("cmbBUNKAI");
  resolution_->setToolTip("4分音符の分解能(ｽﾃｯﾌﾟ数)");
  protect_ = new QCheckBox("著作権保護", frame2);
  protect_->setObjectName("Check2");
  protectText_ = new QLineEdit(frame2);
  protectText_->setObjectName("Text6");
  protectText_->setEnabled(false);
  header->addWidget(new QLabel("ﾀｲﾄﾙ", frame2), 0, 0);
  header->addWidget(title_, 0, 1, 1, 3);
  header->addWidget(new QLabel("ﾃﾝﾎﾟ", frame2), 1, 0);
  header->addWidget(tempo_, 1, 1);
  header->addWidget(new QLabel("分解能", frame2), 1, 2);
  header->addWidget(resolution_, 1, 3);
  header->addWidget(protect_, 2, 0);
  header->addWidget(protectText_, 2, 1, 1, 3);
  header->setColumnStretch(1, 1);
  for (QWidget* box : std::initializer_list<QWidget*>{title_, tempo_, protectText_}) {
    InstallPasteGuard(box);
  }

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabPART");
  for (int i = 0; i < 4; ++i) {
    pages_[i] = new PartPage(i, tabs_);
    tabs_->addTab(pages_[i], PartCaption(i, false));
    connect(pages_[i], &PartPage::edited, this, &SongForm::Edited);
    connect(pages_[i], &PartPage::fileDropped, this, &SongForm::fileDropped);
    connect(pages_[i], &PartPage::muteToggled, this, [this, i](bool muted) {
      tabs_->setTabText(i, PartCaption(i, muted));
      emit muteChanged(i, muted);
    });
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frame2);
  layout->addWidget(tabs_, 1);

  // Tab goes the way the eye reads: the header, the part tab, then the page shown from
  // the top down (a hidden page's controls are passed over).
  QList<QWidget*> order = {title_, tempo_, resolution_, protect_, protectText_, tabs_->tabBar()};
  for (PartPage* page : pages_) {
    for (QWidget* stop : page->tabStops()) order.append(stop);
  }
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  undo_ = std::make_unique<PartsUndo>(std::array<PlainTextBox*, 4>{
      pages_[0]->mmlBox(), pages_[1]->mmlBox(), pages_[2]->mmlBox(), pages_[3]->mmlBox()});

  for (const std::string& t : TempoItems()) tempo_->addItem(Q(t));
  resolution_->addItems({"24", "48"});
  showSong(SongDocument{});

  for (QLineEdit* box : {title_, tempo_->lineEdit(), protectText_}) {
    WatchText(box);
    // A file dropped here would put its address into the song.
    GuardDrops(box, false);
  }
  connect(protect_, &QCheckBox::toggled, this, [this](bool on) {
    protectText_->setEnabled(on);
    Edited();
  });
  connect(resolution_, &QComboBox::currentIndexChanged, this, &SongForm::ResolutionChanged);
  // The form sees the window's keys before any control does.
  qApp->installEventFilter(this);
  loading_ = false;
}

SongForm::~SongForm() = default;

SongDocument SongForm::currentSong() const {
  SongDocument song;
  song.title = S(title_->text());
  song.tempo = S(tempo_->currentText());
  song.resolution = resolution_->currentIndex() == 0 ? 0 : 1;
  song.copyProtect = protect_->isChecked();
  song.protectText = S(protectText_->text());
  for (int i = 0; i < 4; ++i) song.parts[i] = pages_[i]->slot();
  return song;
}

void SongForm::showSong(const SongDocument& song) {
  const bool wasLoading = loading_;
  loading_ = true;
  title_->setText(Q(song.title));
  tempo_->setEditText(Q(song.tempo));
  resolution_->setCurrentIndex(song.resolution == 0 ? 0 : 1);
  resolutionShown_ = resolution_->currentIndex();
  protect_->setChecked(song.copyProtect);
  protectText_->setEnabled(song.copyProtect);
  protectText_->setText(Q(song.protectText));
  for (int i = 0; i < 4; ++i) pages_[i]->showSlot(song.parts[i]);
  // The boxes' histories start anew with their texts.
  undo_->Clear();
  loading_ = wasLoading;
}

void SongForm::loadSong(const SongDocument& song) {
  loading_ = true;
  showSong(song);
  tabs_->setCurrentIndex(0);
  loading_ = false;
  setModified(false);
}

void SongForm::showBuiltTempo(const QString& tempo) {
  const bool wasLoading = loading_;
  loading_ = true;
  tempo_->setEditText(tempo);
  loading_ = wasLoading;
}

void SongForm::setModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  emit modifiedChanged(modified_);
}

std::array<std::string, 4> SongForm::selectedTexts() const {
  std::array<std::string, 4> texts;
  for (int i = 0; i < 4; ++i) texts[i] = pages_[i]->selectedOrWholeText();
  return texts;
}

int SongForm::currentPart() const {
  return tabs_->currentIndex();
}

std::array<bool, 4> SongForm::mutes() const {
  std::array<bool, 4> muted{};
  for (int i = 0; i < 4; ++i) muted[i] = pages_[i]->muted();
  return muted;
}

void SongForm::selectErrorText(int part, const QString& search, int line) {
  tabs_->setCurrentIndex(part);
  pages_[part]->selectText(search, line);
}

void SongForm::focusTitle() {
  title_->setFocus();
}

QWidget* SongForm::lastTabStop() const {
  return pages_[3]->tabStops().back();
}

QFont SongForm::mmlFont() const {
  return pages_[0]->mmlBox()->font();
}

void SongForm::setMmlFont(const QFont& font) {
  for (PartPage* page : pages_) page->mmlBox()->setFont(font);
}

void SongForm::markPart(int part, const QString& message) {
  // An icon, not a caption: the caption tells the mute, and tests and users find the
  // tabs by it.
  tabs_->setTabIcon(part, message.isEmpty() ? QIcon()
                                            : style()->standardIcon(QStyle::SP_MessageBoxWarning));
  tabs_->setTabToolTip(part, message);
}

void SongForm::Edited() {
  if (loading_) return;
  setModified(true);
  emit edited();
}

// Only a text that really changed is an edit: a key that changes nothing (on a read-only
// box, with Ctrl, a letter typed over the same letter) is none.
void SongForm::WatchText(QLineEdit* box) {
  connect(box, &QLineEdit::textChanged, this,
          [this, last = box->text()](const QString& text) mutable {
            if (text == last) return;
            last = text;
            Edited();
          });
}

void SongForm::setAskOkCancel(std::function<bool(const QString&)> ask) {
  askOkCancel_ = std::move(ask);
}

// Shows a resolution without rescaling anything: the lengths are already written for it.
void SongForm::ShowResolution(int index) {
  const bool wasLoading = loading_;
  loading_ = true;
  resolution_->setCurrentIndex(index);
  loading_ = wasLoading;
  resolutionShown_ = index;
}

void SongForm::ResolutionChanged(int index) {
  if (loading_) return;
  const int before = resolutionShown_;
  if (index == before) return;
  const bool halve = index == 0;
  if (halve && askOkCancel_) {
    std::array<std::string, 4> texts;
    for (int i = 0; i < 4; ++i) texts[i] = pages_[i]->slot().mml;
    const std::vector<InexactLength> inexact = InexactHalvings(texts);
    if (!inexact.empty() && !askOkCancel_(Q(InexactHalvingQuestion(inexact)))) {
      ShowResolution(before);
      return;
    }
  }
  resolutionShown_ = index;
  Edited();
  WaitCursor wait;
  // Absolute lengths keep their time: halved towards 24 steps, doubled towards 48. The
  // choice and the four texts are one step to undo, so no undo leaves lengths written for
  // one resolution under the other.
  undo_->RecordWhole(
      [&] {
        for (PartPage* page : pages_) page->rescaleLengths(halve);
      },
      [this, before, index](bool undone) {
        ShowResolution(undone ? before : index);
        Edited();
      });
}

// One command over the four parts: one step to undo, from whichever part box.
void SongForm::ConvertCase(bool upper) {
  undo_->Record([&] {
    for (PartPage* page : pages_) page->convertCase(upper);
  });
}

bool SongForm::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (event->type() != QEvent::KeyPress || !widget || widget->window() != window()) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const bool ctrl = key->modifiers() & Qt::ControlModifier;
  if (ctrl && (key->key() == Qt::Key_D || key->key() == Qt::Key_U)) {
    ConvertCase(key->key() == Qt::Key_U);
    return true;
  }
  if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F4 && key->modifiers() == Qt::NoModifier) {
    pages_[key->key() - Qt::Key_F1]->toggleMute();
    return true;
  }
  return false;
}

}  // namespace chwr::gui

#include "part_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QTextCursor>
#include <QVBoxLayout>
#include <functional>

#include "box_text.h"
#include "mml/lengths.h"
#include "paste_guard.h"
#include "song/choices.h"

namespace chwr::gui {
namespace {

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

PartPage::PartPage(int part, QWidget* parent) : QWidget(parent) {
  setObjectName(QString("fraPART_%1").arg(part));
  setProperty("key", QString("P%1").arg(part + 1));
  auto* box = new MmlBox;
  box->setParent(this);
  box->setObjectName(QString("Text1_%1").arg(part));
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->onFileDropped = [this](const QString& path) { emit fileDropped(path); };
  mml_ = box;
  mute_ = new QCheckBox("ﾐｭｰﾄ", this);
  mute_->setObjectName(QString("Check1_%1").arg(part));
  volume_ = new QComboBox(this);
  volume_->setObjectName(QString("Combo2_%1").arg(part));
  volume_->setToolTip("D502i：A(大)-C(小)  \nSO502i：42(大) 32(中) 22(小)\nN502i等：0-63");
  tone_ = new QComboBox(this);
  tone_->setObjectName(QString("Combo3_%1").arg(part));
  tone_->setToolTip("D502i：A(長)-C(短) / N502i：1-128");
  FillCombo(volume_, VolumeItems(part));
  FillCombo(tone_, ToneItems());

  auto* row = new QHBoxLayout;
  row->addWidget(mute_);
  row->addStretch();
  row->addWidget(new QLabel("ﾎﾞﾘｭｰﾑ", this));
  row->addWidget(volume_);
  row->addWidget(new QLabel("音色", this));
  row->addWidget(tone_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(mml_, 1);

  connect(mml_, &QPlainTextEdit::textChanged, this, &PartPage::edited);
  connect(volume_, &QComboBox::currentIndexChanged, this, &PartPage::edited);
  connect(tone_, &QComboBox::currentIndexChanged, this, &PartPage::edited);
  connect(mute_, &QCheckBox::toggled, this, &PartPage::muteToggled);
}

PartSlot PartPage::slot() const {
  PartSlot slot;
  slot.mml = ToSongText(mml_->toPlainText());
  slot.volume = S(volume_->currentText());
  slot.tone = S(tone_->currentText());
  slot.mute = mute_->isChecked();
  return slot;
}

void PartPage::showSlot(const PartSlot& slot) {
  mml_->setPlainText(ToBoxText(slot.mml));
  const int volume = volume_->findText(Q(slot.volume));
  volume_->setCurrentIndex(volume >= 0 ? volume : 0);
  const int tone = tone_->findText(Q(slot.tone));
  tone_->setCurrentIndex(tone >= 0 ? tone : 1);
}

std::string PartPage::selectedOrWholeText() const {
  const QTextCursor c = mml_->textCursor();
  return ToSongText(c.hasSelection() ? c.selectedText() : mml_->toPlainText());
}

bool PartPage::muted() const {
  return mute_->isChecked();
}

void PartPage::toggleMute() {
  mute_->setChecked(!mute_->isChecked());
}

void PartPage::convertCase(bool upper) {
  const QString text = mml_->toPlainText();
  mml_->setPlainText(upper ? text.toUpper() : text.toLower());
}

void PartPage::rescaleLengths(bool towards24) {
  mml_->setPlainText(ToBoxText(RescaleAbsoluteLengths(ToSongText(mml_->toPlainText()), towards24)));
}

void PartPage::selectText(const QString& search) {
  mml_->setFocus();
  QTextCursor cursor = mml_->textCursor();
  const int at = search.isEmpty() ? -1 : mml_->toPlainText().toUpper().indexOf(search);
  if (at < 0) {
    if (search.isEmpty()) cursor.setPosition(0);
  } else {
    cursor.setPosition(at);
    cursor.setPosition(at + search.size(), QTextCursor::KeepAnchor);
  }
  mml_->setTextCursor(cursor);
}

}  // namespace chwr::gui

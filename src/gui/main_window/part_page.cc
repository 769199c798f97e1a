#include "main_window/part_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <utility>

#include "mml/lengths.h"
#include "shared/box_text.h"
#include "shared/drop_guard.h"
#include "shared/paste_guard.h"
#include "song/choices.h"

namespace chwr::gui {
namespace {

// The part's MML box: it accepts files dropped on it and hands the first one on.
class MmlBox final : public PlainTextBox {
 public:
  std::function<void(const QString&)> onFileDropped;

 protected:
  // Files are taken as copies: the file stays where it is.
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasUrls()) {
      AcceptCopy(e);
    } else {
      QPlainTextEdit::dragEnterEvent(e);
    }
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (e->mimeData()->hasUrls()) {
      AcceptCopy(e);
    } else {
      QPlainTextEdit::dragMoveEvent(e);
    }
  }
  void dropEvent(QDropEvent* e) override {
    if (e->mimeData()->hasUrls() && !e->mimeData()->urls().isEmpty()) {
      const QUrl first = e->mimeData()->urls().first();
      AcceptCopy(e);
      if (onFileDropped) onFileDropped(first.toLocalFile());
      return;
    }
    QPlainTextEdit::dropEvent(e);
  }

 private:
  static void AcceptCopy(QDropEvent* e) {
    e->setDropAction(Qt::CopyAction);
    e->accept();
  }
};

// A stretch of the old text and what takes its place.
struct Change {
  int start;
  int oldLength;
  QString text;
};

bool IsDigit(QChar c) {
  return c >= '0' && c <= '9';
}

// Where each run of digits or of other characters ends.
QList<int> RunEnds(const QString& t) {
  QList<int> ends;
  for (int i = 1; i <= t.size(); ++i) {
    if (i == t.size() || IsDigit(t[i]) != IsDigit(t[i - 1])) ends.append(i);
  }
  return ends;
}

// What turns `before` into `after`. Where both have the same runs of digits and of other
// characters (a change of case, a rescale of lengths), each run that changed is a change,
// neighbours that keep their length merged; otherwise the stretch between the common start
// and the common end is one change.
QList<Change> ChangesBetween(const QString& before, const QString& after) {
  const QList<int> a = RunEnds(before), b = RunEnds(after);
  QList<Change> changes;
  if (a.size() == b.size() && !a.isEmpty() && IsDigit(before[0]) == IsDigit(after[0])) {
    for (int i = 0, startA = 0, startB = 0; i < a.size(); startA = a[i], startB = b[i], ++i) {
      Change c{startA, a[i] - startA, after.mid(startB, b[i] - startB)};
      if (before.mid(c.start, c.oldLength) == c.text) continue;
      Change* last = changes.isEmpty() ? nullptr : &changes.last();
      if (last && last->oldLength == last->text.size() && c.oldLength == c.text.size()) {
        const int lastEnd = last->start + last->oldLength;
        last->text += before.mid(lastEnd, c.start - lastEnd) + c.text;
        last->oldLength = c.start + c.oldLength - last->start;
      } else {
        changes.append(c);
      }
    }
    return changes;
  }
  int head = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  int tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  return {{head, int(before.size()) - head - tail, after.mid(head, after.size() - head - tail)}};
}

// Where a position in the old text is in the new one: changes before it move it by what
// they add or take away; inside a change it keeps its offset as far as the new text goes.
int Moved(const QList<Change>& changes, int pos) {
  int shift = 0;
  for (const Change& c : changes) {
    if (pos <= c.start) break;
    if (pos < c.start + c.oldLength) {
      return c.start + shift + std::min<int>(pos - c.start, c.text.size());
    }
    shift += c.text.size() - c.oldLength;
  }
  return pos + shift;
}

// Turns the box's text into `after` as one edit the user can undo, replacing only what
// changed, so the user's earlier edits stay on the undo stack (setPlainText would clear it).
// The caret and the selection keep their place in the text around them.
//
// The edit ends with a removal. Qt's documents fold an insertion typed right where the last
// step inserted its last text into that step; the caret often stands just there after a
// conversion, and the user's next keys would be undone only together with the conversion.
void EditText(QPlainTextEdit* box, const QString& after) {
  const QString before = box->toPlainText();
  if (before == after) return;
  QList<Change> changes = ChangesBetween(before, after);
  QTextCursor caret = box->textCursor();
  const int anchor = Moved(changes, caret.anchor());
  const int position = Moved(changes, caret.position());
  // A first change that only inserts takes a neighbouring character along, to remove and
  // put back: the first change is the edit's last.
  if (!changes.isEmpty() && changes.front().oldLength == 0 && !before.isEmpty()) {
    Change& first = changes.front();
    if (first.start < before.size()) {
      first.text += before[first.start];
    } else {
      first.text.prepend(before[--first.start]);
    }
    first.oldLength = 1;
  }
  QTextCursor edit(box->document());
  edit.beginEditBlock();
  // From the last change back, so the earlier ones' positions stay as they were; each puts
  // its new text in behind the old one, then takes the old one out.
  for (auto c = changes.crbegin(); c != changes.crend(); ++c) {
    edit.setPosition(c->start + c->oldLength);
    edit.insertText(c->text);
    edit.setPosition(c->start);
    edit.setPosition(c->start + c->oldLength, QTextCursor::KeepAnchor);
    edit.removeSelectedText();
  }
  edit.endEditBlock();
  caret.setPosition(anchor);
  caret.setPosition(position, QTextCursor::KeepAnchor);
  box->setTextCursor(caret);
}

}  // namespace

PartPage::PartPage(int part, QWidget* parent) : QWidget(parent) {
  setObjectName(QString("fraPART_%1").arg(part));
  setProperty("key", QString("P%1").arg(part + 1));
  auto* box = new MmlBox;
  box->setParent(this);
  box->setObjectName(QString("Text1_%1").arg(part));
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The compiler takes no tab characters; Tab moves on to the next control, as in any form.
  box->setTabChangesFocus(true);
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

  GuardDrops(mml_->viewport(), true);

  // Only a text that really changed is an edit: a letter typed over the same letter, or
  // a change of format alone, is none.
  connect(mml_, &QPlainTextEdit::textChanged, this, [this] {
    QString text = mml_->toPlainText();
    if (text == shownText_) return;
    shownText_ = std::move(text);
    emit edited();
  });
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

std::array<QWidget*, 4> PartPage::tabStops() const {
  return {mute_, volume_, tone_, mml_};
}

bool PartPage::muted() const {
  return mute_->isChecked();
}

void PartPage::toggleMute() {
  mute_->setChecked(!mute_->isChecked());
}

void PartPage::convertCase(bool upper) {
  const QString text = mml_->toPlainText();
  EditText(mml_, upper ? text.toUpper() : text.toLower());
}

void PartPage::rescaleLengths(bool towards24) {
  EditText(mml_, ToBoxText(RescaleAbsoluteLengths(ToSongText(mml_->toPlainText()), towards24)));
}

void PartPage::selectText(const QString& search, int line) {
  mml_->setFocus();
  QTextCursor cursor = mml_->textCursor();
  const auto [at, length] = textRange(search, line);
  if (length == 0) {
    if (search.isEmpty()) cursor.setPosition(0);
  } else {
    cursor.setPosition(at);
    cursor.setPosition(at + length, QTextCursor::KeepAnchor);
  }
  mml_->setTextCursor(cursor);
}

std::pair<int, int> PartPage::textRange(const QString& search, int line) const {
  if (search.isEmpty()) return {0, 0};
  const QString text = mml_->toPlainText();
  int at = -1;
  // The message names the line; an earlier one (a comment, say) may hold the same text.
  const QTextBlock block = mml_->document()->findBlockByNumber(line - 1);
  if (line > 0 && block.isValid()) at = text.indexOf(search, block.position(), Qt::CaseInsensitive);
  if (at < 0) at = text.indexOf(search, 0, Qt::CaseInsensitive);
  if (at < 0) return {0, 0};
  return {at, static_cast<int>(search.size())};
}

}  // namespace chwr::gui

#include "main_window/live_check.h"

#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextBlock>
#include <QToolTip>
#include <algorithm>

#include "main_window/part_page.h"
#include "main_window/song_form.h"
#include "shared/box_marks.h"
#include "shared/box_text.h"
#include "shared/paste_guard.h"

namespace chwr::gui {
namespace {

// Long enough that a compile does not start between two keys of a word, short enough
// that the mark follows the typing.
constexpr int kPauseMs = 300;

}  // namespace

LiveCheck::LiveCheck(SongForm& form, QLabel* messagePanel, QObject* parent)
    : QObject(parent), form_(form), messagePanel_(messagePanel) {
  pool_.setMaxThreadCount(1);
  timer_.setObjectName("liveCheckTimer");
  timer_.setSingleShot(true);
  timer_.setInterval(kPauseMs);
  connect(&timer_, &QTimer::timeout, this, &LiveCheck::Start);
  connect(&form_, &SongForm::edited, this, &LiveCheck::Edited);
  for (int part = 0; part < 4; ++part) {
    QPlainTextEdit* box = form_.page(part)->mmlBox();
    box->viewport()->installEventFilter(this);
    connect(box, &QPlainTextEdit::cursorPositionChanged, this, [this, part] { CaretMoved(part); });
  }
}

LiveCheck::~LiveCheck() {
  pool_.waitForDone();
}

void LiveCheck::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  ++generation_;
  timer_.stop();
  if (on) {
    timer_.start();
    return;
  }
  for (int part = 0; part < 4; ++part) ShowMark(part, {});
}

void LiveCheck::Edited() {
  ++generation_;
  if (enabled_) timer_.start();
}

void LiveCheck::Start() {
  if (!enabled_) return;
  if (running_) {
    again_ = true;
    return;
  }
  running_ = true;
  const std::uint64_t generation = generation_;
  // The song is copied here, on the window's thread; the worker touches no widget.
  pool_.start([this, generation, song = form_.currentSong()] {
    SongCheck check = CheckSong(song);
    QMetaObject::invokeMethod(
        this, [this, generation, check = std::move(check)] { Finished(generation, check); },
        Qt::QueuedConnection);
  });
}

void LiveCheck::Finished(std::uint64_t generation, const SongCheck& check) {
  running_ = false;
  if (again_) {
    again_ = false;
    Start();
  }
  if (generation != generation_ || !enabled_) return;
  for (int part = 0; part < 4; ++part) {
    Mark mark;
    if (const auto& error = check.partErrors[part]) {
      PartPage* page = form_.page(part);
      QTextDocument* document = page->mmlBox()->document();
      mark.message = Q(error->message);
      auto [start, length] = page->textRange(Q(error->searchText), error->line);
      if (length == 0) {
        // A message without a token to point at (a tone definition, a repeat) marks the
        // line it names, else the first line.
        QTextBlock block = document->findBlockByNumber(std::max(error->line, 1) - 1);
        if (!block.isValid()) block = document->firstBlock();
        start = block.position();
        length = std::max(block.length() - 1, 1);
      }
      mark.range = QTextCursor(document);
      mark.range.setPosition(std::min(start, document->characterCount() - 1));
      mark.range.setPosition(std::min(start + length, document->characterCount() - 1),
                             QTextCursor::KeepAnchor);
    }
    ShowMark(part, mark);
  }
  if (std::ranges::none_of(check.partErrors, [](const auto& e) { return e.has_value(); }) &&
      !check.buildError) {
    emit sizeReported(Q(check.sizeReport), Q(check.drift));
  }
}

std::pair<int, int> LiveCheck::markRange(int part) const {
  const QTextCursor& range = marks_[part].range;
  if (!range.hasSelection()) return {0, 0};
  return {range.selectionStart(), range.selectionEnd() - range.selectionStart()};
}

void LiveCheck::ShowMark(int part, const Mark& mark) {
  marks_[part] = mark;
  QList<QTextEdit::ExtraSelection> selections;
  if (mark.range.hasSelection()) {
    QTextEdit::ExtraSelection wavy;
    wavy.cursor = mark.range;
    wavy.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    wavy.format.setUnderlineColor(Qt::red);
    selections.append(wavy);
  }
  SetBoxMarks(form_.page(part)->mmlBox(), MarkLayer::kError, std::move(selections));
  form_.markPart(part, mark.message);
  CaretMoved(part);
}

// The panel tells the message of the mark the caret is on, in the part shown.
void LiveCheck::CaretMoved(int part) {
  if (!messagePanel_ || part != form_.currentPart()) return;
  const int caret = form_.page(part)->mmlBox()->textCursor().position();
  if (marks_[part].covers(caret)) {
    shown_ = marks_[part].message;
    messagePanel_->setText(shown_);
  } else if (!shown_.isEmpty() && messagePanel_->text() == shown_) {
    messagePanel_->clear();
    shown_.clear();
  }
}

bool LiveCheck::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QObject::eventFilter(watched, event);
  for (int part = 0; part < 4; ++part) {
    QPlainTextEdit* box = form_.page(part)->mmlBox();
    if (box->viewport() != watched) continue;
    auto* help = static_cast<QHelpEvent*>(event);
    if (marks_[part].covers(box->cursorForPosition(help->pos()).position())) {
      QToolTip::showText(help->globalPos(), marks_[part].message, box);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace chwr::gui

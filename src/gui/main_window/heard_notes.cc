#include "main_window/heard_notes.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

#include "main_window/part_page.h"
#include "main_window/song_form.h"
#include "mml/event_time.h"
#include "shared/box_marks.h"
#include "shared/paste_guard.h"

namespace chwr::gui {
namespace {

// UTF-16 units of the first `characters` characters of `text` from unit `from` on.
int Units(const QString& text, int from, int characters) {
  int at = from;
  for (int k = 0; k < characters && at < text.size(); ++k) {
    at += text[at].isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
  }
  return at - from;
}

}  // namespace

HeardNotes::HeardNotes(SongForm& form, QObject* parent) : QObject(parent), form_(form) {}

void HeardNotes::setEnabled(bool on) {
  enabled_ = on;
  if (!on) {
    for (int part = 0; part < 4; ++part) Show(part, -1);
  }
}

void HeardNotes::SongStarted(const SongCompile& compiled, bool fromSelections) {
  for (int part = 0; part < 4; ++part) {
    Show(part, -1);
    Part& p = parts_[part];
    p.starts = EventStarts(compiled.parts[part]);
    p.sources = compiled.parts[part].sources;
    p.baseBlock = p.baseColumn = 0;
    const QTextCursor caret = form_.page(part)->mmlBox()->textCursor();
    if (fromSelections && caret.hasSelection()) {
      QTextCursor start = caret;
      start.setPosition(caret.selectionStart());
      p.baseBlock = start.blockNumber();
      const QString line = start.block().text();
      const int unit = start.positionInBlock();
      p.baseColumn = static_cast<int>(QStringView(line).left(unit).toUcs4().size());
    }
  }
}

void HeardNotes::Heard(int step) {
  for (int part = 0; part < 4; ++part) {
    const Part& p = parts_[part];
    const int event = step < 0 || !enabled_ ? -1 : EventAtStep(p.starts, step);
    if (event != p.shown) Show(part, event);
  }
}

std::pair<int, int> HeardNotes::heardRange(int part) const {
  return parts_[part].range;
}

void HeardNotes::Show(int part, int event) {
  Part& p = parts_[part];
  p.shown = event;
  p.range = {0, 0};
  QPlainTextEdit* box = form_.page(part)->mmlBox();
  QList<QTextEdit::ExtraSelection> marks;
  if (event >= 0 && static_cast<std::size_t>(event) < p.sources.size()) {
    const SourceSpan& span = p.sources[static_cast<std::size_t>(event)];
    const QTextBlock block = box->document()->findBlockByNumber(p.baseBlock + span.line - 1);
    if (block.isValid()) {
      // The text played may have begun inside a line (a selection); its first line's
      // columns count from there.
      const int column = (span.line == 1 ? p.baseColumn : 0) + span.column - 1;
      const QString text = block.text();
      const int from = Units(text, 0, column);
      // A span across a line break is shown on its first line.
      const int length = std::max(Units(text, from, span.length), 1);
      p.range = {block.position() + from, length};
      QTextEdit::ExtraSelection heard;
      heard.cursor = QTextCursor(box->document());
      heard.cursor.setPosition(p.range.first);
      heard.cursor.setPosition(std::min(p.range.first + length, box->document()->characterCount() - 1),
                               QTextCursor::KeepAnchor);
      QColor back = box->palette().color(QPalette::Highlight);
      back.setAlpha(110);  // the text stays readable through it, light theme or dark
      heard.format.setBackground(back);
      marks.append(heard);
      // The box in view keeps the note in sight; the others are scrolled when shown.
      if (box->isVisible()) {
        const QRect at = box->cursorRect(heard.cursor);
        if (!box->viewport()->rect().contains(at)) {
          const int lines = std::max(box->viewport()->height() / box->fontMetrics().lineSpacing(), 1);
          box->verticalScrollBar()->setValue(block.blockNumber() - lines / 2);
        }
      }
    }
  }
  SetBoxMarks(box, MarkLayer::kHeard, std::move(marks));
}

}  // namespace chwr::gui

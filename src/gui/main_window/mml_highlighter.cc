#include "main_window/mml_highlighter.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <string_view>

#include "mml/highlight.h"

namespace chwr::gui {
namespace {

// One hue per kind, in the order of MmlStyle. Saturation is kept moderate and the
// lightness is taken from the theme, so no colour glares on a dark background or fades
// on a light one.
struct Look {
  int hue;  // -1: the palette's text colour
  bool bold;
  bool italic;
};
constexpr Look kLooks[] = {
    {215, true, false},   // note or rest: blue
    {185, false, false},  // length: teal
    {275, false, false},  // octave, transposition: purple
    {100, false, false},  // volume: green
    {320, false, false},  // tone selection: magenta
    {60, false, false},   // gate: olive
    {0, true, false},     // tie: red
    {25, true, false},    // repeat, start mark: orange
    {-1, false, true},    // comment
    {150, false, false},  // tone definition: sea green
    {45, false, false},   // data group: amber
};
static_assert(std::size(kLooks) == 11);

}  // namespace

MmlHighlighter::MmlHighlighter(QPlainTextEdit* box)
    : QSyntaxHighlighter(static_cast<QObject*>(box)), box_(box), boxDocument_(box->document()) {
  TakePalette();
  box->installEventFilter(this);
  setDocument(boxDocument_);
}

void MmlHighlighter::setActive(bool on) {
  if (on == active()) return;
  // Detaching takes the colours away from the text; attaching colours it afresh, now
  // rather than at the next turn of the event loop.
  setDocument(on ? boxDocument_ : nullptr);
  if (on) rehighlight();
}

void MmlHighlighter::TakePalette() {
  const QPalette palette = box_->palette();
  const bool dark = palette.color(QPalette::Base).lightness() < 128;
  for (std::size_t i = 0; i < std::size(kLooks); ++i) {
    const Look& look = kLooks[i];
    QTextCharFormat format;
    if (look.hue < 0) {
      // Comments step back: the theme's own colour for text that matters less.
      format.setForeground(palette.color(QPalette::PlaceholderText));
    } else {
      format.setForeground(QColor::fromHsl(look.hue, dark ? 150 : 200, dark ? 170 : 85));
    }
    if (look.bold) format.setFontWeight(QFont::Bold);
    format.setFontItalic(look.italic);
    formats_[i] = format;
  }
}

bool MmlHighlighter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_ && event->type() == QEvent::PaletteChange) {
    TakePalette();
    if (active()) rehighlight();
  }
  return QSyntaxHighlighter::eventFilter(watched, event);
}

void MmlHighlighter::highlightBlock(const QString& text) {
  const int previous = previousBlockState();
  const auto start = previous < 0 ? MmlLineState::kPlain : static_cast<MmlLineState>(previous);
  const std::u16string_view line(reinterpret_cast<const char16_t*>(text.utf16()),
                                 static_cast<std::size_t>(text.size()));
  const MmlLineHighlight h = HighlightMmlLine(line, start);
  for (const MmlSpan& s : h.spans) setFormat(s.start, s.length, formats_[static_cast<int>(s.style)]);
  setCurrentBlockState(static_cast<int>(h.end));
}

}  // namespace chwr::gui

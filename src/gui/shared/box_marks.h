#pragma once
// The marks laid over a text box's text (extra selections), by layer: the error found
// while typing and the note being heard are set apart and shown together.

#include <QList>
#include <QTextEdit>

class QPlainTextEdit;

namespace chwr::gui {

/// What a layer of marks shows.
enum class MarkLayer { kError = 0, kHeard = 1 };

/// Replaces layer `layer` of `box`'s marks; the other layer stays.
void SetBoxMarks(QPlainTextEdit* box, MarkLayer layer, QList<QTextEdit::ExtraSelection> marks);

/// The marks of layer `layer` of `box`, as last set.
QList<QTextEdit::ExtraSelection> BoxMarks(const QPlainTextEdit* box, MarkLayer layer);

}  // namespace chwr::gui

#include "shared/paste_guard.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace chwr::gui {
namespace {

// The widget that holds the text: an editable combo box edits through its line edit.
QWidget* EditorOf(QWidget* box) {
  if (auto* combo = qobject_cast<QComboBox*>(box)) return combo->lineEdit();
  return box;
}

bool AcceptsText(QWidget* editor) {
  if (auto* e = qobject_cast<QPlainTextEdit*>(editor)) return !e->isReadOnly();
  if (auto* e = qobject_cast<QTextEdit*>(editor)) return !e->isReadOnly();
  if (auto* e = qobject_cast<QLineEdit*>(editor)) return !e->isReadOnly();
  return false;
}

// Inserts as the box's own paste does: one undo step, the cursor kept in sight.
template <class Edit>
void InsertInto(Edit* edit, const QString& text) {
  QTextCursor cursor = edit->textCursor();
  cursor.insertFragment(QTextDocumentFragment::fromPlainText(text));
  edit->setTextCursor(cursor);
  edit->ensureCursorVisible();
}

QMenu* StandardMenu(QWidget* editor) {
  if (auto* e = qobject_cast<QPlainTextEdit*>(editor)) return e->createStandardContextMenu();
  if (auto* e = qobject_cast<QTextEdit*>(editor)) return e->createStandardContextMenu();
  if (auto* e = qobject_cast<QLineEdit*>(editor)) return e->createStandardContextMenu();
  return nullptr;
}

// The menu's Paste item. Qt's text boxes name it; its line edits (6.4) leave it unnamed
// and show the paste key beside it. A menu that shows no keys keeps its line edit's own
// item, which reads the clipboard's text and so cannot meet a format-less clipboard.
QAction* PasteAction(QMenu* menu) {
  if (auto* named = menu->findChild<QAction*>("edit-paste")) return named;
  const QString key = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
  for (QAction* action : menu->actions()) {
    if (!key.isEmpty() && action->text().section('\t', 1) == key) {
      action->setObjectName("edit-paste");
      return action;
    }
  }
  return nullptr;
}

class PasteGuard final : public QObject {
 public:
  explicit PasteGuard(QWidget* box) : QObject(box), box_(box), editor_(EditorOf(box)) {}

  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ShortcutOverride:
      case QEvent::KeyPress:
        if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) return false;
        // Claimed at the override as well, so no shortcut elsewhere takes the key.
        if (event->type() == QEvent::KeyPress) PasteClipboardText(editor_);
        event->accept();
        return true;
      case QEvent::ContextMenu:
        // The box's policy rules: a combo box keeps its line edit's own menu switched off.
        if (box_->contextMenuPolicy() != Qt::DefaultContextMenu) return false;
        ShowMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
      case QEvent::MouseButtonRelease:
        return PasteSelection(static_cast<QMouseEvent*>(event));
      default:
        return false;
    }
  }

 private:
  void ShowMenu(const QPoint& at) {
    QMenu* menu = StandardMenu(editor_);
    if (!menu) return;
    if (QAction* paste = PasteAction(menu)) {
      QObject::disconnect(paste, &QAction::triggered, nullptr, nullptr);
      paste->setEnabled(AcceptsText(editor_) && ClipboardText().has_value());
      QWidget* editor = editor_;
      connect(paste, &QAction::triggered, editor, [editor] { PasteClipboardText(editor); });
    }
    if (auto* box = dynamic_cast<PlainTextBox*>(editor_)) box->PrepareMenu(menu);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
  }

  // X11's middle button pastes the selection where it is clicked.
  bool PasteSelection(QMouseEvent* mouse) {
    if (mouse->button() != Qt::MiddleButton || !QGuiApplication::clipboard()->supportsSelection())
      return false;
    if (!AcceptsText(editor_)) return true;
    const QPoint at = mouse->position().toPoint();
    if (auto* e = qobject_cast<QPlainTextEdit*>(editor_))
      e->setTextCursor(e->cursorForPosition(at));
    if (auto* e = qobject_cast<QTextEdit*>(editor_)) e->setTextCursor(e->cursorForPosition(at));
    if (auto* e = qobject_cast<QLineEdit*>(editor_)) e->setCursorPosition(e->cursorPositionAt(at));
    PasteClipboardText(editor_, QClipboard::Selection);
    return true;
  }

  QWidget* box_;
  QWidget* editor_;
};

}  // namespace

std::optional<QString> ClipboardText(QClipboard::Mode mode) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
  if (!data || !data->hasText()) return std::nullopt;
  QString text = data->text();
  if (text.isEmpty()) return std::nullopt;
  return text;
}

void PasteClipboardText(QWidget* box, QClipboard::Mode mode) {
  QWidget* editor = EditorOf(box);
  if (!editor || !AcceptsText(editor)) return;
  const std::optional<QString> text = ClipboardText(mode);
  if (!text) return;
  if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
    InsertInto(plain, *text);
  } else if (auto* rich = qobject_cast<QTextEdit*>(editor)) {
    InsertInto(rich, *text);
  } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    // A one-line box takes the first line only: a line break in a title or tempo
    // would break the song file's lines.
    const QString first = text->section(QRegularExpression("[\r\n]"), 0, 0);
    if (!first.isEmpty()) line->insert(first);
  }
}

void InstallPasteGuard(QWidget* box) {
  auto* guard = new PasteGuard(box);
  box->installEventFilter(guard);
  QWidget* editor = EditorOf(box);
  if (editor && editor != box) editor->installEventFilter(guard);
  if (auto* area = qobject_cast<QAbstractScrollArea*>(editor)) {
    area->viewport()->installEventFilter(guard);
  }
}

PlainTextBox::PlainTextBox(QWidget* parent) : QPlainTextEdit(parent) {
  InstallPasteGuard(this);
}

bool PlainTextBox::canInsertFromMimeData(const QMimeData* source) const {
  return source && source->hasText();
}

void PlainTextBox::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText() || source->text().isEmpty()) return;
  // Qt's own insertion, handed the text alone.
  QMimeData plain;
  plain.setText(source->text());
  QPlainTextEdit::insertFromMimeData(&plain);
}

// Qt's auto-scroll timer feeds the box mouse moves of its own making, "with the left
// button held". After a drag that was let go outside the box the button is long up,
// yet those moves start the drag again and again, swallowing keys and dialogs (Qt 6.4).
// Moves that claim a button the application knows is up are not the user's: dropped.
void PlainTextBox::mouseMoveEvent(QMouseEvent* event) {
  if (!event->spontaneous() && (event->buttons() & Qt::LeftButton) &&
      !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
    return;
  }
  QPlainTextEdit::mouseMoveEvent(event);
}

}  // namespace chwr::gui

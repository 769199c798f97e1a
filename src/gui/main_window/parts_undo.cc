#include "main_window/parts_undo.h"

#include <QAction>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>
#include <algorithm>
#include <climits>

#include "shared/paste_guard.h"

namespace chwr::gui {
namespace {

// No write since the mark.
constexpr int kNone = INT_MAX;
// Commands kept: older ones lie long buried under the boxes' own edits.
constexpr std::size_t kMaxCommands = 64;

// Ctrl+Y redoes on every desktop, also where the platform's own redo key is another.
bool IsRedoKey(const QKeyEvent* key) {
  return key->matches(QKeySequence::Redo) ||
         (key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier);
}

}  // namespace

PartsUndo::PartsUndo(std::array<PlainTextBox*, 4> boxes, QObject* parent)
    : QObject(parent), boxes_(boxes) {
  for (int b = 0; b < 4; ++b) {
    QTextDocument* document = boxes_[b]->document();
    position_[b] = Position(b);
    // A new step comes before the change's contentsChanged: position_ still tells where
    // the history stood when the change began.
    connect(document, &QTextDocument::undoCommandAdded, this, [this, b] { Added(b); });
    connect(document, &QTextDocument::contentsChanged, this,
            [this, b] { position_[b] = Position(b); });
    boxes_[b]->installEventFilter(this);
    boxes_[b]->setMenuHook([this, b](QMenu* menu) { AdjustMenu(b, menu); });
  }
}

PartsUndo::~PartsUndo() {
  for (PlainTextBox* box : boxes_) box->setMenuHook({});
}

int PartsUndo::Position(int box) const {
  return boxes_[box]->document()->availableUndoSteps();
}

PartsUndo::Boxes PartsUndo::Now() const {
  Boxes now;
  for (int b = 0; b < 4; ++b) {
    now.position[b] = Position(b);
    now.text[b] = qHash(boxes_[b]->toPlainText());
  }
  return now;
}

void PartsUndo::Record(const std::function<void()>& change) {
  RecordWhole(change, {});
}

void PartsUndo::RecordWhole(const std::function<void()>& change,
                            std::function<void(bool undone)> setting) {
  Command c;
  c.setting = std::move(setting);
  c.before = Now();
  change();
  c.after = Now();
  for (int b = 0; b < 4; ++b) {
    if (c.after.text[b] == c.before.text[b]) continue;
    // A change the box's history did not take cannot be undone with the others.
    if (c.after.position[b] == c.before.position[b]) return;
    c.changed |= 1u << b;
  }
  if (c.changed == 0) return;
  Mark(c);
  commands_.push_back(c);
  if (commands_.size() > kMaxCommands) commands_.erase(commands_.begin());
}

void PartsUndo::Clear() {
  commands_.clear();
}

void PartsUndo::Mark(Command& c) {
  c.mark = Now();
  c.writtenSince.fill(kNone);
  c.stamp = ++clock_;
}

// A change of the box's own begins a new block where its history stands: whatever lay
// above that (steps undone before) is gone from it.
void PartsUndo::Added(int box) {
  const int at = std::min(position_[box], Position(box) - 1);
  for (Command& c : commands_) {
    if ((c.changed >> box & 1) && at < c.after.position[box]) c.lost[box] = true;
    c.writtenSince[box] = std::min(c.writtenSince[box], at);
  }
  // A command none of whose blocks is left is of no use any more.
  std::erase_if(commands_, [](const Command& c) {
    for (int b = 0; b < 4; ++b) {
      if ((c.changed >> b & 1) && !c.lost[b]) return false;
    }
    return true;
  });
}

bool PartsUndo::OnTop(const Command& c, int b, const Boxes& now) const {
  return !c.lost[b] && now.position[b] == c.after.position[b] && now.text[b] == c.after.text[b];
}

bool PartsUndo::NextToRedo(const Command& c, int b, const Boxes& now) const {
  return !c.lost[b] && now.position[b] == c.before.position[b] && now.text[b] == c.before.text[b];
}

// What a box undid again since does not count against undoing the command; for redoing
// it, the box must not have been written at all.
bool PartsUndo::Untouched(const Command& c, int b, const Boxes& now, bool redo) const {
  const int written = c.writtenSince[b];
  return now.position[b] == c.mark.position[b] && now.text[b] == c.mark.text[b] &&
         (redo ? written == kNone : written >= c.mark.position[b]);
}

// The command's block in box `b` is the next one to undo there (or, for redo, to redo).
bool PartsUndo::Next(const Command& c, int b, const Boxes& now, bool redo) const {
  return redo ? NextToRedo(c, b, now) : OnTop(c, b, now);
}

// The latest command whose block is the next to undo (redo) in box `part`; from a box the
// command left alone that has done nothing of its own since, the latest command whose
// block is the next in some box. -1 when there is none: the box's own step is next.
int PartsUndo::Latest(int part, const Boxes& now, bool redo) const {
  auto applies = [&](const Command& c) {
    if (c.setting && !Whole(c, now, redo)) return false;
    if (c.changed >> part & 1) return Next(c, part, now, redo);
    if (!Untouched(c, part, now, redo)) return false;
    for (int b = 0; b < 4; ++b) {
      if ((c.changed >> b & 1) && Next(c, b, now, redo)) return true;
    }
    return false;
  };
  int latest = -1;
  for (int i = 0; i < static_cast<int>(commands_.size()); ++i) {
    if ((latest < 0 || commands_[i].stamp > commands_[latest].stamp) && applies(commands_[i])) {
      latest = i;
    }
  }
  return latest;
}

// Every box the command changed has its block next.
bool PartsUndo::Whole(const Command& c, const Boxes& now, bool redo) const {
  for (int b = 0; b < 4; ++b) {
    if ((c.changed >> b & 1) && !Next(c, b, now, redo)) return false;
  }
  return true;
}

bool PartsUndo::Held(int part, const Boxes& now, bool redo) const {
  return std::any_of(commands_.begin(), commands_.end(), [&](const Command& c) {
    return c.setting && (c.changed >> part & 1) && Next(c, part, now, redo) && !Whole(c, now, redo);
  });
}

// The command goes back in every box where it is the last thing done; where the user has
// typed over it since, it stays, to be undone there after the typing. Redo is the mirror.
void PartsUndo::Step(int part, bool redo) {
  const Boxes now = Now();
  const int i = Latest(part, now, redo);
  if (i < 0) {
    // Half a resolution change would leave lengths of one resolution under the other.
    if (Held(part, now, redo)) return;
    redo ? boxes_[part]->redo() : boxes_[part]->undo();
    return;
  }
  for (int b = 0; b < 4; ++b) {
    if (!(commands_[i].changed >> b & 1) || !Next(commands_[i], b, now, redo)) continue;
    redo ? boxes_[b]->redo() : boxes_[b]->undo();
  }
  // The boxes' steps are done; the setting may edit the song in turn, so it comes last and
  // the command is marked after it.
  if (commands_[i].setting) {
    const std::function<void(bool)> setting = commands_[i].setting;
    setting(!redo);
  }
  Mark(commands_[i]);
}

void PartsUndo::Undo(int part) {
  Step(part, false);
}

void PartsUndo::Redo(int part) {
  Step(part, true);
}

bool PartsUndo::CanUndo(int part) const {
  const Boxes now = Now();
  if (Latest(part, now, false) >= 0) return true;
  return boxes_[part]->document()->isUndoAvailable() && !Held(part, now, false);
}

bool PartsUndo::CanRedo(int part) const {
  const Boxes now = Now();
  if (Latest(part, now, true) >= 0) return true;
  return boxes_[part]->document()->isRedoAvailable() && !Held(part, now, true);
}

bool PartsUndo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  const auto box = std::find(boxes_.begin(), boxes_.end(), watched);
  if (box == boxes_.end()) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const bool undo = key->matches(QKeySequence::Undo);
  if (!undo && !IsRedoKey(key)) return false;
  // Claimed at the override as well, so no shortcut elsewhere takes the key.
  if (event->type() == QEvent::KeyPress) {
    const int part = static_cast<int>(box - boxes_.begin());
    undo ? Undo(part) : Redo(part);
  }
  event->accept();
  return true;
}

// The menu's Undo and Redo are the keys' own: the same step, enabled when there is one.
void PartsUndo::AdjustMenu(int part, QMenu* menu) {
  const std::pair<const char*, bool> items[] = {{"edit-undo", true}, {"edit-redo", false}};
  for (const auto& [name, undo] : items) {
    QAction* action = menu->findChild<QAction*>(name);
    if (!action) continue;
    disconnect(action, &QAction::triggered, nullptr, nullptr);
    action->setEnabled(undo ? CanUndo(part) : CanRedo(part));
    connect(action, &QAction::triggered, this,
            [this, part, undo] { undo ? Undo(part) : Redo(part); });
  }
}

}  // namespace chwr::gui

#pragma once
// Undo and redo over the four MML boxes. Each box keeps its own history of what the user
// types there; a command that changes several boxes at once (Ctrl+D, Ctrl+U) is one step
// that Ctrl+Z in any of the boxes takes back in all of them, and Ctrl+Y brings back.
//
// The command's changes stay edit blocks of the boxes' own histories, so a box's history
// is always whole and in order, whatever is undone where. What this adds is the knowledge
// of which blocks belong together. Ctrl+Z in a box whose last step is a command's block
// (or in a box the command left alone, with nothing of its own done since) undoes the
// command in every box where its block is the last thing done. A box the user has typed
// in since keeps it under the typing: Ctrl+Z there undoes the typing first, as in any
// text box, then the command's block. Ctrl+Y redoes the same way.

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QMenu;

namespace chwr::gui {

class PlainTextBox;

/// The shared undo of the four part boxes; it serves their undo and redo keys and the
/// undo and redo items of their context menus.
class PartsUndo final : public QObject {
 public:
  /// Undo for `boxes` (parts 1..4), which it watches from now on.
  explicit PartsUndo(std::array<PlainTextBox*, 4> boxes, QObject* parent = nullptr);
  ~PartsUndo() override;

  /// Runs `change`, which edits some of the boxes (one edit block in each), and keeps what
  /// it changed as one step. A change that changes nothing is no step.
  void Record(const std::function<void()>& change);
  /// Record for a change that belongs to a setting outside the boxes (the resolution):
  /// `setting` is called with true when the step is undone and false when it is redone,
  /// to put the setting back with the texts. Such a step goes only whole: while a box it
  /// changed has been typed in since, Ctrl+Z in the others undoes nothing.
  void RecordWhole(const std::function<void()>& change, std::function<void(bool undone)> setting);
  /// Undoes the latest step as seen from box `part` (0..3): a whole command, or the box's own.
  void Undo(int part);
  /// Redoes the step last undone as seen from box `part`, as Undo does.
  void Redo(int part);
  /// Whether Undo in box `part` would undo something.
  bool CanUndo(int part) const;
  /// Whether Redo in box `part` would redo something.
  bool CanRedo(int part) const;
  /// Forgets the commands: the boxes got new texts, their histories are gone.
  void Clear();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The boxes as they are: their history positions and (the hash of) their texts. Texts
  // are compared by hash, so that a long song's commands keep no copies of it.
  struct Boxes {
    std::array<int, 4> position{};
    std::array<std::size_t, 4> text{};
  };

  // One command over several boxes, and where each box stood around it.
  struct Command {
    unsigned changed = 0;               // bit b: the command changed box b
    Boxes before;                       // the boxes before the command
    Boxes after;                        // and after it (a box it left alone is the same)
    std::array<bool, 4> lost{};         // a changed box's block was dropped from its history
    Boxes mark;                         // the boxes when the command was last done or undone
    std::array<int, 4> writtenSince{};  // the lowest position each box was written at since
                                        // the mark (none: kNone)
    std::uint64_t stamp = 0;  // when it was last done or undone: the latest is tried first
    std::function<void(bool)> setting;  // a whole step's setting outside the boxes
  };

  Boxes Now() const;
  // The command's block in box `b` is the last thing done there.
  bool OnTop(const Command& c, int b, const Boxes& now) const;
  // The command's block in box `b` is the next thing to redo there.
  bool NextToRedo(const Command& c, int b, const Boxes& now) const;
  // Box `b`, which the command left alone, has done nothing of its own since the command
  // was last done or undone.
  bool Untouched(const Command& c, int b, const Boxes& now, bool redo) const;
  bool Next(const Command& c, int b, const Boxes& now, bool redo) const;
  int Latest(int part, const Boxes& now, bool redo) const;
  // Box `part`'s next step is its part of a whole step that cannot go yet.
  bool Held(int part, const Boxes& now, bool redo) const;
  bool Whole(const Command& c, const Boxes& now, bool redo) const;
  void Step(int part, bool redo);
  void Mark(Command& c);
  void Added(int box);
  void AdjustMenu(int part, QMenu* menu);
  int Position(int box) const;

  std::array<PlainTextBox*, 4> boxes_;
  std::array<int, 4> position_{};  // each box's history position after its last change
  std::vector<Command> commands_;
  std::uint64_t clock_ = 0;
};

}  // namespace chwr::gui

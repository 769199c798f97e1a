#pragma once
// The score editor's model: a row of note cells on a staff and every edit the user makes
// to it with the mouse, the keys, the buttons and the menus. The window turns pointer
// pixels into (cell, y) with score_layout.h, calls an operation, redraws the cells the
// operation names (or all 36: they are cheap) and refreshes its controls from Controls().
//
// Cells are numbered 1..52. Cells 1..36 are shown, drawn and converted; 37..52 only hold
// what insertion pushed out of view, and deleting cells before them brings them back.

#include <array>
#include <span>
#include <vector>

#include "score/score_layout.h"

namespace chwr {

// ---- cells and lengths -------------------------------------------------------------------

/// Length codes: 0 whole, 1 dotted half, 2 half, 3 dotted quarter, 4 quarter, 5 dotted
/// eighth, 6 eighth, 7 dotted sixteenth, 8 sixteenth, 9 thirty-second; a rest has the code
/// of its length + 10.
inline constexpr int kLengthCodes = 20;
/// The code a rest adds to its length's code.
inline constexpr int kRestCodeOffset = 10;
/// The length code the editor starts with: an eighth note.
inline constexpr int kStartLengthCode = 6;

/// The code is a rest's (10..19).
constexpr bool IsRestCode(int lengthCode) {
  return lengthCode >= kRestCodeOffset;
}
/// The code's length is dotted (1, 3, 5, 7 and their rests); a dotted length has no triplet.
constexpr bool IsDottedCode(int lengthCode) {
  const int length = lengthCode % kRestCodeOffset;
  return length == 1 || length == 3 || length == 5 || length == 7;
}
/// Steps of a length code's note (the rest offset ignored) at 48 steps a quarter note:
/// 192, 144, 96, ... 6. A triplet lasts two thirds of it.
int LengthCodeSteps48(int lengthCode);

/// Accidental codes of a cell.
enum ScoreAccidental : int { kNoAccidental = 0, kNatural = 1, kSharp = 2, kFlat = 3 };

/// One cell of the score.
struct ScoreCell {
  int pitchPos = 0;      ///< 0 = empty; otherwise the head's position in the picture (>= 10)
  int lengthCode = 0;    ///< 0..9 note, 10..19 rest
  int accidental = 0;    ///< ScoreAccidental
  bool tie = false;      ///< tied or slurred to the next cell
  bool triplet = false;  ///< a triplet note; never with a dotted length

  /// The cell holds nothing (all five fields are then 0).
  bool empty() const { return pitchPos == 0; }
  /// The cell holds a rest.
  bool isRest() const { return !empty() && IsRestCode(lengthCode); }
  bool operator==(const ScoreCell&) const = default;
};

/// Cells 1..52 at indices 1..52; index 0 is never used, so that a cell's number is its index.
using ScoreCells = std::array<ScoreCell, kStoredCells + 1>;

// ---- the editor's state ------------------------------------------------------------------

/// What a held mouse button does while it moves.
enum class ScoreDragMode : int {
  kRangeSelection = 0,  ///< the pointer selects the cells it passes
  kNoteDrag = 1,        ///< the pointer moves the pressed note up and down
};

/// The selected range of cells; first == last when nothing is selected.
struct CellRange {
  int first = 1;
  int last = 1;
  /// More than one cell is selected.
  bool any() const { return first != last; }
  bool contains(int cell) const { return cell >= first && cell <= last; }
  bool operator==(const CellRange&) const = default;
};

/// What an operation changed, for the window to redraw.
struct ScoreChange {
  /// Shown cells (1..36) whose content or selected look changed, ascending, each once.
  /// The window redraws these; it may just as well redraw all 36.
  std::vector<int> cells;
  /// The request was not allowed and nothing changed (a triplet on a dotted length); the
  /// window puts its control back from Controls().
  bool refused = false;
};

/// What every control of the editor shows for the current cell: the length buttons
/// `Option1`, the accidental buttons `Option2`, the boxes `Check1` (tie) and `Check2`
/// (triplet), and the check marks of the menus `mnuLEN`, `mnuCYO` and `mnuED(5)`.
struct ScoreControls {
  int lengthCode = kStartLengthCode;  ///< the selected `Option1` button (0..19)
  int lengthItem = kStartLengthCode;  ///< the checked `mnuLEN` item (0..9)
  bool rest = false;                  ///< `mnuED(5)` ("休符") is checked
  int accidental = 0;                 ///< the selected `Option2` button and `mnuCYO` item (0..3)
  bool tie = false;                   ///< `Check1` and the tie item of `mnuCYO`
  bool triplet = false;               ///< `Check2` and the triplet item of `mnuCYO`
  bool operator==(const ScoreControls&) const = default;
};

/// The score editor's model and its operations.
///
/// Mouse: Press(cell, y) on a left press whose x CellAtX accepts; Drag(cell, y) while the
/// button is held (cell from CellAtXClamped); Release(cell) when it is let go. Right
/// presses open the edit menu and never reach the model. After every operation the
/// window sets its buttons, boxes and menu checks from Controls(), which mirrors the
/// current cell (so a refused triplet box or a length chosen on an empty cell shows right).
class Score {
 public:
  /// An empty score: current cell 1, length code 6, nothing selected, not modified.
  Score();

  // ---- reading ---------------------------------------------------------------------------

  /// Cell 1..52; an empty cell for any other number.
  const ScoreCell& cell(int number) const;
  /// Every stored cell (index = cell number, index 0 unused).
  const ScoreCells& cells() const { return cells_; }
  /// The cell the controls show and the keys act on (1..36).
  int currentCell() const { return current_; }
  /// The length code a press on an empty cell gives its note (0..19).
  int currentLengthCode() const { return currentLength_; }
  /// The selected range (first == last: nothing selected).
  CellRange range() const { return range_; }
  /// A note was drawn or changed since the score was opened or cleared.
  bool modified() const { return modified_; }
  /// What the held button does; meaningful while held() is true.
  ScoreDragMode dragMode() const { return dragMode_; }
  /// The mouse button is held on the staff.
  bool held() const { return held_; }
  /// The cell is drawn with the selected look: it is the current cell or lies in the range.
  bool isSelected(int cell) const;
  /// At least one of cells 1..36 is filled.
  bool anyShownFilled() const;
  /// What every control shows for the current cell. For an empty current cell the length
  /// controls show the current length code and the others are cleared.
  ScoreControls Controls() const;

  // ---- whole score -----------------------------------------------------------------------

  /// The clear command (`mnuNEW`) once the discard question is settled: every cell empty,
  /// current cell 1, length code 6, nothing selected, modified cleared.
  ScoreChange Clear();
  /// Opens the score on `cells` (index = cell number; usually ReadCompiledPart's): as
  /// Clear, then the cells 1..52 are taken as given; modified stays cleared.
  ScoreChange Load(const ScoreCells& cells);
  /// The discard question (msg::kScoreDiscardQuestion, title msg::kConfirmationTitle, OK
  /// and Cancel) must be asked before the score is cleared or closed: a cell of 1..36 is
  /// filled and the score is modified. Cancel keeps the score as it is.
  bool NeedsDiscardQuestion() const { return modified_ && anyShownFilled(); }
  /// Marks the score as not modified, as opening it does.
  void ClearModified() { modified_ = false; }

  // ---- mouse -----------------------------------------------------------------------------

  /// Left press on cell 1..36 at picture y. The cell becomes current. An empty cell
  /// receives a note (a rest when the current code is a rest's) at PitchPosAtY(y) with the
  /// current length code, and the score is modified. A press on the cell's head starts a
  /// note drag; any other press (on an empty part of a filled cell) starts a range
  /// selection from this cell and changes nothing else. A cell outside 1..36 is ignored.
  ScoreChange Press(int cell, int y);
  /// The pointer moved to (cell, y) with the button held. Note drag: the current cell's
  /// head follows y (PitchPosAtY; the cell is ignored, the note stays in its column).
  /// Range selection: the range runs from the pressed cell to `cell` (brought into 1..36).
  /// Ignored when the button is not held.
  ScoreChange Drag(int cell, int y);
  /// The button was let go over `cell` (brought into 1..36). Range selection: the range
  /// runs from the pressed cell to this one, swapped when reversed, and this cell becomes
  /// current. Note drag: the dragged cell stays current. When the new current cell holds
  /// a note, its length code becomes the current length code. Ignored when not held.
  ScoreChange Release(int cell);

  // ---- buttons, menus and keys -----------------------------------------------------------

  /// `Option1(code)`: the current length code and the current cell's code become `code`
  /// (0..19; others are ignored). A dotted code clears the cell's triplet.
  ScoreChange SetLength(int code);
  /// `mnuLEN(item)` (0..9): SetLength(item), or of item + 10 while the rest item is checked.
  ScoreChange ChooseLengthItem(int item);
  /// `mnuED(5)`: toggles the current length between its note and its rest form.
  ScoreChange ToggleRest();
  /// Key "1".."9" selects lengths 0..8, key "0" length 9 (note lengths, as the buttons'
  /// first row). `digit` is 0..9; others are ignored.
  ScoreChange PressDigitKey(int digit);
  /// Left (-1) and Right (+1) arrow keys: the previous or next length code, kept in 0..19.
  ScoreChange StepLength(int delta);
  /// `Option2(accidental)` (0..3): the current cell's accidental.
  ScoreChange SetAccidental(int accidental);
  /// `Check1`: the current cell's tie.
  ScoreChange SetTie(bool tie);
  /// `Check2`: the current cell's triplet. Refused (result.refused) on a dotted length.
  ScoreChange SetTriplet(bool triplet);
  /// Up arrow: the current cell's note one step (3 pixels) higher, unless that would take
  /// it above position 25.
  ScoreChange MoveUp();
  /// Down arrow: the current cell's note one step lower, unless that would take it below
  /// position 163.
  ScoreChange MoveDown();

  /// `mnuED(0)`, tool-bar "INS", key Insert: the first cell of the range (the current cell
  /// when nothing is selected) and every cell after it move one place right (cell 52's
  /// content leaves the score); the first cell becomes empty.
  ScoreChange Insert();
  /// `mnuED(1)`, tool-bar "CUT": the n cells of the range (the current cell when nothing
  /// is selected) go, every cell after them moves n places left through cell 52 and the
  /// last n cells become empty. The range's first cell becomes current; nothing stays
  /// selected.
  ScoreChange Delete();

 private:
  ScoreChange SetCurrentCell(int cell);
  ScoreChange ChangeCell(const ScoreCell& updated);
  ScoreChange AllShown() const;

  ScoreCells cells_{};
  int current_ = 1;
  int currentLength_ = kStartLengthCode;
  CellRange range_;
  bool modified_ = false;
  ScoreDragMode dragMode_ = ScoreDragMode::kRangeSelection;
  bool held_ = false;
  int pressed_ = 1;  ///< the cell the held button went down on
};

}  // namespace chwr

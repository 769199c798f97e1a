#pragma once
// The geometry of the score editor's staff picture, as plain arithmetic: which cell lies
// under a pixel, where a note head sits, which lines the staff and a head's ledger lines
// take, and how the scroll slider moves the picture. The window translates pointer
// pixels with these and draws with them; nothing here knows a widget.
//
// Vertical positions (`pitchPos`) are pixels of the staff picture, 3 per diatonic step
// and 21 per octave, growing downward; every valid position is 10 + 3k. O4C (middle C,
// MIDI note 60, compiler note value 39) lies at 70.

#include <optional>
#include <vector>

namespace chwr {

// ---- the picture -------------------------------------------------------------------------

/// Width of the staff picture in pixels: the clef area and 36 cells, with room to spare.
inline constexpr int kStaffPictureWidth = 1200;
/// Height of the staff picture in pixels.
inline constexpr int kStaffPictureHeight = 200;
/// Width of the clef area at the left of the picture; cell 1 begins at this x.
inline constexpr int kClefAreaWidth = 49;
/// Width of one cell in pixels.
inline constexpr int kCellWidth = 30;
/// The first x right of cell 36: presses here and further right hit no cell.
inline constexpr int kCellsRight = 1129;
/// Pixels per diatonic step.
inline constexpr int kPitchStepPixels = 3;
/// Pixels per octave (seven diatonic steps).
inline constexpr int kOctavePixels = 21;

/// Cells the editor shows, draws and converts (1..36).
inline constexpr int kShownCells = 36;
/// Cells the editor stores (1..52): cells past 36 hold what insertion pushed out of view.
inline constexpr int kStoredCells = 52;

/// The cell (1..36) under x, or nullopt for a press left of the cells (x < 49) or right of
/// them (x >= 1129), which the editor ignores.
std::optional<int> CellAtX(int x);

/// The cell under x for a pointer already held on the staff, brought into 1..36 when the
/// pointer has left the cells (dragging past either end selects up to the end).
int CellAtXClamped(int x);

/// The x of a cell's left edge in the staff picture: 30 * (cell + 1) - 11 (cell 1 at 49).
int CellLeft(int cell);

/// The left of the staff picture within its frame when the slider `sliSCO` shows
/// `value` (1..): -30 * (value - 1), so that cell `value` is the first one visible.
int StaffLeftForSlider(int value);

// ---- note positions ----------------------------------------------------------------------

/// The position a pointer at y snaps to: (y / 3, rounded down) * 3 + 4. Floor division,
/// also for the negative y of a pointer dragged above the picture. No clamping.
int SnapPitchPos(int y);

/// Top of the positions the pointer may give a note: the highest head the picture holds.
inline constexpr int kPointerMinPitchPos = 10;
/// Bottom of the positions the pointer may give a note: the lowest head the picture holds
/// (a y of 199 snaps to 202, whose head would leave the picture).
inline constexpr int kPointerMaxPitchPos = 196;

/// SnapPitchPos(y) brought into kPointerMinPitchPos..kPointerMaxPitchPos: where a press or
/// a drag at y puts a note. Never 0, which would mean an empty cell.
int PitchPosAtY(int y);

/// Highest position the Up key moves a note to.
inline constexpr int kKeyMinPitchPos = 25;
/// Lowest position the Down key moves a note to.
inline constexpr int kKeyMaxPitchPos = 163;

/// A press at y lies on the note head at `pitchPos`: its snapped position lies from 6
/// pixels above to 9 pixels below the head.
bool HitsHead(int pitchPos, int y);

/// The octave index of a position: (pitchPos - 31) / 21 rounded down, plus 1. Index 0 is
/// the top octave; it grows at every step from C down to B. Index i sounds in the MML
/// octave 6 - i (index 3 is the compiler's starting octave 3).
int OctaveIndex(int pitchPos);

/// The MML octave (the "O" number) a position sounds in: 6 - OctaveIndex. May lie outside
/// 1..6 for positions outside the compiler's keys.
int MmlOctave(int pitchPos);

/// The step index 1..7 of a position, counting C = 1 .. B = 7: 7 - (k mod 7) with
/// k = (pitchPos - 10) / 3 rounded to the nearest whole number.
int StepIndex(int pitchPos);

/// The letter of a position's step: 'C'..'B'.
char StepLetter(int pitchPos);

/// The position of the natural note of `letterIndex` (0 = C .. 6 = B) in MML octave
/// `octave`: 154 - 21 * octave - 3 * letterIndex.
int PitchPosOf(int octave, int letterIndex);

// ---- staff lines -------------------------------------------------------------------------

/// The five lines of the treble staff, top to bottom: F5 D5 B4 G4 E4.
inline constexpr int kStaffLines[5] = {40, 46, 52, 58, 64};

/// A position on which a line is drawn when one is drawn there (the staff's lines and
/// every ledger line): (pitchPos - 28) divisible by 6. Middle C (70) is such a position.
bool IsLinePosition(int pitchPos);

/// The ledger lines a head at `pitchPos` needs between itself and the staff, nearest to
/// the staff first: none for a head on or between the staff's lines; above F5 every line
/// position from 34 up to the head, below E4 every one from 70 down to it.
std::vector<int> LedgerLines(int pitchPos);

}  // namespace chwr

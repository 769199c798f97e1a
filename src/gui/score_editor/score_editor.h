#pragma once
// The score editor "楽譜入力" (Form6): one part as up to 36 notes and rests on a staff,
// entered with the mouse, the length and accidental buttons, the menus and the keys,
// turned into MML for the clipboard and played through the main window's playback.
// Every rule of the score (what a press does, how cells move, the MML) is the core's
// Score; this window turns pointer pixels and keys into its operations and shows what
// Controls() says after each one.

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "score/score.h"
#include "score/score_read.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QSlider;

namespace chwr::gui {

class Actions;
class PlaybackController;
class Prompts;
class StaffView;

/// What the editor works with in the main window.
struct ScoreEditorLinks {
  Prompts* prompts = nullptr;              ///< the discard question
  PlaybackController* playback = nullptr;  ///< plays the score, stops, resets
  /// The song's resolution now (0: 24 steps a quarter note, 1: 48): it decides the
  /// triplets' MML and how the cells read the player's position.
  std::function<int()> resolution;
};

/// The window "Form6".
class ScoreEditor final : public QMainWindow {
  Q_OBJECT

 public:
  /// A hidden editor with an empty score. It has no parent, so that its control names
  /// stay apart from the main window's (both have a "mnuPLAY").
  explicit ScoreEditor(ScoreEditorLinks links);
  ~ScoreEditor() override;

  /// Shows `reading` (a compiled part's cells) as a new, unmodified score with the tempo
  /// text `tempo` and the General MIDI program `tone` (0..127) chosen.
  void Open(const ScoreReading& reading, const QString& tempo, int tone);
  /// Shows the window; when it was not showing, first places it 3 pixels right of and 62
  /// pixels below `owner`'s top-left corner and keeps it above `owner`.
  void ShowBeside(QWidget* owner);

  /// The score as the editor holds it.
  const Score& score() const { return score_; }
  /// The staff picture.
  StaffView* staff() const { return staff_; }

 signals:
  /// The editor closed with this tempo text and tone (program 0..127) chosen.
  void closed(const QString& tempo, int tone);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  QWidget* BuildControls();
  void WatchKeys(QWidget* root);
  bool Key(QKeyEvent* key);
  void Apply(const ScoreChange& change);
  void ShowControls();
  void StaffPressed(QPoint at, Qt::MouseButton button, QPoint global);
  void StaffMoved(QPoint at);
  void StaffReleased(QPoint at);
  QPoint Confined(QPoint at) const;
  void Scrolled(int value);
  void FitSlider();
  void KeepInView(int cell);
  void Heard(int step);
  void Clear();
  void ConvertToMml();
  void Play();
  bool ConfirmDiscard();

  ScoreEditorLinks links_;
  Score score_;
  std::unique_ptr<Actions> actions_;
  QFrame* frame_ = nullptr;  // the window onto the staff picture
  StaffView* staff_ = nullptr;
  QSlider* slider_ = nullptr;
  QButtonGroup* lengths_ = nullptr;      // Option1_0..19
  QButtonGroup* accidentals_ = nullptr;  // Option2_0..3
  QCheckBox* tie_ = nullptr;
  QCheckBox* triplet_ = nullptr;
  QComboBox* tempo_ = nullptr;
  QComboBox* tone_ = nullptr;
  QPlainTextEdit* mml_ = nullptr;
  QAction* comment_ = nullptr;  // the tool-bar toggle "COMM"
  QLabel* notice_ = nullptr;
};

}  // namespace chwr::gui

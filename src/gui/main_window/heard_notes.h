#pragma once
// The note being heard, shown in the part boxes: while the window's song plays, each
// part box marks the note or rest that sounds now (after a seek and through a repeat
// too) and the box in view keeps it in sight.

#include <QObject>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "mml/song_compile.h"

namespace chwr::gui {

class SongForm;

/// Follows a playback in `form`'s part boxes.
class HeardNotes final : public QObject {
  Q_OBJECT

 public:
  explicit HeardNotes(SongForm& form, QObject* parent = nullptr);

  /// Switches the marks on or off; off takes them away.
  void setEnabled(bool on);
  bool enabled() const { return enabled_; }

  /// A playback of `compiled` starts; `fromSelections`: each part played its selection
  /// where it had one (the boxes' selections are still as they were then).
  void SongStarted(const SongCompile& compiled, bool fromSelections);
  /// The song is at `step`; -1: it no longer plays.
  void Heard(int step);

  /// Where part `part`'s mark lies in its box: start and length (UTF-16), {0, 0} when none.
  std::pair<int, int> heardRange(int part) const;

 private:
  struct Part {
    std::vector<std::int32_t> starts;  // EventStarts
    std::vector<SourceSpan> sources;
    int baseBlock = 0;   // where the text played starts in the box: its block...
    int baseColumn = 0;  // ...and its column there, in characters
    int shown = -1;      // the event marked
    std::pair<int, int> range{0, 0};
  };

  void Show(int part, int event);

  SongForm& form_;
  bool enabled_ = true;
  std::array<Part, 4> parts_;
};

}  // namespace chwr::gui

#pragma once
// The MML boxes' colours: each kind of command in a colour of its own, chosen from the
// box's palette so that it reads on a light desktop theme and on a dark one alike.

#include <QSyntaxHighlighter>
#include <array>

class QPlainTextEdit;
class QTextDocument;

namespace chwr::gui {

/// Colours `box`'s text while it is attached; follows the box's palette when it changes.
class MmlHighlighter final : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  explicit MmlHighlighter(QPlainTextEdit* box);

  /// Colours the box's text, or stops colouring it (its text shows in one colour again).
  void setActive(bool on);
  bool active() const { return document() != nullptr; }

 protected:
  void highlightBlock(const QString& text) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TakePalette();

  QPlainTextEdit* box_;
  QTextDocument* boxDocument_;
  std::array<QTextCharFormat, 11> formats_;
};

}  // namespace chwr::gui

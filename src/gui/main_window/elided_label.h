#pragma once
// A one-line label that fits any width: a text too wide for it ends in "…", and the whole
// text is its tooltip, so a narrow window still says that there is more and what it is.

#include <QLabel>
#include <QString>

namespace chwr::gui {

/// A QLabel whose text is elided at the right when it does not fit; text() stays whole.
class ElidedLabel final : public QLabel {
 public:
  /// The label showing `text`.
  explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

  /// Shows `text` (elided as the width needs); the tooltip is the whole text.
  void setText(const QString& text);
  /// The text as it is drawn at the label's width now.
  QString shownText() const;

  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace chwr::gui

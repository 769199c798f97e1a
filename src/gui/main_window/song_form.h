#pragma once
// The song as the user edits it: the header fields and the four part pages. It knows
// whether the song was changed since it was loaded or saved, and serves the editing
// keys that act on the whole song.

#include <QFont>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "song/song_document.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabWidget;

namespace chwr::gui {

class PartPage;
class PartsUndo;

/// The header frame "Frame2" (Text3, Text5, cmbBUNKAI, Check2, Text6) and "tabPART".
class SongForm final : public QWidget {
  Q_OBJECT

 public:
  /// The form showing a new song, unmodified.
  explicit SongForm(QWidget* parent = nullptr);
  ~SongForm() override;

  /// The song as the controls hold it now.
  SongDocument currentSong() const;
  /// Puts a song into the controls; the mutes, the page shown and `modified` stay.
  void showSong(const SongDocument& song);
  /// Replaces the song: it shows on the first part's page and counts as unmodified.
  void loadSong(const SongDocument& song);
  /// Shows the tempo a build used in place of the user's; that is no edit.
  void showBuiltTempo(const QString& tempo);

  /// Whether the user changed the song since it was loaded or saved.
  bool modified() const { return modified_; }
  /// Marks the song changed or not.
  void setModified(bool modified);

  /// Each part's selected text, or its whole text where nothing is selected.
  std::array<std::string, 4> selectedTexts() const;
  /// The part (0..3) whose tab is selected.
  int currentPart() const;
  /// Which parts are muted.
  std::array<bool, 4> mutes() const;
  /// Shows a part's page and selects `search` in its text, from line `line` on (see
  /// PartPage::selectText).
  void selectErrorText(int part, const QString& search, int line);
  /// Part `part`'s page (0..3).
  PartPage* page(int part) const { return pages_[part]; }
  /// Marks part `part`'s tab as holding an error, `message` its tooltip; an empty message
  /// takes the mark away.
  void markPart(int part, const QString& message);
  /// Puts the cursor into the title box.
  void focusTitle();
  /// The last control Tab visits in the form; the window's own controls follow it.
  QWidget* lastTabStop() const;

  /// The MML boxes' font.
  QFont mmlFont() const;
  /// Sets the font of all four MML boxes.
  void setMmlFont(const QFont& font);
  /// How the form asks the user to confirm (OK is true) before a resolution change that
  /// would round lengths; without one it does not ask.
  void setAskOkCancel(std::function<bool(const QString&)> ask);

 signals:
  /// `modified` changed.
  void modifiedChanged(bool modified);
  /// The user changed the song (each edit, also of a song already changed).
  void edited();
  /// A file was dropped on a part's MML box.
  void fileDropped(const QString& path);
  /// Part `part` (0..3) was muted or unmuted, by its box or its function key.
  void muteChanged(int part, bool muted);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Edited();
  void WatchText(QLineEdit* box);
  void ResolutionChanged(int index);
  void ShowResolution(int index);
  void ConvertCase(bool upper);

  bool modified_ = false;
  bool loading_ = true;      // the program fills the controls: no edit of the user's
  int resolutionShown_ = 1;  // the resolution the parts' lengths are written at
  std::function<bool(const QString&)> askOkCancel_;
  QLineEdit* title_ = nullptr;
  QComboBox* tempo_ = nullptr;
  QComboBox* resolution_ = nullptr;
  QCheckBox* protect_ = nullptr;
  QLineEdit* protectText_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  std::array<PartPage*, 4> pages_{};
  // Gone before the pages (the form's children), which it watches.
  std::unique_ptr<PartsUndo> undo_;
};

}  // namespace chwr::gui

#pragma once
// The recent-files list of the file menu: the last eight song or MLD files opened or
// saved, or MIDI files converted, the latest first. Choosing one opens it the way Open does.

#include <QObject>
#include <QStringList>
#include <functional>

class QMenu;

namespace chwr::gui {

/// The menu "mnuRECENT" with its items "mnuRECENT_0".."mnuRECENT_7".
class RecentFiles final : public QObject {
  Q_OBJECT

 public:
  /// How many files the list keeps.
  static constexpr int kMaxFiles = 8;

  /// Fills `menu`; choosing an item hands its path to `open`.
  RecentFiles(QMenu* menu, std::function<void(const QString&)> open, QObject* parent = nullptr);

  /// The list, latest first.
  QStringList paths() const { return paths_; }
  /// Replaces the list (from the settings); blanks, repeats and what passes eight go.
  void setPaths(const QStringList& paths);
  /// Puts `path` first.
  void add(const QString& path);

 private:
  void Rebuild();

  QMenu* menu_;
  std::function<void(const QString&)> open_;
  QStringList paths_;
};

}  // namespace chwr::gui

#pragma once
// The window's commands as one table: each line a menu, an item or a separator, with
// its object name, its caption (access key and all) and what it runs. The menu bar
// and the toolbar are built from the table.

#include <QKeySequence>
#include <QObject>
#include <QStyle>
#include <functional>
#include <span>

class QAction;
class QMenuBar;
class QToolBar;

namespace chwr::gui {

/// One line of the command table.
struct ActionLine {
  /// What the line is.
  enum class Kind {
    Menu,       ///< opens a menu (inside the open one, if any); lines up to its End go in
    End,        ///< closes the innermost open menu
    Item,       ///< a command
    Toggle,     ///< an item with a check mark
    Choice,     ///< one of the neighbouring Choice items, exactly one checked
    Separator,  ///< a line between items
  };
  Kind kind;
  const char* name = "";           ///< objectName of the action (and of the menu)
  const char* caption = "";        ///< caption with its access key
  std::function<void()> run = {};  ///< what an Item runs
  /// The desktop's standard keys for the item, shown beside its caption.
  QKeySequence::StandardKey keys = QKeySequence::UnknownKey;
};

/// A toolbar button: its own name, icon and text, and the menu item it triggers.
struct ToolbarButton {
  const char* name;
  const char* item;
  QStyle::StandardPixmap icon;
  const char* text;
};

/// Every action of the window, made from the table.
class Actions final : public QObject {
  Q_OBJECT

 public:
  /// Makes the actions of `table` and builds their menus into `bar`.
  Actions(std::span<const ActionLine> table, QMenuBar* bar, QObject* parent = nullptr);

  /// Adds the buttons to `toolbar`, with icons from `style`.
  void BuildToolbar(QToolBar* toolbar, std::span<const ToolbarButton> buttons, const QStyle* style);
  /// The action named `name`; the program stops when there is none (a table error).
  QAction* find(const char* name) const;

 private:
  QMenuBar* bar_;
};

}  // namespace chwr::gui

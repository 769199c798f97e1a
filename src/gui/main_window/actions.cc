#include "main_window/actions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <vector>

namespace chwr::gui {
namespace {

// The platform's keys for a standard command; where it has none (some desktops lack Save
// As and Quit), the keys most desktops use.
QList<QKeySequence> StandardKeys(QKeySequence::StandardKey keys) {
  QList<QKeySequence> bound = QKeySequence::keyBindings(keys);
  if (!bound.isEmpty()) return bound;
  switch (keys) {
    case QKeySequence::New:
      return {QKeySequence(Qt::CTRL | Qt::Key_N)};
    case QKeySequence::Open:
      return {QKeySequence(Qt::CTRL | Qt::Key_O)};
    case QKeySequence::Save:
      return {QKeySequence(Qt::CTRL | Qt::Key_S)};
    case QKeySequence::SaveAs:
      return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    case QKeySequence::Quit:
      return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
    default:
      return {};
  }
}

}  // namespace

Actions::Actions(std::span<const ActionLine> table, QMenuBar* bar, QObject* parent)
    : QObject(parent), bar_(bar) {
  using Kind = ActionLine::Kind;
  std::vector<QMenu*> open;
  QActionGroup* group = nullptr;  // the choices being laid out, if the last line was one
  for (const ActionLine& line : table) {
    if (line.kind != Kind::Choice) group = nullptr;
    switch (line.kind) {
      case Kind::Menu: {
        QMenu* menu =
            open.empty() ? bar->addMenu(line.caption) : open.back()->addMenu(line.caption);
        menu->setObjectName(line.name);
        menu->menuAction()->setObjectName(line.name);
        open.push_back(menu);
        break;
      }
      case Kind::End:
        open.pop_back();
        break;
      case Kind::Separator:
        open.back()->addSeparator();
        break;
      case Kind::Item:
      case Kind::Toggle:
      case Kind::Choice: {
        QAction* action = open.back()->addAction(line.caption);
        action->setObjectName(line.name);
        if (line.run) connect(action, &QAction::triggered, this, [run = line.run] { run(); });
        if (line.keys != QKeySequence::UnknownKey) action->setShortcuts(StandardKeys(line.keys));
        if (line.kind == Kind::Item) break;
        action->setCheckable(true);
        if (line.kind == Kind::Toggle) break;
        if (!group) group = new QActionGroup(this);
        group->addAction(action);
        break;
      }
    }
  }
}

void Actions::BuildToolbar(QToolBar* toolbar, std::span<const ToolbarButton> buttons,
                           const QStyle* style) {
  for (const ToolbarButton& b : buttons) {
    QAction* target = find(b.item);
    QAction* button = toolbar->addAction(style->standardIcon(b.icon), b.text);
    button->setObjectName(b.name);
    connect(button, &QAction::triggered, target, &QAction::trigger);
    // A command that cannot run now (New while the import dialog is open, say) shows so
    // on its button too.
    button->setEnabled(target->isEnabled());
    connect(target, &QAction::enabledChanged, button, &QAction::setEnabled);
  }
}

QAction* Actions::find(const char* name) const {
  auto* action = bar_->findChild<QAction*>(name);
  if (!action) qFatal("no action %s in the command table", name);
  return action;
}

}  // namespace chwr::gui

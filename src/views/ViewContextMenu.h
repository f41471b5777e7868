#pragma once

#include <optional>

class CommandTarget;
class QPoint;
class QWidget;

// The wave view's right-click menu, laid out from the command table's context menu. Each
// item reads its text, check and enabling from the target as the menus do; nothing runs
// here, the caller runs the command chosen.
class ViewContextMenu {
  public:
    // Shows the menu, a child of parent, at the global position and waits for the choice: the
    // command id chosen, or none when the menu was dismissed.
    static std::optional<unsigned> Choose(QWidget& parent, CommandTarget& target,
                                          const QPoint& globalPosition);
};

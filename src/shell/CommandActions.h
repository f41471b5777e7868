#pragma once

#include <functional>
#include <map>

#include "playback/CommandTarget.h"

class QAction;
class QMainWindow;
class QMenu;
class QStyle;
class QToolBar;
enum class CommandPlace;

// The main window's actions, one for each entry of the command table, and the menus and tool
// bars the table places them in. The actions, menus and bars belong to the window, which must
// outlive this.
class CommandActions {
  public:
    // Makes the actions on window, where their keys work whichever menu shows; a triggered
    // action hands its id to run.
    CommandActions(QMainWindow& window, const std::function<void(unsigned id)>& run);

    // The action of a command id, or null.
    QAction* Action(unsigned id) const;

    // A menu of the window's menu bars, in style.
    QMenu* MakeMenu(CommandPlace place, QStyle* style) const;
    // A movable tool bar named "ToolBar<id>" for the saved layout.
    QToolBar* MakeToolBar(CommandPlace place) const;

    // Asks for every command's state and shows it on its action.
    using AskState = std::function<void(unsigned id, CommandState& state)>;
    void Update(const AskState& ask);
    // Gives an item with a text of its own in one menu bar (the overview toggle) the text of
    // menu bar menu (128 or 129).
    void ShowTextsOf(int menu);

  private:
    QMainWindow& m_window;
    std::map<unsigned, QAction*> m_actions;
};

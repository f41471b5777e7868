#pragma once

#include <optional>
#include <string>

class QObject;

// What a command target says about one command when the bars and menus are refreshed.
struct CommandState {
    bool enabled = false;
    std::optional<bool> checked;      // set only by targets that show a check mark
    std::optional<std::string> text;  // a new menu text, "\t" before the key text
    // Why a disabled command is greyed, for its tool tip and status text; none when it says
    // nothing more.
    std::optional<std::string> whyDisabled;
    // The bar that asked (the overview bar for kOverviewUpdate), or null.
    QObject* requester = nullptr;
};

// One link of the command route: active view, its document's window, the application, the
// main frame. The first target that answers decides; a disabled command never runs.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    // False when this target does not handle id; otherwise fills state.
    virtual bool UpdateCommand(unsigned id, CommandState& state) = 0;
    // False when this target does not handle id; otherwise runs it.
    virtual bool RunCommand(unsigned id) = 0;
};

#include "views/ViewContextMenu.h"

#include <QMenu>
#include <string>

#include "playback/CommandTable.h"
#include "playback/CommandTarget.h"

std::optional<unsigned> ViewContextMenu::Choose(QWidget& parent, CommandTarget& target,
                                                const QPoint& globalPosition) {
    QMenu menu(&parent);
    for (const CommandInfo* command : CommandTable::Layout(CommandPlace::kContextMenu153)) {
        if (command == nullptr) {
            menu.addSeparator();
            continue;
        }
        CommandState state;
        target.UpdateCommand(command->id, state);
        const std::string text = command->TextIn(CommandPlace::kContextMenu153);
        QAction* action = menu.addAction(QString::fromStdString(state.text.value_or(text)));
        action->setData(command->id);
        // The current edit mode shows checked, as on the tool bar and in the menus.
        action->setCheckable(state.checked.has_value());
        action->setChecked(state.checked.value_or(false));
        action->setEnabled(state.enabled || state.checked.value_or(false));
    }
    menu.setObjectName("ContextMenu153");
    if (QAction* chosen = menu.exec(globalPosition)) {
        return chosen->data().toUInt();
    }
    return std::nullopt;
}

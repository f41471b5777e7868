#include "shell/CommandActions.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <algorithm>

#include "playback/CommandIds.h"
#include "playback/CommandTable.h"
#include "shell/ToolBarIcons.h"

using namespace CommandId;

CommandActions::CommandActions(QMainWindow& window, const std::function<void(unsigned id)>& run)
    : m_window(window) {
    for (const CommandInfo& info : CommandTable::All()) {
        auto* action = new QAction(&window);
        action->setData(info.id);
        // Commands only on bars or keys show their tool tip as text.
        action->setText(info.menuText != nullptr ? QString(info.menuText) : info.ToolTip());
        action->setStatusTip(info.FlyBy());
        action->setToolTip(info.ToolTipWithKey());
        // What the tips go back to once a greyed command is available again.
        action->setProperty("plainStatusTip", info.FlyBy());
        action->setProperty("plainToolTip", info.ToolTipWithKey());
        action->setShortcuts(info.keys);
        action->setAutoRepeat(info.bRepeats);
        if (info.icon != ToolIcon::kNone) {
            action->setIcon(ToolBarIcons::Draw(info.icon));
        }
        action->setIconVisibleInMenu(false);
        window.addAction(action);
        QObject::connect(action, &QAction::triggered, &window, [run, action, id = info.id] {
            // A box the command shows runs its own loop before the tool button that started it
            // repaints its release: it would look held down the whole time, and after.
            for (QObject* shown : action->associatedObjects()) {
                if (auto* button = qobject_cast<QWidget*>(shown)) {
                    button->update();
                }
            }
            run(id);
        });
        m_actions[info.id] = action;
    }
    // The current edit mode stays checked when it is chosen again.
    auto* modes = new QActionGroup(&window);
    modes->addAction(Action(kEditPan));
    modes->addAction(Action(kEditSelect));
}

QAction* CommandActions::Action(unsigned id) const {
    const auto it = m_actions.find(id);
    return it != m_actions.end() ? it->second : nullptr;
}

QMenu* CommandActions::MakeMenu(CommandPlace place, QStyle* style) const {
    auto* menu = new QMenu(CommandTable::Place(place).title, &m_window);
    menu->setStyle(style);
    for (const CommandInfo* command : CommandTable::Layout(place)) {
        if (command == nullptr) {
            menu->addSeparator();
        } else {
            menu->addAction(Action(command->id));
        }
    }
    return menu;
}

QToolBar* CommandActions::MakeToolBar(CommandPlace place) const {
    const CommandPlaceInfo& info = CommandTable::Place(place);
    auto* bar = new QToolBar(info.title, &m_window);
    bar->setObjectName(QString("ToolBar%1").arg(info.barId));
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    bar->setMovable(true);
    bar->setFloatable(true);
    bar->setIconSize(ToolBarIcons::kButtonImage);
    for (const CommandInfo* command : CommandTable::Layout(place)) {
        if (command == nullptr) {
            bar->addSeparator();
        } else {
            bar->addAction(Action(command->id));
        }
    }
    return bar;
}

void CommandActions::Update(const AskState& ask) {
    for (const auto& [id, action] : m_actions) {
        CommandState state;
        ask(id, state);
        // The current edit mode shows pressed, not greyed, though choosing it again does
        // nothing; every other command shows the state its rules give it.
        const bool bMode = id == kEditPan || id == kEditSelect;
        action->setEnabled(state.enabled || (bMode && state.checked.value_or(false)));
        const bool bExplained = !state.enabled && state.whyDisabled && !state.whyDisabled->empty();
        const QString why = bExplained ? QString::fromStdString(*state.whyDisabled) : QString();
        const QString toolTip = action->property("plainToolTip").toString();
        const QString statusTip = action->property("plainStatusTip").toString();
        const QString shownToolTip = bExplained ? toolTip + "\n" + why : toolTip;
        if (action->toolTip() != shownToolTip) {
            action->setToolTip(shownToolTip);
            action->setStatusTip(bExplained ? statusTip + " - " + why : statusTip);
        }
        action->setCheckable(state.checked.has_value());
        if (state.checked) {
            action->setChecked(*state.checked);
        }
        if (state.text) {
            const QString text = QString::fromStdString(*state.text);
            if (action->text() != text) {
                action->setText(text);
            }
        }
    }
}

void CommandActions::ShowTextsOf(int menu) {
    for (const CommandInfo& info : CommandTable::All()) {
        const auto named = [](const CommandPlacement& at) { return at.text != nullptr; };
        if (std::none_of(info.places.begin(), info.places.end(), named)) {
            continue;
        }
        const char* text = info.menuText;
        for (const CommandPlacement& at : info.places) {
            if (named(at) && CommandTable::Place(at.place).menu == menu) {
                text = at.text;
            }
        }
        Action(info.id)->setText(text);
    }
}

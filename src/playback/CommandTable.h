#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <string>
#include <vector>

// Every command the menus, the tool bars, the context menu and the keys offer, one entry each:
// its texts, keys, picture and places. The frame makes its actions and builds its menus and
// bars from here, the wave view its context menu; the ids are those of CommandIds.h.

// The menus and bars a command can be placed in. The menus of one menu bar are listed left to
// right.
enum class CommandPlace {
    kFileMenu128,
    kViewMenu128,
    kHelpMenu128,
    kFileMenu129,
    kEditMenu129,
    kViewMenu129,
    kTransportMenu129,
    kWindowMenu129,
    kHelpMenu129,
    kBasicBar,
    kTransportBar,
    kInfoBar,
    kContextMenu153,
};

struct CommandPlaceInfo {
    CommandPlace place;
    const char* title;  // the menu's or the bar's; "" for the context menu
    int menu;           // the menu resource: 128 (no document), 129 (a document), 153; 0 for bars
    unsigned barId;     // a tool bar's id; 0 for menus
};

// Where a command shows: its group and its order in the group, both from 1. A separator parts
// two groups.
struct CommandPlacement {
    CommandPlace place;
    int group = 1;
    int order = 1;
    bool bKeyText = true;        // false: the menu text without its key part
    const char* text = nullptr;  // another text than the command's menu text, here only

    constexpr CommandPlacement WithoutKeyText() const {
        CommandPlacement other = *this;
        other.bKeyText = false;
        return other;
    }
    constexpr CommandPlacement Named(const char* name) const {
        CommandPlacement other = *this;
        other.text = name;
        return other;
    }
};

// The pictures of the tool bar buttons; ToolBarIcons draws them.
enum class ToolIcon {
    kNone,
    kOpen,
    kSave,
    kPanPoints,
    kCaret,
    kDeleteInRange,
    kZoomIn,
    kZoomOut,
    kShowAll,
    kZoomSelection,
    kContextHelp,
    kStop,
    kPlay,
    kLoop,
    kRecord,
    kRecordTouch,  // the recording modes: their initials
    kRecordLatch,
    kRecordWrite,
    kInfoPicture,  // the wide picture button of "Info."
};

struct CommandInfo {
    unsigned id = 0;
    // The menu item's text, "\t" before the key text; null for a command no menu names, whose
    // action then shows its tool tip.
    const char* menuText = nullptr;
    const char* status = "";        // the status-bar prompt
    const char* tip = "";           // the tool tip, without its key
    QList<QKeySequence> keys = {};  // accelerators; empty for none
    const char* viewKey = nullptr;  // a key the wave view handles itself ("Space"), or none
    ToolIcon icon = ToolIcon::kNone;
    std::vector<CommandPlacement> places = {};
    // Whether a held key repeats the command: not for one that flips a state.
    bool bRepeats = true;

    QString FlyBy() const { return QString::fromUtf8(status); }
    QString ToolTip() const { return QString::fromUtf8(tip); }
    // The first accelerator ("Ctrl+O"), else the key the view handles; "" for none.
    QString KeyText() const;
    // The tool tip with its key: "Open (Ctrl+O)".
    QString ToolTipWithKey() const;
    // Where this command shows in place, or null.
    const CommandPlacement* In(CommandPlace place) const;
    // The item's text in place: its own there, or the menu text, with or without the key.
    std::string TextIn(CommandPlace place) const;
};

namespace CommandTable {
// Every command, in no particular order; ids are unique.
const std::vector<CommandInfo>& All();
// Null for an id without an entry.
const CommandInfo* Find(unsigned id);
// The menu text of id; null for an id without one.
const char* MenuText(unsigned id);
// Every place, menus 128 and 129 in their menu bar's order.
const std::vector<CommandPlaceInfo>& Places();
const CommandPlaceInfo& Place(CommandPlace place);
// The commands of place in their order, with a null entry between two groups.
std::vector<const CommandInfo*> Layout(CommandPlace place);
}  // namespace CommandTable

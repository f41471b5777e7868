#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <vector>

// The string table and accelerator table 128 for every command id the frame makes an action
// for. A prompt's first line is the status-bar help, its second the tool tip.
struct CommandInfo {
    unsigned id = 0;
    const char* prompt = "";
    QList<QKeySequence> keys;       // accelerators; empty for none
    const char* viewKey = nullptr;  // a key the wave view handles itself ("Space"), or none

    QString FlyBy() const;
    QString ToolTip() const;
    // The first accelerator ("Ctrl+O"), else the key the view handles; "" for none.
    QString KeyText() const;
    // The tool tip with its key: "Open (Ctrl+O)".
    QString ToolTipWithKey() const;
};

namespace CommandTable {
// Every command, in no particular order; ids are unique.
const std::vector<CommandInfo>& All();
// Null for an id without an entry.
const CommandInfo* Find(unsigned id);
}  // namespace CommandTable

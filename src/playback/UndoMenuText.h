#pragma once

#include <string>

class UndoHistory;

// The Edit menu's Undo and Redo items for a document's history: the step's own name with the
// item's mnemonic and keys ("&Undo Delete Point\tCtrl+Z", "&Redo Paste\tCtrl+Y"), or the plain
// items while there is no step.
class UndoMenuText {
  public:
    static constexpr const char* kNoUndoText = "&Undo\tCtrl+Z";
    static constexpr const char* kNoRedoText = "&Redo\tCtrl+Y";

    static std::string Undo(const UndoHistory& history);
    static std::string Redo(const UndoHistory& history);
};

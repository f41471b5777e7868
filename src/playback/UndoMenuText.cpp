#include "playback/UndoMenuText.h"

#include "document/UndoHistory.h"

std::string UndoMenuText::Undo(const UndoHistory& history) {
    return history.CanUndo() ? "&Undo " + history.UndoName() + "\tCtrl+Z" : kNoUndoText;
}

std::string UndoMenuText::Redo(const UndoHistory& history) {
    return history.CanRedo() ? "&Redo " + history.RedoName() + "\tCtrl+Y" : kNoRedoText;
}

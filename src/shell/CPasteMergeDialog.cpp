#include "shell/CPasteMergeDialog.h"

#include "document/PasteOptionIds.h"

CPasteMergeDialog::CPasteMergeDialog(QWidget* parent) : CPasteOptionsDialog(parent) {
    AddText(
        "There are already pan points in the destination range. What should be done with the "
        "existing points?");
    AddButton("&Remove", kPasteRemove, true);
    AddButton("&Merge", kPasteMerge);
    AddButton("&Cancel", kPasteCancel);
}

#include "shell/CPasteSizeDialog.h"

#include "document/PasteOptionIds.h"

CPasteSizeDialog::CPasteSizeDialog(bool caretVariant, QWidget* parent)
    : CPasteOptionsDialog(parent) {
    if (caretVariant) {
        AddText(
            "The region on the clipboard would run beyond the end of the waveform. Would you "
            "like to...");
        AddText(
            "1) Scale clipboard points to fit between the cursor and the end of the waveform...");
        AddText(
            "2) Paste clipboard points and ignore any which run beyond the end of the "
            "waveform...");
    } else {
        AddText(
            "The selected region is a different size than the region on the clipboard. Would "
            "you like to...");
        AddText("1) Scale the clipboard contents to fit in the current selection region...");
        AddText(
            "2) Paste clipboard from the start of the current selection region (points that "
            "fall beyond the end of the waveform will not be copied)...");
    }
    AddText("3) Cancel the Paste...");
    AddButton("&Scale", kPasteScale, true);
    AddButton(caretVariant ? "Paste" : "&From Start", kPasteFromStart);
    AddButton("&Cancel", kPasteCancel);
}

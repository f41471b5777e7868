#pragma once

#include "shell/CPasteOptionsDialog.h"

// Asked when the clipboard's region does not fit the destination: Scale (the default), From
// Start (captioned "Paste" in the caret variant) or Cancel, answered as kPasteScale,
// kPasteFromStart or kPasteCancel. The range variant is for a selected region of another
// size; the caret variant for a clipboard that would run past the end of the sound.
class CPasteSizeDialog : public CPasteOptionsDialog {
  public:
    explicit CPasteSizeDialog(bool caretVariant, QWidget* parent = nullptr);
};

#pragma once

#include "shell/CPasteOptionsDialog.h"

// Asked when the paste's destination already holds pan points: Remove (the default), Merge
// or Cancel, answered as kPasteRemove, kPasteMerge or kPasteCancel.
class CPasteMergeDialog : public CPasteOptionsDialog {
  public:
    explicit CPasteMergeDialog(QWidget* parent = nullptr);
};

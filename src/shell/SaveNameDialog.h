#pragma once

#include "document/DocumentHost.h"
#include "document/SaveAsNameCheck.h"

class QWidget;
class UserPrompts;

// Answers a document's request for a save name with MySaveAsFileDialog, modally. True with
// result filled when the user confirmed a name the dialog's checks accepted.
bool RunSaveNameDialog(QWidget* parent, const SaveNameRequest& request, SaveNameResult& result,
                       UserPrompts& prompts, SaveAsNameCheck::IsOpenQuery isOpen);

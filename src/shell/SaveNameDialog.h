#pragma once

#include "document/DocumentHost.h"
#include "document/SaveAsNameCheck.h"

class QWidget;
class SettingsStore;
class UserPrompts;

// Answers a document's request for a save name with MySaveAsFileDialog, modally. True with
// result filled when the user confirmed a name the dialog's checks accepted. The request's
// choices with a key start from the option remembered in settings (section "Export") and
// remember the one taken, when settings are given.
bool RunSaveNameDialog(QWidget* parent, const SaveNameRequest& request, SaveNameResult& result,
                       UserPrompts& prompts, SaveAsNameCheck::IsOpenQuery isOpen,
                       SettingsStore* settings = nullptr);

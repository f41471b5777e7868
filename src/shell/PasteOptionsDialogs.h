#pragma once

class CEditorApp;
class QWidget;

// Lets the application ask its "Paste Options..." questions with CPasteMergeDialog and
// CPasteSizeDialog, modal over parent (the main window; it must outlive the application's
// use of the dialogs, or be none).
void InstallPasteOptionsDialogs(CEditorApp& app, QWidget* parent);

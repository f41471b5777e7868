#include "shell/PasteOptionsDialogs.h"

#include "playback/CEditorApp.h"
#include "shell/CPasteMergeDialog.h"
#include "shell/CPasteSizeDialog.h"

void InstallPasteOptionsDialogs(CEditorApp& app, QWidget* parent) {
    app.Dialogs().SetPasteOptions(
        [parent] {
            CPasteMergeDialog dialog(parent);
            return dialog.exec();
        },
        [parent](bool caretVariant) {
            CPasteSizeDialog dialog(caretVariant, parent);
            return dialog.exec();
        });
}

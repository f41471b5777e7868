#include "shell/CommandTable.h"

#include "playback/CommandIds.h"

using namespace CommandId;

QString CommandInfo::FlyBy() const {
    return QString::fromUtf8(prompt).section('\n', 0, 0);
}

QString CommandInfo::ToolTip() const {
    return QString::fromUtf8(prompt).section('\n', 1, 1);
}

QString CommandInfo::KeyText() const {
    // The accelerator in the one style every menu shows it in, not the stored item's own.
    if (!keys.isEmpty()) {
        return keys.first().toString(QKeySequence::NativeText);
    }
    return viewKey != nullptr ? QString::fromUtf8(viewKey) : QString();
}

QString CommandInfo::ToolTipWithKey() const {
    const QString key = KeyText();
    return key.isEmpty() ? ToolTip() : QString("%1 (%2)").arg(ToolTip(), key);
}

namespace {

QKeySequence Key(QKeyCombination combination) {
    return QKeySequence(combination);
}

std::vector<CommandInfo> MakeTable() {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    return {
        // File.
        {kFileOpen, "Open an existing document\nOpen", {Key(ctrl | Qt::Key_O)}},
        {kImport,
         "Import a sound file of another format as a new document\nImport",
         {Key(ctrlShift | Qt::Key_I)}},
        {kFileClose, "Close the active document\nClose", {Key(ctrl | Qt::Key_W)}},
        {kFileSave, "Save the active document\nSave", {Key(ctrl | Qt::Key_S)}},
        {kFileSaveAs, "Save the active document with a new name\nSave As", {}},
        {kFilePrint, "Print the active document\nPrint", {Key(ctrl | Qt::Key_P)}},
        {kExportStereo, "Create & Save Ambrel processed stereo sound file\nMake Ambrel File", {}},
        {kExportBinaural,
         "Create & Save a binaural file for headphones, mixed with HRTF as playback is\n"
         "Make Binaural File",
         {}},
        {kPreferences, "Change the mixer options\nPreferences", {}},
        {kFileMru1, "Open this document", {}},
        {kFileMru1 + 1, "Open this document", {}},
        {kFileMru1 + 2, "Open this document", {}},
        {kFileMru1 + 3, "Open this document", {}},
        {kAppExit,
         "Quit the application; prompts to save documents\nExit",
         {Key(ctrl | Qt::Key_Q)}},
        // Edit.
        {kEditUndo,
         "Undo the last action\nUndo",
         {Key(ctrl | Qt::Key_Z), Key(Qt::AltModifier | Qt::Key_Backspace)}},
        {kEditRedo,
         "Redo the previously undone action\nRedo",
         {Key(ctrl | Qt::Key_Y), Key(ctrlShift | Qt::Key_Z)}},
        {kEditCut,
         "Cut the selection and put it on the Clipboard\nCut",
         {Key(ctrl | Qt::Key_X), Key(ctrl | Qt::Key_Backspace), Key(ctrl | Qt::Key_Delete),
          Key(shift | Qt::Key_Delete)}},
        {kEditCopy,
         "Copy the selection and put it on the Clipboard\nCopy",
         {Key(ctrl | Qt::Key_C), Key(ctrl | Qt::Key_Insert)}},
        {kPaste,
         "Insert Clipboard contents\nPaste",
         {Key(ctrl | Qt::Key_V), Key(shift | Qt::Key_Insert)}},
        {kDeleteInRange, "Delete pan points in current selection region\nDelete In Range", {}},
        {kPointProperties,
         "Type the exact position and direction of the selected pan point\nPoint Properties",
         {Key(Qt::AltModifier | Qt::Key_Enter), Key(Qt::AltModifier | Qt::Key_Return)}},
        {kSelectAll,
         "Expand selection region to include entire waveform\nSelect All",
         {Key(ctrl | Qt::Key_A)}},
        {kCursorFollow,
         "Move the caret to where playback was stopped\nCursor Follows Playback",
         {}},
        {kEditPan, "Edit Mode: Pan Point Edit\nEdit Pan", {}},
        {kEditSelect, "Edit Mode: Selection Caret\nSelection Caret", {}},
        // View.
        {kZoomIn, "Zoom in to waveform\nZoom In", {Key(ctrl | Qt::Key_Right)}},
        {kZoomOut, "Zoom out of waveform\nZoom Out", {Key(ctrl | Qt::Key_Left)}},
        {kShowAll, "Zoom out to full waveform\nShow All", {Key(ctrlShift | Qt::Key_Left)}},
        {kZoomSelection,
         "Zoom in to current selection region\nZoom Selection",
         {Key(ctrlShift | Qt::Key_Right)}},
        {kBarBasic, "Show or hide the toolbar\nToggle ToolBar", {}},
        {kBarTransport, "Show or hide the transport bar\nToggle Transport", {}},
        {kBarInfo, "Show or hide the info button\nToggle Info Button", {}},
        {kBarOverview, "Show or hide the overview bar\nToggle Overview", {}},
        {kBarStatus, "Show or hide the status bar\nToggle StatusBar", {}},
        // Transport.
        {kPlay, "Play the selection, or from the caret to the end\nPlay", {}, "Space"},
        {kStop, "Stop playing\nStop", {}, "Space"},
        // Window.
        {kWindowCascade, "Arrange windows so they overlap\nCascade Windows", {}},
        {kWindowTile, "Arrange windows as non-overlapping tiles\nTile Windows", {}},
        {kWindowArrange, "Arrange icons at the bottom of the window\nArrange Icons", {}},
        {kNextPane, "Switch to the next window pane\nNext Pane", {Key(Qt::Key_F6)}},
        {kPrevPane,
         "Switch back to the previous window pane\nPrevious Pane",
         {Key(shift | Qt::Key_F6)}},
        // Help.
        {kHelpFinder, "List Help topics\nHelp Topics", {}},
        {kHelp, "Display help for current task or command\nHelp", {Key(Qt::Key_F1)}},
        {kContextHelp,
         "Display help for clicked buttons, menus and windows\nHelp",
         {Key(shift | Qt::Key_F1)}},
        {kAppAbout, "Display program information, version number and copyright\nAbout", {}},
    };
}

}  // namespace

const std::vector<CommandInfo>& CommandTable::All() {
    static const std::vector<CommandInfo> table = MakeTable();
    return table;
}

const CommandInfo* CommandTable::Find(unsigned id) {
    for (const CommandInfo& info : All()) {
        if (info.id == id) {
            return &info;
        }
    }
    return nullptr;
}

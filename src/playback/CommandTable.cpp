#include "playback/CommandTable.h"

#include <algorithm>
#include <tuple>

#include "playback/CommandIds.h"
#include "playback/UndoMenuText.h"

using namespace CommandId;

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

const CommandPlacement* CommandInfo::In(CommandPlace place) const {
    for (const CommandPlacement& placement : places) {
        if (placement.place == place) {
            return &placement;
        }
    }
    return nullptr;
}

std::string CommandInfo::TextIn(CommandPlace place) const {
    const CommandPlacement* placement = In(place);
    std::string text = placement != nullptr && placement->text != nullptr ? placement->text
                       : menuText != nullptr                              ? menuText
                                                                          : "";
    if (placement != nullptr && !placement->bKeyText) {
        text.erase(std::min(text.find('\t'), text.size()));
    }
    return text;
}

namespace {

QKeySequence Key(QKeyCombination combination) {
    return QKeySequence(combination);
}

constexpr CommandPlacement At(CommandPlace place, int group, int order) {
    return CommandPlacement{place, group, order};
}

std::vector<CommandInfo> MakeTable() {
    using enum CommandPlace;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    // The recent files: one placeholder item that the list's entries take over.
    const auto recentFile = [](unsigned index) {
        return CommandInfo{.id = kFileMru1 + index,
                           .menuText = index == 0 ? "Recent File" : nullptr,
                           .status = "Open this document",
                           .places = {At(kFileMenu128, 3, static_cast<int>(index) + 1),
                                      At(kFileMenu129, 4, static_cast<int>(index) + 1)}};
    };
    return {
        // File.
        {.id = kFileOpen,
         .menuText = "&Open...\tCtrl+O",
         .status = "Open an existing document",
         .tip = "Open",
         .keys = {Key(ctrl | Qt::Key_O)},
         .icon = ToolIcon::kOpen,
         .places = {At(kFileMenu128, 1, 1), At(kFileMenu129, 1, 1), At(kBasicBar, 1, 1)}},
        {.id = kImport,
         .menuText = "&Import...\tCtrl+Shift+I",
         .status = "Import a sound file of another format as a new document",
         .tip = "Import",
         .keys = {Key(ctrlShift | Qt::Key_I)},
         .places = {At(kFileMenu128, 1, 2), At(kFileMenu129, 1, 2)}},
        {.id = kFileClose,
         .menuText = "&Close",
         .status = "Close the active document",
         .tip = "Close",
         .keys = {Key(ctrl | Qt::Key_W)},
         .places = {At(kFileMenu129, 1, 3)}},
        {.id = kFileSave,
         .menuText = "&Save\tCtrl+S",
         .status = "Save the active document",
         .tip = "Save",
         .keys = {Key(ctrl | Qt::Key_S)},
         .icon = ToolIcon::kSave,
         .places = {At(kFileMenu129, 1, 4), At(kBasicBar, 1, 2)}},
        {.id = kFileSaveAs,
         .menuText = "Save &As...",
         .status = "Save the active document with a new name",
         .tip = "Save As",
         .places = {At(kFileMenu129, 1, 5)}},
        {.id = kFilePrint,
         .status = "Print the active document",
         .tip = "Print",
         .keys = {Key(ctrl | Qt::Key_P)}},
        {.id = kExportStereo,
         .menuText = "Export Stereo File...",
         .status = "Create & Save Ambrel processed stereo sound file",
         .tip = "Make Ambrel File",
         .places = {At(kFileMenu129, 2, 1)}},
        {.id = kExportBinaural,
         .menuText = "Export Binaural File...",
         .status = "Create & Save a binaural file for headphones, mixed with HRTF as playback is",
         .tip = "Make Binaural File",
         .places = {At(kFileMenu129, 2, 2)}},
        {.id = kExportAmbisonics,
         .menuText = "Export Ambisonics...",
         .status = "Create & Save an AmbiX file (orders 1 to 3) for 360-degree video, games and VR",
         .tip = "Make Ambisonics File",
         .places = {At(kFileMenu129, 2, 3)}},
        {.id = kExportAdm,
         .menuText = "Export ADM BW64...",
         .status = "Create & Save an ADM broadcast WAV file: the sound as it is, its trajectory as "
                   "objects",
         .tip = "Make ADM File",
         .places = {At(kFileMenu129, 2, 4)}},
        {.id = kExportLoudspeakers,
         .menuText = "Export Loudspeakers...",
         .status = "Create & Save one channel per loudspeaker of a layout (5.1, 7.1.4, 22.2, ...)",
         .tip = "Make Loudspeaker File",
         .places = {At(kFileMenu129, 2, 5)}},
        {.id = kPreferences,
         .menuText = "Preferences...",
         .status = "Change the mixer options",
         .tip = "Preferences",
         .places = {At(kFileMenu128, 2, 1), At(kFileMenu129, 3, 1)}},
        recentFile(0),
        recentFile(1),
        recentFile(2),
        recentFile(3),
        {.id = kAppExit,
         .menuText = "E&xit",
         .status = "Quit the application; prompts to save documents",
         .tip = "Exit",
         .keys = {Key(ctrl | Qt::Key_Q)},
         .places = {At(kFileMenu128, 4, 1), At(kFileMenu129, 5, 1)}},
        // Edit.
        {.id = kEditUndo,
         .menuText = UndoMenuText::kNoUndoText,
         .status = "Undo the last action",
         .tip = "Undo",
         .keys = {Key(ctrl | Qt::Key_Z), Key(alt | Qt::Key_Backspace)},
         .places = {At(kEditMenu129, 1, 1), At(kContextMenu153, 1, 1)}},
        {.id = kEditRedo,
         .menuText = UndoMenuText::kNoRedoText,
         .status = "Redo the previously undone action",
         .tip = "Redo",
         .keys = {Key(ctrl | Qt::Key_Y), Key(ctrlShift | Qt::Key_Z)},
         .places = {At(kEditMenu129, 1, 2), At(kContextMenu153, 1, 2)}},
        {.id = kEditCut,
         .menuText = "Cu&t\tCtrl+X",
         .status = "Cut the selection and put it on the Clipboard",
         .tip = "Cut",
         .keys = {Key(ctrl | Qt::Key_X), Key(ctrl | Qt::Key_Backspace), Key(ctrl | Qt::Key_Delete),
                  Key(shift | Qt::Key_Delete)},
         .places = {At(kEditMenu129, 2, 1), At(kContextMenu153, 1, 3)}},
        {.id = kEditCopy,
         .menuText = "&Copy\tCtrl+C",
         .status = "Copy the selection and put it on the Clipboard",
         .tip = "Copy",
         .keys = {Key(ctrl | Qt::Key_C), Key(ctrl | Qt::Key_Insert)},
         .places = {At(kEditMenu129, 2, 2), At(kContextMenu153, 1, 4)}},
        {.id = kPaste,
         .menuText = "&Paste\tCtrl+V",
         .status = "Insert Clipboard contents",
         .tip = "Paste",
         .keys = {Key(ctrl | Qt::Key_V), Key(shift | Qt::Key_Insert)},
         .places = {At(kEditMenu129, 2, 3), At(kContextMenu153, 1, 5)}},
        {.id = kDeleteInRange,
         .menuText = "&Delete",
         .status = "Delete pan points in current selection region",
         .tip = "Delete In Range",
         .icon = ToolIcon::kDeleteInRange,
         .places = {At(kEditMenu129, 2, 4), At(kBasicBar, 2, 3), At(kContextMenu153, 1, 6)}},
        {.id = kPointProperties,
         .menuText = "Point Properties...\tAlt+Enter",
         .status = "Type the exact position and direction of the selected pan point",
         .tip = "Point Properties",
         .keys = {Key(alt | Qt::Key_Enter), Key(alt | Qt::Key_Return)},
         .places = {At(kEditMenu129, 2, 5), At(kContextMenu153, 1, 7)}},
        {.id = kGenerateTrajectory,
         .menuText = "&Generate Trajectory...",
         .status = "Draw a sweep, pendulum, orbit, spiral or random walk over the selection",
         .tip = "Generate Trajectory",
         .places = {At(kEditMenu129, 5, 1)}},
        {.id = kStretchPoints,
         .menuText = "S&tretch Points...",
         .status = "Speed up or slow down the motion of the selection's pan points",
         .tip = "Stretch Points",
         .places = {At(kEditMenu129, 5, 2)}},
        {.id = kRecordTrajectory,
         .menuText = "&Record Trajectory\tCtrl+R",
         .status = "Arm recording: hold the left button over the playing wave to write the path",
         .tip = "Record Trajectory",
         .keys = {Key(ctrl | Qt::Key_R)},
         .icon = ToolIcon::kRecord,
         .places = {At(kTransportMenu129, 3, 1), At(kTransportBar, 1, 4)},
         .bRepeats = false},
        {.id = kRecordTouch,
         .menuText = "&Touch\tCtrl+Shift+T",
         .status = "Record while the button is held; on release the old path resumes",
         .tip = "Touch",
         .keys = {Key(ctrlShift | Qt::Key_T)},
         .icon = ToolIcon::kRecordTouch,
         .places = {At(kTransportMenu129, 3, 2), At(kTransportBar, 1, 5)}},
        {.id = kRecordLatch,
         .menuText = "L&atch\tCtrl+Shift+L",
         .status = "Record while the button is held, then hold the last value until playback stops",
         .tip = "Latch",
         .keys = {Key(ctrlShift | Qt::Key_L)},
         .icon = ToolIcon::kRecordLatch,
         .places = {At(kTransportMenu129, 3, 3), At(kTransportBar, 1, 6)}},
        {.id = kRecordWrite,
         .menuText = "&Write\tCtrl+Shift+W",
         .status = "Overwrite the path from where playback started to where it stops",
         .tip = "Write",
         .keys = {Key(ctrlShift | Qt::Key_W)},
         .icon = ToolIcon::kRecordWrite,
         .places = {At(kTransportMenu129, 3, 4), At(kTransportBar, 1, 7)}},
        {.id = kSelectAll,
         .menuText = "&Select All\tCtrl+A",
         .status = "Expand selection region to include entire waveform",
         .tip = "Select All",
         .keys = {Key(ctrl | Qt::Key_A)},
         .places = {At(kEditMenu129, 3, 1), At(kContextMenu153, 2, 1)}},
        {.id = kCursorFollow,
         .menuText = "Cursor &Follows Playback",
         .status = "Move the caret to where playback was stopped",
         .tip = "Cursor Follows Playback",
         .places = {At(kEditMenu129, 4, 1)}},
        {.id = kEditPan,
         .menuText = "Edit: Pan Points",
         .status = "Edit Mode: Pan Point Edit",
         .tip = "Edit Pan",
         .icon = ToolIcon::kPanPoints,
         .places = {At(kBasicBar, 2, 1), At(kContextMenu153, 4, 1)}},
        {.id = kEditSelect,
         .menuText = "Edit: Select",
         .status = "Edit Mode: Selection Caret",
         .tip = "Selection Caret",
         .icon = ToolIcon::kCaret,
         .places = {At(kBasicBar, 2, 2), At(kContextMenu153, 4, 2)}},
        // View. The context menu names the zoom items without their keys.
        {.id = kZoomIn,
         .menuText = "Zoom &In\tCtrl + ->",
         .status = "Zoom in to waveform",
         .tip = "Zoom In",
         .keys = {Key(ctrl | Qt::Key_Right)},
         .icon = ToolIcon::kZoomIn,
         .places = {At(kViewMenu129, 1, 1), At(kBasicBar, 2, 4),
                    At(kContextMenu153, 3, 1).WithoutKeyText()}},
        {.id = kZoomOut,
         .menuText = "Zoom &Out\tCtrl + <-",
         .status = "Zoom out of waveform",
         .tip = "Zoom Out",
         .keys = {Key(ctrl | Qt::Key_Left)},
         .icon = ToolIcon::kZoomOut,
         .places = {At(kViewMenu129, 1, 2), At(kBasicBar, 2, 5),
                    At(kContextMenu153, 3, 2).WithoutKeyText()}},
        {.id = kShowAll,
         .menuText = "Show &All\tCtrl + Shift + <-",
         .status = "Zoom out to full waveform",
         .tip = "Show All",
         .keys = {Key(ctrlShift | Qt::Key_Left)},
         .icon = ToolIcon::kShowAll,
         .places = {At(kViewMenu129, 1, 4), At(kBasicBar, 2, 6),
                    At(kContextMenu153, 3, 4).WithoutKeyText()}},
        {.id = kZoomSelection,
         .menuText = "Zoom To &Selection\tCtrl + Shift + ->",
         .status = "Zoom in to current selection region",
         .tip = "Zoom Selection",
         .keys = {Key(ctrlShift | Qt::Key_Right)},
         .icon = ToolIcon::kZoomSelection,
         .places = {At(kViewMenu129, 1, 3), At(kBasicBar, 2, 7),
                    At(kContextMenu153, 3, 3).WithoutKeyText()}},
        {.id = kAllAround,
         .menuText = "Show All Aro&und\tCtrl+Shift+U",
         .status = "Show the direction all around the listener, with lanes for elevation and "
                   "distance",
         .tip = "Show All Around",
         .keys = {Key(ctrlShift | Qt::Key_U)},
         .places = {At(kViewMenu129, 1, 5)}},
        {.id = kPlayThroughFilter,
         .menuText = "Play Through Stereo E&xport Filter",
         .status = "Hear what Export Stereo File writes instead of the mixer's 3-D preview",
         .tip = "Play Through Stereo Export Filter",
         .places = {At(kViewMenu129, 3, 1)}},
        {.id = kPlayThroughBinaural,
         .menuText = "Play Through &Binaural Renderer",
         .status = "Hear what Export Binaural File writes, through the HRTF set chosen in "
                   "Preferences",
         .tip = "Play Through Binaural Renderer",
         .places = {At(kViewMenu129, 3, 2)}},
        {.id = kRoom,
         .menuText = "&Room...",
         .status = "Hear the sound in a room: its size, the listener's place, the walls' "
                   "absorption, reflections and tail",
         .tip = "Room",
         .places = {At(kViewMenu129, 4, 1)}},
        {.id = kDoppler,
         .menuText = "&Doppler",
         .status = "Delay the sound by its path over the speed of sound, so a moving sound "
                   "changes pitch",
         .tip = "Doppler",
         .places = {At(kViewMenu129, 4, 2)}},
        {.id = kAirAbsorption,
         .menuText = "Air &Absorption",
         .status = "Filter the sound by the air's absorption along its path",
         .tip = "Air Absorption",
         .places = {At(kViewMenu129, 4, 3)}},
        {.id = kBarBasic,
         .menuText = "&Toolbar",
         .status = "Show or hide the toolbar",
         .tip = "Toggle ToolBar",
         .places = {At(kViewMenu128, 1, 1), At(kViewMenu129, 2, 1)}},
        {.id = kBarTransport,
         .menuText = "T&ransport",
         .status = "Show or hide the transport bar",
         .tip = "Toggle Transport",
         .places = {At(kViewMenu128, 1, 2), At(kViewMenu129, 2, 2)}},
        {.id = kBarInfo,
         .menuText = "I&nfo Button",
         .status = "Show or hide the info button",
         .tip = "Toggle Info Button",
         .places = {At(kViewMenu128, 1, 3), At(kViewMenu129, 2, 3)}},
        // The document's View menu gives the overview toggle another mnemonic.
        {.id = kBarOverview,
         .menuText = "O&verview",
         .status = "Show or hide the overview bar",
         .tip = "Toggle Overview",
         .places = {At(kViewMenu128, 1, 4), At(kViewMenu129, 2, 4).Named("Over&view")}},
        {.id = kBarStatus,
         .menuText = "Stat&us Bar",
         .status = "Show or hide the status bar",
         .tip = "Toggle StatusBar",
         .places = {At(kViewMenu128, 1, 5), At(kViewMenu129, 2, 5)}},
        // Transport. Space is one command in the menu; the bar keeps its two buttons.
        {.id = kPlayStop,
         .menuText = "&Play/Stop\tSpace",
         .status = "Play the selection, or from the caret to the end; stop while playing",
         .tip = "Play/Stop",
         .keys = {Key(Qt::Key_Space)},
         .places = {At(kTransportMenu129, 1, 1)},
         .bRepeats = false},
        {.id = kLoopPlayback,
         .menuText = "&Loop Playback\tL",
         .status = "Play the selection round and round until stopped",
         .tip = "Loop Playback",
         .keys = {Key(Qt::Key_L)},
         .icon = ToolIcon::kLoop,
         .places = {At(kTransportMenu129, 2, 1), At(kTransportBar, 1, 3)},
         .bRepeats = false},
        {.id = kResetHead,
         .menuText = "Reset &Head\tCtrl+Shift+H",
         .status = "Take the head tracker's present orientation as straight ahead",
         .tip = "Reset Head",
         .keys = {Key(ctrlShift | Qt::Key_H)},
         .places = {At(kTransportMenu129, 4, 1)},
         .bRepeats = false},
        {.id = kPlay,
         .status = "Play the selection, or from the caret to the end",
         .tip = "Play",
         .viewKey = "Space",
         .icon = ToolIcon::kPlay,
         .places = {At(kTransportBar, 1, 2)}},
        {.id = kStop,
         .status = "Stop playing",
         .tip = "Stop",
         .viewKey = "Space",
         .icon = ToolIcon::kStop,
         .places = {At(kTransportBar, 1, 1)}},
        // Window.
        {.id = kWindowCascade,
         .menuText = "&Cascade",
         .status = "Arrange windows so they overlap",
         .tip = "Cascade Windows",
         .places = {At(kWindowMenu129, 1, 1)}},
        {.id = kWindowTile,
         .menuText = "&Tile",
         .status = "Arrange windows as non-overlapping tiles",
         .tip = "Tile Windows",
         .places = {At(kWindowMenu129, 1, 2)}},
        {.id = kWindowArrange,
         .menuText = "&Arrange Icons",
         .status = "Arrange icons at the bottom of the window",
         .tip = "Arrange Icons",
         .places = {At(kWindowMenu129, 1, 3)}},
        {.id = kNextPane,
         .status = "Switch to the next window pane",
         .tip = "Next Pane",
         .keys = {Key(Qt::Key_F6)}},
        {.id = kPrevPane,
         .status = "Switch back to the previous window pane",
         .tip = "Previous Pane",
         .keys = {Key(shift | Qt::Key_F6)}},
        // Help.
        {.id = kHelpFinder,
         .menuText = "&Help Topics",
         .status = "List Help topics",
         .tip = "Help Topics",
         .places = {At(kHelpMenu128, 1, 1), At(kHelpMenu129, 1, 1)}},
        {.id = kHelp,
         .status = "Display help for current task or command",
         .tip = "Help",
         .keys = {Key(Qt::Key_F1)}},
        {.id = kContextHelp,
         .status = "Display help for clicked buttons, menus and windows",
         .tip = "Help",
         .keys = {Key(shift | Qt::Key_F1)},
         .icon = ToolIcon::kContextHelp,
         .places = {At(kBasicBar, 3, 1)}},
        {.id = kAppAbout,
         .menuText = "&About Sonomap...",
         .status = "Display program information, version number and copyright",
         .tip = "About",
         .icon = ToolIcon::kInfoPicture,
         .places = {At(kHelpMenu128, 2, 1), At(kHelpMenu129, 2, 1), At(kInfoBar, 1, 1)}},
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

const char* CommandTable::MenuText(unsigned id) {
    const CommandInfo* info = Find(id);
    return info != nullptr ? info->menuText : nullptr;
}

const std::vector<CommandPlaceInfo>& CommandTable::Places() {
    using enum CommandPlace;
    static const std::vector<CommandPlaceInfo> places = {
        {kFileMenu128, "&File", 128, 0},
        {kViewMenu128, "&View", 128, 0},
        {kHelpMenu128, "&Help", 128, 0},
        {kFileMenu129, "&File", 129, 0},
        {kEditMenu129, "&Edit", 129, 0},
        {kViewMenu129, "&View", 129, 0},
        {kTransportMenu129, "&Transport", 129, 0},
        {kWindowMenu129, "&Window", 129, 0},
        {kHelpMenu129, "&Help", 129, 0},
        {kBasicBar, "Basic", 0, kBarBasic},
        {kTransportBar, "Transport", 0, kBarTransport},
        {kInfoBar, "Info.", 0, kBarInfo},
        {kContextMenu153, "", 153, 0},
    };
    return places;
}

const CommandPlaceInfo& CommandTable::Place(CommandPlace place) {
    return *std::find_if(Places().begin(), Places().end(),
                         [place](const CommandPlaceInfo& info) { return info.place == place; });
}

std::vector<const CommandInfo*> CommandTable::Layout(CommandPlace place) {
    std::vector<std::tuple<int, int, const CommandInfo*>> placed;
    for (const CommandInfo& info : All()) {
        if (const CommandPlacement* placement = info.In(place)) {
            placed.emplace_back(placement->group, placement->order, &info);
        }
    }
    std::sort(placed.begin(), placed.end());
    std::vector<const CommandInfo*> layout;
    for (size_t i = 0; i < placed.size(); ++i) {
        if (i > 0 && std::get<0>(placed[i]) != std::get<0>(placed[i - 1])) {
            layout.push_back(nullptr);
        }
        layout.push_back(std::get<2>(placed[i]));
    }
    return layout;
}

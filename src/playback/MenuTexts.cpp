#include "playback/MenuTexts.h"

#include <map>

#include "playback/CommandIds.h"
#include "playback/UndoMenuText.h"

namespace {

using namespace CommandId;

const std::map<unsigned, const char*> kTexts = {
    {kFileOpen, "&Open...\tCtrl+O"},
    {kImport, "&Import...\tCtrl+Shift+I"},
    {kFileClose, "&Close"},
    {kFileSave, "&Save\tCtrl+S"},
    {kFileSaveAs, "Save &As..."},
    {kExportStereo, "Export Stereo File..."},
    {kExportBinaural, "Export Binaural File..."},
    {kPreferences, "Preferences..."},
    {kFileMru1, "Recent File"},
    {kAppExit, "E&xit"},
    {kEditUndo, UndoMenuText::kNoUndoText},
    {kEditRedo, UndoMenuText::kNoRedoText},
    {kEditCut, "Cu&t\tCtrl+X"},
    {kEditCopy, "&Copy\tCtrl+C"},
    {kPaste, "&Paste\tCtrl+V"},
    {kDeleteInRange, "&Delete"},
    {kPointProperties, "Point Properties...\tAlt+Enter"},
    {kSelectAll, "&Select All\tCtrl+A"},
    {kCursorFollow, "Cursor &Follows Playback"},
    {kEditPan, "Edit: Pan Points"},
    {kEditSelect, "Edit: Select"},
    {kZoomIn, "Zoom &In\tCtrl + ->"},
    {kZoomOut, "Zoom &Out\tCtrl + <-"},
    {kZoomSelection, "Zoom To &Selection\tCtrl + Shift + ->"},
    {kShowAll, "Show &All\tCtrl + Shift + <-"},
    {kBarBasic, "&Toolbar"},
    {kBarTransport, "T&ransport"},
    {kBarInfo, "I&nfo Button"},
    {kBarOverview, "O&verview"},
    {kBarStatus, "Stat&us Bar"},
    {kWindowCascade, "&Cascade"},
    {kWindowTile, "&Tile"},
    {kWindowArrange, "&Arrange Icons"},
    {kHelpFinder, "&Help Topics"},
    {kAppAbout, "&About Sonomap..."},
};

}  // namespace

const char* MenuTexts::Find(unsigned id) {
    const auto found = kTexts.find(id);
    return found != kTexts.end() ? found->second : nullptr;
}

std::string MenuTexts::WithoutKeys(unsigned id) {
    const char* text = Find(id);
    if (text == nullptr) {
        return {};
    }
    const std::string whole = text;
    return whole.substr(0, whole.find('\t'));
}

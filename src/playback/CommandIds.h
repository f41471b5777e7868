#pragma once

// The command, bar and status-pane ids of the menus, tool bars and accelerators. The
// program's own commands lie in 32772 ... 32795; the rest are the framework's standard ids.
namespace CommandId {
// Wave view commands.
inline constexpr unsigned kZoomIn = 32772;
inline constexpr unsigned kZoomOut = 32774;
inline constexpr unsigned kEditPan = 32775;
inline constexpr unsigned kEditSelect = 32776;
inline constexpr unsigned kShowAll = 32777;
inline constexpr unsigned kZoomSelection = 32778;
inline constexpr unsigned kPlay = 32779;
inline constexpr unsigned kStop = 32780;
inline constexpr unsigned kDeleteInRange = 32786;
inline constexpr unsigned kImport = 32787;
inline constexpr unsigned kExportStereo = 32788;
inline constexpr unsigned kExportBinaural = 32789;
inline constexpr unsigned kCursorFollow = 32790;
inline constexpr unsigned kSelectAll = 32793;
inline constexpr unsigned kPreferences = 32794;
inline constexpr unsigned kPaste = 32795;
// Commands beyond the classic set.
inline constexpr unsigned kPointProperties = 32811;
inline constexpr unsigned kAllAround = 32812;
inline constexpr unsigned kGenerateTrajectory = 32830;
inline constexpr unsigned kStretchPoints = 32831;
inline constexpr unsigned kLoopPlayback = 32832;
inline constexpr unsigned kRecordTrajectory = 32833;
// The recording modes beside the record button: Touch, Latch, Write in that order.
inline constexpr unsigned kRecordTouch = 32834;
inline constexpr unsigned kRecordLatch = 32835;
inline constexpr unsigned kRecordWrite = 32836;
inline constexpr unsigned kExportAmbisonics = 32840;
inline constexpr unsigned kExportAdm = 32845;
inline constexpr unsigned kExportLoudspeakers = 32846;
inline constexpr unsigned kPlayThroughFilter = 32855;
inline constexpr unsigned kPlayThroughBinaural = 32856;
// Space anywhere in the window: Stop while anything plays, else Play.
inline constexpr unsigned kPlayStop = 32860;
// The head tracker's present orientation becomes straight ahead.
inline constexpr unsigned kResetHead = 32870;
// What the document's sound meets on its way: its room, Doppler and the air.
inline constexpr unsigned kRoom = 32875;
inline constexpr unsigned kDoppler = 32876;
inline constexpr unsigned kAirAbsorption = 32877;

// Framework commands.
inline constexpr unsigned kFileOpen = 57601;
inline constexpr unsigned kFileClose = 57602;
inline constexpr unsigned kFileSave = 57603;
inline constexpr unsigned kFileSaveAs = 57604;
inline constexpr unsigned kFilePrint = 57607;
inline constexpr unsigned kFileMru1 = 57616;
inline constexpr unsigned kEditCopy = 57634;
inline constexpr unsigned kEditCut = 57635;
inline constexpr unsigned kEditUndo = 57643;
inline constexpr unsigned kEditRedo = 57644;
inline constexpr unsigned kWindowArrange = 57649;
inline constexpr unsigned kWindowCascade = 57650;
inline constexpr unsigned kWindowTile = 57651;
inline constexpr unsigned kAppAbout = 57664;
inline constexpr unsigned kAppExit = 57665;
inline constexpr unsigned kHelpFinder = 57667;
inline constexpr unsigned kContextHelp = 57669;
inline constexpr unsigned kHelp = 57670;
inline constexpr unsigned kNextPane = 57680;
inline constexpr unsigned kPrevPane = 57681;

// Bars; each id is also the command that shows and hides its bar.
inline constexpr unsigned kBarInfo = 145;
inline constexpr unsigned kBarTransport = 200;
inline constexpr unsigned kBarBasic = 59392;
inline constexpr unsigned kBarStatus = 59393;
inline constexpr unsigned kBarOverview = 59492;
// Asked by the overview bar at idle; the active view answers by feeding the bar.
inline constexpr unsigned kOverviewUpdate = 59493;

// Status panes filled by the active view.
inline constexpr unsigned kIndicatorFormat = 35000;
inline constexpr unsigned kIndicatorSize = 35001;
inline constexpr unsigned kIndicatorDuration = 35002;
// Status panes beside them that say where things are: the caret or selection (from the active
// view), the mouse or the dragged point (from the active view), the play position (from the
// playing view).
inline constexpr unsigned kIndicatorSelection = 35003;
inline constexpr unsigned kIndicatorMouse = 35004;
inline constexpr unsigned kIndicatorPlay = 35005;
// The recording mode, shown while Record Trajectory is armed.
inline constexpr unsigned kIndicatorRecord = 35006;
}  // namespace CommandId

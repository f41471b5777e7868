#pragma once

#include <string>

class PanPointEditor;
class QObject;
class WaveViewGeometry;
class WaveViewNavigation;
class WaveViewPlayback;

// What a wave view's commands (WaveViewCommands) ask of it beside its WaveViewSurface: its
// geometry and pieces (zoom, playing, point editing), the modes a command switches, and the
// texts of the panes. CWaveScrollView is the view; it outlives its commands.
class WaveViewActions {
  public:
    virtual ~WaveViewActions() = default;

    virtual const WaveViewGeometry& Geometry() const = 0;
    virtual WaveViewNavigation& Navigation() = 0;
    virtual WaveViewPlayback& Playback() = 0;
    virtual PanPointEditor& Points() = 0;

    // Selects the whole sound and repaints.
    virtual void SelectAll() = 0;
    // The all-around view: on while asked or while the trajectory is 3-D.
    virtual bool IsAllAround() const = 0;
    virtual void SetAllAround(bool bAllAround) = 0;
    // The cursor of the edit mode over the drawing area (bCtrlHeld: the delete cursor).
    virtual void UpdateCursor(bool bCtrlHeld) = 0;

    // The position panes' texts: the caret or the selection; the point being dragged, else
    // the mouse (empty when it is elsewhere).
    virtual std::string SelectionReadout() const = 0;
    virtual std::string MouseReadout() = 0;
    // Tells the overview bar what this view shows, and keeps the bar for the live pan.
    virtual void FeedOverviewBar(QObject* bar) = 0;
};

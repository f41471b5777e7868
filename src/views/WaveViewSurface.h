#pragma once

#include <QRect>
#include <cstdint>
#include <string>

#include "geometry/WaveViewGeometry.h"

// What a wave view's pieces (its navigation, its playback, its point editing) may ask of the
// view they serve, and no more: where its columns stand, its selection and caret, which part
// of it to repaint, and the few states a gesture must respect. CWaveScrollView is the surface;
// it owns the pieces and outlives them. Frames; window pixels of the drawing area.
class WaveViewSurface {
  public:
    virtual ~WaveViewSurface() = default;

    // The geometry as the next paint draws it (its scale fitted to the total width).
    virtual WaveViewGeometry PaintedGeometry() const = 0;
    // The drawing area's height in pixels, and the lanes' under it (their scales follow it).
    virtual int SurfaceHeight() const = 0;
    virtual int LaneStripHeight() const = 0;
    // Repaints a rectangle of the drawing area, all of it, or all of it and the lanes.
    virtual void RepaintRect(const QRect& rect) = 0;
    virtual void RepaintWave() = 0;
    virtual void RepaintAll() = 0;

    // The selection, a caret when end == start + 1, changed on screen.
    virtual uint32_t GetSelStart() const = 0;
    virtual uint32_t GetSelEnd() const = 0;
    virtual bool IsCaret() const = 0;
    virtual void SetSelection(uint32_t start, uint32_t end) = 0;
    // Erases the caret if it is drawn and puts it at frame.
    virtual void PlaceCaret(uint32_t frame) = 0;
    virtual void HideCaret() = 0;
    // Centres frame in the window, as far as the waveform reaches.
    virtual void ScrollToSample(uint32_t frame) = 0;

    // A gesture holds the mouse (a selection or a point being dragged).
    virtual bool IsDragging() const = 0;
    virtual bool IsActiveView() const = 0;
    // Ends a point drag in hand as its release would.
    virtual void EndPointDrag() = 0;
    // Brings the view's mode and its lanes in line with the trajectory after an edit.
    virtual void SyncAllAround() = 0;
    // A line for the status bar.
    virtual void ShowStatusTip(const std::string& text) = 0;
};

#pragma once

#include <QMetaObject>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <optional>

#include "geometry/WaveViewGeometry.h"

class CTesselDoc;
class QAbstractScrollArea;
class QMouseEvent;
class QObject;
struct PanPoint;

// What the widgets beside a wave view ask of it, and no more: the time ruler above it, the
// direction scale left of it, the lanes under it and the pane that lays them out. Where its
// columns and rows stand, its document, and the gestures they hand on. CWaveScrollView is the
// view; it outlives them all. Frames; pixels of the view's drawing area.
class WaveViewAside {
  public:
    virtual ~WaveViewAside() = default;

    // The view's widget (its viewport is the drawing area), to lay out and give the focus.
    virtual QAbstractScrollArea& ScrollArea() = 0;
    virtual const CTesselDoc& Document() const = 0;
    // The geometry as the next paint draws it (its scale fitted to the total width).
    virtual WaveViewGeometry PaintedGeometry() const = 0;
    // Calls changed, in receiver's thread, whenever the view's columns stand for other
    // frames (a scroll, a zoom, a resize).
    virtual QMetaObject::Connection OnDisplayChanged(QObject* receiver,
                                                     std::function<void()> changed) = 0;

    // The ruler's gestures: a click puts the caret at frame, a double-click plays from there.
    virtual void PlaceCaretFromRuler(uint32_t frame) = 0;
    virtual void PlayFrom(uint32_t frame) = 0;
    // Where the mouse is, in pixels of the drawing area or of the ruler (bRuler: a frame only);
    // none once it has left.
    virtual void SetPointer(std::optional<QPoint> at, bool bRuler) = 0;

    // The lanes: the playhead's column (none when silent or outside), the selected point they
    // frame, and their mouse, which leaves with LaneLeft.
    virtual std::optional<int> PlayheadX() const = 0;
    virtual const PanPoint* LaneSelectedPoint() = 0;
    virtual void LaneMouse(const QMouseEvent& event) = 0;
    virtual void LaneLeft() = 0;
};

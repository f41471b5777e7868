#pragma once

#include <optional>

#include "geometry/PlaceAxis.h"
#include "views/PanPointDrag.h"
#include "views/PanPointKeys.h"

class CEditorApp;
class CTesselDoc;
class OverviewBarFeed;
class QKeyEvent;
class WaveViewGeometry;
class WaveViewSurface;

// Pan point editing on a wave view in pan edit mode: the mouse gestures (Ctrl+press deletes,
// a press grabs or adds a point and drags it, a click selects), the keys on the selected
// point, and Point Properties. The drag and the keys do the editing; this object turns the
// view's pixels into their frames and pans and shows the outcome: the drag preview, the live
// direction on the overview bar, the selected point in view and described in the status bar.
// Whether a gesture is in progress is the view's. The view owns this; the view, document,
// application, geometry and feed outlive it. Pixels are window pixels.
//
// In the all-around view (the geometry says so) the window's height is azimuth, and the lanes
// under it are scales of their own: a gesture that starts in a lane works on that lane's value
// (Lane* calls, rows of the lane strip), and each move repaints the view and its lanes rather
// than showing a preview.
class PanPointEditor {
  public:
    PanPointEditor(WaveViewSurface& view, CTesselDoc& document, CEditorApp& app,
                   const WaveViewGeometry& geometry, OverviewBarFeed& overview);

    // Pan edit mode is on (mono and stereo sounds alike carry a trajectory).
    bool InPanEditMode() const;

    // A press with Ctrl at x, y: deletes the point hit.
    void DeleteAt(int x, int y);
    // A press without Ctrl: grabs the point hit or adds one; true when a point is in hand.
    bool BeginDrag(int x, int y);
    void DragTo(int x, int y);
    void EndDrag();
    // The point hit becomes the selected one; false when none is hit.
    bool SelectAt(int x, int y);
    // The same gestures in a lane of the all-around view, y a row of the lane strip.
    void LaneDeleteAt(int x, int y);
    bool LaneBeginDrag(int x, int y);
    bool LaneSelectAt(int x, int y);
    // Shows or hides the drag preview: the two segments through the point being dragged.
    void ToggleDragPreview();

    // Tab or Shift+Tab: shows the newly selected point; false when the selection ran off the
    // end, so the focus moves on.
    bool StepSelection(bool bForward);
    // The keys of pan point editing on the selected point; false for any other key.
    bool EditWithKey(const QKeyEvent& event);
    // What the keys do, for the help and the tool tips.
    static const char* KeysText();
    bool CanEditPointProperties() const;
    // The Point Properties dialog on the selected point.
    void EditPointProperties();

    const PanPointDrag& Drag() const { return m_drag; }
    PanPointKeys& Keys() { return m_keys; }
    const PanPointKeys& Keys() const { return m_keys; }
    bool IsDragPreviewShown() const { return m_dragPreviewShown; }

  private:
    // The selected point changed or moved: shown, in view, and told in the status bar.
    void OnPointSelectionChanged();
    // The window a lane press at x, y reaches: the frames as the wave's, the lane's values.
    WaveViewGeometry::HitWindow LaneWindow(int x, int y) const;
    // The scale the wave's height stands for in the all-around view, or none (pan).
    std::optional<PlaceValue> WaveScale() const;
    void AfterGrab();

    WaveViewSurface& m_view;
    CTesselDoc& m_doc;
    CEditorApp& m_app;
    const WaveViewGeometry& m_geometry;
    OverviewBarFeed& m_overview;
    PanPointDrag m_drag;
    PanPointKeys m_keys;
    bool m_dragPreviewShown = false;
    std::optional<PlaceAxis> m_dragLane;  // the lane a drag began in, or none for the wave
};

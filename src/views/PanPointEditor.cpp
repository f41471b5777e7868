#include "views/PanPointEditor.h"

#include <QKeyEvent>
#include <QPolygon>

#include "document/CTesselDoc.h"
#include "document/PointProperties.h"
#include "playback/CEditorApp.h"
#include "playback/PlaybackListener.h"
#include "trajectory/SoundPlace.h"
#include "views/OverviewBarFeed.h"
#include "views/WaveViewPainter.h"
#include "views/WaveViewSurface.h"

PanPointEditor::PanPointEditor(WaveViewSurface& view, CTesselDoc& document, CEditorApp& app,
                               const WaveViewGeometry& geometry, OverviewBarFeed& overview)
    : m_view(view),
      m_doc(document),
      m_app(app),
      m_geometry(geometry),
      m_overview(overview),
      m_drag(document),
      m_keys(document, geometry) {}

bool PanPointEditor::InPanEditMode() const {
    return m_app.IsPanEditMode();
}

std::optional<PlaceValue> PanPointEditor::WaveScale() const {
    return m_geometry.IsAllAround() ? std::optional<PlaceValue>(PlaceValue::Azimuth) : std::nullopt;
}

WaveViewGeometry::HitWindow PanPointEditor::LaneWindow(int x, int y) const {
    WaveViewGeometry::HitWindow window = m_geometry.HitWindowAt(x, 0);
    const int strip = m_view.LaneStripHeight();
    const PlaceAxis::Reach reach = PlaceLanes::Lane(PlaceLanes::LaneAt(y, strip), strip).ReachAt(y);
    window.lowestPan = reach.lowest;
    window.highestPan = reach.highest;
    return window;
}

void PanPointEditor::DeleteAt(int x, int y) {
    if (m_drag.DeleteHit(m_geometry.HitWindowAt(x, y), WaveScale())) {
        m_view.RepaintAll();
    }
}

void PanPointEditor::LaneDeleteAt(int x, int y) {
    if (m_drag.DeleteHit(LaneWindow(x, y), PlaceLanes::LaneAt(y, m_view.LaneStripHeight()))) {
        m_view.RepaintAll();
    }
}

bool PanPointEditor::BeginDrag(int x, int y) {
    m_dragLane.reset();
    const bool bGrabbed = m_geometry.IsAllAround()
                              ? m_drag.Begin(m_geometry.SampleAtX(x), PlaceValue::Azimuth,
                                             m_geometry.PanFromY(y), m_geometry.HitWindowAt(x, y))
                              : m_drag.Begin(m_geometry.SampleAtX(x), m_geometry.PanFromY(y),
                                             m_geometry.HitWindowAt(x, y));
    if (!bGrabbed) {
        return false;
    }
    AfterGrab();
    return true;
}

bool PanPointEditor::LaneBeginDrag(int x, int y) {
    const int strip = m_view.LaneStripHeight();
    const PlaceAxis lane = PlaceLanes::Lane(PlaceLanes::LaneAt(y, strip), strip);
    if (!m_drag.Begin(m_geometry.SampleAtX(x), lane.Value(), lane.ValueAt(y), LaneWindow(x, y))) {
        return false;
    }
    m_dragLane = lane;
    AfterGrab();
    return true;
}

void PanPointEditor::AfterGrab() {
    // The point in hand is also the one the keys and Point Properties work on.
    m_keys.Select(m_drag.Point());
    m_overview.SendLivePan(m_drag.Point()->Pan());
    m_overview.SendLivePlace(PlaceAt(m_doc.GetPanPoints(), m_drag.Point()->position));
    ToggleDragPreview();
}

void PanPointEditor::DragTo(int x, int y) {
    ToggleDragPreview();
    m_drag.MoveTo(m_geometry.SampleAtX(x),
                  m_dragLane ? m_dragLane->ValueAt(y) : m_geometry.PanFromY(y));
    m_overview.SendLivePan(m_drag.Point()->Pan());
    m_overview.SendLivePlace(PlaceAt(m_doc.GetPanPoints(), m_drag.Point()->position));
    ToggleDragPreview();
}

void PanPointEditor::EndDrag() {
    ToggleDragPreview();
    m_view.RepaintWave();
    m_drag.End();
    m_dragLane.reset();
    m_overview.SendLivePan(kNoLivePan);
    m_overview.SendLivePlace(std::nullopt);
    m_view.SyncAllAround();
    m_view.RepaintAll();
}

bool PanPointEditor::SelectAt(int x, int y) {
    const PanPoint* hit = m_drag.HitPoint(m_geometry.HitWindowAt(x, y), WaveScale());
    if (hit == nullptr) {
        return false;
    }
    m_keys.Select(hit);
    return true;
}

bool PanPointEditor::LaneSelectAt(int x, int y) {
    const PanPoint* hit =
        m_drag.HitPoint(LaneWindow(x, y), PlaceLanes::LaneAt(y, m_view.LaneStripHeight()));
    if (hit == nullptr) {
        return false;
    }
    m_keys.Select(hit);
    m_view.RepaintAll();
    return true;
}

void PanPointEditor::ToggleDragPreview() {
    m_dragPreviewShown = !m_dragPreviewShown;
    if (!m_drag.IsActive()) {
        return;
    }
    if (m_geometry.IsAllAround()) {
        // Lines drawn from the trajectory itself, so the whole picture follows the point.
        m_view.RepaintAll();
        return;
    }
    const QPolygon path =
        WaveViewPainter(m_geometry).DragPreviewPath(m_drag.Prev(), *m_drag.Point(), m_drag.Next());
    m_view.RepaintRect(path.boundingRect().adjusted(-2, -2, 2, 2));
}

void PanPointEditor::OnPointSelectionChanged() {
    m_view.SyncAllAround();
    m_view.RepaintAll();
    const PanPoint* point = m_keys.Selected();
    if (point != nullptr && !m_geometry.IsSampleVisible(point->position)) {
        m_view.ScrollToSample(point->position);
    }
    m_view.ShowStatusTip(m_keys.Describe(m_geometry.IsAllAround()));
}

bool PanPointEditor::StepSelection(bool bForward) {
    const bool bMoved = m_keys.Step(bForward);
    OnPointSelectionChanged();
    return bMoved;
}

bool PanPointEditor::EditWithKey(const QKeyEvent& event) {
    if (!InPanEditMode() || m_view.IsDragging() || m_keys.Selected() == nullptr) {
        return false;
    }
    const bool bShift = event.modifiers() & Qt::ShiftModifier;
    const bool bAround = m_geometry.IsAllAround();
    bool bChanged = false;
    switch (event.key()) {
        case Qt::Key_Up:  // up the window, toward full left (all around: on past it, behind)
            bChanged = bAround ? m_keys.ChangeAzimuth(bShift ? -10 : -1)
                               : m_keys.ChangePan(bShift ? -10 : -1);
            break;
        case Qt::Key_Down:
            bChanged =
                bAround ? m_keys.ChangeAzimuth(bShift ? 10 : 1) : m_keys.ChangePan(bShift ? 10 : 1);
            break;
        case Qt::Key_PageUp:
            bChanged = m_keys.ChangeElevation(bShift ? 10 : 1);
            break;
        case Qt::Key_PageDown:
            bChanged = m_keys.ChangeElevation(bShift ? -10 : -1);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            bChanged = m_keys.ScaleDistance(1.1);
            break;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            bChanged = m_keys.ScaleDistance(1.0 / 1.1);
            break;
        case Qt::Key_Left:
            bChanged = m_keys.MoveColumns(-1);
            break;
        case Qt::Key_Right:
            bChanged = m_keys.MoveColumns(1);
            break;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            // With a range selected these keys delete the range's points, as they always did.
            if (!m_view.IsCaret()) {
                return false;
            }
            bChanged = m_keys.DeleteSelected();
            break;
        case Qt::Key_Escape:
            m_keys.Clear();
            bChanged = true;
            break;
        default:
            return false;
    }
    if (bChanged) {
        OnPointSelectionChanged();
    }
    return true;
}

const char* PanPointEditor::KeysText() {
    return "Tab selects the next point; Up and Down move its direction (Shift: 10 degrees), "
           "Page Up and Page Down its elevation (Shift: 10 degrees), + and - its distance by a "
           "tenth; Left and Right move it "
           "in time; Delete removes it.";
}

bool PanPointEditor::CanEditPointProperties() const {
    return InPanEditMode() && !m_view.IsDragging() && m_keys.Selected() != nullptr;
}

void PanPointEditor::EditPointProperties() {
    PanPoint* point = m_keys.Selected();
    if (point == nullptr) {
        return;
    }
    PointProperties properties(m_doc, *point);
    properties.SetAllAroundView(m_geometry.IsAllAround());
    if (m_app.Dialogs().EditPointProperties(properties)) {
        OnPointSelectionChanged();
    }
}

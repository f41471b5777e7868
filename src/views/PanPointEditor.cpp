#include "views/PanPointEditor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPolygon>
#include <QStatusTipEvent>

#include "document/CTesselDoc.h"
#include "document/PointProperties.h"
#include "playback/CEditorApp.h"
#include "views/CWaveScrollView.h"
#include "views/OverviewBarFeed.h"
#include "views/WaveViewPainter.h"

PanPointEditor::PanPointEditor(CWaveScrollView& view, CTesselDoc& document, CEditorApp& app,
                               const WaveViewGeometry& geometry, OverviewBarFeed& overview)
    : m_view(view),
      m_doc(document),
      m_app(app),
      m_geometry(geometry),
      m_overview(overview),
      m_drag(document),
      m_keys(document, geometry) {}

bool PanPointEditor::InPanEditMode() const {
    return m_app.IsPanEditMode() && m_doc.GetFormat().channels == 1;
}

void PanPointEditor::DeleteAt(int x, int y) {
    if (m_drag.DeleteHit(m_geometry.HitWindowAt(x, y))) {
        m_view.viewport()->update();
    }
}

bool PanPointEditor::BeginDrag(int x, int y) {
    if (!m_drag.Begin(m_geometry.SampleAtX(x), m_geometry.PanFromY(y),
                      m_geometry.HitWindowAt(x, y))) {
        return false;
    }
    // The point in hand is also the one the keys and Point Properties work on.
    m_keys.Select(m_drag.Point());
    m_overview.SendLivePan(m_drag.Point()->pan);
    ToggleDragPreview();
    return true;
}

void PanPointEditor::DragTo(int x, int y) {
    ToggleDragPreview();
    m_drag.MoveTo(m_geometry.SampleAtX(x), m_geometry.PanFromY(y));
    m_overview.SendLivePan(m_drag.Point()->pan);
    ToggleDragPreview();
}

void PanPointEditor::EndDrag() {
    ToggleDragPreview();
    m_view.viewport()->update();
    m_drag.End();
    m_overview.SendLivePan(kNoLivePan);
}

bool PanPointEditor::SelectAt(int x, int y) {
    const PanPoint* hit = m_drag.HitPoint(m_geometry.HitWindowAt(x, y));
    if (hit == nullptr) {
        return false;
    }
    m_keys.Select(hit);
    return true;
}

void PanPointEditor::ToggleDragPreview() {
    m_dragPreviewShown = !m_dragPreviewShown;
    if (!m_drag.IsActive()) {
        return;
    }
    const QPolygon path =
        WaveViewPainter(m_geometry).DragPreviewPath(m_drag.Prev(), *m_drag.Point(), m_drag.Next());
    m_view.viewport()->update(path.boundingRect().adjusted(-2, -2, 2, 2));
}

void PanPointEditor::OnPointSelectionChanged() {
    m_view.viewport()->update();
    const PanPoint* point = m_keys.Selected();
    if (point != nullptr && !m_geometry.IsSampleVisible(point->position)) {
        m_view.ScrollToSample(point->position);
    }
    QStatusTipEvent tip(QString::fromStdString(m_keys.Describe()));
    QCoreApplication::sendEvent(&m_view, &tip);
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
    bool bChanged = false;
    switch (event.key()) {
        case Qt::Key_Up:  // up the window, toward full left
            bChanged = m_keys.ChangePan(bShift ? -10 : -1);
            break;
        case Qt::Key_Down:
            bChanged = m_keys.ChangePan(bShift ? 10 : 1);
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

bool PanPointEditor::CanEditPointProperties() const {
    return InPanEditMode() && !m_view.IsDragging() && m_keys.Selected() != nullptr;
}

void PanPointEditor::EditPointProperties() {
    PanPoint* point = m_keys.Selected();
    if (point == nullptr) {
        return;
    }
    PointProperties properties(m_doc, *point);
    if (m_app.EditPointProperties(properties)) {
        OnPointSelectionChanged();
    }
}

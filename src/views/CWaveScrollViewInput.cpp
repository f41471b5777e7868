// The wave view's mouse and keys: the gestures on the wave and in the lanes, the pan
// display's clicks while recording, the wheel, and the keys of selecting and editing points.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "trajectory/SoundPlace.h"
#include "views/CPlaceLanes.h"
#include "views/CWaveScrollView.h"
#include "views/PlaceLanePainter.h"
#include "views/ViewCursors.h"

namespace {

// Mouse positions in whole pixels, truncated as the platform's were.
QPoint PixelOf(const QMouseEvent& event) {
    return QPoint(static_cast<int>(event.position().x()), static_cast<int>(event.position().y()));
}

}  // namespace

void CWaveScrollView::LaneMouse(const QMouseEvent& event) {
    const QPoint at = PixelOf(event);
    const int strip = m_pLanes->height();
    const PlaceAxis lane = PlaceLanes::Lane(PlaceLanes::LaneAt(at.y(), strip), strip);
    const auto surface = [](PlaceValue value) {
        return value == PlaceValue::Elevation ? RecordFeed::Surface::ElevationLane
                                              : RecordFeed::Surface::DistanceLane;
    };
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (event.button() == Qt::LeftButton &&
                m_recording.Press(surface(lane.Value()), lane.ValueAt(at.y()))) {
                return;
            }
            if (event.button() == Qt::LeftButton && m_points.InPanEditMode() && !m_dragging &&
                !IsRecording()) {
                if (event.modifiers() & Qt::ControlModifier) {
                    m_points.LaneDeleteAt(at.x(), at.y());
                } else {
                    m_dragging = m_points.LaneBeginDrag(at.x(), at.y());
                }
            } else if (event.button() == Qt::RightButton && m_points.InPanEditMode()) {
                m_points.LaneSelectAt(at.x(), at.y());
            }
            return;
        case QEvent::MouseMove:
            SetLaneHover(m_geometry.SampleAtX(at.x()),
                         std::make_pair(lane.Value(), lane.ValueAt(at.y())));
            // A hold follows its own lane's scale, even with the pointer over the other.
            for (const PlaceValue value : {PlaceValue::Elevation, PlaceValue::Distance}) {
                m_recording.Move(surface(value), PlaceLanes::Lane(value, strip).ValueAt(at.y()));
            }
            if (m_dragging && m_points.Drag().IsActive()) {
                m_points.DragTo(at.x(), at.y());
            }
            return;
        case QEvent::MouseButtonRelease:
            if (event.button() == Qt::LeftButton && m_recording.Release()) {
                return;
            }
            if (event.button() == Qt::LeftButton && m_dragging) {
                if (m_points.Drag().IsActive()) {
                    m_points.EndDrag();
                }
                m_dragging = false;
            }
            return;
        default:
            return;
    }
}

bool CWaveScrollView::PanDisplayMouse(QEvent::Type type, double azimuth,
                                      std::optional<double> distanceCm) {
    const RecordFeed::Surface surface =
        distanceCm ? RecordFeed::Surface::TopView : RecordFeed::Surface::PanDisplay;
    switch (type) {
        case QEvent::MouseButtonPress:
            return m_recording.Press(surface, azimuth, distanceCm.value_or(0.0));
        case QEvent::MouseMove:
            m_recording.Move(surface, azimuth, distanceCm.value_or(0.0));
            return m_recording.Held().has_value();
        case QEvent::MouseButtonRelease:
            return m_recording.Release();
        default:
            return false;
    }
}

// ---- Display, resizing and scrolling -------------------------------------------------------

void CWaveScrollView::wheelEvent(QWheelEvent* event) {
    // The view never scrolls vertically, so the wheel moves along the sound, a tenth of the
    // window a notch however long the sound; with Ctrl it zooms about the mouse.
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    event->accept();
    m_navigation.Wheel(delta, event->modifiers() & Qt::ControlModifier,
                       static_cast<int>(event->position().x()));
}

void CWaveScrollView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QPoint at = PixelOf(*event);
        if (m_points.InPanEditMode() && !m_dragging && m_points.SelectAt(at.x(), at.y())) {
            InvalidateAll();
        }
        ShowContextMenu(event->position().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint at = PixelOf(*event);
    if (m_recording.Press(RecordFeed::Surface::Wave, m_geometry.PanFromY(at.y()))) {
        return;
    }
    if (m_points.InPanEditMode()) {
        if (IsRecording()) {
            return;  // the pass owns the points until playback stops
        }
        if (event->modifiers() & Qt::ControlModifier) {
            m_points.DeleteAt(at.x(), at.y());
        } else {
            m_dragging = m_points.BeginDrag(at.x(), at.y());
        }
        return;
    }
    m_dragging = true;
    m_geometry.ClearZoomedToSelection();
    Repaint(m_selection.Press(m_geometry, m_geometry.SampleAtX(at.x()),
                              event->modifiers() & Qt::ShiftModifier));
}

void CWaveScrollView::UpdateCursor(bool bCtrlHeld) {
    const int mode =
        m_points.InPanEditMode() ? CEditorApp::kEditModePan : CEditorApp::kEditModeSelect;
    viewport()->setCursor(ViewCursors::ForEditMode(mode, bCtrlHeld));
}

bool CWaveScrollView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Enter) {
        UpdateCursor(QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    } else if (event->type() == QEvent::Leave) {
        SetPointer(std::nullopt, false);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CWaveScrollView::mouseMoveEvent(QMouseEvent* event) {
    UpdateCursor(event->modifiers() & Qt::ControlModifier);
    const QPoint at = PixelOf(*event);
    SetPointer(at, false);
    m_recording.Move(RecordFeed::Surface::Wave, m_geometry.PanFromY(at.y()));
    if (!m_dragging) {
        return;
    }
    if (m_points.Drag().IsActive()) {
        m_points.DragTo(at.x(), at.y());
        return;
    }
    Repaint(m_selection.DragTo(m_geometry, m_geometry.SampleAtX(at.x())));
}

void CWaveScrollView::SetPointer(std::optional<QPoint> at, bool bRuler) {
    m_pointer = at;
    m_bPointerOnRuler = bRuler;
    m_bLaneHover = false;
}

std::string CWaveScrollView::MouseReadout() {
    // Asked at idle: the frame under the mouse now, after End, a zoom or a scroll. The lanes
    // set their own hover, value and all.
    if (m_bLaneHover) {
        return m_readouts.MouseText();
    }
    if (!m_pointer) {
        m_readouts.SetHover(std::nullopt, std::nullopt);
    } else if (m_bPointerOnRuler) {
        m_readouts.SetHover(PaintedGeometry().SampleAtX(m_pointer->x()), std::nullopt);
    } else {
        m_readouts.SetHover(m_geometry.SampleAtX(m_pointer->x()),
                            m_geometry.PanFromY(m_pointer->y()));
    }
    return m_readouts.MouseText();
}

bool CWaveScrollView::IsRecording() const {
    return m_doc.IsRecording();
}

void CWaveScrollView::EndPointDrag() {
    if (m_points.Drag().IsActive()) {
        m_points.EndDrag();
        m_dragging = false;
    }
}

void CWaveScrollView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_recording.Release()) {
        return;
    }
    if (event->button() == Qt::LeftButton && m_dragging) {
        if (m_points.Drag().IsActive()) {
            m_points.EndDrag();
        }
        m_dragging = false;
    }
}

void CWaveScrollView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_points.InPanEditMode() ||
        (event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    // The first press of the double-click grabbed the point (or added it); a grab that moved
    // nothing leaves no step behind the dialog's own.
    if (m_dragging) {
        if (m_points.Drag().IsActive()) {
            m_points.EndDrag();
        }
        m_dragging = false;
    }
    m_doc.DropUnchangedEdit();
    const QPoint at = PixelOf(*event);
    if (m_points.SelectAt(at.x(), at.y())) {
        RunIfEnabled(CommandId::kPointProperties);
    }
}

bool CWaveScrollView::focusNextPrevChild(bool next) {
    // In pan edit mode Tab walks the points; past the last one the focus moves on as usual.
    if (m_points.InPanEditMode() && !m_dragging && m_points.StepSelection(next)) {
        return true;
    }
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void CWaveScrollView::keyPressEvent(QKeyEvent* event) {
    // With Ctrl or Alt these keys are accelerators; a disabled one must not act here instead.
    if (event->key() != Qt::Key_Control &&
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_points.EditWithKey(*event)) {
        return;
    }
    switch (event->key()) {
        case Qt::Key_Space:
            if (m_app.IsPlaying()) {
                m_app.GetPlayback().Stop();
            } else {
                m_playback.Play();
            }
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_app.GetPlayback().Stop();
            PlaceCaret(0);
            return;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            if (!IsCaret()) {
                RunIfEnabled(CommandId::kDeleteInRange);
            }
            return;
        case Qt::Key_Left:
            ScrollToSample(GetSelStart());
            return;
        case Qt::Key_Right:
            ScrollToSample(GetSelEnd());
            return;
        case Qt::Key_Home:
            m_navigation.MoveToStart(event->modifiers() & Qt::ShiftModifier);
            return;
        case Qt::Key_End:
            m_navigation.MoveToEnd(event->modifiers() & Qt::ShiftModifier);
            return;
        case Qt::Key_Control:
            if (viewport()->underMouse() && m_points.InPanEditMode()) {
                UpdateCursor(true);
            }
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CWaveScrollView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control && viewport()->underMouse() && m_points.InPanEditMode()) {
        UpdateCursor(false);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

// ---- Commands ------------------------------------------------------------------------------

#include "views/CWaveScrollView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStatusTipEvent>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "trajectory/SoundPlace.h"
#include "views/CPlaceLanes.h"
#include "views/CWaveViewPane.h"
#include "views/PlaceLanePainter.h"
#include "views/ViewContextMenu.h"
#include "views/ViewCursors.h"
#include "views/WaveViewPainter.h"

namespace {

// Mouse positions in whole pixels, truncated as the platform's were.
QPoint PixelOf(const QMouseEvent& event) {
    return QPoint(static_cast<int>(event.position().x()), static_cast<int>(event.position().y()));
}

}  // namespace

CWaveScrollView::CWaveScrollView(CTesselDoc& document, CEditorApp& app, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_doc(document),
      m_app(app),
      m_geometry(document.GetFrameCount()),
      m_commands(*this, *this, document, app),
      m_scrollBar(*this, m_geometry, [this] { InvalidateAll(); }),
      m_overview(document, m_geometry, m_selection),
      m_points(*this, document, app, m_geometry, m_overview),
      m_navigation(*this, document, m_geometry, m_image, m_scrollBar, m_selection),
      m_readouts(document, m_geometry, m_selection, m_points.Drag()),
      m_pLanes(new CPlaceLanes(*this)),
      m_recording(document.Recording(), app.Prompts(), [this] { EndPointDrag(); }),
      m_playback(*this, document, app.GetPlayback(), app, m_navigation, m_overview) {
    setFrameStyle(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    m_caretTimer.setInterval(kCaretPeriodMs);
    connect(&m_caretTimer, &QTimer::timeout, this, &CWaveScrollView::OnCaretTimer);
    m_pLanes->hide();
    SyncAllAround();
    m_doc.Recording().SetAllAround(m_geometry.IsAllAround());
    m_doc.AddListener(this);
}

CWaveScrollView::~CWaveScrollView() {
    m_doc.RemoveListener(this);
}

void CWaveScrollView::OnTrajectoryChanged(CTesselDoc& /*document*/) {
    SyncAllAround();
    // A drag of this view's own repaints just the rectangles its preview touches.
    if (!m_dragging && !m_points.Drag().IsActive()) {
        RepaintAll();
    }
}

// ---- All around ----------------------------------------------------------------------------

void CWaveScrollView::SetAllAround(bool bAllAround) {
    m_bAllAroundAsked = bAllAround;
    SyncAllAround();
}

void CWaveScrollView::SyncAllAround() {
    if (!IsFrontal(m_doc.GetPanPoints())) {
        m_bAllAroundAsked = true;
    }
    if (m_bAllAroundAsked == m_geometry.IsAllAround()) {
        return;
    }
    m_geometry.SetAllAround(m_bAllAroundAsked);
    m_doc.Recording().SetAllAround(m_bAllAroundAsked);
    // The lanes take rows from the drawing area; the resize that follows rebuilds the image.
    setViewportMargins(0, 0, 0, m_bAllAroundAsked ? PlaceLanes::StripHeight(height()) : 0);
    m_pLanes->setVisible(m_bAllAroundAsked);
    PositionLanes();
    RepaintAll();
}

void CWaveScrollView::PositionLanes() {
    const QRect area = viewport()->geometry();
    m_pLanes->setGeometry(area.x(), area.bottom() + 1, area.width(),
                          PlaceLanes::StripHeight(height()));
}

void CWaveScrollView::RepaintAll() {
    viewport()->update();
    if (m_geometry.IsAllAround()) {
        m_pLanes->update();
    }
}

QWidget* CWaveScrollView::Lanes() const {
    return m_pLanes;
}

void CWaveScrollView::SetLaneHover(uint32_t frame, std::pair<PlaceValue, int32_t> laneValue) {
    m_readouts.SetHover(frame, std::nullopt, laneValue);
    m_bLaneHover = true;
}

void CWaveScrollView::LaneLeft() {
    m_readouts.SetHover(std::nullopt, std::nullopt);
    m_bLaneHover = true;
}

const PanPoint* CWaveScrollView::LaneSelectedPoint() {
    return m_points.InPanEditMode() && !m_points.Drag().IsActive() ? m_points.Keys().Selected()
                                                                   : nullptr;
}

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

int CWaveScrollView::ClientHeight() const {
    return viewport()->height();
}

void CWaveScrollView::FirstDisplay() {
    m_displayed = true;
    m_geometry.FirstDisplay(viewport()->width(), ClientHeight());
    m_image.Invalidate();
    m_scrollBar.ApplySizes();
}

void CWaveScrollView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    PositionLanes();
    if (!m_displayed && viewport()->width() > 0 && ClientHeight() > 0) {
        FirstDisplay();
    }
}

void CWaveScrollView::resizeEvent(QResizeEvent* event) {
    // The lanes grow with the window; the drawing area's resize that brings comes back here.
    if (m_geometry.IsAllAround() &&
        viewportMargins().bottom() != PlaceLanes::StripHeight(height())) {
        setViewportMargins(0, 0, 0, PlaceLanes::StripHeight(height()));
    }
    const int cx = event->size().width();
    const int cy = event->size().height();
    if (cx <= 0 || cy <= 0) {
        return;
    }
    if (!m_displayed) {
        if (isVisible()) {
            FirstDisplay();
        }
        return;
    }
    if (m_scrollBar.IsChangingBar()) {
        // The scroll bar appeared or went: only the height changed, and the command that
        // changed the scroll sizes goes on to place the view itself.
        m_geometry.SetImageHeight(cy);
        m_image.Invalidate();
        PositionLanes();
        return;
    }
    const uint32_t anchor = m_geometry.Resize(cx, cy, GetSelStart(), GetSelEnd());
    m_image.Invalidate();
    m_scrollBar.ApplySizes();
    ScrollToSample(anchor);
    PositionLanes();
}

void CWaveScrollView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The image catches up at the next paint: kept columns are shifted, not redrawn.
    viewport()->update();
}

void CWaveScrollView::wheelEvent(QWheelEvent* event) {
    // The view never scrolls vertically, so the wheel moves along the sound, a tenth of the
    // window a notch however long the sound; with Ctrl it zooms about the mouse.
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    event->accept();
    m_navigation.Wheel(delta, event->modifiers() & Qt::ControlModifier,
                       static_cast<int>(event->position().x()));
}

int CWaveScrollView::SurfaceHeight() const {
    return viewport()->height();
}

int CWaveScrollView::LaneStripHeight() const {
    return m_pLanes->height();
}

void CWaveScrollView::RepaintRect(const QRect& rect) {
    viewport()->update(rect);
}

void CWaveScrollView::RepaintWave() {
    viewport()->update();
}

void CWaveScrollView::ShowStatusTip(const std::string& text) {
    QStatusTipEvent tip(QString::fromStdString(text));
    QCoreApplication::sendEvent(this, &tip);
}

WaveViewGeometry CWaveScrollView::PaintedGeometry() const {
    WaveViewGeometry painted = m_geometry;
    painted.FitScaleToTotalWidth();
    return painted;
}

void CWaveScrollView::InvalidateAll() {
    viewport()->update();
}

// ---- Selection and caret -------------------------------------------------------------------

bool CWaveScrollView::SelectionInView() const {
    return m_geometry.SelectionInView(GetSelStart(), GetSelEnd());
}

QRect CWaveScrollView::BandRect(const WaveViewGeometry::Band& band) const {
    return QRect(band.from, 0, band.to - band.from, m_geometry.ImageHeight());
}

void CWaveScrollView::Repaint(const WaveSelection::Bands& bands) {
    for (const WaveViewGeometry::Band& band : bands) {
        if (!band.IsEmpty()) {
            viewport()->update(BandRect(band));
        }
    }
}

void CWaveScrollView::InvertCaret(bool toggle) {
    Repaint(m_selection.InvertCaret(m_geometry, toggle));
}

void CWaveScrollView::HideCaret() {
    Repaint(m_selection.HideCaret(m_geometry));
}

void CWaveScrollView::SetSelection(uint32_t start, uint32_t end) {
    Repaint(m_selection.Set(m_geometry, start, end));
}

void CWaveScrollView::OnCaretTimer() {
    if (IsCaret() || IsCaretVisible()) {
        InvertCaret(true);
    }
}

void CWaveScrollView::ActivateView(bool active) {
    m_active = active;
    if (active) {
        m_caretTimer.start();
    } else {
        HideCaret();
        m_caretTimer.stop();
    }
}

void CWaveScrollView::PlaceCaret(uint32_t frame) {
    Repaint(m_selection.PlaceCaret(m_geometry, frame));
}

void CWaveScrollView::SelectAll() {
    HideCaret();
    m_selection.SelectAll(m_doc.GetFrameCount());
    InvalidateAll();
}

void CWaveScrollView::PlayFrom(uint32_t frame) {
    m_app.GetPlayback().Stop();
    PlaceCaretFromRuler(frame);
    m_playback.Play();
}

void CWaveScrollView::PlaceCaretFromRuler(uint32_t frame) {
    // As a click in selection mode: a caret there, shown at once.
    m_geometry.ClearZoomedToSelection();
    SetSelection(frame, frame + 1);
}

// ---- Painting ------------------------------------------------------------------------------

bool CWaveScrollView::IsMono() const {
    return m_doc.GetFormat().channels == 1;
}

void CWaveScrollView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    m_geometry.FitScaleToTotalWidth();
    const WaveImage::Target target{m_geometry.ImageWidth(), m_geometry.ImageHeight(),
                                   m_geometry.TotalWidth(),
                                   static_cast<uint32_t>(m_geometry.LeftColumn())};
    const bool bReady =
        m_image.IsCurrent(target) || m_image.Update(m_doc.GetSampleData(), target, m_app.Prompts());
    if (!bReady || m_image.Image() == nullptr) {
        painter.fillRect(event->rect(), Qt::white);
        return;
    }
    WaveViewPainter::DrawWave(painter, m_image, viewport()->size(), !IsMono(), palette());
    PaintOverlays(painter);
    if (const std::optional<int> playheadX = m_playback.PaintColumn(m_geometry)) {
        painter.fillRect(QRect(*playheadX, 0, 1, viewport()->height()),
                         QColor(WaveViewPlayback::kPlayheadColour));
    }
    const Display display{m_geometry.LeftColumn(), m_geometry.TotalWidth(),
                          m_geometry.ImageWidth()};
    if (display != m_lastDisplay) {
        m_lastDisplay = display;
        emit DisplayChanged();
    }
}

void CWaveScrollView::PaintOverlays(QPainter& painter) {
    const WaveViewPainter picture(m_geometry);
    const PanPointDrag& drag = m_points.Drag();
    const bool bAround = m_geometry.IsAllAround();
    if (bAround) {
        const PlaceLanePainter place(m_geometry, m_doc);
        place.DrawFrontBand(painter);
        place.DrawTrack(painter, m_geometry.AzimuthAxis());
        m_pLanes->update();
    } else {
        // During a drag the trajectory stays as it was at the press; the preview shows the
        // change until the release repaints.
        if (drag.IsActive()) {
            picture.DrawTrajectory(painter, drag.Snapshot());
        } else {
            picture.DrawTrajectory(painter, m_doc);
        }
    }
    if (m_points.InPanEditMode() && !drag.IsActive()) {
        if (const PanPoint* selected = m_points.Keys().Selected()) {
            picture.DrawSelectedPoint(painter, *selected);
        }
    }
    if (!IsCaret()) {
        picture.InvertBand(painter, m_selection.RangeBand(m_geometry));
    } else if (IsCaretVisible()) {
        picture.InvertBand(painter, m_selection.CaretBand(m_geometry));
    }
    if (m_points.IsDragPreviewShown() && drag.IsActive() && !bAround) {
        WaveViewPainter::DrawDragPreview(
            painter, picture.DragPreviewPath(drag.Prev(), *drag.Point(), drag.Next()));
    }
}

// ---- Mouse and keys ------------------------------------------------------------------------

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

void CWaveScrollView::FeedOverviewBar(QObject* bar) {
    m_overview.Feed(bar, m_app.GetPlayback().IsPlaying(m_doc));
    // The bar's line is this sound's play position, or none while another sound plays.
    m_playback.SendPlayPosition();
}

QWidget* CWaveScrollView::MakeWindowContent() {
    return new CWaveViewPane(*this);
}

QMetaObject::Connection CWaveScrollView::OnDisplayChanged(QObject* receiver,
                                                          std::function<void()> changed) {
    return connect(this, &CWaveScrollView::DisplayChanged, receiver, std::move(changed));
}

bool CWaveScrollView::UpdateCommand(unsigned id, CommandState& state) {
    return m_commands.UpdateCommand(id, state);
}

bool CWaveScrollView::RunCommand(unsigned id) {
    const bool bRan = m_commands.RunCommand(id);
    // An undo, a paste or a delete may have taken the trajectory off the front.
    SyncAllAround();
    RepaintAll();
    return bRan;
}

bool CWaveScrollView::RunIfEnabled(unsigned id) {
    CommandState state;
    if (!UpdateCommand(id, state) || !state.enabled) {
        return false;
    }
    return RunCommand(id);
}

void CWaveScrollView::ShowContextMenu(const QPoint& position) {
    if (const std::optional<unsigned> id =
            ViewContextMenu::Choose(*this, *this, viewport()->mapToGlobal(position))) {
        RunIfEnabled(*id);
    }
}

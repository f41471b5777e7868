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

#include "views/CWaveScrollView.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "document/PanPoint.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "views/ViewCursors.h"
#include "views/ViewEvents.h"

namespace {

// The mixer's end-of-wave notice arrives on its own thread. It is posted to this one long-lived
// object, which hands it on the user-interface thread to the view that started that playback,
// if the view still exists and nothing has been started since.
class WaveDoneRelay : public QObject {
  public:
    static WaveDoneRelay& Instance() {
        static WaveDoneRelay relay;
        return relay;
    }
    void Expect(uint32_t play, CWaveScrollView* view) {
        m_play = play;
        m_view = view;
    }

  protected:
    void customEvent(QEvent* event) override {
        if (event->type() != kWaveDoneEvent) {
            return;
        }
        const uint32_t play = static_cast<WaveDoneEvent*>(event)->Play();
        if (play == m_play && m_view) {
            WaveDoneEvent forward(play);
            QCoreApplication::sendEvent(m_view, &forward);
        }
    }

  private:
    uint32_t m_play = 0;
    QPointer<CWaveScrollView> m_view;
};

void PostWaveDone(void* user, uint32_t /*channel*/) {
    const auto play = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user));
    QCoreApplication::postEvent(&WaveDoneRelay::Instance(), new WaveDoneEvent(play));
}

// Program-wide, so a notice can never be mistaken for one of another view's playback.
uint32_t g_playNumber = 0;

uint32_t Truncate(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(value);
}

std::string Printf(const char* format, int a, int b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

CWaveScrollView::CWaveScrollView(CTesselDoc& document, CEditorApp& app, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(document), m_app(app) {
    setFrameStyle(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    m_scrollBarHeight = horizontalScrollBar()->sizeHint().height() + 1;
    m_wave.m_fullRebuild = true;
    m_wave.m_imageStale = true;
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            &CWaveScrollView::OnScrollAction);
    m_caretTimer.setInterval(kCaretPeriodMs);
    connect(&m_caretTimer, &QTimer::timeout, this, &CWaveScrollView::OnCaretTimer);
    m_playbackTimer.setInterval(kPlaybackPeriodMs);
    connect(&m_playbackTimer, &QTimer::timeout, this, &CWaveScrollView::OnPlaybackTick);
}

CWaveScrollView::~CWaveScrollView() {
    // The application must not keep a view that is gone. No cursor following here: the view
    // is going, and a message box now would show over a half-closed window.
    if (m_app.GetPlayingView() == this) {
        m_playbackTimer.stop();
        SendLivePan(kNoLivePan);
        m_app.MixerStopChannel(m_app.GetMixerSession(), 0);
        m_doc.SetPlaying(false);
        m_app.ClearPlaying();
    }
}

// ---- Geometry ------------------------------------------------------------------------------

int CWaveScrollView::ClientWidth() const {
    return viewport()->width();
}

int CWaveScrollView::ClientHeight() const {
    return viewport()->height();
}

uint32_t CWaveScrollView::ColumnOfSample(uint32_t sample) const {
    if (!(m_wave.m_samplesPerPixel > 0.0)) {
        return 0;
    }
    return Truncate(sample / m_wave.m_samplesPerPixel);
}

uint32_t CWaveScrollView::SampleOfColumn(uint32_t column) const {
    return Truncate(column * m_wave.m_samplesPerPixel);
}

uint32_t CWaveScrollView::GetLeftColumn() const {
    const int position = horizontalScrollBar()->value();
    if (m_directScroll) {
        return static_cast<uint32_t>(std::max(position, 0));
    }
    return Truncate(m_scrollRemainder + position * m_scrollScale);
}

uint32_t CWaveScrollView::SampleAtX(int x) const {
    const double left = GetLeftColumn();
    const double column = x >= 0 ? left + x : left;
    return std::min(Truncate(m_wave.m_samplesPerPixel * column), m_doc.GetFrameCount());
}

bool CWaveScrollView::IsSampleVisible(uint32_t sample) const {
    const uint32_t left = GetLeftColumn();
    return SampleOfColumn(left) <= sample &&
           sample <= SampleOfColumn(left + static_cast<uint32_t>(m_wave.m_imageWidth));
}

bool CWaveScrollView::SelectionInView() const {
    const double left = GetLeftColumn();
    const double spp = m_wave.m_samplesPerPixel;
    return m_selStart <= Truncate((left + m_wave.m_imageWidth) * spp) &&
           Truncate(left * spp) <= m_selEnd;
}

void CWaveScrollView::ScrollToSample(uint32_t sample) {
    m_wave.m_imageStale = true;
    const auto width = static_cast<uint32_t>(m_wave.m_imageWidth);
    int position = 0;
    if (m_wave.m_totalWidth > width) {
        uint32_t column = ColumnOfSample(sample);
        column = column >= width / 2 ? column - width / 2 : 0;
        if (m_wave.m_totalWidth > kMaxScrollPosition) {
            m_scrollRemainder = 0;
            column = Truncate(column / m_scrollScale);
        }
        position = static_cast<int>(std::min<uint32_t>(column, kMaxScrollPosition));
    }
    m_settingScroll = true;
    horizontalScrollBar()->setValue(position);
    m_settingScroll = false;
    viewport()->update();
}

uint32_t CWaveScrollView::ZoomAnchorSample() const {
    if (IsSampleVisible(m_selStart)) {
        return m_selStart;
    }
    if (IsSampleVisible(m_selEnd)) {
        return m_selEnd;
    }
    const uint32_t left = GetLeftColumn();
    const uint32_t first = SampleOfColumn(left);
    const uint32_t last = SampleOfColumn(left + static_cast<uint32_t>(m_wave.m_imageWidth));
    return first + (last - first) / 2;
}

void CWaveScrollView::UpdateScrollSizes() {
    const int width = m_wave.m_imageWidth;
    QScrollBar* bar = horizontalScrollBar();
    // The bar comes and goes now, not at a later layout pass, so that the resize it causes
    // happens before the caller's last scroll, as the zoom commands expect.
    const bool bNeedsBar = m_wave.m_totalWidth > static_cast<uint32_t>(std::max(width, 0));
    m_inScrollSizes = true;
    setHorizontalScrollBarPolicy(bNeedsBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_inScrollSizes = false;
    m_settingScroll = true;
    if (m_wave.m_totalWidth <= kMaxScrollPosition) {
        m_scrollScale = 1.0;
        m_directScroll = true;
        bar->setRange(0, std::max(0, static_cast<int>(m_wave.m_totalWidth) - width));
        bar->setPageStep(std::max(1, width / 2));
        bar->setSingleStep(std::max(1, width / 10));
    } else {
        m_scrollRange = static_cast<int>(kMaxScrollPosition) - width;
        m_directScroll = false;
        m_scrollRemainder = 0;
        m_scrollScale = static_cast<double>(m_wave.m_totalWidth - static_cast<uint32_t>(width)) /
                        static_cast<double>(m_scrollRange);
        bar->setRange(0, std::max(0, m_scrollRange));
        bar->setPageStep(1);
        bar->setSingleStep(1);
    }
    m_settingScroll = false;
}

// ---- Display and resizing ------------------------------------------------------------------

void CWaveScrollView::FirstDisplay() {
    m_displayed = true;
    m_wave.m_imageWidth = ClientWidth();
    m_wave.m_imageHeight = ClientHeight();
    m_wave.m_totalWidth = static_cast<uint32_t>(ClientWidth());
    m_wave.m_samplesPerPixel =
        static_cast<double>(m_doc.GetFrameCount()) / static_cast<double>(m_wave.m_totalWidth);
    m_wave.m_fullRebuild = true;
    m_wave.m_imageStale = true;
    UpdateScrollSizes();
}

void CWaveScrollView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (!m_displayed && ClientWidth() > 0 && ClientHeight() > 0) {
        FirstDisplay();
    }
}

void CWaveScrollView::resizeEvent(QResizeEvent* event) {
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
    if (m_inScrollSizes) {
        // The scroll bar appeared or went: only the height changed, and the command that
        // changed the scroll sizes goes on to place the view itself.
        m_wave.m_imageHeight = cy;
        m_wave.m_fullRebuild = true;
        m_wave.m_imageStale = true;
        return;
    }
    m_wave.m_imageHeight = cy;
    m_wave.m_imageWidth = cx;
    const uint32_t anchor = ZoomAnchorSample();
    if (m_wave.m_totalWidth <= static_cast<uint32_t>(cx)) {
        m_zoomFactor = 1;
    }
    if (m_zoomFactor == 1) {
        m_wave.m_totalWidth = static_cast<uint32_t>(cx);
        m_wave.m_samplesPerPixel =
            static_cast<double>(m_doc.GetFrameCount()) / static_cast<double>(cx);
    }
    m_wave.m_fullRebuild = true;
    m_wave.m_imageStale = true;
    m_zoomedToSelection = false;
    UpdateScrollSizes();
    ScrollToSample(anchor);
}

// ---- Scrolling -----------------------------------------------------------------------------

void CWaveScrollView::OnScrollAction(int action) {
    if (m_settingScroll) {
        return;
    }
    m_wave.m_imageStale = true;
    if (m_directScroll) {
        return;
    }
    QScrollBar* bar = horizontalScrollBar();
    const int width = m_wave.m_imageWidth;
    const double scale = m_scrollScale;
    const int step = static_cast<int>(scale);
    int position = bar->value();
    int remainder = m_scrollRemainder;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
        case QAbstractSlider::SliderPageStepAdd:
            remainder += action == QAbstractSlider::SliderSingleStepAdd ? width / 10 : width / 2;
            if (remainder > scale) {
                do {
                    if (position >= m_scrollRange) {
                        break;
                    }
                    remainder -= step;
                    position += 1;
                } while (remainder > scale);
            }
            if (position == m_scrollRange) {
                remainder = 0;
            }
            break;
        case QAbstractSlider::SliderSingleStepSub:
        case QAbstractSlider::SliderPageStepSub:
            remainder -= action == QAbstractSlider::SliderSingleStepSub ? width / 10 : width / 2;
            while (remainder < 0 && position >= 0) {
                remainder += step;
                position -= 1;
            }
            if (position < 0) {
                position = 0;
                remainder = 0;
            }
            break;
        case QAbstractSlider::SliderMove:
        case QAbstractSlider::SliderToMinimum:
        case QAbstractSlider::SliderToMaximum:
            m_scrollRemainder = 0;
            InvalidateAll();
            return;
        default:
            return;
    }
    m_scrollRemainder = remainder;
    m_settingScroll = true;
    bar->setSliderPosition(position);
    m_settingScroll = false;
    InvalidateAll();
}

void CWaveScrollView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The image is brought up to date at the next paint: kept columns are shifted, not redrawn.
    m_wave.m_imageStale = true;
    viewport()->update();
}

void CWaveScrollView::wheelEvent(QWheelEvent* event) {
    // The view never scrolls vertically, so the wheel moves along the sound.
    QCoreApplication::sendEvent(horizontalScrollBar(), event);
}

void CWaveScrollView::InvalidateAll() {
    viewport()->update();
}

// ---- Zoom ----------------------------------------------------------------------------------

void CWaveScrollView::FinishZoom() {
    m_wave.m_fullRebuild = true;
    m_wave.m_imageStale = true;
    UpdateScrollSizes();
    InvalidateAll();
}

void CWaveScrollView::ZoomIn() {
    HideCaret();
    const uint32_t anchor = ZoomAnchorSample();
    m_zoomedToSelection = false;
    m_zoomFactor *= 2;
    if (m_wave.m_totalWidth == static_cast<uint32_t>(m_wave.m_imageWidth)) {
        m_wave.m_imageHeight = ClientHeight() - m_scrollBarHeight;
    }
    m_wave.m_samplesPerPixel = std::max(1.0, m_wave.m_samplesPerPixel * 0.5);
    m_wave.m_totalWidth = Truncate(m_doc.GetFrameCount() / m_wave.m_samplesPerPixel);
    FinishZoom();
    ScrollToSample(anchor);
}

void CWaveScrollView::ZoomOut() {
    HideCaret();
    const uint32_t anchor = ZoomAnchorSample();
    m_zoomedToSelection = false;
    m_zoomFactor = std::max<uint32_t>(1, m_zoomFactor / 2);
    const auto width = static_cast<uint32_t>(m_wave.m_imageWidth);
    m_wave.m_totalWidth = Truncate(m_doc.GetFrameCount() / (2.0 * m_wave.m_samplesPerPixel));
    if (m_wave.m_totalWidth < width) {
        m_wave.m_totalWidth = width;
        m_zoomFactor = 1;
    }
    if (m_wave.m_totalWidth == width) {
        m_wave.m_imageHeight = ClientHeight();
    }
    m_wave.m_samplesPerPixel = std::max(
        1.0, static_cast<double>(m_doc.GetFrameCount()) / static_cast<double>(m_wave.m_totalWidth));
    FinishZoom();
    ScrollToSample(anchor);
}

void CWaveScrollView::ShowAll() {
    HideCaret();
    m_zoomFactor = 1;
    m_zoomedToSelection = false;
    m_wave.m_totalWidth = static_cast<uint32_t>(m_wave.m_imageWidth);
    m_wave.m_samplesPerPixel =
        std::max(1.0, static_cast<double>(m_doc.GetFrameCount()) / m_wave.m_imageWidth);
    m_wave.m_imageHeight = ClientHeight();
    FinishZoom();
}

void CWaveScrollView::ZoomToSelection() {
    HideCaret();
    const auto width = static_cast<uint32_t>(m_wave.m_imageWidth);
    const uint32_t perColumn = (m_selEnd - m_selStart) / width + 1;
    uint32_t total = m_doc.GetFrameCount() / perColumn;
    if (width < total) {
        m_zoomFactor = std::max<uint32_t>(2, total / width);
    } else {
        total = width;
        m_zoomFactor = 1;
    }
    const bool fullHeight = m_zoomFactor < 2 || width < m_wave.m_totalWidth || width >= total;
    m_wave.m_imageHeight = fullHeight ? ClientHeight() : ClientHeight() - m_scrollBarHeight;
    m_wave.m_totalWidth = total;
    m_wave.m_samplesPerPixel =
        std::max(1.0, static_cast<double>(m_doc.GetFrameCount()) / static_cast<double>(total));
    m_zoomedToSelection = true;
    FinishZoom();
    ScrollToSample(m_selStart + (m_selEnd - m_selStart) / 2);
}

void CWaveScrollView::SelectAll() {
    HideCaret();
    m_selStart = 0;
    m_selEnd = m_doc.GetFrameCount();
    InvalidateAll();
}

bool CWaveScrollView::CanZoomIn() const {
    return m_wave.m_samplesPerPixel > 1.0;
}

bool CWaveScrollView::CanZoomOut() const {
    return static_cast<uint32_t>(m_wave.m_imageWidth) < m_wave.m_totalWidth;
}

bool CWaveScrollView::CanZoomToSelection() const {
    return m_selStart < m_selEnd - 1 && !m_zoomedToSelection &&
           (m_wave.m_samplesPerPixel > 1.0 ||
            static_cast<uint32_t>(m_wave.m_imageWidth) < m_selEnd - m_selStart);
}

bool CWaveScrollView::CanSelectAll() const {
    return !(m_selStart == 0 && m_selEnd == m_doc.GetFrameCount());
}

// ---- Selection and caret -------------------------------------------------------------------

QRect CWaveScrollView::BandRect(uint32_t a, uint32_t b) const {
    const int64_t left = GetLeftColumn();
    const int64_t right = left + m_wave.m_imageWidth;
    int64_t from = std::min(a, b);
    int64_t to = std::max(a, b);
    if (right < from || to < left) {
        return {};
    }
    from = std::max(from, left);
    to = std::min(to, right);
    if (from == to) {
        return {};
    }
    return QRect(static_cast<int>(from - left), 0, static_cast<int>(to - from),
                 m_wave.m_imageHeight);
}

std::optional<QRect> CWaveScrollView::SelectionRect() const {
    const QRect rect = BandRect(ColumnOfSample(m_selStart), ColumnOfSample(m_selEnd));
    if (rect.isEmpty()) {
        return std::nullopt;
    }
    return rect;
}

std::optional<QRect> CWaveScrollView::CaretRect() const {
    if (!SelectionInView()) {
        return std::nullopt;
    }
    const int64_t left = GetLeftColumn();
    const int64_t from = std::max<int64_t>(ColumnOfSample(m_selStart), left) - left;
    int64_t to = std::min<int64_t>(left + m_wave.m_imageWidth, ColumnOfSample(m_selEnd)) - left;
    if (to < from + 2) {
        to = from + 2;
    }
    return QRect(static_cast<int>(from), 0, static_cast<int>(to - from), m_wave.m_imageHeight);
}

void CWaveScrollView::InvertRect(QPainter& painter, const QRect& rect) const {
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(rect, Qt::white);
    painter.restore();
}

void CWaveScrollView::InvertSelectionRegion() {
    if (const auto rect = SelectionRect()) {
        viewport()->update(*rect);
    }
}

void CWaveScrollView::InvertCaret(bool toggle) {
    if (toggle) {
        m_caretVisible = !m_caretVisible;
    }
    if (const auto rect = CaretRect()) {
        viewport()->update(*rect);
    }
}

void CWaveScrollView::HideCaret() {
    if (m_caretVisible) {
        InvertCaret(true);
    }
}

void CWaveScrollView::SetSelection(uint32_t start, uint32_t end) {
    HideCaret();
    if (end == start || end == start + 1) {
        if (!IsCaret()) {
            InvertSelectionRegion();
        }
        m_selStart = start;
        m_selEnd = start + 1;
        InvertCaret(true);
        return;
    }
    if (IsCaret()) {
        m_selStart = start;
        m_selEnd = end;
        InvertSelectionRegion();
        return;
    }
    const uint32_t a0 = ColumnOfSample(m_selStart);
    const uint32_t b0 = ColumnOfSample(m_selEnd);
    const uint32_t a1 = ColumnOfSample(start);
    const uint32_t b1 = ColumnOfSample(end);
    QRect band;
    if (a1 == a0) {
        band = BandRect(b0, b1);
    } else if (b1 == b0) {
        band = BandRect(a0, a1);
    } else {
        InvertSelectionRegion();
        m_selStart = start;
        m_selEnd = end;
        InvertSelectionRegion();
        return;
    }
    m_selStart = start;
    m_selEnd = end;
    if (!band.isEmpty()) {
        viewport()->update(band);
    }
}

void CWaveScrollView::OnCaretTimer() {
    if (IsCaret() || m_caretVisible) {
        InvertCaret(true);
    }
}

int CWaveScrollView::EditMode() const {
    // A stereo sound has no trajectory to edit: its window counts as in selection mode.
    return IsMono() ? m_app.GetEditMode() : CEditorApp::kEditModeSelect;
}

void CWaveScrollView::ActivateView(bool active) {
    m_active = active;
    if (active) {
        // The mode is shared: a stereo window that becomes active puts every window in
        // selection mode, as its greyed Edit: Pan Points says.
        if (!IsMono()) {
            m_app.EnterSelectionMode();
        }
        m_caretTimer.start();
    } else {
        HideCaret();
        m_caretTimer.stop();
    }
}

void CWaveScrollView::PlaceCaret(uint32_t frame) {
    HideCaret();
    m_selStart = frame;
    m_selEnd = frame + 1;
}

// ---- Painting ------------------------------------------------------------------------------

void CWaveScrollView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const bool ready =
        (m_wave.m_pImage && !m_wave.m_imageStale) ||
        BuildWaveImage(m_wave, m_doc.GetSampleData(), GetLeftColumn(), m_app.Prompts());
    if (!ready || !m_wave.m_pImage) {
        painter.fillRect(event->rect(), Qt::white);
        return;
    }
    const MonoBitmap& bitmap = *m_wave.m_pImage;
    QImage image(bitmap.Row(0), bitmap.Width(), bitmap.Height(), bitmap.BytesPerRow(),
                 QImage::Format_Mono);
    // Black image bits take the text colour, white ones the background.
    image.setColorTable({qRgb(0, 127, 0), qRgb(255, 255, 255)});
    painter.drawImage(0, 0, image);
    const int width = ClientWidth();
    const int height = ClientHeight();
    // Whatever the image does not cover (it trails a resize by one paint) shows white.
    if (bitmap.Width() < width) {
        painter.fillRect(bitmap.Width(), 0, width - bitmap.Width(), height, Qt::white);
    }
    if (bitmap.Height() < height) {
        painter.fillRect(0, bitmap.Height(), width, height - bitmap.Height(), Qt::white);
    }

    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(0, m_wave.m_lane1Centre, width - 1, m_wave.m_lane1Centre);
    if (m_doc.GetFormat().channels == 2) {
        painter.drawLine(0, m_wave.m_lane2Centre, width - 1, m_wave.m_lane2Centre);
        painter.setPen(QPen(palette().color(QPalette::Light), 1));
        painter.drawLine(0, height / 2, width - 1, height / 2);
        painter.setPen(QPen(palette().color(QPalette::Dark), 1));
        painter.drawLine(0, height / 2 + 1, width - 1, height / 2 + 1);
    } else {
        // During a drag the trajectory stays as it was at the press; the preview shows the
        // change until the release repaints.
        if (m_dragPoint != nullptr) {
            const std::vector<PanPoint>& points = m_dragSnapshot;
            DrawPanTrajectory(
                painter,
                [&points](uint32_t frame) -> const PanPoint* {
                    const auto after = std::upper_bound(
                        points.begin(), points.end(), frame,
                        [](uint32_t f, const PanPoint& p) { return f < p.position; });
                    return after == points.begin() ? nullptr : &*(after - 1);
                },
                [&points](const PanPoint* point) -> const PanPoint* {
                    const size_t i = point != nullptr ? size_t(point - points.data()) + 1 : 0;
                    return i < points.size() ? &points[i] : nullptr;
                });
        } else {
            DrawPanTrajectory(
                painter, [this](uint32_t frame) { return m_doc.PointAtOrBefore(frame); },
                [this](const PanPoint* point) { return m_doc.NextPoint(point); });
        }
    }

    if (!IsCaret()) {
        if (const auto rect = SelectionRect()) {
            InvertRect(painter, *rect);
        }
    } else if (m_caretVisible) {
        if (const auto rect = CaretRect()) {
            InvertRect(painter, *rect);
        }
    }
    if (m_dragPreviewShown) {
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawPolyline(DragPreviewPath());
        painter.restore();
    }
}

bool CWaveScrollView::IsMono() const {
    return m_doc.GetFormat().channels == 1;
}

int CWaveScrollView::YOfPan(int pan) const {
    // Heights of 8 rows or less leave no room for the axis; one row stands for all of it.
    const int span = std::max(1, m_wave.m_imageHeight - 8);
    return (pan + 90) * span / 180 + 4;
}

int CWaveScrollView::PanFromY(int y) const {
    const int span = std::max(1, m_wave.m_imageHeight - 8);
    return std::clamp((y - 4) * 180 / span - 90, -90, 90);
}

void CWaveScrollView::DrawPanMarker(QPainter& painter, int x, int y) const {
    painter.fillRect(QRect(x - 3, y - 3, 6, 6), Qt::black);
    painter.fillRect(QRect(x - 1, y - 1, 2, 2), Qt::white);
}

std::vector<PanPoint> CWaveScrollView::CopyPanPoints() const {
    std::vector<PanPoint> points;
    points.reserve(m_doc.GetPanPoints().GetCount());
    for (const PanPoint* p = m_doc.NextPoint(nullptr); p != nullptr; p = m_doc.NextPoint(p)) {
        points.push_back(*p);
    }
    return points;
}

void CWaveScrollView::DrawPanTrajectory(QPainter& painter, const PointAtOrBeforeFn& atOrBefore,
                                        const NextPointFn& nextOf) const {
    struct Vertex {
        int64_t column;
        int y;
        bool marked;
    };
    const int64_t left = GetLeftColumn();
    const int64_t right = left + m_wave.m_imageWidth;
    const PanPoint* current = atOrBefore(SampleOfColumn(static_cast<uint32_t>(left)));
    Vertex vertex = current != nullptr
                        ? Vertex{ColumnOfSample(current->position), YOfPan(current->pan), true}
                        : Vertex{ColumnOfSample(0), YOfPan(0), false};
    if (vertex.column < left) {
        vertex.marked = false;
        const PanPoint* next = nextOf(current);
        int y = vertex.y;
        if (next != nullptr) {
            const int64_t nextColumn = ColumnOfSample(next->position);
            if (nextColumn != vertex.column) {
                y = vertex.y + static_cast<int>(static_cast<double>(YOfPan(next->pan) - vertex.y) /
                                                static_cast<double>(nextColumn - vertex.column) *
                                                static_cast<double>(left - vertex.column));
            }
        }
        vertex = Vertex{left, y, false};
    }

    const QPen linePen(QColor(255, 0, 0), 2);
    painter.save();
    painter.setPen(linePen);
    QPointF pen(static_cast<double>(vertex.column - left), vertex.y);
    if (vertex.marked) {
        DrawPanMarker(painter, static_cast<int>(pen.x()), vertex.y);
    }
    while (vertex.column < right) {
        current = nextOf(current);
        if (current == nullptr) {
            painter.drawLine(pen, QPointF(m_wave.m_imageWidth, vertex.y));
            break;
        }
        int64_t column = std::min<int64_t>(ColumnOfSample(current->position), m_wave.m_totalWidth);
        int y = YOfPan(current->pan);
        bool marked = true;
        if (column > right) {
            marked = false;
            y = static_cast<int>(static_cast<double>(y - vertex.y) /
                                     static_cast<double>(column - vertex.column) *
                                     static_cast<double>(right - vertex.column) +
                                 vertex.y);
            column = right;
        }
        const QPointF to(static_cast<double>(column - left), y);
        painter.drawLine(pen, to);
        if (marked) {
            DrawPanMarker(painter, static_cast<int>(to.x()), y);
        }
        pen = to;
        vertex = Vertex{column, y, marked};
    }
    painter.restore();
}

// ---- Pan point editing ---------------------------------------------------------------------

bool CWaveScrollView::InPanEditMode() const {
    return m_app.IsPanEditMode() && IsMono();
}

PanPoint* CWaveScrollView::HitPoint(int x, int y) const {
    const uint32_t sample = SampleAtX(x);
    const int pan = PanFromY(y);
    const uint32_t reach = Truncate(4.0 * m_wave.m_samplesPerPixel);
    const uint32_t lo = sample <= reach ? 0 : sample - reach;
    const uint32_t hi =
        static_cast<uint32_t>(std::min<uint64_t>(m_doc.GetFrameCount(), uint64_t{sample} + reach));
    return m_doc.FindInRange(lo, hi, std::max(-90, pan - 4), std::min(90, pan + 4));
}

void CWaveScrollView::BeginPanEdit(Qt::KeyboardModifiers flags, int x, int y) {
    if (flags & Qt::ControlModifier) {
        if (PanPoint* point = HitPoint(x, y)) {
            PanEditCommands::RecordEdit(m_doc, point, UndoKind::Delete, 1);
            m_doc.RemovePoint(point);
            InvalidateAll();
        }
        return;
    }
    m_dragging = true;
    m_dragSnapshot = CopyPanPoints();
    if (PanPoint* point = HitPoint(x, y)) {
        m_dragPoint = point;
        PanEditCommands::RecordEdit(m_doc, point, UndoKind::Modify);
        // A point at frame 0 has nothing to its left to stop at.
        m_dragPrev = point->position == 0 ? nullptr : m_doc.GetPanPoints().PreviousPoint(point);
        m_dragNext = m_doc.NextPoint(point);
    } else {
        uint32_t sample = SampleAtX(x);
        m_dragPrev = m_doc.PointAtOrBefore(sample);
        if (m_dragPrev != nullptr && m_dragPrev->position >= sample) {
            sample = m_dragPrev->position + 1;
        }
        m_dragNext = m_doc.NextPoint(m_dragPrev);
        if (m_dragNext != nullptr && sample >= m_dragNext->position) {
            sample = m_dragNext->position - 1;
        }
        m_dragPoint = m_doc.AddPoint(sample, PanFromY(y));
        if (m_dragPoint == nullptr) {
            m_dragging = false;
            m_dragSnapshot.clear();
            return;
        }
        PanEditCommands::RecordEdit(m_doc, m_dragPoint, UndoKind::Add);
    }
    SendLivePan(m_dragPoint->pan);
    DrawDragPoint();
}

void CWaveScrollView::DragPanPoint(int x, int y) {
    DrawDragPoint();
    uint32_t position = SampleAtX(x);
    if (m_dragPrev != nullptr && m_dragPrev->position >= position) {
        position = m_dragPrev->position + 1;
    }
    if (m_dragNext != nullptr && position >= m_dragNext->position) {
        // A neighbour at frame 0 leaves no room to its left: the point stays at 0 with it.
        position = m_dragNext->position == 0 ? 0 : m_dragNext->position - 1;
    }
    m_dragPoint->position = position;
    m_dragPoint->pan = PanFromY(y);
    SendLivePan(m_dragPoint->pan);
    DrawDragPoint();
}

void CWaveScrollView::EndPanEdit() {
    DrawDragPoint();
    InvalidateAll();
    m_doc.SetModifiedFlag(true);
    SendLivePan(kNoLivePan);
    m_dragPoint = nullptr;
    m_dragPrev = nullptr;
    m_dragNext = nullptr;
    m_dragSnapshot.clear();
}

QPolygon CWaveScrollView::DragPreviewPath() const {
    QPolygon path;
    if (m_dragPoint == nullptr) {
        return path;
    }
    const int64_t left = GetLeftColumn();
    const int64_t right = left + m_wave.m_imageWidth;
    int64_t column =
        m_dragPrev != nullptr ? ColumnOfSample(m_dragPrev->position) : ColumnOfSample(0);
    int y = YOfPan(m_dragPrev != nullptr ? m_dragPrev->pan : 0);
    const int64_t pointColumn = ColumnOfSample(m_dragPoint->position);
    const int pointY = YOfPan(m_dragPoint->pan);
    if (column < left) {
        if (pointColumn != column) {
            y += static_cast<int>(static_cast<double>(pointY - y) /
                                  static_cast<double>(pointColumn - column) *
                                  static_cast<double>(left - column));
        }
        column = left;
    }
    path << QPoint(static_cast<int>(column - left), y);
    // The two segments, each cut where it leaves the window on the right.
    struct Target {
        int64_t column;
        int y;
    };
    const Target targets[2] = {{pointColumn, pointY},
                               m_dragNext != nullptr ? Target{ColumnOfSample(m_dragNext->position),
                                                              YOfPan(m_dragNext->pan)}
                                                     : Target{right, pointY}};
    for (const Target& target : targets) {
        if (column >= right) {
            break;
        }
        int64_t toColumn = target.column;
        int toY = target.y;
        if (toColumn > right) {
            toY = static_cast<int>(static_cast<double>(toY - y) /
                                       static_cast<double>(toColumn - column) *
                                       static_cast<double>(right - column) +
                                   y);
            toColumn = right;
        }
        path << QPoint(static_cast<int>(toColumn - left), toY);
        column = toColumn;
        y = toY;
    }
    return path;
}

void CWaveScrollView::DrawDragPoint() {
    m_dragPreviewShown = !m_dragPreviewShown;
    const QPolygon path = DragPreviewPath();
    if (!path.isEmpty()) {
        viewport()->update(path.boundingRect().adjusted(-2, -2, 2, 2));
    }
}

// ---- Mouse and keys ------------------------------------------------------------------------

void CWaveScrollView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        ShowContextMenu(event->position().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int x = static_cast<int>(event->position().x());
    if (InPanEditMode()) {
        BeginPanEdit(event->modifiers(), x, static_cast<int>(event->position().y()));
        return;
    }
    m_dragging = true;
    m_zoomedToSelection = false;
    HideCaret();
    const uint32_t sample = SampleAtX(x);
    if (event->modifiers() & Qt::ShiftModifier) {
        if (sample > m_selEnd ||
            (sample >= m_selStart && sample - m_selStart >= m_selEnd - sample)) {
            SetSelection(m_selStart, sample);
            m_anchor = m_selStart;
        } else {
            SetSelection(sample, m_selEnd);
            m_anchor = m_selEnd;
        }
        return;
    }
    if (!IsCaret()) {
        InvertSelectionRegion();
    }
    m_selStart = sample;
    m_selEnd = sample + 1;
    m_anchor = sample;
}

void CWaveScrollView::UpdateCursor(bool bCtrlHeld) {
    const int mode = InPanEditMode() ? CEditorApp::kEditModePan : CEditorApp::kEditModeSelect;
    viewport()->setCursor(ViewCursors::ForEditMode(mode, bCtrlHeld));
}

bool CWaveScrollView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Enter) {
        UpdateCursor(QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CWaveScrollView::mouseMoveEvent(QMouseEvent* event) {
    UpdateCursor(event->modifiers() & Qt::ControlModifier);
    if (!m_dragging) {
        return;
    }
    if (m_dragPoint != nullptr) {
        DragPanPoint(static_cast<int>(event->position().x()),
                     static_cast<int>(event->position().y()));
        return;
    }
    const uint32_t sample = SampleAtX(static_cast<int>(event->position().x()));
    if (sample == m_anchor) {
        SetSelection(m_anchor, m_anchor + 1);
    } else {
        SetSelection(std::min(sample, m_anchor), std::max(sample, m_anchor));
    }
}

void CWaveScrollView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragging) {
        if (m_dragPoint != nullptr) {
            EndPanEdit();
        }
        m_dragging = false;
    }
}

void CWaveScrollView::keyPressEvent(QKeyEvent* event) {
    // With Ctrl or Alt these keys are accelerators; a disabled one must not act here instead.
    if (event->key() != Qt::Key_Control &&
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Space:
            if (m_app.IsPlaying()) {
                m_app.StopPlayback();
            } else {
                Play();
            }
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_app.IsPlaying()) {
                m_app.StopPlayback();
            }
            if (!IsCaret()) {
                InvertSelectionRegion();
            } else {
                HideCaret();
            }
            m_selStart = 0;
            m_selEnd = 1;
            return;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            if (!IsCaret()) {
                RunIfEnabled(CommandId::kDeleteInRange);
            }
            return;
        case Qt::Key_Left:
            ScrollToSample(m_selStart);
            return;
        case Qt::Key_Right:
            ScrollToSample(m_selEnd);
            return;
        case Qt::Key_Control:
            if (viewport()->underMouse() && InPanEditMode()) {
                UpdateCursor(true);
            }
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CWaveScrollView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control && viewport()->underMouse() && InPanEditMode()) {
        UpdateCursor(false);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

// ---- Playback ------------------------------------------------------------------------------

void CWaveScrollView::Play() {
    const uint32_t start = m_selStart;
    const int64_t end = IsCaret() ? -1 : static_cast<int64_t>(m_selEnd);
    m_doc.OpenMixerWave(start, end);
    if (m_doc.GetWave() == 0) {
        return;
    }
    const AmbrelWaveMixSession session = m_app.GetMixerSession();
    int32_t direction = 0;
    if (const PanSegment* segment = m_doc.GetPanSegment()) {
        direction = segment->startPan;
        m_playbackTimer.start();
    }
    const MixerPosition position{direction, 0, 0};
    int code = m_app.GetMixer().SetPosition(session, 0, AMBREL_WAVEMIX_POSITION_INITIAL, position);
    if (code == 0) {
        code = m_app.GetMixer().SetVolume(session, 0, 0, 32767);
    }
    if (code == 0) {
        const uint32_t play = ++g_playNumber;
        WaveDoneRelay::Instance().Expect(play, this);
        MixerPlayParams params{};
        params.size = sizeof params;
        params.waveDone = &PostWaveDone;
        params.waveDoneUser = reinterpret_cast<void*>(static_cast<uintptr_t>(play));
        code = m_app.GetMixer().PlayEx(session, 0, AMBREL_WAVEMIX_PLAY_NOW, m_doc.GetWave(), 0,
                                       params);
    }
    if (code != 0) {
        m_app.ReportMixerError(code);
        m_playbackTimer.stop();
        return;
    }
    m_doc.SetPlaying(true);
    m_app.SetPlaying(&m_doc, this);
}

void CWaveScrollView::OnPlaybackTick() {
    const AmbrelWaveMixSession session = m_app.GetMixerSession();
    const AmbrelWaveMixWave wave = m_doc.GetWave();
    uint32_t position = 0;
    int code = m_app.GetMixer().GetPlayPosition(session, 0, wave, position,
                                                AMBREL_WAVEMIX_POSITION_FRAMES);
    if (code != 0) {
        m_app.ReportMixerError(code);
        m_playbackTimer.stop();
        return;
    }
    const std::optional<int32_t> direction = StepDirection(position);
    if (!direction) {
        return;
    }
    const MixerPosition mixerPosition{*direction, 0, 0};
    code = m_app.GetMixer().SetPosition(session, 0, 0, mixerPosition);
    if (code != 0) {
        m_app.ReportMixerError(code);
        m_playbackTimer.stop();
        return;
    }
    SendLivePan(*direction);
}

std::optional<int32_t> CWaveScrollView::StepDirection(uint32_t position) {
    const PanSegment* segment = m_doc.GetPanSegment();
    if (segment == nullptr) {
        // The trajectory was emptied while playing: the sound keeps its last direction.
        return std::nullopt;
    }
    const uint32_t sample = position + segment->playOffset;
    if (sample < segment->endPos) {
        return StepPan(*segment, sample);
    }
    if (!m_doc.ComputePanSegment(sample)) {
        return std::nullopt;
    }
    return m_doc.GetPanSegment()->startPan;
}

void CWaveScrollView::StopPlaybackTimer() {
    m_playbackTimer.stop();
}

void CWaveScrollView::SendLivePan(int pan) {
    if (m_overviewBar) {
        SetLivePanEvent event(pan);
        QCoreApplication::sendEvent(m_overviewBar, &event);
    }
}

void CWaveScrollView::OnWaveDone() {
    if (m_app.GetPlayingView() != this) {
        return;
    }
    m_playbackTimer.stop();
    SendLivePan(kNoLivePan);
    m_doc.SetPlaying(false);
    m_app.ClearPlaying();
    if (IsCaret()) {
        PlaceCaret(m_doc.GetPlayStart());
    }
}

void CWaveScrollView::customEvent(QEvent* event) {
    if (event->type() == kWaveDoneEvent) {
        OnWaveDone();
        return;
    }
    QAbstractScrollArea::customEvent(event);
}

// ---- Status texts and commands -------------------------------------------------------------

std::string CWaveScrollView::FormatText(const CTesselDoc& document) {
    const PcmFormat& format = document.GetFormat();
    char text[128];
    std::snprintf(text, sizeof text, "%d,%.3d / %d bit / %s / %s",
                  static_cast<int>(format.sampleRate / 1000),
                  static_cast<int>(format.sampleRate % 1000), format.bitsPerSample,
                  format.channels == 1 ? "mono" : "stereo", document.GetFileType().c_str());
    return text;
}

std::string CWaveScrollView::SizeText(uint32_t dataBytes) {
    if (dataBytes >= 1000000) {
        return Printf("%d,%.3dk bytes", static_cast<int>(dataBytes / 1000000),
                      static_cast<int>((dataBytes / 1000) % 1000));
    }
    if (dataBytes >= 1000) {
        return Printf("%d,%.3d bytes", static_cast<int>(dataBytes / 1000),
                      static_cast<int>(dataBytes % 1000));
    }
    return std::to_string(dataBytes) + " bytes";
}

std::string CWaveScrollView::DurationText(uint32_t frames, uint32_t sampleRate) {
    const double seconds = sampleRate == 0 ? 0.0 : static_cast<double>(frames) / sampleRate;
    char text[64];
    if (seconds >= 60.0) {
        std::snprintf(text, sizeof text, "%.2f min.", seconds * static_cast<double>(0.016666668f));
    } else {
        std::snprintf(text, sizeof text, "%.2f sec.", seconds);
    }
    return text;
}

bool CWaveScrollView::UpdateCommand(unsigned id, CommandState& state) {
    switch (id) {
        case CommandId::kZoomIn:
            state.enabled = CanZoomIn();
            return true;
        case CommandId::kZoomOut:
        case CommandId::kShowAll:
            state.enabled = CanZoomOut();
            return true;
        case CommandId::kZoomSelection:
            state.enabled = CanZoomToSelection();
            return true;
        case CommandId::kSelectAll:
            state.enabled = CanSelectAll();
            return true;
        case CommandId::kEditPan:
            state.enabled = EditMode() != CEditorApp::kEditModePan && IsMono();
            return true;
        case CommandId::kEditSelect:
            state.enabled = EditMode() != CEditorApp::kEditModeSelect;
            return true;
        case CommandId::kPlay:
            state.enabled = m_app.IsPlayEnabled();
            return true;
        // A point being dragged must stay in the list until the release: the commands that
        // remove points wait for it.
        case CommandId::kDeleteInRange:
            state.enabled = m_dragPoint == nullptr &&
                            PanEditCommands::CanDeleteInRange(m_doc, m_selStart, m_selEnd);
            return true;
        case CommandId::kEditCut:
            state.enabled =
                m_dragPoint == nullptr && PanEditCommands::CanCut(m_doc, m_selStart, m_selEnd);
            return true;
        case CommandId::kEditCopy:
            state.enabled = PanEditCommands::CanCopy(m_doc, m_selStart, m_selEnd);
            return true;
        case CommandId::kPaste:
            state.enabled = m_dragPoint == nullptr && PanEditCommands::CanPaste(m_doc);
            return true;
        case CommandId::kEditUndo:
            state.enabled = m_dragPoint == nullptr && PanEditCommands::CanUndo(m_doc);
            state.text = PanEditCommands::UndoText(m_app);
            return true;
        case CommandId::kIndicatorFormat:
            state.enabled = true;
            state.text = FormatText(m_doc);
            return true;
        case CommandId::kIndicatorSize:
            state.enabled = true;
            state.text = SizeText(m_doc.GetDataBytes());
            return true;
        case CommandId::kIndicatorDuration:
            state.enabled = true;
            state.text = DurationText(m_doc.GetFrameCount(), m_doc.GetFormat().sampleRate);
            return true;
        case CommandId::kOverviewUpdate:
            state.enabled = true;
            if (!m_dragging && state.requester != nullptr && m_wave.m_imageWidth != 0) {
                const uint32_t left = GetLeftColumn();
                OverviewViewInfo info;
                info.overviewImage = m_doc.GetOverview();
                info.selStart = m_selStart;
                info.selEnd = m_selEnd;
                info.firstVisible = SampleOfColumn(left);
                info.lastVisible =
                    m_zoomFactor > 1
                        ? SampleOfColumn(left + static_cast<uint32_t>(m_wave.m_imageWidth))
                        : m_doc.GetFrameCount();
                info.length = m_doc.GetFrameCount();
                OverviewUpdateEvent update(info);
                QCoreApplication::sendEvent(state.requester, &update);
                m_overviewBar = state.requester;
                if (!m_doc.IsPlaying()) {
                    SetLivePanEvent none(kNoLivePan);
                    QCoreApplication::sendEvent(state.requester, &none);
                }
            }
            return true;
        default:
            return false;
    }
}

bool CWaveScrollView::RunCommand(unsigned id) {
    switch (id) {
        case CommandId::kZoomIn:
            ZoomIn();
            return true;
        case CommandId::kZoomOut:
            ZoomOut();
            return true;
        case CommandId::kShowAll:
            ShowAll();
            return true;
        case CommandId::kZoomSelection:
            ZoomToSelection();
            return true;
        case CommandId::kSelectAll:
            SelectAll();
            return true;
        case CommandId::kEditPan:
            m_app.EnterPanEditMode();
            UpdateCursor(false);
            return true;
        case CommandId::kEditSelect:
            m_app.EnterSelectionMode();
            UpdateCursor(false);
            return true;
        case CommandId::kPlay:
            Play();
            return true;
        case CommandId::kDeleteInRange:
            if (PanEditCommands::DeleteInRange(m_doc, m_selStart, m_selEnd)) {
                InvalidateAll();
            }
            return true;
        case CommandId::kEditCut:
            if (PanEditCommands::Cut(m_doc, m_selStart, m_selEnd)) {
                InvalidateAll();
            }
            return true;
        case CommandId::kEditCopy:
            PanEditCommands::Copy(m_doc, m_selStart, m_selEnd);
            return true;
        case CommandId::kPaste:
            if (PanEditCommands::Paste(m_doc, m_selStart, m_selEnd)) {
                InvalidateAll();
            }
            return true;
        case CommandId::kEditUndo:
            if (PanEditCommands::Undo(m_doc)) {
                InvalidateAll();
            }
            return true;
        default:
            return false;
    }
}

bool CWaveScrollView::RunIfEnabled(unsigned id) {
    CommandState state;
    if (!UpdateCommand(id, state) || !state.enabled) {
        return false;
    }
    return RunCommand(id);
}

void CWaveScrollView::ShowContextMenu(const QPoint& position) {
    struct Item {
        unsigned id;
        const char* text;
    };
    static const Item kItems[] = {{CommandId::kEditUndo, "&Undo\tCtrl+Z"},
                                  {CommandId::kEditCut, "Cu&t\tCtrl+X"},
                                  {CommandId::kEditCopy, "&Copy\tCtrl+C"},
                                  {CommandId::kPaste, "&Paste\tCtrl+V"},
                                  {CommandId::kDeleteInRange, "&Delete"},
                                  {0, nullptr},
                                  {CommandId::kSelectAll, "&Select All\tCtrl+A"},
                                  {0, nullptr},
                                  {CommandId::kZoomIn, "Zoom &In"},
                                  {CommandId::kZoomOut, "Zoom &Out"},
                                  {CommandId::kZoomSelection, "Zoom To &Selection"},
                                  {CommandId::kShowAll, "Show &All"},
                                  {0, nullptr},
                                  {CommandId::kEditPan, "Edit: Pan Points"},
                                  {CommandId::kEditSelect, "Edit: Select"}};
    QMenu menu(this);
    for (const Item& item : kItems) {
        if (item.text == nullptr) {
            menu.addSeparator();
            continue;
        }
        CommandState state;
        UpdateCommand(item.id, state);
        QAction* action = menu.addAction(QString::fromStdString(state.text.value_or(item.text)));
        action->setData(item.id);
        action->setEnabled(state.enabled);
    }
    menu.setObjectName("ContextMenu153");
    if (QAction* chosen = menu.exec(viewport()->mapToGlobal(position))) {
        RunIfEnabled(chosen->data().toUInt());
    }
}

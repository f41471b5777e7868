#include "views/COverviewToolBar.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionToolBar>
#include <algorithm>
#include <cmath>
#include <new>

#include "geometry/TopView.h"
#include "platform/UserPrompts.h"
#include "views/OverviewGeometry.h"
#include "views/PanPicture.h"

namespace {

// The etched line along the bar's top edge.
constexpr int kTopBorder = 2;
// More than any frame is wide: the bar takes all of its row.
constexpr int kFullFrameWidth = 32767;

bool SameView(const OverviewViewInfo& a, const OverviewViewInfo& b) {
    return a.overviewImage == b.overviewImage && a.selStart == b.selStart && a.selEnd == b.selEnd &&
           a.firstVisible == b.firstVisible && a.lastVisible == b.lastVisible &&
           a.length == b.length;
}

}  // namespace

COverviewToolBar::COverviewToolBar(UserPrompts& prompts, QWidget* parent)
    : QToolBar(parent),
      m_prompts(prompts),
      m_panPicture(DrawPanPicture()),
      m_panMarker(DrawPanMarker()) {
    setObjectName("Overview");
    setWindowTitle("Overview");
    setMovable(false);
    setFloatable(false);
    setAllowedAreas(Qt::BottomToolBarArea);
    setOrientation(Qt::Horizontal);
    setFixedHeight(OverviewGeometry::kBarHeight);
}

QRect COverviewToolBar::ClientRect() const {
    return QRect(0, kTopBorder, width(), height() - kTopBorder);
}

QRect COverviewToolBar::OverviewAreaRect() const {
    const int side = m_bTopView ? kSideViewWidth + 2 : 0;
    return ClientRect().adjusted(0, 0, -OverviewGeometry::kPanPictureGap - side, 0);
}

QRect COverviewToolBar::SideViewRect() const {
    const QPoint origin = PanPictureOrigin();
    return QRect(origin.x() - kSideViewWidth - 2, origin.y(), kSideViewWidth,
                 m_panPicture.height());
}

QRect COverviewToolBar::OverviewFaceRect() const {
    return OverviewAreaRect().adjusted(1, 1, -1, -1);
}

QRect COverviewToolBar::OverviewImageRect() const {
    return OverviewFaceRect().adjusted(1, 1, -1, -1);
}

QRect COverviewToolBar::PlayLineRect(uint32_t frame) const {
    const QRect area = OverviewImageRect();
    if (frame == kNoPlayPosition || m_lastInfo.length == 0 || area.isEmpty() ||
        frame > m_lastInfo.length) {
        return QRect();
    }
    const int x = OverviewGeometry::ColumnOfFrame(area.x(), area.width(), frame, m_lastInfo.length);
    return QRect(std::min(x, area.right()), area.y(), 1, area.height());
}

void COverviewToolBar::SetPlayPosition(uint32_t frame) {
    if (frame == m_playFrame) {
        return;
    }
    const QRect old = PlayLineRect(m_playFrame);
    const QRect now = PlayLineRect(frame);
    m_playFrame = frame;
    if (old != now) {
        update(old);
        update(now);
    }
}

QPoint COverviewToolBar::PanPictureOrigin() const {
    const QRect client = ClientRect();
    return QPoint(client.x() + client.width() - m_panPicture.width(), client.y());
}

QRect COverviewToolBar::MarkerRect(int pan) const {
    const OverviewGeometry::Point centre = OverviewGeometry::PanMarkerCentre(pan);
    return QRect(PanPictureOrigin() + QPoint(centre.x - OverviewGeometry::kMarkerHalf,
                                             centre.y - OverviewGeometry::kMarkerHalf),
                 QSize(OverviewGeometry::kMarkerSize, OverviewGeometry::kMarkerSize));
}

OverviewColours COverviewToolBar::Colours() const {
    OverviewColours colours;
    colours.face = palette().color(QPalette::Button).rgb();
    colours.shadow = palette().color(QPalette::Dark).rgb();
    colours.text = palette().color(QPalette::ButtonText).rgb();
    return colours;
}

bool COverviewToolBar::HasRowOfItsOwn() const {
    // The frame's layout tells its rows only through the style option.
    QStyleOptionToolBar option;
    initStyleOption(&option);
    return !isFloating() && option.toolBarArea == Qt::BottomToolBarArea &&
           option.positionWithinLine == QStyleOptionToolBar::OnlyOne;
}

QSize COverviewToolBar::sizeHint() const {
    return QSize(kFullFrameWidth, OverviewGeometry::kBarHeight);
}

QSize COverviewToolBar::minimumSizeHint() const {
    return QSize(OverviewGeometry::kPanPictureGap + 2, OverviewGeometry::kBarHeight);
}

void COverviewToolBar::ViewUpdate(const OverviewViewInfo& info) {
    if (info.length == 0) {
        SetCaretPlace(std::nullopt);  // no sound, no caret
    }
    if (!m_bForceRedraw && info.force == 0 && SameView(info, m_lastInfo)) {
        return;
    }
    std::optional<MonoBitmap> image;
    QImage pixels;
    bool ok = true;
    if (info.overviewImage != nullptr) {
        try {
            image.emplace(*info.overviewImage);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        ok = ok && ComposeOverview(OverviewFaceRect(), &*image, info, Colours(), pixels);
    }
    update(OverviewFaceRect());
    if (!ok) {
        // The area is left in the face colour, and the next update tries again.
        m_overviewPixels = QImage();
        m_prompts.Message("Couldn't create DC!");
        return;
    }
    m_overviewImage = std::move(image);
    m_overviewPixels = std::move(pixels);
    m_lastInfo = info;
    m_bForceRedraw = false;
}

void COverviewToolBar::SetLivePan(int pan) {
    pan = OverviewGeometry::ClampLivePan(pan, kNoLivePan);
    if (pan == m_livePan) {
        return;
    }
    DrawMinPanDisplay(pan);
    // The caret's ring shows only while nothing is live.
    if ((pan == kNoLivePan) != (m_livePan == kNoLivePan) && CaretPan() != kNoLivePan) {
        update(MarkerRect(CaretPan()));
    }
    m_livePan = pan;
}

void COverviewToolBar::DrawMinPanDisplay(int pan) {
    // The paint restores the picture under the old marker and draws the new one; nothing
    // else of the display is touched.
    if (m_livePan != kNoLivePan) {
        update(MarkerRect(m_livePan));
    }
    if (pan != kNoLivePan) {
        update(MarkerRect(pan));
    }
}

void COverviewToolBar::SetTopView(bool bTopView) {
    if (bTopView != m_bTopView) {
        m_bTopView = bTopView;
        // The side view takes columns from the overview.
        m_bForceRedraw = true;
        RecomposeOverview();
        update();
    }
}

int COverviewToolBar::CaretPan() const {
    return m_caretPlace ? FrontalFold(NormalAzimuth(std::lround(m_caretPlace->azimuth)))
                        : kNoLivePan;
}

void COverviewToolBar::SetCaretPlace(const std::optional<SoundPlace>& place) {
    const bool bSame = place.has_value() == m_caretPlace.has_value() &&
                       (!place || (place->azimuth == m_caretPlace->azimuth &&
                                   place->elevation == m_caretPlace->elevation &&
                                   place->distanceCm == m_caretPlace->distanceCm));
    if (bSame) {
        return;
    }
    const int oldPan = CaretPan();
    m_caretPlace = place;
    if (m_bTopView) {
        update(QRect(PanPictureOrigin(), m_panPicture.size()));
        update(SideViewRect());
        return;
    }
    // Only the two rings' squares, as a live marker's change repaints.
    for (const int pan : {oldPan, CaretPan()}) {
        if (pan != kNoLivePan) {
            update(MarkerRect(pan));
        }
    }
}

void COverviewToolBar::SetLivePlace(const std::optional<SoundPlace>& place) {
    const bool bSame = place.has_value() == m_livePlace.has_value() &&
                       (!place || (place->azimuth == m_livePlace->azimuth &&
                                   place->elevation == m_livePlace->elevation &&
                                   place->distanceCm == m_livePlace->distanceCm));
    m_livePlace = place;
    if (!bSame && m_bTopView) {
        update(QRect(PanPictureOrigin(), m_panPicture.size()));
        update(SideViewRect());
    }
}

TopView::Spot COverviewToolBar::TopViewCentre() const {
    const QRect area(PanPictureOrigin(), m_panPicture.size());
    return {area.x() + area.width() / 2.0, area.y() + area.height() / 2.0};
}

double COverviewToolBar::TopViewRim() const {
    return m_panPicture.height() / 2.0 - 3.0;
}

void COverviewToolBar::SendPanDisplayMouse(QEvent::Type type, QPoint at) {
    if (m_bTopView) {
        const TopView::Spot centre = TopViewCentre();
        const TopView::Place place =
            TopView::PlaceAt(at.x(), at.y(), centre.x, centre.y, TopViewRim());
        emit PanDisplayMouse(type, place.azimuth, place.distanceCm);
    } else {
        const QPoint origin = PanPictureOrigin();
        emit PanDisplayMouse(type,
                             OverviewGeometry::PanAtPoint(at.x() - origin.x(), at.y() - origin.y()),
                             std::nullopt);
    }
}

void COverviewToolBar::DrawTopView(QPainter& painter) const {
    const QRect area(PanPictureOrigin(), m_panPicture.size());
    const double cx = TopViewCentre().x;
    const double cy = TopViewCentre().y;
    const double rim = TopViewRim();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);
    painter.setBrush(Qt::NoBrush);
    // Rings at 1, 10 and 100 m; the 1 m ring darker, as most sounds sit on it.
    for (const double cm : {100.0, 1000.0, 10000.0}) {
        painter.setPen(QPen(cm == 100.0 ? QColor(120, 120, 120) : QColor(200, 200, 200), 1));
        const double r = TopView::RadiusOf(cm, rim);
        painter.drawEllipse(QPointF(cx, cy), r, r);
    }
    // The listener, facing up.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 90, 90));
    painter.drawPolygon(
        QPolygonF({QPointF(cx, cy - 5), QPointF(cx - 4, cy + 3), QPointF(cx + 4, cy + 3)}));
    // The live place, or else the caret's as a ring.
    if (const std::optional<SoundPlace>& shown = m_livePlace ? m_livePlace : m_caretPlace) {
        const TopView::Spot spot =
            TopView::SourceAt(shown->azimuth, shown->distanceCm, cx, cy, rim);
        // Above is warmer and larger, below cooler and smaller; the value says it exactly.
        const double up = shown->elevation / 90.0;
        const double size = 4.0 + 2.0 * up;
        const QColor colour = up >= 0 ? QColor(255, static_cast<int>(200 - 150 * up), 0)
                                      : QColor(0, static_cast<int>(120 - 60 * up), 255);
        if (m_livePlace) {
            painter.setBrush(colour);
            painter.setPen(QPen(Qt::black, 1));
        } else {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(colour.darker(130), 2));
        }
        painter.drawEllipse(QPointF(spot.x, spot.y), size, size);
        painter.setPen(Qt::black);
        QFont font = painter.font();
        font.setPointSize(7);
        painter.setFont(font);
        const int elevation = static_cast<int>(std::lround(shown->elevation));
        painter.drawText(QRect(area.x() + 2, area.bottom() - 12, area.width() - 4, 12),
                         Qt::AlignRight | Qt::AlignBottom,
                         QString("%1%2\u00B0").arg(elevation > 0 ? "+" : "").arg(elevation));
    }
    painter.restore();
}

void COverviewToolBar::DrawSideView(QPainter& painter) const {
    const QRect area = SideViewRect();
    const double cx = area.x() + area.width() / 2.0;
    const double cy = area.y() + area.height() / 2.0;
    const double rim = TopViewRim();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);
    painter.setClipRect(area);
    painter.setBrush(Qt::NoBrush);
    for (const double cm : {100.0, 1000.0, 10000.0}) {
        painter.setPen(QPen(cm == 100.0 ? QColor(120, 120, 120) : QColor(200, 200, 200), 1));
        const double r = TopView::RadiusOf(cm, rim);
        painter.drawEllipse(QPointF(cx, cy), r, r);
    }
    // The horizon, and the listener seen from the left, facing right.
    painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::DashLine));
    painter.drawLine(QPointF(area.x(), cy), QPointF(area.right(), cy));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 90, 90));
    painter.drawPolygon(
        QPolygonF({QPointF(cx + 5, cy), QPointF(cx - 3, cy - 4), QPointF(cx - 3, cy + 4)}));
    if (const std::optional<SoundPlace>& shown = m_livePlace ? m_livePlace : m_caretPlace) {
        const TopView::Spot spot =
            TopView::SideAt(shown->azimuth, shown->elevation, shown->distanceCm, cx, cy, rim);
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.drawLine(QPointF(cx, cy), QPointF(spot.x, spot.y));
        painter.setBrush(m_livePlace ? QBrush(QColor(255, 200, 0)) : QBrush(Qt::NoBrush));
        painter.setPen(QPen(Qt::black, m_livePlace ? 1 : 2));
        painter.drawEllipse(QPointF(spot.x, spot.y), 4.0, 4.0);
    }
    painter.setPen(QColor(110, 110, 110));
    QFont font = painter.font();
    font.setPointSize(7);
    painter.setFont(font);
    painter.drawText(area.adjusted(2, 1, -2, -1), Qt::AlignTop | Qt::AlignHCenter, "up");
    painter.drawText(area.adjusted(2, 1, -2, -1), Qt::AlignBottom | Qt::AlignHCenter, "down");
    painter.drawText(area.adjusted(2, 1, -2, -1), Qt::AlignVCenter | Qt::AlignRight, "front");
    painter.drawText(area.adjusted(2, 1, -2, -1), Qt::AlignVCenter | Qt::AlignLeft, "back");
    painter.restore();
}

void COverviewToolBar::DrawPanDisplay(QPainter& painter) const {
    if (m_bTopView) {
        DrawTopView(painter);
        DrawSideView(painter);
        return;
    }
    painter.drawImage(PanPictureOrigin(), m_panPicture);
    if (m_livePan != kNoLivePan) {
        painter.drawImage(MarkerRect(m_livePan).topLeft(), m_panMarker);
    } else if (m_caretPlace) {
        // A ring in the live marker's colours: the caret's direction, not a sound heard.
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(127, 127, 0), 2));
        painter.drawEllipse(QRectF(MarkerRect(CaretPan())).adjusted(1.5, 1.5, -1.5, -1.5));
        painter.restore();
    }
}

void COverviewToolBar::DrawSunkenFrame(QPainter& painter) const {
    const QRect area = OverviewAreaRect();
    if (area.width() < 2 || area.height() < 2) {
        return;
    }
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    const int x = area.x();
    const int y = area.y();
    const int w = area.width();
    const int h = area.height();
    // The top-right and bottom-left corners belong to the lit edges.
    painter.fillRect(QRect(x, y, w - 1, 1), shadow);
    painter.fillRect(QRect(x, y, 1, h - 1), shadow);
    painter.fillRect(QRect(x + w - 1, y, 1, h), highlight);
    painter.fillRect(QRect(x, y + h - 1, w, 1), highlight);
}

bool COverviewToolBar::RecomposeOverview() {
    if (!m_overviewImage.has_value()) {
        m_overviewPixels = QImage();
        return true;
    }
    QImage pixels;
    if (!ComposeOverview(OverviewFaceRect(), &*m_overviewImage, m_lastInfo, Colours(), pixels)) {
        m_overviewPixels = QImage();
        return false;
    }
    m_overviewPixels = std::move(pixels);
    return true;
}

bool COverviewToolBar::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == kOverviewUpdateEvent) {
        ViewUpdate(static_cast<OverviewUpdateEvent*>(event)->Info());
        return true;
    }
    if (type == kSetTopViewEvent) {
        SetTopView(static_cast<SetTopViewEvent*>(event)->TopView());
        return true;
    }
    if (type == kSetLivePlaceEvent) {
        SetLivePlace(static_cast<SetLivePlaceEvent*>(event)->Place());
        return true;
    }
    if (type == kSetCaretPlaceEvent) {
        SetCaretPlace(static_cast<SetCaretPlaceEvent*>(event)->Place());
        return true;
    }
    if (type == kSetLivePanEvent) {
        SetLivePan(static_cast<SetLivePanEvent*>(event)->Pan());
        return true;
    }
    if (type == kSetPlayPositionEvent) {
        SetPlayPosition(static_cast<SetPlayPositionEvent*>(event)->Frame());
        return true;
    }
    if (type == QEvent::PaletteChange) {
        RecomposeOverview();
        update();
    }
    return QToolBar::event(event);
}

void COverviewToolBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    painter.fillRect(rect(), face);
    painter.fillRect(QRect(0, 0, width(), 1), palette().color(QPalette::Dark));
    painter.fillRect(QRect(0, 1, width(), 1), palette().color(QPalette::Light));
    DrawPanDisplay(painter);
    DrawSunkenFrame(painter);
    if (!m_overviewPixels.isNull()) {
        painter.drawImage(OverviewFaceRect().topLeft(), m_overviewPixels);
        // Inverted, as the selection is: it shows on the light and the dark bands alike.
        const QRect line = PlayLineRect(m_playFrame);
        if (!line.isEmpty()) {
            painter.save();
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.fillRect(line, Qt::white);
            painter.restore();
        }
    }
}

void COverviewToolBar::resizeEvent(QResizeEvent* event) {
    QToolBar::resizeEvent(event);
    // The bands depend on the width; a failure here is reported by the forced update.
    m_bForceRedraw = true;
    RecomposeOverview();
    update();
}

void COverviewToolBar::Navigate(int x, bool bPress) {
    const QRect area = OverviewImageRect();
    const OverviewViewInfo& info = m_lastInfo;
    if (bPress) {
        m_grabOffset = OverviewGeometry::GrabOffset(x, area.x(), area.width(), info.firstVisible,
                                                    info.lastVisible, info.length);
    }
    emit CentreRequested(
        OverviewGeometry::DragCentre(x, area.x(), area.width(), info.length, m_grabOffset));
}

void COverviewToolBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The bar itself never moves; over the overview the press navigates.
        event->accept();
        const QPoint at = event->position().toPoint();
        if (QRect(PanPictureOrigin(), m_panPicture.size()).contains(at)) {
            m_bOnPanDisplay = true;
            SendPanDisplayMouse(QEvent::MouseButtonPress, at);
            return;
        }
        if (m_lastInfo.length != 0 && !m_overviewPixels.isNull() &&
            OverviewImageRect().contains(at)) {
            m_bNavigating = true;
            Navigate(at.x(), true);
        }
        return;
    }
    QToolBar::mousePressEvent(event);
}

void COverviewToolBar::mouseMoveEvent(QMouseEvent* event) {
    if (m_bOnPanDisplay) {
        event->accept();
        SendPanDisplayMouse(QEvent::MouseMove, event->position().toPoint());
        return;
    }
    if (m_bNavigating) {
        event->accept();
        if (m_lastInfo.length != 0) {
            Navigate(event->position().toPoint().x(), false);
        }
        return;
    }
    QToolBar::mouseMoveEvent(event);
}

void COverviewToolBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_bOnPanDisplay) {
        m_bOnPanDisplay = false;
        event->accept();
        SendPanDisplayMouse(QEvent::MouseButtonRelease, event->position().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton && m_bNavigating) {
        m_bNavigating = false;
        event->accept();
        return;
    }
    QToolBar::mouseReleaseEvent(event);
}

void COverviewToolBar::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QToolBar::mouseDoubleClickEvent(event);
}

#include "views/CPlaceLanes.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>

#include "views/PanPointEditor.h"
#include "views/PlaceLanePainter.h"
#include "views/WaveViewAside.h"
#include "views/WaveViewPlayback.h"

CPlaceLanes::CPlaceLanes(WaveViewAside& view) : QWidget(&view.ScrollArea()), m_view(view) {
    setObjectName("placeLanes");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(PanPointEditor::KeysText());
}

void CPlaceLanes::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // The painter keeps a reference: the geometry must outlive it, not end with this line.
    const WaveViewGeometry geometry = m_view.PaintedGeometry();
    const PlaceLanePainter picture(geometry, m_view.Document());
    for (const PlaceValue value : {PlaceValue::Elevation, PlaceValue::Distance}) {
        const PlaceAxis lane = PlaceLanes::Lane(value, height());
        picture.DrawLane(painter, lane, width());
        picture.DrawTrack(painter, lane);
        if (const PanPoint* selected = m_view.LaneSelectedPoint()) {
            picture.DrawSelected(painter, lane, *selected);
        }
    }
    if (const std::optional<int> x = m_view.PlayheadX()) {
        painter.fillRect(QRect(*x, 0, 1, height()), QColor(WaveViewPlayback::kPlayheadColour));
    }
}

void CPlaceLanes::mousePressEvent(QMouseEvent* event) {
    m_view.LaneMouse(*event);
}

void CPlaceLanes::mouseMoveEvent(QMouseEvent* event) {
    m_view.LaneMouse(*event);
}

void CPlaceLanes::mouseReleaseEvent(QMouseEvent* event) {
    m_view.LaneMouse(*event);
}

void CPlaceLanes::leaveEvent(QEvent* event) {
    m_view.LaneLeft();
    QWidget::leaveEvent(event);
}

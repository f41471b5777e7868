#include "views/PlaceLanePainter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "document/CTesselDoc.h"
#include "trajectory/SoundPlace.h"
#include "views/PlaceValues.h"

namespace {

const QColor kTrackColour(255, 0, 0);
const QColor kWidthColour(255, 150, 150);
const QColor kScaleColour(190, 190, 190);
const QColor kLabelColour(110, 110, 110);

double Wrapped(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d <= -180.0) {
        d += 360.0;
    } else if (d > 180.0) {
        d -= 360.0;
    }
    return d;
}

void DrawMarker(QPainter& painter, int x, int y) {
    painter.fillRect(QRect(x - 3, y - 3, 6, 6), Qt::black);
    painter.fillRect(QRect(x - 1, y - 1, 2, 2), Qt::white);
}

}  // namespace

void PlaceLanePainter::DrawFrontBand(QPainter& painter) const {
    const PlaceAxis axis = m_geometry.AzimuthAxis();
    const int width = m_geometry.ImageWidth();
    const int left = axis.YOf(-90);
    const int right = axis.YOf(90);
    painter.save();
    // Behind is shaded, so the front half reads as the frontal view's whole height.
    painter.fillRect(QRect(0, 0, width, left), QColor(0, 0, 0, 24));
    painter.fillRect(QRect(0, right, width, m_geometry.ImageHeight() - right), QColor(0, 0, 0, 24));
    painter.setPen(QPen(kScaleColour, 1, Qt::DashLine));
    for (const PlaceAxis::Tick& tick : axis.Ticks()) {
        const int y = axis.YOf(tick.value);
        painter.drawLine(0, y, width - 1, y);
    }
    painter.setPen(kLabelColour);
    for (const Label& label : LabelPlaces(axis, painter.fontMetrics().height(), 4, 80)) {
        painter.drawText(label.rect, Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(label.text));
    }
    painter.restore();
}

void PlaceLanePainter::DrawLane(QPainter& painter, const PlaceAxis& axis, int width) const {
    painter.save();
    painter.fillRect(QRect(0, axis.Top(), width, axis.Height()), Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(0, axis.Top(), width - 1, axis.Top());
    QFont font = painter.font();
    font.setPointSize(7);
    painter.setFont(font);
    painter.setPen(QPen(kScaleColour, 1, Qt::DotLine));
    for (const PlaceAxis::Tick& tick : axis.Ticks()) {
        const int y = axis.YOf(tick.value);
        painter.drawLine(0, y, width - 1, y);
    }
    painter.setPen(kLabelColour);
    for (const Label& label : LabelPlaces(axis, painter.fontMetrics().height(), 4, 60)) {
        painter.drawText(label.rect, Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(label.text));
    }
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, axis.Top() + 1, width - 4, 12), Qt::AlignRight | Qt::AlignTop,
                     QString::fromStdString(axis.Name()));
    painter.restore();
}

std::vector<PlaceLanePainter::Label> PlaceLanePainter::LabelPlaces(const PlaceAxis& axis,
                                                                   int labelHeight, int x,
                                                                   int width) {
    const int top = axis.Top() + 1;  // the lane's first row holds its border line
    const int bottom = axis.Top() + axis.Height();
    std::vector<Label> labels;
    int free = top;  // the first row no label holds yet
    for (const PlaceAxis::Tick& tick : axis.Ticks()) {
        const int y = axis.YOf(tick.value);
        int labelTop = y - labelHeight;
        if (labelTop < free) {
            labelTop = y + 1;
        }
        labelTop = std::max(free, std::min(labelTop, bottom - labelHeight));
        if (labelTop + labelHeight > bottom) {
            continue;
        }
        labels.push_back({QRect(x, labelTop, width, labelHeight), tick.label});
        free = labelTop + labelHeight + 1;
    }
    return labels;
}

void PlaceLanePainter::DrawLine(QPainter& painter, const PlaceAxis& axis, double widthShare) const {
    const WaveViewGeometry& g = m_geometry;
    PlaceCursor cursor(m_doc.GetPanPoints());
    QPainterPath path;
    bool bStarted = false;
    double last = 0.0;
    // Only the columns the widget shows: the image may be far wider than the window.
    const int columns = std::min(g.ImageWidth(), painter.device()->width());
    for (int x = 0; x < columns; ++x) {
        const uint32_t frame =
            std::min(g.SampleOfColumn(g.LeftColumn() + x), m_doc.GetFrameCount());
        const SoundPlace place = cursor.At(frame);
        double value = PlaceValues::Of(place, axis.Value());
        if (axis.Value() == PlaceValue::Azimuth) {
            value = Wrapped(value + widthShare * place.width);
        }
        const QPointF at(x, axis.YOf(value));
        if (!bStarted ||
            (axis.Value() == PlaceValue::Azimuth && PlaceAxis::CrossesBehind(last, value))) {
            path.moveTo(at);
        } else {
            path.lineTo(at);
        }
        bStarted = true;
        last = value;
    }
    painter.drawPath(path);
}

void PlaceLanePainter::DrawTrack(QPainter& painter, const PlaceAxis& axis) const {
    const WaveViewGeometry& g = m_geometry;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (axis.Value() == PlaceValue::Azimuth) {
        bool bWidth = false;
        for (const PanPoint* p = m_doc.NextPoint(nullptr); p != nullptr && !bWidth;
             p = m_doc.NextPoint(p)) {
            bWidth = p->width > 0;
        }
        if (bWidth) {
            painter.setPen(QPen(kWidthColour, 1));
            DrawLine(painter, axis, -0.5);
            DrawLine(painter, axis, 0.5);
        }
    }
    painter.setPen(QPen(kTrackColour, 2));
    DrawLine(painter, axis, 0.0);
    for (const PanPoint* p = m_doc.NextPoint(nullptr); p != nullptr; p = m_doc.NextPoint(p)) {
        const WaveViewGeometry::Column column = g.ColumnOfSample(p->position);
        if (column >= g.LeftColumn() && column <= g.RightColumn()) {
            const int x =
                std::clamp(static_cast<int>(g.WindowX(column)), 3, std::max(3, g.ImageWidth() - 3));
            DrawMarker(painter, x, axis.YOf(PlaceValues::Of(*p, axis.Value())));
        }
    }
    painter.restore();
}

void PlaceLanePainter::DrawSelected(QPainter& painter, const PlaceAxis& axis,
                                    const PanPoint& point) const {
    const WaveViewGeometry& g = m_geometry;
    const WaveViewGeometry::Column column = g.ColumnOfSample(point.position);
    if (column < g.LeftColumn() || column > g.RightColumn()) {
        return;
    }
    const int x =
        std::clamp(static_cast<int>(g.WindowX(column)), 3, std::max(3, g.ImageWidth() - 3));
    const int y = axis.YOf(PlaceValues::Of(point, axis.Value()));
    painter.save();
    DrawMarker(painter, x, y);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(x - 6, y - 6, 11, 11));
    painter.restore();
}

#include "views/PanPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "views/OverviewGeometry.h"

namespace {

constexpr QPointF kListener(71.5, 70.5);  // pixel centre of (71, 70)
constexpr double kArcRadius = 60.0;

QPointF OnArc(double degrees, double radius) {
    // 0 degrees is straight ahead (up), positive to the right.
    const double radians = degrees * M_PI / 180.0;
    return kListener + QPointF(radius * std::sin(radians), -radius * std::cos(radians));
}

void DrawSoundField(QPainter& painter) {
    QRadialGradient field(kListener, kArcRadius + 4);
    field.setColorAt(0.0, QColor(58, 74, 96));
    field.setColorAt(1.0, QColor(40, 50, 66));
    QPainterPath front;
    front.moveTo(kListener);
    front.arcTo(QRectF(kListener.x() - kArcRadius, kListener.y() - kArcRadius, 2 * kArcRadius,
                       2 * kArcRadius),
                180.0, -180.0);
    front.closeSubpath();
    painter.fillPath(front, field);

    painter.setPen(QPen(QColor(122, 146, 178), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(front);
    // Faint spokes every 45 degrees, and ticks where the marker sits for those directions.
    painter.setPen(QPen(QColor(80, 98, 124), 1.0, Qt::DotLine));
    for (int degrees = -45; degrees <= 45; degrees += 45) {
        painter.drawLine(OnArc(degrees, 16.0), OnArc(degrees, kArcRadius - 3));
    }
    painter.setPen(QPen(QColor(170, 190, 214), 1.5));
    for (int degrees = -90; degrees <= 90; degrees += 45) {
        painter.drawLine(OnArc(degrees, kArcRadius - 4), OnArc(degrees, kArcRadius + 4));
    }
}

void DrawListener(QPainter& painter) {
    const QColor outline(24, 28, 36);
    painter.setPen(QPen(outline, 1.0));
    // Shoulders behind the head.
    painter.setBrush(QColor(92, 112, 150));
    painter.drawEllipse(QPointF(kListener.x(), kListener.y() + 6), 25.0, 10.0);
    // Ears, then the head over them, then the nose that shows which way is front.
    painter.setBrush(QColor(214, 172, 140));
    painter.drawEllipse(QPointF(kListener.x() - 11.5, kListener.y()), 3.0, 5.0);
    painter.drawEllipse(QPointF(kListener.x() + 11.5, kListener.y()), 3.0, 5.0);
    painter.setBrush(QColor(228, 190, 158));
    painter.drawEllipse(kListener, 11.5, 12.5);
    QPainterPath nose;
    nose.moveTo(kListener.x() - 3.5, kListener.y() - 11.0);
    nose.lineTo(kListener.x(), kListener.y() - 16.5);
    nose.lineTo(kListener.x() + 3.5, kListener.y() - 11.0);
    painter.drawPath(nose);
    // Hair on the back of the head.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(86, 62, 44));
    painter.drawChord(QRectF(kListener.x() - 11.5, kListener.y() - 12.5, 23.0, 25.0), 200 * 16,
                      140 * 16);
}

}  // namespace

QImage DrawPanPicture() {
    QImage picture(OverviewGeometry::kPanPictureWidth, OverviewGeometry::kPanPictureHeight,
                   QImage::Format_RGB32);
    picture.fill(QColor(30, 36, 46));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawSoundField(painter);
    DrawListener(painter);
    return picture;
}

QImage DrawPanMarker() {
    constexpr int kSize = OverviewGeometry::kMarkerSize;
    QImage marker(kSize, kSize, QImage::Format_ARGB32);
    marker.fill(Qt::transparent);
    // A disc of radius 5 around the middle of the square, its outer pixel ring olive: the same
    // pixels every time, and never outside the square that restoring the picture covers.
    const double middle = (kSize - 1) / 2.0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double distance = std::hypot(x - middle, y - middle);
            if (distance <= kSize / 2.0) {
                marker.setPixel(
                    x, y, distance > kSize / 2.0 - 1.0 ? qRgb(127, 127, 0) : qRgb(255, 255, 0));
            }
        }
    }
    return marker;
}

#include "shell/CAppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The picture is laid out on a 256-unit square and scaled to the size asked for.
constexpr double kUnits = 256.0;

// A pen width in units that stays at least about a pixel wide at the smallest sizes.
double StrokeUnits(double units, double scale) {
    return std::max(units, 1.3 / scale);
}

QPainterPath WavePath() {
    // A tone that swells and fades, as a sound that moves past would.
    QPainterPath path;
    constexpr double kLeft = 36.0;
    constexpr double kRight = 220.0;
    constexpr double kMiddle = 170.0;
    constexpr double kHeight = 46.0;
    constexpr int kSteps = 240;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        const double envelope = std::sin(std::numbers::pi * t);
        const double y = kMiddle - kHeight * envelope * std::sin(2.0 * std::numbers::pi * 5.5 * t);
        const double x = kLeft + (kRight - kLeft) * t;
        if (i == 0) {
            path.moveTo(x, y);
        } else {
            path.lineTo(x, y);
        }
    }
    return path;
}

}  // namespace

QImage CAppIcon::Render(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = size / kUnits;
    painter.scale(scale, scale);

    QLinearGradient tile(0, 0, 0, kUnits);
    tile.setColorAt(0.0, QColor(0x23, 0x37, 0x6b));
    tile.setColorAt(1.0, QColor(0x0f, 0x6e, 0x7c));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(8, 8, kUnits - 16, kUnits - 16), 44, 44);

    painter.setBrush(Qt::NoBrush);
    QPen wave(QColor(0xe8, 0xf6, 0xff), StrokeUnits(9, scale), Qt::SolidLine, Qt::RoundCap,
              Qt::RoundJoin);
    painter.setPen(wave);
    painter.drawPath(WavePath());

    // The direction: an arc over the listener from left to right with its head at the right.
    const QColor arcColour(0xff, 0xa6, 0x2b);
    QPen arc(arcColour, StrokeUnits(14, scale), Qt::SolidLine, Qt::RoundCap);
    painter.setPen(arc);
    const QRectF circle(40, 52, 176, 176);
    constexpr double kFromDegrees = 160.0;
    constexpr double kSpanDegrees = -118.0;
    painter.drawArc(circle, static_cast<int>(kFromDegrees * 16),
                    static_cast<int>(kSpanDegrees * 16));

    const double endRadians = (kFromDegrees + kSpanDegrees) * std::numbers::pi / 180.0;
    const QPointF centre = circle.center();
    const double radius = circle.width() / 2;
    const QPointF end(centre.x() + radius * std::cos(endRadians),
                      centre.y() - radius * std::sin(endRadians));
    // The head points along the arc's direction of travel, clockwise on the screen.
    const QPointF along(std::sin(endRadians), std::cos(endRadians));
    const QPointF across(along.y(), -along.x());
    constexpr double kHeadLength = 40.0;
    constexpr double kHeadHalfWidth = 26.0;
    QPainterPath head;
    head.moveTo(end + along * kHeadLength * 0.6);
    head.lineTo(end - along * kHeadLength * 0.4 + across * kHeadHalfWidth);
    head.lineTo(end - along * kHeadLength * 0.4 - across * kHeadHalfWidth);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(arcColour);
    painter.drawPath(head);
    return image;
}

QIcon CAppIcon::Icon() {
    QIcon icon;
    for (int size : kSizes) {
        icon.addPixmap(QPixmap::fromImage(Render(size)));
    }
    return icon;
}

#include "views/OverviewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace OverviewGeometry {

namespace {

// The listener sits at (71, 70) of the pan picture; the front arc has radius 60.
constexpr int kListenerX = 71;
constexpr int kListenerY = 70;
constexpr int kArcRadius = 60;

// position / length in extended precision. A position past the end would put columns outside
// the area, so it counts as the end.
long double Fraction(uint32_t position, uint32_t length) {
    if (length == 0) {
        return 0.0L;
    }
    return static_cast<long double>(std::min(position, length)) / length;
}

int Scale(int width, long double fraction) {
    return static_cast<int>(static_cast<long double>(width) * fraction);
}

}  // namespace

VisibleColumns ComputeVisibleColumns(int left, int width, int imageWidth, uint32_t first,
                                     uint32_t last, uint32_t length) {
    // Only the start goes through single precision; a start just short of the end can land one
    // column past the end column.
    const long double start = static_cast<float>(Fraction(first, length));
    const long double end = Fraction(last, length);
    VisibleColumns columns;
    columns.x1 = left + Scale(width, start);
    columns.x2 = left + Scale(width, end);
    columns.s1 = Scale(imageWidth, start);
    columns.s2 = Scale(imageWidth, end);
    return columns;
}

ColumnSpan ComputeSelectionColumns(int left, int width, uint32_t selStart, uint32_t selEnd,
                                   uint32_t length) {
    ColumnSpan span;
    span.begin = left + Scale(width, Fraction(selStart, length));
    span.end = left + Scale(width, Fraction(selEnd, length));
    return span;
}

int ColumnOfFrame(int left, int width, uint32_t frame, uint32_t length) {
    return left + Scale(width, Fraction(frame, length));
}

uint32_t FrameAtColumn(int x, int left, int width, uint32_t length) {
    if (width <= 0 || x <= left) {
        return 0;
    }
    if (x >= left + width) {
        return length;
    }
    return static_cast<uint32_t>(static_cast<long double>(x - left) / width * length);
}

int64_t GrabOffset(int x, int left, int width, uint32_t first, uint32_t last, uint32_t length) {
    const VisibleColumns visible = ComputeVisibleColumns(left, width, 0, first, last, length);
    if (x < visible.x1 || x > visible.x2) {
        return 0;
    }
    const uint32_t end = std::min(last, length);
    const uint32_t start = std::min(first, end);
    const int64_t centre = start + (end - start) / 2;
    return centre - int64_t{FrameAtColumn(x, left, width, length)};
}

uint32_t DragCentre(int x, int left, int width, uint32_t length, int64_t grabOffset) {
    const int64_t frame = int64_t{FrameAtColumn(x, left, width, length)} + grabOffset;
    return static_cast<uint32_t>(std::clamp<int64_t>(frame, 0, length));
}

int ClampLivePan(int pan, int noPan) {
    if (pan == noPan) {
        return pan;
    }
    return std::clamp(pan, -kPanLimit, kPanLimit);
}

Point PanMarkerCentre(int pan) {
    const int p = std::clamp(pan, -kPanLimit, kPanLimit);
    // Directions up to 57 degrees share the front 26 degrees of the arc, the rest the sides.
    const int a = std::abs(p);
    int b = a < 58 ? a * 26 / 57 : 2 * (a - 58) + 26;
    if (p < 0) {
        b = -b;
    }
    // The constants are single precision, the angle is not: kept in double, +90 lands one
    // column inside the arc's end, as the picture expects.
    const double theta = (b + 90) * static_cast<double>(0.017453289f);
    const double quarter = 1.570796f;
    Point centre;
    if (theta <= quarter) {
        centre.x = kListenerX - static_cast<int>(kArcRadius * std::cos(theta));
        centre.y = kListenerY - static_cast<int>(kArcRadius * std::sin(theta));
    } else {
        const double phi = static_cast<double>(3.141592f) - theta;
        centre.x = kListenerX - static_cast<int>(-kArcRadius * std::cos(phi));
        centre.y = kListenerY - static_cast<int>(kArcRadius * std::sin(phi));
    }
    return centre;
}

double PanAtPoint(double x, double y) {
    const double dx = x - kListenerX;
    const double dy = kListenerY - y;
    if (dx == 0.0 && dy <= 0.0) {
        return 0.0;
    }
    // The angle on the arc from straight ahead, the front 26 degrees holding directions up to
    // 57 and the sides two arc degrees a direction.
    const double arc = std::min(90.0, std::atan2(std::abs(dx), dy) * 180.0 / 3.14159265358979);
    const double pan = arc <= 26.0 ? arc * 57.0 / 26.0 : 58.0 + (arc - 26.0) / 2.0;
    return std::clamp(dx < 0.0 ? -pan : pan, -90.0, 90.0);
}

}  // namespace OverviewGeometry

#include "geometry/TopView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double TopView::RadiusOf(double distanceCm, double rim) {
    const double cm = std::clamp(distanceCm, 10.0, 10000.0);
    return rim * std::log10(cm / 10.0) / 3.0;
}

TopView::Spot TopView::SourceAt(double azimuth, double distanceCm, double cx, double cy,
                                double rim) {
    const double r = RadiusOf(distanceCm, rim);
    const double a = azimuth * std::numbers::pi / 180.0;
    return {cx + r * std::sin(a), cy - r * std::cos(a)};
}

TopView::Place TopView::PlaceAt(double x, double y, double cx, double cy, double rim) {
    const double dx = x - cx;
    const double dy = cy - y;
    const double r = std::hypot(dx, dy);
    Place place;
    place.azimuth = r > 0.0 ? std::atan2(dx, dy) * 180.0 / std::numbers::pi : 0.0;
    place.distanceCm =
        rim > 0.0 ? std::clamp(10.0 * std::pow(10.0, 3.0 * r / rim), 10.0, 10000.0) : 100.0;
    return place;
}

TopView::Spot TopView::SideAt(double azimuth, double elevation, double distanceCm, double cx,
                              double cy, double rim) {
    const double r = RadiusOf(distanceCm, rim);
    const double e = std::clamp(elevation, -90.0, 90.0) * std::numbers::pi / 180.0;
    const double side = std::fabs(azimuth) <= 90.0 ? 1.0 : -1.0;
    return {cx + side * r * std::cos(e), cy - r * std::sin(e)};
}

#include "geometry/PlaceAxis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 4;
constexpr double kNearCm = 10.0;
constexpr double kFarCm = 10000.0;

// Whole degrees onto -179 .. 180, as points store them.
int32_t NormalDegrees(long degrees) {
    long d = degrees % 360;
    if (d <= -180) {
        d += 360;
    } else if (d > 180) {
        d -= 360;
    }
    return static_cast<int32_t>(d);
}

std::string Signed(int degrees) {
    return (degrees > 0 ? "+" : "") + std::to_string(degrees) + "\u00B0";
}

}  // namespace

PlaceAxis::PlaceAxis(PlaceValue value, int top, int height)
    : m_value(value), m_top(top), m_height(height) {}

double PlaceAxis::Fraction(double value) const {
    switch (m_value) {
        case PlaceValue::Azimuth:
            return (std::clamp(value, -180.0, 180.0) + 180.0) / 360.0;
        case PlaceValue::Elevation:
            return (90.0 - std::clamp(value, -90.0, 90.0)) / 180.0;
        case PlaceValue::Distance:
            return std::log(kFarCm / std::clamp(value, kNearCm, kFarCm)) /
                   std::log(kFarCm / kNearCm);
    }
    return 0.0;
}

int PlaceAxis::YOf(double value) const {
    // A lane of 8 rows or less has no room for the scale; one row stands for all of it.
    const int span = std::max(1, m_height - 2 * kMargin);
    return m_top + kMargin + static_cast<int>(std::lround(Fraction(value) * span));
}

int32_t PlaceAxis::ValueAt(int y) const {
    const int span = std::max(1, m_height - 2 * kMargin);
    const double f = std::clamp(static_cast<double>(y - m_top - kMargin) / span, 0.0, 1.0);
    switch (m_value) {
        case PlaceValue::Azimuth:
            return NormalDegrees(std::lround(f * 360.0 - 180.0));
        case PlaceValue::Elevation:
            return static_cast<int32_t>(std::lround(90.0 - f * 180.0));
        case PlaceValue::Distance:
            return static_cast<int32_t>(
                std::clamp(std::lround(kFarCm * std::pow(kNearCm / kFarCm, f)), 10L, 10000L));
    }
    return 0;
}

PlaceAxis::Reach PlaceAxis::ReachAt(int y) const {
    const int32_t a = ValueAt(y - kMargin);
    const int32_t b = ValueAt(y + kMargin);
    if (m_value == PlaceValue::Azimuth) {
        // Unwrapped, so a press at the top edge does not reach the 180 drawn at the bottom.
        const int span = std::max(1, m_height - 2 * kMargin);
        const auto raw = [&](int row) {
            const double f =
                std::clamp(static_cast<double>(row - m_top - kMargin) / span, 0.0, 1.0);
            return static_cast<int32_t>(std::lround(f * 360.0 - 180.0));
        };
        return {std::max(-180, raw(y - kMargin) - 1), std::min(180, raw(y + kMargin) + 1)};
    }
    const int32_t floor = m_value == PlaceValue::Elevation ? -90 : 10;
    const int32_t ceiling = m_value == PlaceValue::Elevation ? 90 : 10000;
    return {std::max(floor, std::min(a, b) - 1), std::min(ceiling, std::max(a, b) + 1)};
}

std::vector<PlaceAxis::Tick> PlaceAxis::Ticks() const {
    switch (m_value) {
        case PlaceValue::Azimuth:
            return {{-180, "behind"}, {-90, "left"}, {0, "ahead"}, {90, "right"}, {180, "behind"}};
        case PlaceValue::Elevation:
            return {{90, Signed(90)},
                    {45, Signed(45)},
                    {0, Signed(0)},
                    {-45, Signed(-45)},
                    {-90, Signed(-90)}};
        case PlaceValue::Distance:
            return {{10000, "100 m"}, {1000, "10 m"}, {100, "1 m"}, {10, "0.1 m"}};
    }
    return {};
}

std::string PlaceAxis::Name() const {
    switch (m_value) {
        case PlaceValue::Azimuth:
            return "Azimuth";
        case PlaceValue::Elevation:
            return "Elevation";
        case PlaceValue::Distance:
            return "Distance";
    }
    return {};
}

bool PlaceAxis::CrossesBehind(double azimuthA, double azimuthB) {
    return std::fabs(azimuthB - azimuthA) > 180.0;
}

int PlaceLanes::StripHeight(int viewHeight) {
    return std::max(kStripHeight, viewHeight / 3 / 2 * 2);
}

PlaceAxis PlaceLanes::Lane(PlaceValue value, int stripHeight) {
    const int lane = std::max(kStripHeight, stripHeight) / 2;
    return PlaceAxis(value, value == PlaceValue::Distance ? lane : 0, lane);
}

PlaceValue PlaceLanes::LaneAt(int y, int stripHeight) {
    return y < std::max(kStripHeight, stripHeight) / 2 ? PlaceValue::Elevation
                                                       : PlaceValue::Distance;
}

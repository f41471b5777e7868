#include "trajectory/SoundPlace.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "trajectory/PanPointList.h"

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

struct Vector {
    double x, y, z;  // right, up, back: the listener's frame, ahead along -z
};

Vector DirectionOf(double azimuth, double elevation) {
    const double az = azimuth / kDegrees;
    const double el = elevation / kDegrees;
    return {std::sin(az) * std::cos(el), std::sin(el), -std::cos(az) * std::cos(el)};
}

double Dot(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector Blend(const Vector& a, double wa, const Vector& b, double wb) {
    return {a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb};
}

void SetDirection(SoundPlace& place, const Vector& v) {
    const double horizontal = std::hypot(v.x, v.z);
    place.elevation = std::atan2(v.y, horizontal) * kDegrees;
    // Straight up or down has no azimuth of its own; ahead is as good as any.
    place.azimuth = horizontal < 1e-12 ? 0.0 : std::atan2(v.x, -v.z) * kDegrees;
    if (place.azimuth <= -180.0) {
        place.azimuth += 360.0;
    }
}

// A quarter turn from a along the great circle through m (m at right angles to a).
Vector Rotate(const Vector& a, const Vector& m, double t) {
    const double angle = t * std::numbers::pi;
    return Blend(a, std::cos(angle), m, std::sin(angle));
}

}  // namespace

void SetAzimuth(PanPoint& point, int64_t azimuth) {
    point.azimuth = NormalAzimuth(azimuth);
}

Place WholePlace(const SoundPlace& place) {
    Place whole;
    whole.azimuth = NormalAzimuth(std::lround(place.azimuth));
    whole.elevation = std::clamp(static_cast<int32_t>(std::lround(place.elevation)), -kMaxElevation,
                                 kMaxElevation);
    whole.distanceCm = static_cast<uint32_t>(std::clamp<long>(
        std::lround(place.distanceCm), long{kNearestDistanceCm}, long{kFarthestDistanceCm}));
    whole.width = std::clamp(static_cast<int32_t>(std::lround(place.width)), 0, kMaxWidth);
    return whole;
}

bool IsFrontal(const PanPoint& point) {
    return point.azimuth >= -90 && point.azimuth <= 90 && point.elevation == 0 &&
           point.distanceCm == kDefaultDistanceCm && point.width == 0;
}

bool IsFrontal(const PanPointList& points) {
    for (const PanPoint* p = points.NextPoint(nullptr); p != nullptr; p = points.NextPoint(p)) {
        if (!IsFrontal(*p)) {
            return false;
        }
    }
    return true;
}

SoundPlace InterpolatePlace(const PanPoint& a, const PanPoint& b, double t) {
    return InterpolatePlace(
        SoundPlace{static_cast<double>(a.azimuth), static_cast<double>(a.elevation),
                   static_cast<double>(a.distanceCm), static_cast<double>(a.width)},
        SoundPlace{static_cast<double>(b.azimuth), static_cast<double>(b.elevation),
                   static_cast<double>(b.distanceCm), static_cast<double>(b.width)},
        t);
}

SoundPlace InterpolatePlace(const SoundPlace& a, const SoundPlace& b, double t) {
    SoundPlace place;
    place.distanceCm = a.distanceCm + (b.distanceCm - a.distanceCm) * t;
    place.width = a.width + (b.width - a.width) * t;
    const Vector va = DirectionOf(a.azimuth, a.elevation);
    const Vector vb = DirectionOf(b.azimuth, b.elevation);
    const double cosine = std::clamp(Dot(va, vb), -1.0, 1.0);
    // The same direction (or one under two names at a pole) and the ends need no turning.
    if (t <= 0.0 || (cosine > 1.0 - 1e-12 && t < 1.0)) {
        place.azimuth = a.azimuth;
        place.elevation = a.elevation;
        return place;
    }
    if (t >= 1.0) {
        place.azimuth = b.azimuth;
        place.elevation = b.elevation;
        return place;
    }
    if (cosine < -1.0 + 1e-9) {
        // Opposite: every great circle joins them, so the turn is chosen.
        const bool bPole = std::abs(a.elevation) == kMaxElevation;
        const Vector m = bPole ? DirectionOf(0.0, 0.0) : DirectionOf(a.azimuth + 90.0, 0.0);
        SetDirection(place, Rotate(va, m, t));
        return place;
    }
    const double omega = std::acos(cosine);
    const double s = std::sin(omega);
    SetDirection(place, Blend(va, std::sin((1.0 - t) * omega) / s, vb, std::sin(t * omega) / s));
    return place;
}

SoundPlace PlaceAt(const PanPointList& points, uint32_t s) {
    PlaceCursor cursor(points);
    return cursor.At(s);
}

void PlaceCursor::Find(uint32_t s) {
    const PanPoint* a = nullptr;
    if (m_bValid && s >= m_to && m_pLast != nullptr && m_points.Contains(m_pLast) &&
        m_pLast->position <= s) {
        a = m_pLast;
        for (const PanPoint* next = m_points.NextPoint(a); next != nullptr && next->position <= s;
             next = m_points.NextPoint(next)) {
            a = next;
        }
    } else {
        a = m_points.PointAtOrBefore(s);
    }
    const PanPoint* b = m_points.NextPoint(a);
    m_bValid = a != nullptr || b != nullptr;
    if (!m_bValid) {
        return;
    }
    m_pLast = b != nullptr ? b : a;
    if (b == nullptr) {
        m_a = *a;
        m_bHold = true;
        m_from = a->position;
        m_to = UINT32_MAX;
    } else {
        m_a = a != nullptr ? *a : PanPoint{};
        m_b = *b;
        m_bHold = false;
        m_from = m_a.position;
        m_to = m_b.position;
    }
}

double PlaceCursor::DistanceCmAt(uint32_t s) {
    if (!m_bValid || s < m_from || s >= m_to) {
        Find(s);
        if (!m_bValid) {
            return SoundPlace{}.distanceCm;
        }
    }
    const double a = m_a.distanceCm;
    if (m_bHold) {
        return a;
    }
    const double t = static_cast<double>(s - m_from) / static_cast<double>(m_to - m_from);
    return a + (static_cast<double>(m_b.distanceCm) - a) * t;
}

SoundPlace PlaceCursor::At(uint32_t s) {
    if (!m_bValid || s < m_from || s >= m_to) {
        Find(s);
        if (!m_bValid) {
            return SoundPlace{};
        }
    }
    if (m_bHold) {
        return InterpolatePlace(m_a, m_a, 0.0);
    }
    const double t = static_cast<double>(s - m_from) / static_cast<double>(m_to - m_from);
    return InterpolatePlace(m_a, m_b, t);
}

#include "trajectory/SoundPlace.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "trajectory/PanPointList.h"

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

using Vector = PlaceSegment::Vector;

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

namespace {

SoundPlace PlaceOf(const PanPoint& point) {
    return SoundPlace{static_cast<double>(point.azimuth), static_cast<double>(point.elevation),
                      static_cast<double>(point.distanceCm), static_cast<double>(point.width)};
}

}  // namespace

PlaceSegment::PlaceSegment(const SoundPlace& a, const SoundPlace& b)
    : m_a(a),
      m_b(b),
      m_va(DirectionOf(a.azimuth, a.elevation)),
      m_vb(DirectionOf(b.azimuth, b.elevation)),
      m_cosine(std::clamp(Dot(m_va, m_vb), -1.0, 1.0)) {
    if (m_cosine <= 1.0 - 1e-12 && m_cosine >= -1.0 + 1e-9) {
        m_omega = std::acos(m_cosine);
        m_sine = std::sin(m_omega);
    }
}

PlaceSegment::PlaceSegment(const PanPoint& a, const PanPoint& b)
    : PlaceSegment(PlaceOf(a), PlaceOf(b)) {}

SoundPlace PlaceSegment::At(double t) const {
    const SoundPlace& a = m_a;
    const SoundPlace& b = m_b;
    SoundPlace place;
    place.distanceCm = a.distanceCm + (b.distanceCm - a.distanceCm) * t;
    place.width = a.width + (b.width - a.width) * t;
    // The same direction (or one under two names at a pole) and the ends need no turning.
    if (t <= 0.0 || (m_cosine > 1.0 - 1e-12 && t < 1.0)) {
        place.azimuth = a.azimuth;
        place.elevation = a.elevation;
        return place;
    }
    if (t >= 1.0) {
        place.azimuth = b.azimuth;
        place.elevation = b.elevation;
        return place;
    }
    if (m_cosine < -1.0 + 1e-9) {
        // Opposite: every great circle joins them, so the turn is chosen.
        const bool bPole = std::abs(a.elevation) == kMaxElevation;
        const Vector m = bPole ? DirectionOf(0.0, 0.0) : DirectionOf(a.azimuth + 90.0, 0.0);
        SetDirection(place, Rotate(m_va, m, t));
        return place;
    }
    SetDirection(place, Blend(m_va, std::sin((1.0 - t) * m_omega) / m_sine, m_vb,
                              std::sin(t * m_omega) / m_sine));
    return place;
}

SoundPlace InterpolatePlace(const PanPoint& a, const PanPoint& b, double t) {
    return InterpolatePlace(PlaceOf(a), PlaceOf(b), t);
}

SoundPlace InterpolatePlace(const SoundPlace& a, const SoundPlace& b, double t) {
    if (t <= 0.0) {
        // No turning: the ends' directions are not needed.
        SoundPlace place = a;
        place.distanceCm = a.distanceCm + (b.distanceCm - a.distanceCm) * t;
        place.width = a.width + (b.width - a.width) * t;
        return place;
    }
    return PlaceSegment(a, b).At(t);
}

SoundPlace PlaceAt(const PanPointList& points, uint32_t s) {
    PlaceCursor cursor(points);
    return cursor.At(s);
}

void PlaceCursor::Find(uint32_t s) {
    m_segment.reset();
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
    if (!m_segment) {
        m_segment.emplace(m_a, m_b);
    }
    const double t = static_cast<double>(s - m_from) / static_cast<double>(m_to - m_from);
    return m_segment->At(t);
}

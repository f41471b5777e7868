#pragma once

#include <cstdint>
#include <optional>

#include "trajectory/PanPoint.h"

class PanPointList;

// Where a sound is, between two points or at one: the trajectory's conventions in real
// numbers. Angles are degrees (azimuth -180 .. 180, 0 ahead, +90 right; elevation -90 .. +90),
// distance centimetres, width degrees.
struct SoundPlace {
    double azimuth = 0.0;
    double elevation = 0.0;
    double distanceCm = kDefaultDistanceCm;
    double width = 0.0;
};

// Sets the azimuth, normalised onto -179 .. 180.
void SetAzimuth(PanPoint& point, int64_t azimuth);
// The whole place nearest a place in real numbers (each value rounded and held in its range).
Place WholePlace(const SoundPlace& place);

// Within the front half-circle, level, at 1 m and with no width.
bool IsFrontal(const PanPoint& point);
// Every point frontal: such a trajectory reads, steps, plays, saves and exports as pan only.
bool IsFrontal(const PanPointList& points);

// The place a fraction t (0 .. 1) of the way from a to b: the direction along the shorter
// great circle, distance and width in a straight line. An exactly opposite pair turns through
// the horizontal direction 90 degrees right of a (through the front for straight up to
// straight down).
SoundPlace InterpolatePlace(const PanPoint& a, const PanPoint& b, double t);
// The same between places in real numbers.
SoundPlace InterpolatePlace(const SoundPlace& a, const SoundPlace& b, double t);

// InterpolatePlace between two places held for many fractions: the ends' directions and the
// angle between them are worked out once, and At(t) gives InterpolatePlace(a, b, t) to the bit.
class PlaceSegment {
  public:
    struct Vector {
        double x, y, z;  // right, up, back: the listener's frame, ahead along -z
    };

    PlaceSegment(const SoundPlace& a, const SoundPlace& b);
    PlaceSegment(const PanPoint& a, const PanPoint& b);
    SoundPlace At(double t) const;

  private:
    SoundPlace m_a, m_b;
    Vector m_va{}, m_vb{};
    double m_cosine = 1.0;
    double m_omega = 0.0, m_sine = 0.0;  // the angle between the ends and its sine
};

// The place of a trajectory at frame s: between the points around it; before the first, from
// straight ahead at frame 0 to it; after the last, the last. An empty list is straight ahead.
SoundPlace PlaceAt(const PanPointList& points, uint32_t s);

// The same walk for a caller that asks for frames in increasing order (playback, exports): it
// keeps the pair of points around the last frame asked, so the next frame costs no search
// unless it has passed the pair. Invalidate after the trajectory changes.
class PlaceCursor {
  public:
    explicit PlaceCursor(const PanPointList& points) : m_points(points) {}
    SoundPlace At(uint32_t s);
    // At(s).distanceCm, without turning the direction.
    double DistanceCmAt(uint32_t s);
    void Invalidate() { m_bValid = false; }

  private:
    // The pair around s, from the head of the list, or on from the last pair when s has only
    // moved past it (so a walk in order costs one step a point, not a search each).
    void Find(uint32_t s);

    const PanPointList& m_points;
    const PanPoint* m_pLast = nullptr;  // the list's point the pair ends at (m_b or m_a held)
    bool m_bValid = false;
    uint32_t m_from = 0;  // the pair holds for m_from <= s < m_to
    uint32_t m_to = 0;
    PanPoint m_a{};
    PanPoint m_b{};
    bool m_bHold = false;                   // past the last point: m_a alone
    std::optional<PlaceSegment> m_segment;  // from m_a to m_b, unless held
};

#include "trajectory/PlaceThinning.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

using PlaceThinning::TimedPlace;

constexpr double kDegrees = 180.0 / std::numbers::pi;

// How far b strays from a, as a share of what thinning lets pass: above 1 it is kept.
double Stray(const SoundPlace& a, const SoundPlace& b, double tolerance) {
    return std::max({PlaceThinning::TurnBetween(a, b), std::abs(a.width - b.width),
                     std::abs(a.distanceCm - b.distanceCm)}) /
           tolerance;
}

// How far the place i strays from the stretch between places a and b.
double StrayFrom(const std::vector<TimedPlace>& places, size_t a, size_t b, size_t i,
                 double tolerance) {
    const double t = static_cast<double>(places[i].position - places[a].position) /
                     static_cast<double>(places[b].position - places[a].position);
    return Stray(InterpolatePlace(places[a].place, places[b].place, t), places[i].place, tolerance);
}

// Marks in keep the fewest places of [first, last] (frames rising) whose stretches stay near
// every place between them; first and last are kept.
void ThinSpan(const std::vector<TimedPlace>& places, size_t first, size_t last, double tolerance,
              std::vector<bool>& keep) {
    keep[first] = keep[last] = true;
    // A place that strays from its own neighbours' stretch is kept whatever else is, and
    // splits the work: a zigzag of many places then costs one look at each.
    std::vector<std::pair<size_t, size_t>> spans;
    size_t begin = first;
    for (size_t i = first + 1; i < last; ++i) {
        if (StrayFrom(places, i - 1, i + 1, i, tolerance) > 1.0) {
            keep[i] = true;
            spans.push_back({begin, i});
            begin = i;
        }
    }
    spans.push_back({begin, last});
    // On a stack rather than by recursion: a long file would go deep.
    while (!spans.empty()) {
        const auto [from, to] = spans.back();
        spans.pop_back();
        double worst = 1.0;
        size_t where = from;
        for (size_t i = from + 1; i < to; ++i) {
            const double stray = StrayFrom(places, from, to, i, tolerance);
            if (stray > worst) {
                worst = stray;
                where = i;
            }
        }
        if (where != from) {
            keep[where] = true;
            spans.push_back({from, where});
            spans.push_back({where, to});
        }
    }
}

}  // namespace

namespace PlaceThinning {

double TurnBetween(const SoundPlace& a, const SoundPlace& b) {
    const double ea = a.elevation / kDegrees;
    const double eb = b.elevation / kDegrees;
    const double cosine =
        std::sin(ea) * std::sin(eb) +
        std::cos(ea) * std::cos(eb) * std::cos((b.azimuth - a.azimuth) / kDegrees);
    return std::acos(std::clamp(cosine, -1.0, 1.0)) * kDegrees;
}

std::vector<bool> Keep(const std::vector<TimedPlace>& places, double tolerance) {
    // Thinned between steps: two places at one frame are both kept.
    std::vector<bool> keep(places.size(), false);
    for (size_t first = 0; first < places.size();) {
        size_t last = first;
        while (last + 1 < places.size() && places[last + 1].position > places[last].position) {
            ++last;
        }
        ThinSpan(places, first, last, tolerance, keep);
        first = last + 1;
    }
    return keep;
}

std::vector<PanPoint> Thin(const std::vector<PanPoint>& points, double tolerance) {
    std::vector<TimedPlace> places;
    places.reserve(points.size());
    for (const PanPoint& point : points) {
        places.push_back(
            {point.position,
             {static_cast<double>(point.azimuth), static_cast<double>(point.elevation),
              static_cast<double>(point.distanceCm), static_cast<double>(point.width)}});
    }
    const std::vector<bool> keep = Keep(places, tolerance);
    std::vector<PanPoint> kept;
    for (size_t i = 0; i < points.size(); ++i) {
        if (keep[i]) {
            kept.push_back(points[i]);
        }
    }
    return kept;
}

}  // namespace PlaceThinning

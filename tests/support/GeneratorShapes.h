#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "trajectory/PanPointList.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryGenerator.h"

// The generated shapes the CLI and the dialog are both held to, on a sound of kShapeFrames
// frames at kShapeRate: each with its curve written out here from what the shape means, so
// the generator is checked against the idea and not against itself.
inline constexpr uint32_t kShapeRate = 8000;
inline constexpr uint32_t kShapeFrames = 16000;

struct ShapeCase {
    std::string text;  // what --generate takes
    uint32_t from, to;
    size_t maxPoints;  // as few points as the path allows
    // Seconds since from and the fraction of the span: azimuth and elevation in degrees.
    std::function<std::pair<double, double>(double seconds, double fraction)> curve;
    double distanceCm = 100;
};

inline std::vector<ShapeCase> ShapeCases() {
    const double pi = std::numbers::pi;
    return {
        // Level half-circle through the front: a great circle, drawn in quarter turns or less.
        {"sweep", 0, kShapeFrames, 3,
         [](double, double f) { return std::pair(-90 + 180 * f, 0.0); }},
        {"sweep:from=4000,to=12000,start=30,end=-150,elevation=40,distance=3", 4000, 12000, 40,
         [](double, double f) { return std::pair(30 - 180 * f, 40.0); }, 300},
        {"pendulum:start=-60,end=30,period=0.5", 0, kShapeFrames, 80,
         [=](double s, double) { return std::pair(-15 - 45 * std::cos(2 * pi * s / 0.5), 0.0); }},
        // Level turns: more than four segments a turn, each turning through less than a quarter.
        {"orbit:period=1", 0, kShapeFrames, 10,
         [](double s, double) { return std::pair(360 * s, 0.0); }},
        {"orbit:from=2000,period=0.8,direction=left,start=45,elevation=-30,distance=0.5", 2000,
         kShapeFrames, 200, [](double s, double) { return std::pair(45 - 360 * s / 0.8, -30.0); },
         50},
        {"spiral:period=0.5,el-start=-20,el-end=70", 0, kShapeFrames, 300,
         [](double s, double f) { return std::pair(360 * s / 0.5, -20 + 90 * f); }},
    };
}

// The angle between two directions, in degrees.
inline double DegreesApart(double az1, double el1, double az2, double el2) {
    const double r = std::numbers::pi / 180;
    const double dot = std::cos(el1 * r) * std::cos(el2 * r) * std::cos((az1 - az2) * r) +
                       std::sin(el1 * r) * std::sin(el2 * r);
    const double chord = std::sqrt(std::max(0.0, 2 - 2 * dot));
    return 2 * std::asin(std::min(1.0, chord / 2)) / r;
}

// The widest turn between neighbouring points, in degrees.
inline double WidestSegment(const std::vector<PanPoint>& points) {
    double widest = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        widest = std::max(widest, DegreesApart(points[i - 1].azimuth, points[i - 1].elevation,
                                               points[i].azimuth, points[i].elevation));
    }
    return widest;
}

// The farthest the path playback walks strays from a curve over from .. to (every frame), in
// degrees, and whether its distance ever differs.
inline double WorstStray(const PanPointList& points, uint32_t from, uint32_t to,
                         const std::function<std::pair<double, double>(uint32_t)>& curve,
                         double distanceCm, bool& bDistanceOff) {
    double worst = 0;
    bDistanceOff = false;
    for (uint32_t s = from; s <= to; ++s) {
        const SoundPlace place = PlaceAt(points, s);
        const auto [az, el] = curve(s);
        worst = std::max(worst, DegreesApart(place.azimuth, place.elevation, az, el));
        bDistanceOff = bDistanceOff || std::abs(place.distanceCm - distanceCm) > 0.5;
    }
    return worst;
}

inline std::function<std::pair<double, double>(uint32_t)> CurveOf(const ShapeCase& shape) {
    return [shape](uint32_t s) {
        return shape.curve((static_cast<double>(s) - shape.from) / kShapeRate,
                           (static_cast<double>(s) - shape.from) / (shape.to - shape.from));
    };
}

// A random walk has no closed form: the generator's own walk is the curve, and the test holds
// the walk to its range and speed instead.
inline std::function<std::pair<double, double>(uint32_t)> WalkOf(const std::string& text) {
    std::string error;
    const auto generator = TrajectoryGenerator::Parse(text, kShapeFrames, kShapeRate, error);
    return [generator](uint32_t s) {
        const SoundPlace place = generator->IdealAt(s);
        return std::pair(place.azimuth, place.elevation);
    };
}

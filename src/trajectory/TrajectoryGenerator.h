#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trajectory/PanPoint.h"
#include "trajectory/SoundPlace.h"

// A shape of motion over a span of frames, read from "SHAPE:key=value,..." and turned into the
// fewest points whose path, as playback interpolates it (InterpolatePlace), stays within
// kTolerance of the shape, no segment turning through kMaxSegment or more. The editor's dialog and
// the CLI share it. Frames for from/to, seconds for period, degrees for angles, metres for
// distance, degrees a second for speed.
class TrajectoryGenerator {
  public:
    enum class Shape { Sweep, Pendulum, Orbit, Spiral, Random };
    struct Key {
        std::string name;
        double value;  // the default
        double min;
        double max;
    };

    static constexpr size_t kMaxPoints = 65535;  // what the pan chunk can count
    static constexpr double kTolerance = 1.0;    // degrees between the path and the shape
    static constexpr double kMaxSegment = 90.0;  // degrees a segment may turn through, less

    // None with a message naming the shape, key or value at fault. frameCount and sampleRate
    // are the sound's; from and to default to the whole sound.
    static std::optional<TrajectoryGenerator> Parse(const std::string& text, uint32_t frameCount,
                                                    uint32_t sampleRate, std::string& error);
    static std::vector<std::string> ShapeNames();
    // A shape's keys beside from/to, with defaults and ranges; "direction" is 1 right, -1 left.
    static std::vector<Key> KeysOf(Shape shape);

    Shape GetShape() const { return m_shape; }
    uint32_t From() const { return m_from; }
    uint32_t To() const { return m_to; }
    double Value(const std::string& key) const;

    // Where the shape is at a frame of its span (fractions allowed).
    SoundPlace IdealAt(double frame) const;
    // The points, first at From and last at To. False with a message when more than
    // kMaxPoints would be needed.
    bool Generate(std::vector<PanPoint>& points, std::string& error) const;

    // The angle in degrees between two directions.
    static double AngleBetween(const SoundPlace& a, const SoundPlace& b);
    // The nearest point a trajectory can hold at a place.
    static PanPoint PointAt(uint32_t frame, const SoundPlace& place);

  private:
    TrajectoryGenerator() = default;
    bool SegmentHolds(const PanPoint& a, const PanPoint& b) const;
    void MakeWalk();

    // The keys IdealAt reads, looked up once: a search for points asks for thousands of places.
    struct Held {
        double distance = 0, elevation = 0, start = 0, end = 0, period = 0, direction = 0;
        double elStart = 0, elEnd = 0;
    };

    Shape m_shape = Shape::Sweep;
    std::map<std::string, double> m_values;
    Held m_held;
    uint32_t m_from = 0;
    uint32_t m_to = 0;
    double m_rate = 1.0;
    std::vector<std::pair<double, double>> m_walk;  // random: (frame, azimuth) corners
};

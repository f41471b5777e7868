#include "trajectory/TrajectoryGenerator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

namespace {

// The path is checked a little inside the tolerance: between the frames a segment is
// sampled at, it may stray a little further.
constexpr double kInnerTolerance = 0.9;
constexpr uint32_t kSamplesPerSegment = 64;
constexpr size_t kMaxWalkCorners = 16 * TrajectoryGenerator::kMaxPoints;
constexpr long long kMinDistanceCm = 10;
constexpr long long kMaxDistanceCm = 10000;

struct ShapeName {
    const char* name;
    TrajectoryGenerator::Shape shape;
};
constexpr ShapeName kShapes[] = {{"sweep", TrajectoryGenerator::Shape::Sweep},
                                 {"pendulum", TrajectoryGenerator::Shape::Pendulum},
                                 {"orbit", TrajectoryGenerator::Shape::Orbit},
                                 {"spiral", TrajectoryGenerator::Shape::Spiral},
                                 {"random", TrajectoryGenerator::Shape::Random}};

std::string Trim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    return text.substr(first, last - first);
}

std::optional<double> ReadNumber(const std::string& key, const std::string& text) {
    if (key == "direction") {
        if (text == "right") {
            return 1.0;
        }
        if (text == "left") {
            return -1.0;
        }
        return std::nullopt;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string Number(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

}  // namespace

std::vector<std::string> TrajectoryGenerator::ShapeNames() {
    std::vector<std::string> names;
    for (const ShapeName& entry : kShapes) {
        names.emplace_back(entry.name);
    }
    return names;
}

std::vector<TrajectoryGenerator::Key> TrajectoryGenerator::KeysOf(Shape shape) {
    const Key elevation{"elevation", 0, -90, 90};
    const Key distance{"distance", 1, 0.1, 100};
    const Key period{"period", 4, 0.001, 86400};
    const Key direction{"direction", 1, -1, 1};
    switch (shape) {
        case Shape::Sweep:
            return {{"start", -90, -180, 180}, {"end", 90, -180, 180}, elevation, distance};
        case Shape::Pendulum:
            return {{"start", -45, -180, 180},
                    {"end", 45, -180, 180},
                    {"period", 2, 0.001, 86400},
                    elevation,
                    distance};
        case Shape::Orbit:
            return {period, direction, {"start", 0, -180, 180}, elevation, distance};
        case Shape::Spiral:
            return {period,
                    direction,
                    {"start", 0, -180, 180},
                    {"el-start", 0, -90, 90},
                    {"el-end", 45, -90, 90},
                    distance};
        case Shape::Random:
            return {{"seed", 1, 0, 4294967295.0},
                    {"min", -90, -180, 180},
                    {"max", 90, -180, 180},
                    {"speed", 45, 0.01, 100000},
                    elevation,
                    distance};
    }
    return {};
}

std::optional<TrajectoryGenerator> TrajectoryGenerator::Parse(const std::string& text,
                                                              uint32_t frameCount,
                                                              uint32_t sampleRate,
                                                              std::string& error) {
    TrajectoryGenerator generator;
    const size_t colon = text.find(':');
    const std::string name = Trim(text.substr(0, colon));
    const auto found = std::find_if(std::begin(kShapes), std::end(kShapes),
                                    [&](const ShapeName& entry) { return name == entry.name; });
    if (found == std::end(kShapes)) {
        error = "unknown shape '" + name + "' (sweep, pendulum, orbit, spiral or random)";
        return std::nullopt;
    }
    generator.m_shape = found->shape;
    const std::vector<Key> keys = KeysOf(generator.m_shape);
    for (const Key& key : keys) {
        generator.m_values[key.name] = key.value;
    }
    generator.m_rate = std::max<uint32_t>(sampleRate, 1);
    double from = 0;
    double to = frameCount;
    std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    while (!Trim(rest).empty()) {
        const size_t comma = rest.find(',');
        const std::string item = Trim(rest.substr(0, comma));
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        const size_t equals = item.find('=');
        const std::string key = Trim(item.substr(0, equals));
        const std::string valueText =
            equals == std::string::npos ? "" : Trim(item.substr(equals + 1));
        const bool bFrames = key == "from" || key == "to";
        const auto known = std::find_if(keys.begin(), keys.end(),
                                        [&](const Key& entry) { return entry.name == key; });
        if (!bFrames && known == keys.end()) {
            error = "unknown key '" + key + "' for " + name;
            return std::nullopt;
        }
        const std::optional<double> value = ReadNumber(key, valueText);
        if (!value) {
            error = "key '" + key + "' needs a " +
                    std::string(key == "direction" ? "direction (right or left)" : "number") +
                    ", not '" + valueText + "'";
            return std::nullopt;
        }
        const double lo = bFrames ? 0.0 : known->min;
        const double hi = bFrames ? static_cast<double>(frameCount) : known->max;
        if (*value < lo || *value > hi || (bFrames && *value != std::floor(*value))) {
            error = "key '" + key + "' is out of range (" + Number(lo) + " .. " + Number(hi) +
                    "): " + valueText;
            return std::nullopt;
        }
        if (key == "from") {
            from = *value;
        } else if (key == "to") {
            to = *value;
        } else {
            generator.m_values[key] = *value;
        }
    }
    if (from >= to) {
        error = "key 'from' must lie before 'to' (" + Number(from) + " .. " + Number(to) + ")";
        return std::nullopt;
    }
    generator.m_from = static_cast<uint32_t>(from);
    generator.m_to = static_cast<uint32_t>(to);
    const auto value = [&generator](const char* key) { return generator.Value(key); };
    generator.m_held = {value("distance"), value("elevation"), value("start"),    value("end"),
                        value("period"),   value("direction"), value("el-start"), value("el-end")};
    if (generator.m_shape == Shape::Random) {
        generator.MakeWalk();
    }
    return generator;
}

double TrajectoryGenerator::Value(const std::string& key) const {
    const auto it = m_values.find(key);
    return it == m_values.end() ? 0.0 : it->second;
}

void TrajectoryGenerator::MakeWalk() {
    const double lo = std::min(Value("min"), Value("max"));
    const double hi = std::max(Value("min"), Value("max"));
    // The generator's own numbers, not a distribution's, so a seed walks the same everywhere.
    std::mt19937 random(static_cast<uint32_t>(Value("seed")));
    const auto next = [&] { return lo + (hi - lo) * (random() / 4294967296.0); };
    double frame = m_from;
    double az = next();
    m_walk.assign(1, {frame, az});
    const double framesPerDegree = m_rate / Value("speed");
    while (frame < m_to) {
        const double target = next();
        frame += std::max(std::abs(target - az) * framesPerDegree, 1.0);
        az = target;
        m_walk.emplace_back(frame, az);
        // Past this many corners the search for points would take minutes: refused.
        if (m_walk.size() > kMaxWalkCorners) {
            return;
        }
    }
}

SoundPlace TrajectoryGenerator::IdealAt(double frame) const {
    const double seconds = (frame - m_from) / m_rate;
    const double fraction = (frame - m_from) / (static_cast<double>(m_to) - m_from);
    SoundPlace place;
    place.distanceCm = m_held.distance * 100.0;
    place.elevation = m_held.elevation;
    switch (m_shape) {
        case Shape::Sweep:
            place.azimuth = m_held.start + (m_held.end - m_held.start) * fraction;
            break;
        case Shape::Pendulum: {
            const double middle = (m_held.start + m_held.end) / 2.0;
            const double half = (m_held.end - m_held.start) / 2.0;
            place.azimuth =
                middle - half * std::cos(2.0 * std::numbers::pi * seconds / m_held.period);
            break;
        }
        case Shape::Spiral:
            place.elevation = m_held.elStart + (m_held.elEnd - m_held.elStart) * fraction;
            [[fallthrough]];
        case Shape::Orbit:
            place.azimuth = m_held.start + m_held.direction * 360.0 * seconds / m_held.period;
            break;
        case Shape::Random: {
            const auto after = std::upper_bound(
                m_walk.begin(), m_walk.end(), frame,
                [](double f, const std::pair<double, double>& corner) { return f < corner.first; });
            if (after == m_walk.begin()) {
                place.azimuth = m_walk.front().second;
            } else if (after == m_walk.end()) {
                place.azimuth = m_walk.back().second;
            } else {
                const auto before = after - 1;
                const double t = (frame - before->first) / (after->first - before->first);
                place.azimuth = before->second + (after->second - before->second) * t;
            }
            break;
        }
    }
    return place;
}

double TrajectoryGenerator::AngleBetween(const SoundPlace& a, const SoundPlace& b) {
    const auto vector = [](const SoundPlace& p) {
        const double az = Radians(p.azimuth);
        const double el = Radians(p.elevation);
        return std::array<double, 3>{std::cos(el) * std::sin(az), std::sin(el),
                                     std::cos(el) * std::cos(az)};
    };
    const auto va = vector(a);
    const auto vb = vector(b);
    // The chord keeps small angles exact, where the arc cosine of a dot product would not.
    const double chord = std::hypot(va[0] - vb[0], va[1] - vb[1], va[2] - vb[2]);
    return 2.0 * std::asin(std::min(chord / 2.0, 1.0)) * 180.0 / std::numbers::pi;
}

PanPoint TrajectoryGenerator::PointAt(uint32_t frame, const SoundPlace& place) {
    PanPoint point;
    point.position = frame;
    SetAzimuth(point, std::llround(place.azimuth));
    point.elevation = static_cast<int32_t>(
        std::clamp<long long>(std::llround(place.elevation), -kMaxElevation, kMaxElevation));
    point.distanceCm = static_cast<uint32_t>(
        std::clamp<long long>(std::llround(place.distanceCm), kMinDistanceCm, kMaxDistanceCm));
    return point;
}

bool TrajectoryGenerator::SegmentHolds(const PanPoint& a, const PanPoint& b) const {
    // Under a quarter turn, so every renderer and every later edit goes the same way round:
    // near half a turn the shorter way flips with a degree's nudge.
    if (AngleBetween(InterpolatePlace(a, a, 0.0), InterpolatePlace(b, b, 0.0)) >= kMaxSegment) {
        return false;
    }
    const uint64_t length = b.position - a.position;
    const PlaceSegment segment(a, b);
    const auto holdsAt = [&](uint64_t frame) {
        const double t = static_cast<double>(frame - a.position) / static_cast<double>(length);
        return AngleBetween(segment.At(t), IdealAt(static_cast<double>(frame))) <= kInnerTolerance;
    };
    // A walk's corners are where its path strays most: looked at first, a segment too long
    // fails there before its evenly spaced frames are.
    const auto first = std::upper_bound(
        m_walk.begin(), m_walk.end(), static_cast<double>(a.position),
        [](double f, const std::pair<double, double>& corner) { return f < corner.first; });
    for (auto it = first; it != m_walk.end() && it->first < b.position; ++it) {
        if (!holdsAt(static_cast<uint64_t>(it->first)) ||
            !holdsAt(static_cast<uint64_t>(std::ceil(it->first)))) {
            return false;
        }
    }
    const uint64_t samples = std::min<uint64_t>(length, kSamplesPerSegment);
    for (uint64_t k = 1; k < samples; ++k) {
        if (!holdsAt(a.position + length * k / samples)) {
            return false;
        }
    }
    return true;
}

bool TrajectoryGenerator::Generate(std::vector<PanPoint>& points, std::string& error) const {
    points.clear();
    // A turn needs four segments at least (each turns through less than a quarter), a swing
    // two: a shape far past the limit is refused before any search.
    const double periods = (static_cast<double>(m_to) - m_from) / m_rate / Value("period");
    const double least = m_shape == Shape::Orbit || m_shape == Shape::Spiral ? periods * 4
                         : m_shape == Shape::Pendulum                        ? periods * 2
                                                                             : 0.0;
    if (least > kMaxPoints || m_walk.size() > kMaxWalkCorners) {
        error = "the shape needs more than " + std::to_string(kMaxPoints) +
                " points; make it slower or its span shorter";
        return false;
    }
    const auto pointAt = [&](uint32_t frame) { return PointAt(frame, IdealAt(frame)); };
    PanPoint from = pointAt(m_from);
    points.push_back(from);
    // No segment spans half a period: sampled, a longer one could see the same phase at
    // every sample and pass while the shape swings between them.
    const bool bPeriodic = m_shape != Shape::Sweep && m_shape != Shape::Random;
    const uint32_t longest =
        bPeriodic ? static_cast<uint32_t>(std::clamp(Value("period") * m_rate / 2.0, 1.0,
                                                     static_cast<double>(m_to - m_from)))
                  : m_to - m_from;
    while (from.position < m_to) {
        const uint32_t remaining = std::min(m_to - from.position, longest);
        const auto holds = [&](uint32_t length) {
            return SegmentHolds(from, pointAt(from.position + length));
        };
        uint32_t good = 1;  // two neighbouring frames are the points themselves
        uint32_t bad = remaining;
        if (holds(remaining)) {
            good = remaining;
        } else {
            while (static_cast<uint64_t>(good) * 2 < bad && holds(good * 2)) {
                good *= 2;
            }
            bad = std::min<uint64_t>(bad, static_cast<uint64_t>(good) * 2);
            // Close enough to the longest segment: a frame more or less saves no point.
            while (bad - good > std::max<uint32_t>(1, good / 256)) {
                const uint32_t middle = good + (bad - good) / 2;
                (holds(middle) ? good : bad) = middle;
            }
        }
        from = pointAt(from.position + good);
        points.push_back(from);
        if (points.size() > kMaxPoints) {
            error = "the shape needs more than " + std::to_string(kMaxPoints) +
                    " points; make it slower or its span shorter";
            points.clear();
            return false;
        }
    }
    return true;
}

#include "scene/RoomPaths.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "platform/DistanceLaw.h"
#include "scene/TravelKernels.h"
#include "trajectory/PanPointList.h"

namespace {

constexpr double kSpeedOfSound = 343.0;
constexpr double kRadians = std::numbers::pi / 180.0;

double Length(const std::array<double, 3>& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The distance law's gain for a path of metres (at most +12 dB, as for the direct sound).
double LawGain(double metres) {
    return DistanceGain(static_cast<uint32_t>(
        std::lround(std::clamp(metres * 100.0, double{kNearestDistanceCm}, 1.0e9))));
}

}  // namespace

RoomPaths::RoomPaths(const Room& room, const PanPointList& points, uint32_t rate,
                     const Listener& listener, bool bDelayed)
    : m_room(room),
      m_rate(std::max<uint32_t>(rate, 1)),
      m_listener(listener),
      m_bDelayed(bDelayed),
      m_images(room, room.reflections),
      m_places{PlaceCursor(points), PlaceCursor(points)},
      m_arrived{PlaceCursor(points), PlaceCursor(points)} {
    // The farthest a source can be from the listener bounds every image's path.
    double farthest = 1.0;
    for (const PanPoint& point : points.Values()) {
        farthest = std::max(farthest, point.distanceCm / 100.0);
    }
    const double reach =
        std::sqrt(room.width * room.width + room.depth * room.depth + room.height * room.height);
    const std::array<double, 3> size{room.width, room.depth, room.height};
    const double framesPerMetre = m_rate / kSpeedOfSound;
    for (const ImageSources::Image& image : m_images.Images()) {
        if (image.order == 0) {
            continue;  // the direct sound is the stage's own
        }
        double bound = reach;
        for (size_t axis = 0; axis < 3; ++axis) {
            bound += std::abs(image.index[axis]) * size[axis];
        }
        m_longest = std::max(m_longest, (bound + farthest) * framesPerMetre);
        Path path;
        path.image = image;
        const size_t k = m_paths.size();
        path.timing = std::make_unique<PathTiming>(
            m_rate, m_longest,
            [this, k, framesPerMetre](int64_t frame) {
                return PathMetres(k, frame) * framesPerMetre;
            },
            kGridFrames);
        m_paths.push_back(std::move(path));
    }
    // The images' places as the kernel that measures every path at once takes them.
    const size_t paths = m_paths.size();
    m_shift.assign(3 * paths, 0.0);
    m_mirrored.assign(3 * paths, 0.0);
    for (size_t k = 0; k < paths; ++k) {
        for (size_t axis = 0; axis < 3; ++axis) {
            const int n = m_paths[k].image.index[axis];
            m_shift[axis * paths + k] = n * size[axis];
            m_mirrored[axis * paths + k] = n % 2 == 0 ? 0.0 : -1.0;
        }
    }
    if (room.bTail) {
        // The tail takes over where the next order's images would arrive, for the source's
        // first place.
        const ImageSources next(room, room.reflections + 1);
        const std::array<double, 3> source = SourceAt(0);
        double onset = std::numeric_limits<double>::max();
        for (const ImageSources::Image& image : next.Images()) {
            if (image.order == room.reflections + 1) {
                std::array<double, 3> v = next.PositionOf(image, source);
                v[0] -= room.listenerX;
                v[1] -= room.listenerY;
                v[2] -= room.listenerZ;
                onset = std::min(onset, Length(v));
            }
        }
        std::array<double, 3> direct = source;
        direct[0] -= room.listenerX;
        direct[1] -= room.listenerY;
        direct[2] -= room.listenerZ;
        const double seconds = (onset - (bDelayed ? 0.0 : Length(direct))) / kSpeedOfSound;
        m_pTail = std::make_unique<LateTail>(room, m_rate, std::max(seconds, 0.0));
    }
}

RoomPaths::~RoomPaths() = default;

void RoomPaths::Invalidate() {
    for (PlaceCursor& cursor : m_places) {
        cursor.Invalidate();
    }
    for (PlaceCursor& cursor : m_arrived) {
        cursor.Invalidate();
    }
    m_grid.clear();
    m_gridMetres.clear();
    m_gridFirst = 0;
    m_gridCount = 0;
    m_upFrames = 0;
}

std::array<double, 3> RoomPaths::PositionOf(const SoundPlace& place) const {
    const double az = place.azimuth * kRadians;
    const double el = place.elevation * kRadians;
    const double d = place.distanceCm / 100.0;
    return {m_room.listenerX + d * std::sin(az) * std::cos(el),
            m_room.listenerY + d * std::cos(az) * std::cos(el),
            m_room.listenerZ + d * std::sin(el)};
}

std::array<double, 3> RoomPaths::SourceAt(int64_t frame) {
    if (frame % kGridFrames != 0) {
        return PositionOf(
            m_places[0].At(static_cast<uint32_t>(std::clamp<int64_t>(frame, 0, UINT32_MAX))));
    }
    // Every path asks for the same frames of the emission grid, a few at a time each; Prepare
    // made those HearPaths asks for, so that paths may be heard at once.
    const int64_t j = frame / kGridFrames;
    if (!GridHolds(j)) {
        FillGrid(j, j);
    }
    return m_grid[GridAt(j)];
}

void RoomPaths::FillGrid(int64_t j0, int64_t j1, const Parts& parts) {
    if (m_gridCount == 0 || j0 < m_gridBase ||
        j0 >= m_gridBase + 4096 + static_cast<int64_t>(m_gridCount)) {
        m_gridFirst = 0;
        m_gridCount = 0;
        m_gridBase = j0;
    }
    const int64_t end = m_gridBase + static_cast<int64_t>(m_gridCount);
    if (end > j1) {
        return;
    }
    // What lies well behind what is asked for goes: a run's gains ask for its start, up to a
    // run before the block, and SourceNear for what a path heard then.
    const int64_t keep = std::max(m_gridBase, j0 - 64);
    if (keep >= end) {
        m_gridFirst = 0;
        m_gridCount = 0;
    } else {
        m_gridFirst += static_cast<size_t>(keep - m_gridBase);
        m_gridCount -= static_cast<size_t>(keep - m_gridBase);
    }
    m_gridBase = keep;
    const size_t paths = m_paths.size();
    if (m_gridFirst > m_gridCount) {
        // Frames let go are moved out once they outgrow the ones kept.
        m_grid.erase(m_grid.begin(), m_grid.begin() + static_cast<ptrdiff_t>(m_gridFirst));
        m_gridMetres.erase(m_gridMetres.begin(),
                           m_gridMetres.begin() + static_cast<ptrdiff_t>(m_gridFirst * paths));
        m_gridFirst = 0;
    }
    const int64_t from = m_gridBase + static_cast<int64_t>(m_gridCount);
    const auto n = static_cast<size_t>(j1 + 1 - from);
    m_grid.resize(m_gridFirst + m_gridCount + n);
    m_gridMetres.resize(m_grid.size() * paths);
    m_gridCount += n;
    const double size[] = {m_room.width, m_room.depth, m_room.height};
    const double listener[] = {m_room.listenerX, m_room.listenerY, m_room.listenerZ};
    // Each frame's source place and every path's length then, all at once; a frame's numbers
    // depend on the frame alone, so either part may make it.
    const auto fill = [&](int part) {
        const size_t begin = part == 0 ? 0 : n / 2;
        const size_t stop = part == 0 ? n / 2 : n;
        for (size_t i = begin; i < stop; ++i) {
            const int64_t j = from + static_cast<int64_t>(i);
            const auto s =
                static_cast<uint32_t>(std::clamp<int64_t>(j * kGridFrames, 0, UINT32_MAX));
            std::array<double, 3>& source = m_grid[GridAt(j)];
            source = PositionOf(m_places[part].At(s));
            TravelKernels::PathLengths(m_shift.data(), m_mirrored.data(), paths, size,
                                       source.data(), listener, ShorterBy(source), paths,
                                       m_gridMetres.data() + GridAt(j) * paths);
        }
    };
    if (parts && n >= 64) {
        parts(fill);
    } else {
        fill(0);
        fill(1);
    }
}

double RoomPaths::ShorterBy(const std::array<double, 3>& source) const {
    return m_bDelayed ? 0.0
                      : Length({source[0] - m_room.listenerX, source[1] - m_room.listenerY,
                                source[2] - m_room.listenerZ});
}

double RoomPaths::MetresFrom(size_t k, const std::array<double, 3>& source, double shorter) const {
    std::array<double, 3> v = m_images.PositionOf(m_paths[k].image, source);
    v[0] -= m_room.listenerX;
    v[1] -= m_room.listenerY;
    v[2] -= m_room.listenerZ;
    return Length(v) - shorter;
}

double RoomPaths::PathMetres(size_t k, int64_t frame) {
    if (frame % kGridFrames != 0) {
        const std::array<double, 3> source = SourceAt(frame);
        return MetresFrom(k, source, ShorterBy(source));
    }
    // Every path asks for the same frames of the emission grid, a few at a time each; Prepare
    // made those HearPath asks for, so that paths may be heard at once.
    const int64_t j = frame / kGridFrames;
    if (!GridHolds(j)) {
        FillGrid(j, j);
    }
    return m_gridMetres[GridAt(j) * m_paths.size() + k];
}

Arrival RoomPaths::ArrivalOf(const ImageSources::Image& image,
                             const std::array<double, 3>& source) const {
    std::array<double, 3> v = m_images.PositionOf(image, source);
    v[0] -= m_room.listenerX;
    v[1] -= m_room.listenerY;
    v[2] -= m_room.listenerZ;
    const double metres = Length(v);
    Arrival arrival;
    Heading heading;
    if (metres > 0.0) {
        heading.azimuth = std::atan2(v[0], v[1]) / kRadians;
        heading.elevation = std::asin(std::clamp(v[2] / metres, -1.0, 1.0)) / kRadians;
    }
    heading = m_listener.Hears(heading);
    arrival.azimuth = heading.azimuth;
    arrival.elevation = heading.elevation;
    arrival.distanceCm = metres * 100.0;
    arrival.gain = image.damping * LawGain(metres);
    return arrival;
}

double RoomPaths::LargestGain() const {
    double largest = 0.0;
    for (const Path& path : m_paths) {
        largest += path.image.damping;
    }
    // Every reflection's path is at least as long as the distance to the nearest wall's image,
    // so its law is at most the closest the listener stands to a wall can give.
    const double nearest = 2.0 * std::min({m_room.listenerX, m_room.width - m_room.listenerX,
                                           m_room.listenerY, m_room.depth - m_room.listenerY,
                                           m_room.listenerZ, m_room.height - m_room.listenerZ});
    return largest * LawGain(std::max(nearest, 0.25));
}

std::array<double, 3> RoomPaths::SourceNear(double place, int lane) {
    const double at = std::clamp(place, 0.0, double{UINT32_MAX});
    const double edges = at / kGridFrames;
    const double whole = std::floor(edges);
    const auto j = static_cast<int64_t>(whole);
    // Only read: two lanes may ask at once.
    if (GridHolds(j) && GridHolds(j + 1)) {
        const std::array<double, 3>& a = m_grid[GridAt(j)];
        const std::array<double, 3>& b = m_grid[GridAt(j + 1)];
        const double w = edges - whole;
        return {a[0] + (b[0] - a[0]) * w, a[1] + (b[1] - a[1]) * w, a[2] + (b[2] - a[2]) * w};
    }
    return PositionOf(m_arrived[lane == 0 ? 0 : 1].At(static_cast<uint32_t>(at)));
}

Arrival RoomPaths::At(uint64_t heard, size_t k, int lane) {
    Path& path = m_paths[k];
    PathTiming::Emission emission;
    path.timing->Emissions(static_cast<int64_t>(std::min<uint64_t>(heard, INT64_MAX)), 1,
                           &emission);
    return ArrivalOf(path.image, SourceNear(emission.place, lane));
}

double RoomPaths::DirectionAt(uint64_t heard, size_t k, int lane, double* unit) {
    Path& path = m_paths[k];
    PathTiming::Emission emission;
    path.timing->Emissions(static_cast<int64_t>(std::min<uint64_t>(heard, INT64_MAX)), 1,
                           &emission);
    const HeadTurn head = m_listener.HeadNow();
    if (!head.IsStraight()) {
        // The head's turn works on angles.
        const Arrival arrival = ArrivalOf(path.image, SourceNear(emission.place, lane));
        const double az = -arrival.azimuth * kRadians;
        const double el = arrival.elevation * kRadians;
        unit[0] = std::cos(az) * std::cos(el);
        unit[1] = std::sin(az) * std::cos(el);
        unit[2] = std::sin(el);
        return arrival.gain;
    }
    std::array<double, 3> v = m_images.PositionOf(path.image, SourceNear(emission.place, lane));
    v[0] -= m_room.listenerX;
    v[1] -= m_room.listenerY;
    v[2] -= m_room.listenerZ;
    const double metres = Length(v);
    if (metres > 0.0) {
        unit[0] = v[1] / metres;
        unit[1] = -v[0] / metres;
        unit[2] = v[2] / metres;
    } else {
        unit[0] = 1.0;
        unit[1] = 0.0;
        unit[2] = 0.0;
    }
    return path.image.damping * LawGain(metres);
}

void RoomPaths::Prepare(const MonoReader& read, uint64_t first, uint32_t count, uint32_t beyond,
                        const Parts& parts) {
    if (m_paths.empty() || count == 0) {
        return;
    }
    // What every path may read of these frames: from the longest delay back to the present.
    const int64_t need =
        static_cast<int64_t>(first) - static_cast<int64_t>(std::ceil(m_longest)) - 2;
    const int64_t end = static_cast<int64_t>(first + count) + 2;
    if (m_upFrames == 0 || need < m_upFirst || need >= m_upFirst + m_upFrames) {
        m_upStart = 0;
        m_upFirst = need;
        m_upFrames = 0;
    } else if (need > m_upFirst) {
        // Frames behind are let go, and moved out once they outgrow the ones kept.
        const int64_t drop = need - m_upFirst;
        m_upStart += static_cast<size_t>(drop) * 8;
        m_upFirst = need;
        m_upFrames -= drop;
        if (m_upStart > static_cast<size_t>(m_upFrames) * 8) {
            const auto kept = m_up.begin() + static_cast<ptrdiff_t>(m_upStart);
            std::copy(kept, kept + m_upFrames * 8, m_up.begin());
            m_upStart = 0;
        }
    }
    if (m_upFirst + m_upFrames < end) {
        // The new frames, each from its own 16 frames of the source about it.
        const int64_t from = m_upFirst + m_upFrames;
        const auto n = static_cast<uint32_t>(end - from);
        m_source.resize(size_t{n} + 15);
        read(from - 7, n + 15, m_source.data());
        // Only grown, never cleared: every float past the frames held is written before read.
        const size_t size = m_upStart + static_cast<size_t>(m_upFrames + n) * 8;
        if (m_up.size() < size) {
            m_up.resize(size);
        }
        float* to = m_up.data() + m_upStart + static_cast<size_t>(m_upFrames) * 8;
        // Each frame's eighths from its own frames alone: two parts make the same floats.
        const auto eighths = [&](int part) {
            const uint32_t begin = part == 0 ? 0 : n / 2;
            const uint32_t stop = part == 0 ? n / 2 : n;
            TravelKernels::Eighths(m_source.data() + begin, stop - begin, to + size_t{begin} * 8);
        };
        if (parts && n >= 1024) {
            parts(eighths);
        } else {
            eighths(0);
            eighths(1);
        }
        m_upFrames += n;
    }
    // Every grid frame a path's timing may ask for these frames: from the longest delay and a
    // jump's fade before them, to a few edges past them.
    const double fade = std::max(1.0, std::round(PathTiming::kFadeSeconds * m_rate));
    const auto edges = static_cast<double>(kGridFrames);
    const auto j0 = static_cast<int64_t>(
        std::floor((static_cast<double>(first) - fade - m_longest) / edges) - 4);
    const auto j1 = static_cast<int64_t>(first + count + beyond) / kGridFrames + 4;
    FillGrid(j0, j1, parts);
}

void RoomPaths::HearPath(size_t k, uint64_t from, uint32_t n, int lane, float* out) {
    if (n == 0) {
        return;
    }
    const float* up = m_up.data() + m_upStart;
    const auto count = m_upFrames * 8;
    const auto origin = static_cast<double>(m_upFirst);
    Lane& scratch = m_lanes[lane == 0 ? 0 : 1];
    scratch.positions.resize(n);
    m_paths[k].timing->Positions(static_cast<int64_t>(from), n, scratch.positions.data(),
                                 scratch.fades);
    // Beyond what any path can reach reads silence: only a jump's far side goes there.
    TravelKernels::ReadEighths(up, count, origin, scratch.positions.data(), n, out);
    for (const PathTiming::Fade& fade : scratch.fades) {
        float fading = 0.0f;
        TravelKernels::ReadEighths(up, count, origin, &fade.fading, 1, &fading);
        out[fade.frame] = fade.share * out[fade.frame] + (1.0f - fade.share) * fading;
    }
}

void RoomPaths::HearTail(const MonoReader& read, uint64_t first, uint32_t count, int outputs,
                         float* out) {
    m_pTail->Render(read, first, count, outputs, out);
}

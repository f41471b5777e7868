#include "scene/Propagation.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "platform/DistanceLaw.h"
#include "scene/DelayInterpolator.h"
#include "scene/LateTail.h"
#include "scene/TravelKernels.h"
#include "trajectory/PanPointList.h"

namespace {

uint32_t Frame32(uint64_t frame) {
    return static_cast<uint32_t>(std::min<uint64_t>(frame, UINT32_MAX));
}

// A source frame of a position, held within the frames a trajectory has.
uint32_t Frame32(double position) {
    return static_cast<uint32_t>(std::clamp(position, 0.0, double{UINT32_MAX}));
}

// Dry and heard straight ahead: a frontal path stays frontal. A turned head can hear it from
// anywhere.
bool IsPlain(const SceneSpace& space) {
    return space.acoustics.IsDry() && !space.listener.pMoving && space.listener.head.IsStraight();
}

}  // namespace

Propagation::Propagation(const PanPointList& points, uint32_t sourceFrames, const Setup& setup)
    : m_points(points),
      m_sourceFrames(sourceFrames),
      m_rate(std::max<uint32_t>(setup.rate, 1)),
      m_listener(setup.space.listener),
      m_acoustics(setup.space.acoustics),
      m_cursor(points, sourceFrames,
               IsPlain(setup.space) ? setup.mode : TrajectoryCursor::Mode::AllAround),
      m_emitted(points),
      m_timed(points),
      m_heardFrames(sourceFrames) {
    for (const PanPoint& point : points.Values()) {
        m_longestCm = std::max(m_longestCm, static_cast<double>(point.distanceCm));
    }
    if (m_acoustics.bAir) {
        m_pAir = std::make_unique<AirAbsorption>(m_rate);
    }
    if (m_acoustics.bDoppler) {
        const double framesPerCm = m_rate / (kSpeedOfSound * 100.0);
        m_pTiming = std::make_unique<PathTiming>(
            m_rate, m_longestCm * framesPerCm,
            [this, framesPerCm](int64_t frame) { return PathCm(frame, m_timed) * framesPerCm; });
        m_heardFrames = uint64_t{sourceFrames} +
                        static_cast<uint64_t>(std::ceil(m_pTiming->DelayAt(sourceFrames)));
    }
    if (const std::optional<Room>& room = m_acoustics.room) {
        m_pRoom =
            std::make_unique<RoomPaths>(*room, points, m_rate, m_listener, m_acoustics.bDoppler);
        // The reflections still on their way when the sound ends, and the tail's fall to
        // -60 dB, are heard too.
        double after = m_pRoom->LongestDelay();
        if (m_pRoom->HasTail()) {
            after += LateTail::EyringSeconds(*room) * m_rate;
        }
        m_heardFrames = std::max(m_heardFrames,
                                 uint64_t{sourceFrames} + static_cast<uint64_t>(std::ceil(after)));
    }
}

Propagation::~Propagation() = default;

double Propagation::LargestGain() const {
    // Distance moves in a straight line between points, so 1/d peaks at a point.
    double largest = DistanceGain(kDefaultDistanceCm);
    for (const PanPoint& point : m_points.Values()) {
        largest = std::max(largest, DistanceGain(point.distanceCm));
    }
    if (m_pTiming) {
        largest *= DelayInterpolator::Shared().LargestSum();
    }
    if (m_pAir) {
        largest *= m_pAir->LargestSum(m_longestCm / 100.0);
    }
    if (m_pRoom) {
        largest += m_pRoom->LargestGain() * DelayInterpolator::Shared().LargestSum();
    }
    return largest;
}

bool Propagation::HasPoints() const {
    return !m_points.IsEmpty();
}

void Propagation::SetMode(TrajectoryCursor::Mode mode) {
    if (IsPlain({m_listener, m_acoustics})) {
        m_cursor.SetMode(mode);
    }
}

void Propagation::Invalidate() {
    m_cursor.Invalidate();
    m_emitted.Invalidate();
    m_timed.Invalidate();
    if (m_pRoom) {
        m_pRoom->Invalidate();
    }
}

size_t Propagation::Reflections() const {
    return m_pRoom ? m_pRoom->Count() : 0;
}

Arrival Propagation::ReflectionAt(uint64_t heard, size_t k, int lane) {
    return m_pRoom->At(heard, k, lane);
}

double Propagation::ReflectionToward(uint64_t heard, size_t k, int lane, double* unit) {
    return m_pRoom->DirectionAt(heard, k, lane, unit);
}

bool Propagation::HasTail() const {
    return m_pRoom && m_pRoom->HasTail();
}

void Propagation::ReadMono(const Reader& read, int channels, int64_t first, uint32_t count,
                           float* out) {
    std::fill(out, out + count, 0.0f);
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min<int64_t>(first + count, m_sourceFrames);
    if (from >= to) {
        return;
    }
    const auto n = static_cast<uint32_t>(to - from);
    float* at = out + (from - first);
    if (channels <= 1) {
        read(static_cast<uint32_t>(from), n, at);
        return;
    }
    m_monoScratch.resize(size_t{n} * static_cast<size_t>(channels));
    read(static_cast<uint32_t>(from), n, m_monoScratch.data());
    for (uint32_t i = 0; i < n; ++i) {
        at[i] = (m_monoScratch[size_t{i} * 2] + m_monoScratch[size_t{i} * 2 + 1]) * 0.5f;
    }
}

void Propagation::PrepareReflections(const Reader& read, int channels, uint64_t first,
                                     uint32_t count, uint32_t beyond,
                                     const RoomPaths::Parts& parts) {
    if (m_pRoom) {
        m_pRoom->Prepare(
            [&](int64_t from, uint32_t n, float* to) { ReadMono(read, channels, from, n, to); },
            first, count, beyond, parts);
    }
}

bool Propagation::ReflectionsEnded(uint64_t first) const {
    // A path reads the sound at most its longest delay back, between eighths made from up to
    // eight frames either side.
    return m_pRoom != nullptr &&
           static_cast<double>(first) >
               static_cast<double>(m_sourceFrames) + std::ceil(m_pRoom->LongestDelay()) + 16.0;
}

void Propagation::HearReflection(size_t k, uint64_t from, uint32_t count, int lane, float* out) {
    m_pRoom->HearPath(k, from, count, lane, out);
}

void Propagation::HearTail(const Reader& read, int channels, uint64_t first, uint32_t count,
                           int outputs, float* out) {
    m_pRoom->HearTail(
        [&](int64_t from, uint32_t n, float* to) { ReadMono(read, channels, from, n, to); }, first,
        count, outputs, out);
}

Arrival Propagation::ArrivalOf(const SoundPlace& place) const {
    Arrival arrival;
    const Heading heard = m_listener.Hears({place.azimuth, place.elevation});
    arrival.azimuth = heard.azimuth;
    arrival.elevation = heard.elevation;
    arrival.width = place.width;
    arrival.distanceCm = place.distanceCm;
    const double cm = std::isfinite(place.distanceCm) ? place.distanceCm : kDefaultDistanceCm;
    arrival.gain = DistanceGain(static_cast<uint32_t>(
        std::lround(std::clamp(cm, double{kNearestDistanceCm}, double{kFarthestDistanceCm}))));
    return arrival;
}

double Propagation::GainAt(double frame) {
    return ArrivalOf(m_emitted.At(Frame32(frame))).gain;
}

double Propagation::PathCm(double frame, PlaceCursor& cursor) {
    const double from = std::clamp(frame, 0.0, double{UINT32_MAX});
    const double whole = std::floor(from);
    const auto s = static_cast<uint32_t>(whole);
    const double here = cursor.DistanceCmAt(s);
    if (from == whole || s == UINT32_MAX) {
        return here;
    }
    return here + (cursor.DistanceCmAt(s + 1) - here) * (from - whole);
}

std::optional<Arrival> Propagation::At(uint64_t heard) {
    if (!HasPoints()) {
        return std::nullopt;
    }
    if (!m_pTiming) {
        return ArrivalOf(*m_cursor.At(Frame32(heard)));
    }
    PathTiming::Emission emission;
    m_pTiming->Emissions(static_cast<int64_t>(std::min<uint64_t>(heard, INT64_MAX)), 1, &emission);
    Arrival arrival = ArrivalOf(m_emitted.At(Frame32(emission.place)));
    if (emission.share < 1.0f) {
        // A jump fades: the sound is as loud as the two it fades between, shared.
        const double from = GainAt(emission.fadingPlace);
        arrival.gain = from + (arrival.gain - from) * emission.share;
    }
    return arrival;
}

std::optional<ArrivalRun> Propagation::Run(uint64_t heard, uint32_t maxFrames) {
    if (!m_pTiming) {
        const std::optional<PlaceRun> run = m_cursor.Run(Frame32(heard), maxFrames);
        if (!run) {
            return std::nullopt;
        }
        return ArrivalRun{run->first, run->end, ArrivalOf(run->start), ArrivalOf(run->finish)};
    }
    ArrivalRun run;
    run.first = heard;
    run.end = heard + std::max(maxFrames, 1u);
    const std::optional<Arrival> start = At(run.first);
    if (!start) {
        return std::nullopt;
    }
    run.start = *start;
    run.finish = *At(run.end);
    return run;
}

void Propagation::Hear(const Reader& read, int channels, uint64_t first, uint32_t count,
                       float* out) {
    if (IsDry()) {
        read(Frame32(first), count, out);
        return;
    }
    const auto ch = static_cast<size_t>(std::max(channels, 1));
    const int half = m_pAir ? AirAbsorption::kHalfTaps : 0;
    const int64_t start = static_cast<int64_t>(first) - half;
    const size_t extent = size_t{count} + 2 * static_cast<size_t>(half);

    // Where each heard frame's sound left.
    m_emissions.resize(extent);
    if (m_pTiming) {
        m_pTiming->Emissions(start, static_cast<uint32_t>(extent), m_emissions.data());
    } else {
        for (size_t i = 0; i < extent; ++i) {
            const auto frame = static_cast<double>(start + static_cast<int64_t>(i));
            m_emissions[i] = {frame, frame, 0.0, 0.0, 1.0f};
        }
    }
    // The source frames they need, and the interpolator's taps around them.
    const DelayInterpolator& interpolator = DelayInterpolator::Shared();
    // Two bounds side by side, so that no comparison waits on the one before.
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    double low2 = low;
    double high2 = high;
    bool bFading = false;
    size_t scanned = 0;
    for (; scanned + 2 <= extent; scanned += 2) {
        const PathTiming::Emission& e = m_emissions[scanned];
        const PathTiming::Emission& e2 = m_emissions[scanned + 1];
        low = std::min(low, e.position);
        high = std::max(high, e.position);
        low2 = std::min(low2, e2.position);
        high2 = std::max(high2, e2.position);
        bFading |= (e.share < 1.0f) | (e2.share < 1.0f);
    }
    if (scanned < extent) {
        low = std::min(low, m_emissions[scanned].position);
        high = std::max(high, m_emissions[scanned].position);
        bFading |= m_emissions[scanned].share < 1.0f;
    }
    low = std::min(low, low2);
    high = std::max(high, high2);
    if (bFading) {
        for (const PathTiming::Emission& e : m_emissions) {
            if (e.share < 1.0f) {
                low = std::min(low, e.fading);
                high = std::max(high, e.fading);
            }
        }
    }
    const int64_t windowFirst = static_cast<int64_t>(std::floor(low)) - interpolator.Before();
    const int64_t windowEnd = static_cast<int64_t>(std::floor(high)) + interpolator.After() + 1;
    const auto window = static_cast<size_t>(windowEnd - windowFirst);
    m_source.assign(window * ch, 0.0f);
    const int64_t insideFirst = std::max<int64_t>(windowFirst, 0);
    const int64_t insideEnd = std::min<int64_t>(windowEnd, m_sourceFrames);
    if (insideFirst < insideEnd) {
        read(static_cast<uint32_t>(insideFirst), static_cast<uint32_t>(insideEnd - insideFirst),
             m_source.data() + static_cast<size_t>(insideFirst - windowFirst) * ch);
    }
    // A channel after another; one channel is already so.
    const float* planar = m_source.data();
    if (ch > 1) {
        m_planar.resize(window * ch);
        for (size_t i = 0; i < window; ++i) {
            for (size_t c = 0; c < ch; ++c) {
                m_planar[c * window + i] = m_source[i * ch + c];
            }
        }
        planar = m_planar.data();
    }

    // The signal as it arrives, before the air.
    m_delayed.resize(extent * ch);
    for (size_t c = 0; c < ch; ++c) {
        const float* signal = planar + c * window;
        float* heard = m_delayed.data() + c * extent;
        if (!m_pTiming) {
            for (size_t i = 0; i < extent; ++i) {
                heard[i] = signal[static_cast<size_t>(
                    static_cast<int64_t>(m_emissions[i].position) - windowFirst)];
            }
            continue;
        }
        // Positions lie at or after windowFirst + Before(): past 0 from there.
        const auto origin = static_cast<double>(windowFirst);
        const auto tap = [&](double position) {
            float value = 0.0f;
            TravelKernels::ReadRun(interpolator, signal, static_cast<int64_t>(window), origin,
                                   -interpolator.Before(), &position, 1, 1, &value);
            return value;
        };
        const PathTiming::Emission* emissions = m_emissions.data();
        constexpr size_t kStride = sizeof(PathTiming::Emission) / sizeof(double);
        static_assert(sizeof(PathTiming::Emission) % sizeof(double) == 0);
        for (size_t i = 0; i < extent; ++i) {
            // A run of no fade at once: all of them, unless a jump fades here.
            size_t run = bFading ? 0 : extent;
            while (i + run < extent && emissions[i + run].share == 1.0f) {
                ++run;
            }
            if (run > 0) {
                TravelKernels::ReadRun(interpolator, signal, static_cast<int64_t>(window), origin,
                                       -interpolator.Before(), &emissions[i].position, kStride, run,
                                       heard + i);
                i += run - 1;
                continue;
            }
            const PathTiming::Emission& e = emissions[i];
            float value = tap(e.position);
            if (e.share < 1.0f) {
                // Each side at its own loudness within the shared gain the arrival gives.
                const double to = e.share * GainAt(e.place);
                const double from = (1.0 - e.share) * GainAt(e.fadingPlace);
                value = static_cast<float>((to * value + from * tap(e.fading)) / (to + from));
            }
            heard[i] = value;
        }
    }

    if (!m_pAir) {
        for (size_t i = 0; i < count; ++i) {
            for (size_t c = 0; c < ch; ++c) {
                out[i * ch + c] = m_delayed[c * extent + i];
            }
        }
        return;
    }
    // The air over each block of the grid, for the path the block's middle frame came by.
    for (uint64_t at = first; at < first + count;) {
        const uint64_t block = at / kAirBlockFrames;
        const uint64_t blockEnd = std::min<uint64_t>((block + 1) * kAirBlockFrames, first + count);
        const uint64_t middle = block * kAirBlockFrames + kAirBlockFrames / 2;
        double leaves = static_cast<double>(middle);
        if (m_pTiming) {
            PathTiming::Emission e;
            m_pTiming->Emissions(static_cast<int64_t>(middle), 1, &e);
            leaves = e.place;
        }
        const AirAbsorption::Kernel kernel = m_pAir->Along(PathCm(leaves, m_emitted) / 100.0);
        const auto n = static_cast<size_t>(blockEnd - at);
        m_filtered.resize(n);
        float* sum = m_filtered.data();
        for (size_t c = 0; c < ch; ++c) {
            // Frame j of the block is frame i + j of the window, heard frame first + i + j - half.
            const size_t i = static_cast<size_t>(at - first) + static_cast<size_t>(half);
            const float* x = m_delayed.data() + c * extent + i;
            TravelKernels::FilterSymmetric(x, n, kernel[static_cast<size_t>(half)],
                                           kernel.data() + half + 1, static_cast<size_t>(half),
                                           sum);
            float* to = out + (i - static_cast<size_t>(half)) * ch + c;
            for (size_t j = 0; j < n; ++j) {
                to[j * ch] = sum[j];
            }
        }
        at = blockEnd;
    }
}

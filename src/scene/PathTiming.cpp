#include "scene/PathTiming.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "scene/TravelKernels.h"

PathTiming::PathTiming(uint32_t rate, double longest, Delay delay, int64_t edgeFrames)
    : m_edge(std::max<int64_t>(edgeFrames, 1)),
      m_longest(std::max(longest, 0.0)),
      m_fade(std::max(1.0, std::round(kFadeSeconds * rate))),
      m_delay(std::move(delay)) {}

void PathTiming::Ensure(int64_t lo, int64_t hi) {
    const auto size = static_cast<int64_t>(m_heard.size());
    if (m_heard.empty() || lo < m_base || lo > m_base + size + (int64_t{1} << 16)) {
        m_heard.clear();
        m_jump.clear();
        m_slope.clear();
        m_jumps.clear();
        m_base = lo;
    } else if (lo - m_base > 8192) {
        // Edges behind are asked again only after a seek back, which makes them anew.
        const int64_t drop = lo - m_base - 1024;
        m_heard.erase(m_heard.begin(), m_heard.begin() + drop);
        m_jump.erase(m_jump.begin(), m_jump.begin() + drop);
        m_slope.erase(m_slope.begin(), m_slope.begin() + drop);
        m_base += drop;
        m_jumps.erase(m_jumps.begin(), std::lower_bound(m_jumps.begin(), m_jumps.end(), m_base));
    }
    while (m_base + static_cast<int64_t>(m_heard.size()) <= hi) {
        const int64_t k = m_base + static_cast<int64_t>(m_heard.size());
        m_heard.push_back(Leaves(k) + m_delay(k * m_edge));
        m_jump.push_back(0);
        m_slope.push_back(0.0);
        if (m_heard.size() > 1) {
            // Within an edge the delay changes by less than half the time: anything more is a
            // jump.
            const double step = m_heard.back() - m_heard[m_heard.size() - 2];
            // Divided here, where nothing waits on it, not edge by edge in the walk.
            m_slope[m_slope.size() - 2] = static_cast<double>(m_edge) / step;
            if (std::abs(step - static_cast<double>(m_edge)) > static_cast<double>(m_edge) / 2.0) {
                m_jump[m_jump.size() - 2] = 1;
                m_jumps.push_back(k - 1);
            }
        }
    }
}

namespace {

// std::ceil, without the library call it is on a processor before SSE 4.1: whole numbers
// below 2^52 in size, as heard frames are.
double Ceiling(double x) {
    const auto whole = static_cast<double>(static_cast<int64_t>(x));
    return whole < x ? whole + 1.0 : whole;
}

// std::floor in the same way: whole numbers below 2^52 in size, either sign.
double Floor(double x) {
    const auto whole = static_cast<double>(static_cast<int64_t>(x));
    return whole > x ? whole - 1.0 : whole;
}

// Emission records, as the walk tells them.
struct ToEmissions {
    PathTiming::Emission* out;
    void Set(uint32_t i, double position, double place) {
        out[i].position = position;
        out[i].place = place;
        out[i].share = 1.0f;
    }
    void Fade(uint32_t i, float share, double fading, double fadingPlace) {
        out[i].share = share;
        out[i].fading = fading;
        out[i].fadingPlace = fadingPlace;
    }
    // Frames [i, end) at leaves + (t - from) * slope, t their heard frames from first.
    void Line(uint32_t i, uint32_t end, int64_t first, double leaves, double from, double slope) {
        for (; i < end; ++i) {
            PathTiming::Emission& on = out[i];
            on.position = leaves + (static_cast<double>(first + i) - from) * slope;
            on.place = on.position;
            on.share = 1.0f;
        }
    }
};

struct ToPositions {
    double* positions;
    std::vector<PathTiming::Fade>& fades;
    void Set(uint32_t i, double position, double /*place*/) { positions[i] = position; }
    void Fade(uint32_t i, float share, double fading, double /*fadingPlace*/) {
        fades.push_back({i, share, fading});
    }
    void Line(uint32_t i, uint32_t end, int64_t first, double leaves, double from, double slope) {
        if (i < end) {
            TravelKernels::Line(first + i, end - i, leaves, from, slope, positions + i);
        }
    }
};

}  // namespace

void PathTiming::Emissions(int64_t first, uint32_t count, Emission* out) {
    ToEmissions to{out};
    Walk(first, count, to);
}

void PathTiming::Positions(int64_t first, uint32_t count, double* positions,
                           std::vector<Fade>& fades) {
    fades.clear();
    ToPositions to{positions, fades};
    Walk(first, count, to);
}

template <typename Out>
void PathTiming::Walk(int64_t first, uint32_t count, Out& out) {
    if (count == 0) {
        return;
    }
    const auto last = static_cast<double>(first + count - 1);
    // Every edge whose sound or whose jump's fade can reach these frames.
    const int64_t lo =
        static_cast<int64_t>(Floor((static_cast<double>(first) - m_fade - m_longest) /
                                   static_cast<double>(m_edge))) -
        2;
    const int64_t hi = static_cast<int64_t>(Floor(last / static_cast<double>(m_edge))) + 2;
    Ensure(lo, hi + 1);
    const double* heard = m_heard.data() - m_base;  // heard[k] for edge k
    const uint8_t* jump = m_jump.data() - m_base;
    const double* slopes = m_slope.data() - m_base;
    // The jumps among them, as (edge before the jump, when its sound arrives).
    m_found.clear();
    for (auto k = std::lower_bound(m_jumps.begin(), m_jumps.end(), lo);
         k != m_jumps.end() && *k <= hi; ++k) {
        m_found.push_back({*k, heard[*k]});
    }
    size_t nextJump = 0;
    int64_t segment = lo;  // the first edge of the stretch the frame's sound is on
    const Found* fading = nullptr;
    int64_t j = lo;
    int64_t sloped = INT64_MIN;  // the edge whose slope is held
    double slope = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(first + i);
        // The latest jump whose old sound has all arrived decides the stretch.
        while (nextJump < m_found.size() && m_found[nextJump].at <= t) {
            segment = m_found[nextJump].edge + 1;
            fading = &m_found[nextJump];
            ++nextJump;
        }
        j = std::max(j, segment);
        if (t < heard[segment]) {
            // Before the stretch's first edge is heard: its delay, held.
            const double position = t - (heard[segment] - Leaves(segment));
            out.Set(i, position, std::max(position, Leaves(segment)));
        } else {
            // On to the edge heard last by t. A call starts far back (by the longest delay):
            // within a stretch without jumps the edges are heard in order, so a search finds it.
            for (int steps = 0; jump[j] == 0 && heard[j + 1] <= t; ++j) {
                if (++steps == 4) {
                    const auto next = std::lower_bound(m_jumps.begin(), m_jumps.end(), j);
                    const int64_t limit = next != m_jumps.end() ? std::min(*next, hi) : hi;
                    int64_t low = j;  // heard[low + 1] <= t
                    int64_t high = limit;
                    while (low < high) {
                        const int64_t mid = low + (high - low + 1) / 2;
                        if (heard[mid] <= t) {
                            low = mid;
                        } else {
                            high = mid - 1;
                        }
                    }
                    j = low;
                    break;
                }
            }
            double position;
            if (jump[j] != 0) {
                position = t - (heard[j] - Leaves(j));
            } else {
                if (sloped != j) {
                    slope = slopes[j];
                    sloped = j;
                }
                position = Leaves(j) + (t - heard[j]) * slope;
            }
            out.Set(i, position, position);
        }
        if (fading != nullptr && t - fading->at < m_fade) {
            const double x = (t - fading->at) / m_fade;
            const double from = t - (heard[fading->edge] - Leaves(fading->edge));
            out.Fade(i, static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x)), from,
                     std::min(from, Leaves(fading->edge)));
        } else if (sloped == j && t >= heard[segment]) {
            // On along the same edge's slope, as the steps above would go, until its next
            // edge or the next jump is heard.
            double until = heard[j + 1];
            if (nextJump < m_found.size()) {
                until = std::min(until, m_found[nextJump].at);
            }
            // The frames before until: t < until, t whole.
            const double stop = Ceiling(until) - static_cast<double>(first);
            const uint32_t end =
                stop >= count ? count : std::max(i + 1, static_cast<uint32_t>(std::max(stop, 0.0)));
            out.Line(i + 1, end, first, Leaves(j), heard[j], slope);
            i = end - 1;
        }
    }
}

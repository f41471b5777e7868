#include "scene/PathTiming.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

PathTiming::PathTiming(uint32_t rate, double longest, Delay delay)
    : m_rate(rate),
      m_longest(std::max(longest, 0.0)),
      m_fade(std::max(1.0, std::round(kFadeSeconds * rate))),
      m_delay(std::move(delay)) {}

const PathTiming::Edge& PathTiming::At(int64_t j) {
    // A seek far ahead starts afresh there rather than make every edge on the way.
    if (m_edges.empty() || j < m_base ||
        j > m_base + static_cast<int64_t>(m_edges.size()) + (int64_t{1} << 16)) {
        m_edges.clear();
        m_jumps.clear();
        m_base = j;
    }
    while (m_base + static_cast<int64_t>(m_edges.size()) <= j + 1) {
        const int64_t k = m_base + static_cast<int64_t>(m_edges.size());
        m_edges.push_back({Leaves(k) + m_delay(k * kEdgeFrames), false});
        if (m_edges.size() > 1) {
            // Within an edge the delay changes by less than half the time: anything more is a
            // jump.
            Edge& before = m_edges[m_edges.size() - 2];
            before.bJump =
                std::abs(m_edges.back().heard - before.heard - kEdgeFrames) > kEdgeFrames / 2.0;
            if (before.bJump) {
                m_jumps.push_back(k - 1);
            }
        }
    }
    return m_edges[static_cast<size_t>(j - m_base)];
}

void PathTiming::Emissions(int64_t first, uint32_t count, Emission* out) {
    if (count == 0) {
        return;
    }
    const auto last = static_cast<double>(first + count - 1);
    // Every edge whose sound or whose jump's fade can reach these frames.
    const int64_t lo = static_cast<int64_t>(std::floor(
                           (static_cast<double>(first) - m_fade - m_longest) / kEdgeFrames)) -
                       2;
    const int64_t hi = static_cast<int64_t>(std::floor(last / kEdgeFrames)) + 2;
    // Edges behind these are asked again only after a seek back, which makes them anew.
    while (m_edges.size() > 1 && m_base < lo) {
        m_edges.pop_front();
        ++m_base;
    }
    while (!m_jumps.empty() && m_jumps.front() < m_base) {
        m_jumps.pop_front();
    }
    At(lo);
    At(hi + 1);
    // The jumps among them, as (edge before the jump, when its sound arrives).
    m_found.clear();
    for (const int64_t j : m_jumps) {
        if (j >= lo && j <= hi) {
            m_found.push_back({j, At(j).heard});
        }
    }
    const std::vector<Found>& jumps = m_found;
    size_t nextJump = 0;
    int64_t segment = lo;  // the first edge of the stretch the frame's sound is on
    const Found* fading = nullptr;
    int64_t j = lo;
    for (uint32_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(first + i);
        // The latest jump whose old sound has all arrived decides the stretch.
        while (nextJump < jumps.size() && jumps[nextJump].at <= t) {
            segment = jumps[nextJump].edge + 1;
            fading = &jumps[nextJump];
            j = std::max(j, segment);
            ++nextJump;
        }
        Emission& e = out[i];
        j = std::max(j, segment);
        if (t < At(segment).heard) {
            // Before the stretch's first edge is heard: its delay, held.
            e.position = t - (At(segment).heard - Leaves(segment));
            e.place = std::max(e.position, Leaves(segment));
        } else {
            while (At(j + 1).heard <= t && !At(j).bJump) {
                ++j;
            }
            const Edge& a = At(j);
            if (a.bJump) {
                e.position = t - (a.heard - Leaves(j));
            } else {
                const double b = At(j + 1).heard;
                e.position = Leaves(j) + (t - a.heard) / (b - a.heard) * kEdgeFrames;
            }
            e.place = e.position;
        }
        e.share = 1.0f;
        if (fading != nullptr && t - fading->at < m_fade) {
            const double x = (t - fading->at) / m_fade;
            e.share = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x));
            e.fading = t - (At(fading->edge).heard - Leaves(fading->edge));
            e.fadingPlace = std::min(e.fading, Leaves(fading->edge));
        }
    }
}

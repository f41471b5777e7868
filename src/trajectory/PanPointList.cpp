#include "trajectory/PanPointList.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "platform/UserPrompts.h"
#include "trajectory/SoundPlace.h"

namespace {

// Truncation toward zero that saturates instead of overflowing; not-a-number gives 0.
int64_t TruncateSaturated(long double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr long double kMax = 9223372036854775807.0L;
    if (value >= kMax) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value <= -kMax) {
        return std::numeric_limits<int64_t>::min();
    }
    return static_cast<int64_t>(value);
}

}  // namespace

PanPointList::~PanPointList() = default;

std::unique_ptr<PanPoint> PanPointList::CreatePoint(const PanPoint& value) {
    std::unique_ptr<PanPoint> point(new (std::nothrow) PanPoint(value));
    return point;
}

PanPoint* PanPointList::AddPoint(uint32_t position, int32_t pan) {
    return AddPoint(PanPoint(position, pan));
}

PanPoint* PanPointList::AddPoint(const PanPoint& value) {
    const uint32_t position = value.position;
    std::unique_ptr<PanPoint> point = CreatePoint(value);
    if (!point) {
        return nullptr;
    }
    PanPoint* raw = point.get();
    try {
        // Appending is the common case (a file's points come in order); it gives the same
        // place as the walk from the head whenever the tail is not after the new point.
        auto where = m_points.end();
        if (!m_points.empty() && m_points.back()->position > position) {
            where = m_points.begin();
            while (where != m_points.end() && (*where)->position <= position) {
                ++where;
            }
        }
        auto it = m_points.insert(where, std::move(point));
        try {
            m_index.emplace(raw, it);
        } catch (const std::bad_alloc&) {
            m_points.erase(it);
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return raw;
}

size_t PanPointList::AddPoints(std::span<const PanPoint> points) {
    // One at a time, each point lands after every point of a smaller or equal position: that
    // is a stable sort of the new points, merged after the old ones of equal position.
    Points added;
    try {
        m_index.reserve(m_index.size() + points.size());
        // Sorting the values first keeps the sort on contiguous memory.
        std::vector<PanPoint> sorted(points.begin(), points.end());
        std::stable_sort(sorted.begin(), sorted.end(), [](const PanPoint& a, const PanPoint& b) {
            return a.position < b.position;
        });
        for (const PanPoint& point : sorted) {
            if (std::unique_ptr<PanPoint> one = CreatePoint(point)) {
                added.push_back(std::move(one));
            }
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // Reserved above, so no insertion into the index can fail now.
    for (auto it = added.begin(); it != added.end(); ++it) {
        m_index.emplace(it->get(), it);
    }
    const size_t count = added.size();
    m_points.merge(added, [](const auto& a, const auto& b) { return a->position < b->position; });
    return count;
}

PanPointList::Points::const_iterator PanPointList::Find(const PanPoint* point) const {
    const auto found = m_index.find(point);
    return found == m_index.end() ? m_points.cend() : Points::const_iterator(found->second);
}

bool PanPointList::RemovePoint(const PanPoint* point) {
    const auto found = m_index.find(point);
    if (found == m_index.end()) {
        return false;
    }
    m_points.erase(found->second);
    m_index.erase(found);
    return true;
}

PanPoint* PanPointList::PointAtOrBefore(uint32_t position) const {
    PanPoint* last = nullptr;
    for (const auto& point : m_points) {
        if (point->position > position) {
            break;
        }
        last = point.get();
    }
    return last;
}

PanPoint* PanPointList::NextPoint(const PanPoint* point) const {
    if (point == nullptr) {
        return m_points.empty() ? nullptr : m_points.front().get();
    }
    auto it = Find(point);
    if (it == m_points.end() || ++it == m_points.end()) {
        return nullptr;
    }
    return it->get();
}

PanPoint* PanPointList::PreviousPoint(const PanPoint* point) const {
    const auto it = Find(point);
    if (it == m_points.end() || it == m_points.begin()) {
        return nullptr;
    }
    return std::prev(it)->get();
}

PanPoint* PanPointList::FindInRange(uint32_t posLo, uint32_t posHi, int32_t panLo,
                                    int32_t panHi) const {
    for (const auto& point : m_points) {
        if (point->position >= posLo && point->position <= posHi && point->Pan() >= panLo &&
            point->Pan() <= panHi) {
            return point.get();
        }
    }
    return nullptr;
}

bool PanPointList::CopyTransformed(const PanPointList& source, const PanPoint* start, int32_t count,
                                   float scale, int32_t offset, bool addOffset, uint32_t limit,
                                   UserPrompts& prompts) {
    if (source.IsEmpty()) {
        return false;
    }
    auto it = start == nullptr ? source.m_points.cbegin() : source.Find(start);
    if (it == source.m_points.cend()) {
        return false;
    }
    // Take the run first: copying a list into itself must not visit the copies.
    std::vector<PanPoint> run;
    for (int64_t visited = 0; it != source.m_points.cend() && (count == -1 || visited < count);
         ++it, ++visited) {
        run.push_back(**it);
    }

    const long double signedOffset = addOffset ? offset : -static_cast<long double>(offset);
    for (const PanPoint& from : run) {
        const long double scaled = static_cast<long double>(from.position) * scale;
        const int64_t newPosition = TruncateSaturated(scaled) + static_cast<int64_t>(signedOffset);
        if (limit != 0) {
            const auto landing = static_cast<uint32_t>(TruncateSaturated(scaled + signedOffset));
            if (landing > limit) {
                continue;
            }
        }
        PanPoint moved = from;
        moved.position = static_cast<uint32_t>(newPosition);
        if (AddPoint(moved) == nullptr) {
            prompts.Message("Error adding pan point to list!");
            return false;
        }
    }
    return true;
}

std::vector<PanPoint> PanPointList::Values() const {
    std::vector<PanPoint> values;
    values.reserve(m_points.size());
    for (const auto& point : m_points) {
        values.push_back(*point);
    }
    return values;
}

bool PanPointList::ReplaceRun(size_t first, size_t count, std::span<const PanPoint> values) {
    auto it = m_points.begin();
    for (size_t i = 0; i < first && it != m_points.end(); ++i) {
        ++it;
    }
    size_t taken = 0;
    for (; taken < values.size() && taken < count && it != m_points.end(); ++taken, ++it) {
        **it = values[taken];
    }
    for (size_t left = count - taken; left > 0 && it != m_points.end(); --left) {
        m_index.erase(it->get());
        it = m_points.erase(it);
    }
    for (; taken < values.size(); ++taken) {
        std::unique_ptr<PanPoint> point = CreatePoint(values[taken]);
        if (!point) {
            return false;
        }
        PanPoint* raw = point.get();
        try {
            const auto added = m_points.insert(it, std::move(point));
            try {
                m_index.emplace(raw, added);
            } catch (const std::bad_alloc&) {
                m_points.erase(added);
                return false;
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return true;
}

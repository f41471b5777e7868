#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "trajectory/PanPoint.h"

class UserPrompts;

// The pan trajectory: points in ascending position order (equal positions allowed, a new
// point goes after those of its position). The list owns its points; callers hold plain
// pointers and hand them back, so every lookup by point is by identity and a point that is
// not in this list is answered with none/false without being dereferenced.
class PanPointList {
  public:
    PanPointList() = default;
    virtual ~PanPointList();
    PanPointList(const PanPointList&) = delete;
    PanPointList& operator=(const PanPointList&) = delete;

    // Inserts in order; returns the new point, or none when memory cannot be had. The pan form
    // makes a frontal point.
    PanPoint* AddPoint(uint32_t position, int32_t pan);
    PanPoint* AddPoint(const PanPoint& value);
    // The same list as AddPoint for each of points in turn, in O(n log n) whatever their order.
    // A point whose memory cannot be had is left out, as AddPoint would leave it; returns how
    // many were added.
    size_t AddPoints(std::span<const PanPoint> points);
    // True when the point was in this list; it is then unlinked and destroyed.
    bool RemovePoint(const PanPoint* point);
    // The last point, walking from the head, with position <= the given frame; none if
    // the first point already lies after it.
    PanPoint* PointAtOrBefore(uint32_t position) const;
    // With none: the first point. Otherwise the one after it; none at the end or when the
    // point is not in this list.
    PanPoint* NextPoint(const PanPoint* point) const;
    // The one before; none for the first point or a point not in this list.
    PanPoint* PreviousPoint(const PanPoint* point) const;
    // The first point in list order with posLo <= position <= posHi and panLo <= pan <= panHi.
    PanPoint* FindInRange(uint32_t posLo, uint32_t posHi, int32_t panLo, int32_t panHi) const;

    // Adds transformed copies of a run of source's points: new position =
    // trunc(position * scale) + offset (or - offset). count -1 means to the end; limit 0
    // means no limit, otherwise a point landing beyond it is skipped (it still counts).
    // A failed addition shows "Error adding pan point to list!" and stops. Returns false for
    // an empty source, a start point not in source, or a failed addition.
    bool CopyTransformed(const PanPointList& source, const PanPoint* start, int32_t count,
                         float scale, int32_t offset, bool addOffset, uint32_t limit,
                         UserPrompts& prompts);

    // Copies of the points, in list order.
    std::vector<PanPoint> Values() const;
    // Puts values in place of the count points from index first on (both clipped to the
    // list); values must keep the list in order. The first of those points take the new values
    // in place, so they stay the same objects; the others go, or new ones follow. False when
    // memory for a new point could not be had: the list then lacks it.
    bool ReplaceRun(size_t first, size_t count, std::span<const PanPoint> values);

    // Whether the point (by identity) is in this list.
    bool Contains(const PanPoint* point) const { return m_index.count(point) != 0; }

    size_t GetCount() const { return m_points.size(); }
    bool IsEmpty() const { return m_points.empty(); }

    // Frames of the copied region, for a list that serves as the pan clipboard; else 0.
    uint32_t regionLength = 0;

  protected:
    // Makes the object for a new point; none when memory cannot be had.
    virtual std::unique_ptr<PanPoint> CreatePoint(const PanPoint& value);

  private:
    using Points = std::list<std::unique_ptr<PanPoint>>;

    Points::const_iterator Find(const PanPoint* point) const;

    Points m_points;
    std::unordered_map<const PanPoint*, Points::iterator> m_index;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "formats/PanChunk.h"

class CTesselDoc;
class PanPointList;
struct PanPoint;

// A trajectory as (position, pan) pairs in list order: what a test compares.
using PanPairs = std::vector<std::pair<uint32_t, int32_t>>;

PanPairs PointsOf(const PanPointList& list);
PanPairs PointsOf(const CTesselDoc& doc);
// A point of a 3-D trajectory, its pan the frontal fold of azimuth.
PanPoint PlacePoint(uint32_t position, int32_t azimuth, int32_t elevation = 0,
                    uint32_t distanceCm = 100, int32_t width = 0);
// The point at index in list order; null past the last.
PanPoint* PointAt(const CTesselDoc& doc, size_t index);

// The pan in force at each frame, straight from the points and not through the document's
// stepping: from the last point at or before the frame toward the next,
// startPan + trunc((t - startPos) * slope) with the product in long double; the last point's
// pan after it, and 0 from frame 0 before the first.
std::vector<int32_t> ExpectedPans(const std::vector<PanChunkPoint>& points, uint32_t frames);

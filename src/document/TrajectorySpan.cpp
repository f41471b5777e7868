#include "document/TrajectorySpan.h"

#include <cmath>

#include "document/CTesselDoc.h"

namespace {

// The points with from <= position <= to, in order.
std::vector<const PanPoint*> PointsIn(const CTesselDoc& doc, uint32_t from, uint32_t to) {
    std::vector<const PanPoint*> found;
    for (const PanPoint* point = doc.NextPoint(nullptr); point != nullptr;
         point = doc.NextPoint(point)) {
        if (point->position > to) {
            break;
        }
        if (point->position >= from) {
            found.push_back(point);
        }
    }
    return found;
}

}  // namespace

bool TrajectorySpan::Replace(CTesselDoc& doc, uint32_t from, uint32_t to,
                             const std::vector<PanPoint>& values) {
    doc.BeginGroup(UndoKind::Replace);
    for (const PanPoint* point : PointsIn(doc, from, to)) {
        doc.RemovePoint(point);
    }
    bool bAdded = true;
    for (const PanPoint& value : values) {
        bAdded = bAdded && doc.AddPoint(value) != nullptr;
    }
    doc.EndGroup();
    return bAdded;
}

bool TrajectorySpan::Stretch(CTesselDoc& doc, uint32_t from, uint32_t to, double factor,
                             std::string& error) {
    if (!(factor > 0.0) || !std::isfinite(factor)) {
        error = "The factor must be a number above 0.";
        return false;
    }
    const std::vector<const PanPoint*> points = PointsIn(doc, from, to);
    if (points.empty()) {
        error = "The selection holds no pan point to stretch.";
        return false;
    }
    const double end = from + (static_cast<double>(to) - from) * factor;
    if (std::llround(end) > static_cast<long long>(doc.GetFrameCount())) {
        error = "Stretched, the selection would pass the end of the sound.";
        return false;
    }
    std::vector<PanPoint> values;
    for (const PanPoint* point : points) {
        PanPoint value = *point;
        value.position = static_cast<uint32_t>(
            from + std::llround((static_cast<double>(point->position) - from) * factor));
        values.push_back(value);
    }
    return Replace(doc, from, std::max(to, static_cast<uint32_t>(std::llround(end))), values);
}

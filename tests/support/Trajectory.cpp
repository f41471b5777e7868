#include "support/Trajectory.h"

#include <cmath>

#include "document/CTesselDoc.h"
#include "trajectory/PanPointList.h"
#include "trajectory/SoundPlace.h"

namespace {

// Walks the points through the owner's own NextPoint, the way the program does.
template <typename Owner>
PanPairs Walk(const Owner& owner) {
    PanPairs out;
    for (const PanPoint* p = owner.NextPoint(nullptr); p != nullptr; p = owner.NextPoint(p)) {
        out.emplace_back(p->position, p->Pan());
    }
    return out;
}

}  // namespace

PanPairs PointsOf(const PanPointList& list) {
    return Walk(list);
}

PanPairs PointsOf(const CTesselDoc& doc) {
    return Walk(doc);
}

PanPoint* PointAt(const CTesselDoc& doc, size_t index) {
    PanPoint* point = doc.NextPoint(nullptr);
    for (size_t i = 0; i < index && point != nullptr; ++i) {
        point = doc.NextPoint(point);
    }
    return point;
}

std::vector<int32_t> ExpectedPans(const std::vector<PanChunkPoint>& points, uint32_t frames) {
    std::vector<int32_t> pans(frames);
    for (uint32_t t = 0; t < frames; ++t) {
        uint32_t startPos = 0;
        int32_t startPan = 0;
        const PanChunkPoint* next = nullptr;
        for (const PanChunkPoint& p : points) {
            if (p.position <= t) {
                startPos = p.position;
                startPan = p.pan;
            } else {
                next = &p;
                break;
            }
        }
        pans[t] = startPan;
        if (next != nullptr) {
            const double slope = double(next->pan - startPan) / double(next->position - startPos);
            pans[t] = startPan + int32_t(std::trunc((long double)(t - startPos) * slope));
        }
    }
    return pans;
}

PanPoint PlacePoint(uint32_t position, int32_t azimuth, int32_t elevation, uint32_t distanceCm,
                    int32_t width) {
    PanPoint point;
    point.position = position;
    SetAzimuth(point, azimuth);
    point.elevation = elevation;
    point.distanceCm = distanceCm;
    point.width = width;
    return point;
}

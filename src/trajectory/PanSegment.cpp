#include "trajectory/PanSegment.h"

#include <cmath>
#include <new>

#include "trajectory/PanPointList.h"

namespace {

// Pan values are whole degrees, so any stepped value fits; saturate instead of overflowing
// on a corrupt slope.
int32_t TruncateToPan(long double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0L) {
        return 2147483647;
    }
    if (value <= -2147483648.0L) {
        return -2147483647 - 1;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

bool ComputePanSegment(const PanPointList& points, uint32_t frameCount, uint32_t pos,
                       std::unique_ptr<PanSegment>& segment) {
    if (!segment) {
        segment.reset(new (std::nothrow) PanSegment);
        if (!segment) {
            return false;
        }
    }
    const PanPoint* a = points.PointAtOrBefore(pos);
    const PanPoint* b = points.NextPoint(a);
    if (a == nullptr && b == nullptr) {
        segment.reset();
        return false;
    }

    segment->startPos = pos;
    if (a == nullptr) {
        segment->startPan = 0;
    } else if (a->position == pos || b == nullptr) {
        segment->startPan = a->Pan();
    } else {
        const long double panDelta = static_cast<long double>(b->Pan()) - a->Pan();
        const long double into = static_cast<uint32_t>(pos - a->position);
        const long double span = static_cast<uint32_t>(b->position - a->position);
        segment->startPan = static_cast<int32_t>(static_cast<int64_t>(a->Pan()) +
                                                 TruncateToPan(panDelta * into / span));
    }
    if (b != nullptr) {
        segment->endPos = b->position;
        segment->endPan = b->Pan();
    } else {
        segment->endPos = frameCount;
        segment->endPan = segment->startPan;
    }
    if (segment->endPos == segment->startPos) {
        segment->slope = 0.0;
    } else {
        const auto panRise = static_cast<int32_t>(static_cast<uint32_t>(segment->endPan) -
                                                  static_cast<uint32_t>(segment->startPan));
        const auto run = static_cast<int32_t>(segment->endPos - segment->startPos);
        segment->slope = static_cast<double>(panRise) / static_cast<double>(run);
    }
    return true;
}

int32_t StepPan(const PanSegment& segment, uint32_t s) {
    const long double into = static_cast<uint32_t>(s - segment.startPos);
    return static_cast<int32_t>(static_cast<int64_t>(segment.startPan) +
                                TruncateToPan(into * segment.slope));
}

uint32_t NextPanChange(const PanSegment& segment, uint32_t from, uint32_t limit) {
    const int32_t pan = StepPan(segment, from);
    if (limit <= from + 1 || StepPan(segment, limit - 1) == pan) {
        return limit;
    }
    uint32_t same = from;          // stepped pan equals pan here
    uint32_t changed = limit - 1;  // and differs here
    while (changed - same > 1) {
        const uint32_t mid = same + (changed - same) / 2;
        (StepPan(segment, mid) == pan ? same : changed) = mid;
    }
    return changed;
}

int32_t PanForFrame(const PanPointList& points, uint32_t frameCount, uint32_t s,
                    std::unique_ptr<PanSegment>& segment, int32_t lastPan) {
    if (segment && s < segment->endPos) {
        return StepPan(*segment, s);
    }
    if (!ComputePanSegment(points, frameCount, s, segment)) {
        return lastPan;
    }
    return segment->startPan;
}

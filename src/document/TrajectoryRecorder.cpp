#include "document/TrajectoryRecorder.h"

#include <algorithm>
#include <cmath>

#include "document/CTesselDoc.h"
#include "document/TrajectorySpan.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryGenerator.h"

namespace {

PanPoint PointOf(uint32_t frame, const SoundPlace& place) {
    PanPoint point = TrajectoryGenerator::PointAt(frame, place);
    point.width = static_cast<int32_t>(std::clamp<long>(std::lround(place.width), 0, kMaxWidth));
    return point;
}

int32_t Centimetres(double value) {
    return static_cast<int32_t>(
        std::clamp<long long>(std::llround(value), kNearestDistanceCm, kFarthestDistanceCm));
}

}  // namespace

TrajectoryRecorder::TrajectoryRecorder(CTesselDoc& doc) : m_doc(doc), m_control(*this) {}

TrajectoryRecorder::~TrajectoryRecorder() = default;

PanPoint TrajectoryRecorder::EdgeArriving(const PanPointList& points, uint32_t frame) {
    const PanPoint* at = points.PointAtOrBefore(frame);
    if (at == nullptr || at->position != frame) {
        return PointOf(frame, PlaceAt(points, frame));
    }
    for (const PanPoint* before = points.PreviousPoint(at);
         before != nullptr && before->position == frame; before = points.PreviousPoint(at)) {
        at = before;
    }
    return *at;
}

PanPoint TrajectoryRecorder::EdgeLeaving(const PanPointList& points, uint32_t frame) {
    const PanPoint* at = points.PointAtOrBefore(frame);
    return at != nullptr && at->position == frame ? *at : PointOf(frame, PlaceAt(points, frame));
}

TrajectoryRecorder::Sample TrajectoryRecorder::ValueAt(Value value, uint32_t frame) const {
    const SoundPlace place = PlaceAt(m_doc.GetPanPoints(), frame);
    switch (value) {
        case Value::Azimuth:
            return {frame, place.azimuth};
        case Value::Elevation:
            return {frame, place.elevation};
        case Value::Distance:
            return {frame, place.distanceCm};
        case Value::AzimuthAndDistance:
            return {frame, place.azimuth, place.distanceCm};
        case Value::Place:
            return {frame, place.azimuth, place.distanceCm, place.elevation};
    }
    return {frame, 0.0};
}

PanPoint TrajectoryRecorder::MakePoint(const Sample& sample) const {
    PanPoint point = PointOf(sample.frame, PlaceAt(m_original, sample.frame));
    switch (m_value) {
        case Value::Azimuth:
            SetAzimuth(point, std::llround(sample.value));
            break;
        case Value::Elevation:
            point.elevation = static_cast<int32_t>(
                std::clamp<long>(std::lround(sample.value), -kMaxElevation, kMaxElevation));
            break;
        case Value::Distance:
            point.distanceCm = static_cast<uint32_t>(Centimetres(sample.value));
            break;
        case Value::AzimuthAndDistance:
            SetAzimuth(point, std::llround(sample.value));
            point.distanceCm = static_cast<uint32_t>(Centimetres(sample.second));
            break;
        case Value::Place:
            SetAzimuth(point, std::llround(sample.value));
            point.distanceCm = static_cast<uint32_t>(Centimetres(sample.second));
            point.elevation = static_cast<int32_t>(
                std::clamp<long>(std::lround(sample.third), -kMaxElevation, kMaxElevation));
            break;
    }
    return point;
}

uint32_t TrajectoryRecorder::HoldFrames() const {
    return std::max(m_doc.GetFormat().sampleRate / 4u, 1u);
}

void TrajectoryRecorder::RemoveOwn(const PanPoint*& point, uint32_t frame) {
    if (point != nullptr && m_doc.GetPanPoints().Contains(point) && point->position == frame) {
        m_doc.RemovePoint(point);
    }
    point = nullptr;
}

void TrajectoryRecorder::OnPassBegun(Value value, uint32_t frame) {
    m_value = value;
    m_original.ReplaceRun(0, m_original.GetCount(), m_doc.GetPanPoints().Values());
    m_from = frame;
    m_liveFrame = frame;
    m_liveEnd = frame;
    m_pLive = m_pHold = m_pEdge = nullptr;
    m_bWritten = false;
    m_doc.BeginGroup(UndoKind::Replace);
}

void TrajectoryRecorder::OnCapture(const Sample& latest) {
    const bool bFirst = !m_bWritten;
    m_bWritten = true;
    const uint32_t frames = m_doc.GetFrameCount();
    const uint32_t end = std::max(
        latest.frame, static_cast<uint32_t>(std::min<uint64_t>(
                          uint64_t{latest.frame} + HoldFrames(), std::max(frames, latest.frame))));
    RemoveOwn(m_pEdge, m_liveEnd);
    RemoveOwn(m_pHold, m_liveEnd);
    if (!bFirst && latest.frame == m_liveFrame) {
        RemoveOwn(m_pLive, m_liveFrame);
    }
    // The old points the pass now reaches: from its first frame on, then past where it had
    // reached, up to where the value is held. After the pass's own latest point only old ones
    // lie, so the walk starts there rather than at the head of a long trajectory.
    const PanPoint* point = nullptr;
    if (bFirst) {
        point = m_from == 0 ? m_doc.NextPoint(nullptr)
                            : m_doc.NextPoint(m_doc.PointAtOrBefore(m_from - 1));
    } else {
        const bool bHint = m_pLive != nullptr && m_doc.GetPanPoints().Contains(m_pLive);
        point = m_doc.NextPoint(bHint ? m_pLive : m_doc.PointAtOrBefore(m_liveEnd));
    }
    std::vector<const PanPoint*> reached;
    for (; point != nullptr && point->position <= end; point = m_doc.NextPoint(point)) {
        if (bFirst || point->position > m_liveEnd) {
            reached.push_back(point);
        }
    }
    for (const PanPoint* old : reached) {
        m_doc.RemovePoint(old);
    }
    if (bFirst && m_from > 0) {
        m_doc.AddPoint(EdgeArriving(m_original, m_from));
    }
    m_pLive = m_doc.AddPoint(MakePoint(latest));
    m_liveFrame = latest.frame;
    if (end > latest.frame) {
        m_pHold = m_doc.AddPoint(MakePoint({end, latest.value, latest.second, latest.third}));
    }
    if (end < frames) {
        m_pEdge = m_doc.AddPoint(EdgeLeaving(m_original, end));
    }
    m_liveEnd = std::max(m_liveEnd, end);
}

void TrajectoryRecorder::OnPassEnded(const std::vector<Sample>& kept) {
    const uint32_t to = kept.back().frame;
    const uint32_t last = std::max(to, m_liveEnd);
    std::vector<PanPoint> values;
    for (const Sample& sample : kept) {
        values.push_back(MakePoint(sample));
    }
    // The old path up to the first frame and on from the last, each unless the pass begins or
    // ends in the very place it would give.
    if (m_from > 0) {
        const PanPoint arriving = EdgeArriving(m_original, m_from);
        if (arriving != values.front()) {
            values.insert(values.begin(), arriving);
        }
    }
    if (to < m_doc.GetFrameCount()) {
        const PanPoint leaving = EdgeLeaving(m_original, to);
        if (leaving != values.back()) {
            values.push_back(leaving);
        }
    }
    for (const PanPoint& old : m_original.Values()) {
        if (old.position > to && old.position <= last) {
            values.push_back(old);
        }
    }
    m_pLive = m_pHold = m_pEdge = nullptr;
    TrajectorySpan::Replace(m_doc, m_from, last, values);
    m_doc.EndGroup();
}

// The passes' own groups join this one: the take is one step of the history.
void TrajectoryRecorder::OnJoinBegun() {
    m_doc.BeginGroup(UndoKind::Replace);
}

void TrajectoryRecorder::OnJoinEnded() {
    m_doc.EndGroup();
}

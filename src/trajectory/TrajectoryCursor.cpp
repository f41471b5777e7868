#include "trajectory/TrajectoryCursor.h"

#include <algorithm>

#include "trajectory/PanPointList.h"

TrajectoryCursor::Mode TrajectoryCursor::ModeOf(const PanPointList& points) {
    return ::IsFrontal(points) ? Mode::Frontal : Mode::AllAround;
}

TrajectoryCursor::TrajectoryCursor(const PanPointList& points, uint32_t frameCount, Mode mode)
    : m_points(points), m_frameCount(frameCount), m_mode(mode), m_places(points) {}

TrajectoryCursor::~TrajectoryCursor() = default;

void TrajectoryCursor::SetMode(Mode mode) {
    if (mode != m_mode) {
        m_mode = mode;
        Invalidate();
    }
}

void TrajectoryCursor::Invalidate() {
    m_pSegment.reset();
    m_places.Invalidate();
}

bool TrajectoryCursor::SegmentFor(uint32_t s) {
    if (m_pSegment && s >= m_pSegment->startPos && s < m_pSegment->endPos) {
        return true;
    }
    return ComputePanSegment(m_points, m_frameCount, s, m_pSegment);
}

std::optional<int32_t> TrajectoryCursor::PanAt(uint32_t s) {
    if (!SegmentFor(s)) {
        return std::nullopt;
    }
    return StepPan(*m_pSegment, s);
}

std::optional<PlaceRun> TrajectoryCursor::Run(uint32_t s, uint32_t maxFrames) {
    if (m_points.IsEmpty()) {
        m_pSegment.reset();
        return std::nullopt;
    }
    const auto limit = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{s} + std::max(maxFrames, 1u), UINT32_MAX));
    PlaceRun run;
    run.first = s;
    if (m_mode == Mode::AllAround) {
        run.end = std::max(limit, s + 1);
        run.start = m_places.At(s);
        run.finish = m_places.At(run.end);
        return run;
    }
    if (!SegmentFor(s)) {
        return std::nullopt;
    }
    const PanSegment& segment = *m_pSegment;
    const int32_t pan = StepPan(segment, s);
    uint32_t end = limit;
    // Frames up to the next change of direction or the segment's end share it.
    if (segment.endPos > s) {
        end = std::min(end, segment.endPos);
    }
    if (segment.slope != 0.0 && end > s + 1) {
        end = NextPanChange(segment, s, end);
    }
    run.end = std::max(end, s + 1);
    run.start = SoundPlace{static_cast<double>(pan), 0.0, kDefaultDistanceCm, 0.0};
    run.finish = run.start;
    return run;
}

std::optional<SoundPlace> TrajectoryCursor::At(uint32_t s) {
    if (m_mode == Mode::AllAround) {
        if (m_points.IsEmpty()) {
            return std::nullopt;
        }
        return m_places.At(s);
    }
    const std::optional<int32_t> pan = PanAt(s);
    if (!pan) {
        return std::nullopt;
    }
    return SoundPlace{static_cast<double>(*pan), 0.0, kDefaultDistanceCm, 0.0};
}

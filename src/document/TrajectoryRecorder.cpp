#include "document/TrajectoryRecorder.h"

#include <algorithm>
#include <cmath>

#include "document/CTesselDoc.h"
#include "document/TrajectorySpan.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryGenerator.h"

TrajectoryRecorder::TrajectoryRecorder(CTesselDoc& doc, Mode mode, Value value)
    : m_doc(doc), m_mode(mode), m_value(value) {}

TrajectoryRecorder::~TrajectoryRecorder() {
    End();
}

std::string TrajectoryRecorder::WhyNot(const CTesselDoc& /*doc*/, Value value, bool bAllAround) {
    if (value != Value::Azimuth && !bAllAround) {
        return std::string("The frontal view shows no ") +
               (value == Value::Elevation ? "elevation" : "distance") +
               ": record it over its lane in the all-around view.";
    }
    return {};
}

void TrajectoryRecorder::Started(uint32_t frame) {
    m_bPlaying = true;
    if (m_mode == Mode::Write) {
        const Sample held = ValueAt(frame);
        Begin(frame, held.value, held.second);
    }
}

void TrajectoryRecorder::Press(uint32_t frame, double value, double second) {
    if (!m_bPlaying) {
        return;
    }
    m_bHeld = true;
    if (!m_bInPass) {
        Begin(frame, value, second);
    } else {
        Capture(frame, value, second);
        Flush();
    }
}

void TrajectoryRecorder::Move(uint32_t frame, double value, double second) {
    if (m_bHeld && m_bInPass) {
        Capture(frame, value, second);
    }
}

void TrajectoryRecorder::Release(uint32_t frame) {
    if (!m_bHeld) {
        return;
    }
    m_bHeld = false;
    if (m_bInPass) {
        Capture(frame, m_samples.back().value, m_samples.back().second);
        Flush();
        if (m_mode == Mode::Touch) {
            End();
        }
    }
}

void TrajectoryRecorder::Tick(uint32_t frame) {
    if (!m_bInPass) {
        return;
    }
    if (!m_bHeld) {
        Capture(frame, m_samples.back().value, m_samples.back().second);
    }
    Flush();
}

void TrajectoryRecorder::Stopped(uint32_t frame) {
    if (m_bInPass) {
        Capture(frame, m_samples.back().value, m_samples.back().second);
    }
    End();
    m_bPlaying = false;
    m_bHeld = false;
}

TrajectoryRecorder::Sample TrajectoryRecorder::ValueAt(uint32_t frame) const {
    const SoundPlace place = PlaceAt(m_doc.GetPanPoints(), frame);
    switch (m_value) {
        case Value::Azimuth:
            return {frame, place.azimuth};
        case Value::Elevation:
            return {frame, place.elevation};
        case Value::Distance:
            return {frame, place.distanceCm};
        case Value::AzimuthAndDistance:
            return {frame, place.azimuth, place.distanceCm};
    }
    return {frame, 0.0};
}

namespace {

int32_t Centimetres(double value) {
    return static_cast<int32_t>(std::clamp<long long>(std::llround(value), 10, 10000));
}

}  // namespace

PanPoint TrajectoryRecorder::MakePoint(const Sample& sample) const {
    // The values not recorded stay what the trajectory had there before the pass.
    const SoundPlace place = PlaceAt(m_original, sample.frame);
    PanPoint point = TrajectoryGenerator::PointAt(sample.frame, place);
    point.width = static_cast<int32_t>(std::lround(place.width));
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
    }
    return point;
}

void TrajectoryRecorder::Begin(uint32_t frame, double value, double second) {
    m_original.ReplaceRun(0, m_original.GetCount(), m_doc.GetPanPoints().Values());
    m_samples.clear();
    m_pWritten = nullptr;
    m_bInPass = true;
    m_doc.BeginGroup(UndoKind::Replace);
    Capture(frame, value, second);
    Flush();
}

void TrajectoryRecorder::Capture(uint32_t frame, double value, double second) {
    // The heard frame may stand still or jitter back between reads: never before the last.
    const bool bFirst = m_samples.empty();
    const uint32_t from = bFirst ? frame : m_samples.back().frame;
    frame = std::max(frame, from);
    if (!bFirst && (m_value == Value::Azimuth || m_value == Value::AzimuthAndDistance)) {
        // Unwrapped, so that thinning and the lines between points go the shorter way round.
        const double last = m_samples.back().value;
        value = last + std::remainder(value - last, 360.0);
    }
    if (!bFirst && frame == from) {
        m_samples.back() = {frame, value, second};
    } else {
        m_samples.push_back({frame, value, second});
    }
    m_bPending = true;
}

void TrajectoryRecorder::Flush() {
    if (!m_bPending) {
        return;
    }
    m_bPending = false;
    const Sample& sample = m_samples.back();
    // The first write replaces only a point at its own frame; later ones everything from the
    // last written point on, which the pass put there itself.
    const PanPointList& points = m_doc.GetPanPoints();
    const PanPoint* point = nullptr;
    if (m_pWritten != nullptr && points.Contains(m_pWritten) &&
        m_pWritten->position == m_writtenFrame) {
        point = m_pWritten;
    } else {
        const uint32_t first = m_pWritten != nullptr ? m_writtenFrame : sample.frame;
        point = m_doc.NextPoint(nullptr);
        while (point != nullptr && point->position < first) {
            point = m_doc.NextPoint(point);
        }
    }
    std::vector<const PanPoint*> gone;
    for (; point != nullptr && point->position <= sample.frame; point = m_doc.NextPoint(point)) {
        gone.push_back(point);
    }
    for (const PanPoint* old : gone) {
        m_doc.RemovePoint(old);
    }
    m_pWritten = m_doc.AddPoint(MakePoint(sample));
    m_writtenFrame = sample.frame;
}

void TrajectoryRecorder::End() {
    if (!m_bInPass) {
        return;
    }
    m_bInPass = false;
    m_bPending = false;
    m_pWritten = nullptr;
    std::vector<PanPoint> points;
    for (size_t index : Thin(m_samples, kTolerance)) {
        points.push_back(MakePoint(m_samples[index]));
    }
    TrajectorySpan::Replace(m_doc, m_samples.front().frame, m_samples.back().frame, points);
    m_doc.EndGroup();
    m_samples.clear();
}

std::vector<size_t> TrajectoryRecorder::Thin(const std::vector<Sample>& samples, double tolerance) {
    if (samples.size() <= 2) {
        std::vector<size_t> all(samples.size());
        for (size_t i = 0; i < all.size(); ++i) {
            all[i] = i;
        }
        return all;
    }
    // Douglas-Peucker over (frame, value), on a stack rather than by recursion: a long pass
    // would go deep.
    std::vector<bool> keep(samples.size(), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<size_t, size_t>> spans = {{0, samples.size() - 1}};
    while (!spans.empty()) {
        const auto [first, last] = spans.back();
        spans.pop_back();
        const Sample& a = samples[first];
        const Sample& b = samples[last];
        double worst = -1.0;
        size_t where = first;
        for (size_t i = first + 1; i < last; ++i) {
            const double t = b.frame == a.frame ? 0.0
                                                : static_cast<double>(samples[i].frame - a.frame) /
                                                      static_cast<double>(b.frame - a.frame);
            const double off =
                std::max(std::abs(a.value + (b.value - a.value) * t - samples[i].value),
                         std::abs(a.second + (b.second - a.second) * t - samples[i].second));
            if (off > worst) {
                worst = off;
                where = i;
            }
        }
        if (worst > tolerance) {
            keep[where] = true;
            spans.push_back({first, where});
            spans.push_back({where, last});
        }
    }
    std::vector<size_t> kept;
    for (size_t i = 0; i < keep.size(); ++i) {
        if (keep[i]) {
            kept.push_back(i);
        }
    }
    return kept;
}

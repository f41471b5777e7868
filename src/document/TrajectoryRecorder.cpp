#include "document/TrajectoryRecorder.h"

#include <algorithm>
#include <cmath>

#include "document/CTesselDoc.h"
#include "document/SoundPlace.h"
#include "document/TrajectoryGenerator.h"
#include "document/TrajectorySpan.h"

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
        Begin(frame, ValueAt(frame));
    }
}

void TrajectoryRecorder::Press(uint32_t frame, double value) {
    if (!m_bPlaying) {
        return;
    }
    m_bHeld = true;
    if (!m_bInPass) {
        Begin(frame, value);
    } else {
        Capture(frame, value);
    }
}

void TrajectoryRecorder::Move(uint32_t frame, double value) {
    if (m_bHeld && m_bInPass) {
        Capture(frame, value);
    }
}

void TrajectoryRecorder::Release(uint32_t frame) {
    if (!m_bHeld) {
        return;
    }
    m_bHeld = false;
    if (m_bInPass) {
        Capture(frame, m_last);
        if (m_mode == Mode::Touch) {
            End();
        }
    }
}

void TrajectoryRecorder::Tick(uint32_t frame) {
    if (m_bInPass && !m_bHeld) {
        Capture(frame, m_last);
    }
}

void TrajectoryRecorder::Stopped(uint32_t frame) {
    if (m_bInPass) {
        Capture(frame, m_last);
    }
    End();
    m_bPlaying = false;
    m_bHeld = false;
}

double TrajectoryRecorder::ValueAt(uint32_t frame) const {
    const SoundPlace place = PlaceAt(m_doc.GetPanPoints(), frame);
    switch (m_value) {
        case Value::Azimuth:
            return place.azimuth;
        case Value::Elevation:
            return place.elevation;
        case Value::Distance:
            return place.distanceCm;
    }
    return 0.0;
}

PanPoint TrajectoryRecorder::MakePoint(uint32_t frame, double value) const {
    // The values not recorded stay what the trajectory had there before the pass.
    const SoundPlace place = PlaceAt(m_original, frame);
    PanPoint point = TrajectoryGenerator::PointAt(frame, place);
    point.width = static_cast<int32_t>(std::lround(place.width));
    switch (m_value) {
        case Value::Azimuth:
            SetAzimuth(point, std::llround(value));
            break;
        case Value::Elevation:
            point.elevation = static_cast<int32_t>(
                std::clamp<long>(std::lround(value), -kMaxElevation, kMaxElevation));
            break;
        case Value::Distance:
            point.distanceCm =
                static_cast<uint32_t>(std::clamp<long long>(std::llround(value), 10, 10000));
            break;
    }
    return point;
}

void TrajectoryRecorder::Begin(uint32_t frame, double value) {
    m_original.ReplaceRun(0, m_original.GetCount(), m_doc.GetPanPoints().Values());
    m_samples.clear();
    m_bInPass = true;
    m_doc.BeginGroup(UndoKind::Replace);
    Capture(frame, value);
}

void TrajectoryRecorder::Capture(uint32_t frame, double value) {
    // The heard frame may stand still or jitter back between reads: never before the last.
    const bool bFirst = m_samples.empty();
    const uint32_t from = bFirst ? frame : m_samples.back().frame;
    frame = std::max(frame, from);
    m_last = value;
    if (!bFirst && frame == from) {
        m_samples.back().value = value;
    } else {
        m_samples.push_back({frame, value});
    }
    // Written at once, so the pass is heard as it is played: the points since the last sample
    // make way for this one.
    std::vector<const PanPoint*> gone;
    for (const PanPoint* point = m_doc.NextPoint(nullptr);
         point != nullptr && point->position <= frame; point = m_doc.NextPoint(point)) {
        if (bFirst ? point->position == frame
                   : point->position > from || point->position == frame) {
            gone.push_back(point);
        }
    }
    for (const PanPoint* point : gone) {
        m_doc.RemovePoint(point);
    }
    m_doc.AddPoint(MakePoint(frame, value));
}

void TrajectoryRecorder::End() {
    if (!m_bInPass) {
        return;
    }
    m_bInPass = false;
    std::vector<PanPoint> points;
    for (size_t index : Thin(m_samples, kTolerance)) {
        points.push_back(MakePoint(m_samples[index].frame, m_samples[index].value));
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
            const double off = std::abs(a.value + (b.value - a.value) * t - samples[i].value);
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

#include "views/PanPointDrag.h"

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "trajectory/SoundPlace.h"
#include "views/PlaceValues.h"

#include <cmath>

namespace {

// A new point's width: its neighbours' (between two, as the path has it there; before the
// first point or after the last, that point's), so a stereo sound keeps its spread.
int32_t NeighbourWidth(const PanPointList& points, uint32_t frame) {
    const PanPoint* before = points.PointAtOrBefore(frame);
    const PanPoint* after = points.NextPoint(before);
    if (before == nullptr || after == nullptr) {
        return before != nullptr ? before->width : after != nullptr ? after->width : 0;
    }
    return static_cast<int32_t>(std::lround(PlaceAt(points, frame).width));
}

}  // namespace

PanPoint* PanPointDrag::HitPoint(const HitWindow& window, std::optional<PlaceValue> scale) const {
    if (!scale) {
        return m_doc.FindInRange(window.firstFrame, window.lastFrame, window.lowestPan,
                                 window.highestPan);
    }
    const PlaceAxis::Reach reach{window.lowestPan, window.highestPan};
    for (PanPoint* p = m_doc.NextPoint(nullptr); p != nullptr && p->position <= window.lastFrame;
         p = m_doc.NextPoint(p)) {
        if (p->position >= window.firstFrame && reach.Holds(PlaceValues::Of(*p, *scale))) {
            return p;
        }
    }
    return nullptr;
}

bool PanPointDrag::DeleteHit(const HitWindow& window, std::optional<PlaceValue> scale) {
    PanPoint* point = HitPoint(window, scale);
    if (point == nullptr) {
        return false;
    }
    PanEditCommands::DeletePoint(m_doc, point);
    return true;
}

bool PanPointDrag::Begin(uint32_t frame, int pan, const HitWindow& window) {
    m_scale = PlaceValue::Azimuth;
    PanPoint added(frame, pan);
    added.width = NeighbourWidth(m_doc.GetPanPoints(), frame);
    return Grab(frame, HitPoint(window), added);
}

bool PanPointDrag::Begin(uint32_t frame, PlaceValue scale, int32_t value, const HitWindow& window) {
    m_scale = scale;
    const SoundPlace place = PlaceAt(m_doc.GetPanPoints(), frame);
    PanPoint added;
    SetAzimuth(added, std::lround(place.azimuth));
    added.elevation = static_cast<int32_t>(std::lround(place.elevation));
    added.distanceCm = static_cast<uint32_t>(std::lround(place.distanceCm));
    added.width = NeighbourWidth(m_doc.GetPanPoints(), frame);
    PlaceValues::Set(added, scale, value);
    return Grab(frame, HitPoint(window, scale), added);
}

bool PanPointDrag::Grab(uint32_t frame, PanPoint* hit, const PanPoint& added) {
    m_snapshot.clear();
    for (const PanPoint* p = m_doc.NextPoint(nullptr); p != nullptr; p = m_doc.NextPoint(p)) {
        m_snapshot.push_back(*p);
    }
    if (PanPoint* point = hit) {
        m_pPoint = point;
        PanEditCommands::RecordEdit(m_doc, point, UndoKind::Modify);
        // A point at frame 0 has nothing to its left to stop at.
        m_pPrev = point->position == 0 ? nullptr : m_doc.GetPanPoints().PreviousPoint(point);
        m_pNext = m_doc.NextPoint(point);
        return true;
    }
    uint32_t position = frame;
    m_pPrev = m_doc.PointAtOrBefore(position);
    if (m_pPrev != nullptr && m_pPrev->position >= position) {
        position = m_pPrev->position + 1;
    }
    m_pNext = m_doc.NextPoint(m_pPrev);
    if (m_pNext != nullptr && position >= m_pNext->position) {
        position = m_pNext->position - 1;
    }
    PanPoint value = added;
    value.position = position;
    m_pPoint = m_doc.AddPoint(value);
    if (m_pPoint == nullptr) {
        End();
        return false;
    }
    PanEditCommands::RecordEdit(m_doc, m_pPoint, UndoKind::Add);
    return true;
}

void PanPointDrag::MoveTo(uint32_t frame, int pan) {
    uint32_t position = frame;
    if (m_pPrev != nullptr && m_pPrev->position >= position) {
        position = m_pPrev->position + 1;
    }
    if (m_pNext != nullptr && position >= m_pNext->position) {
        // A neighbour at frame 0 leaves no room to its left: the point stays at 0 with it.
        position = m_pNext->position == 0 ? 0 : m_pNext->position - 1;
    }
    m_pPoint->position = position;
    PlaceValues::Set(*m_pPoint, m_scale, pan);
    m_doc.TrajectoryChanged();
}

void PanPointDrag::End() {
    if (m_pPoint != nullptr) {
        // The whole gesture, press to release, is one step.
        PanEditCommands::FinishEdit(m_doc);
    }
    m_pPoint = nullptr;
    m_pPrev = nullptr;
    m_pNext = nullptr;
    m_snapshot.clear();
}

#include "views/PanPointKeys.h"

#include <algorithm>
#include <cmath>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "document/PointProperties.h"
#include "geometry/TimeText.h"
#include "geometry/WaveViewGeometry.h"
#include "trajectory/SoundPlace.h"
#include "views/PositionReadouts.h"

PanPoint* PanPointKeys::Selected() const {
    const PanPointList& list = m_doc.GetPanPoints();
    // The list answers by identity without touching a point that is gone.
    return list.Contains(m_pSelected) ? const_cast<PanPoint*>(m_pSelected) : nullptr;
}

bool PanPointKeys::Step(bool bForward) {
    const PanPointList& list = m_doc.GetPanPoints();
    const PanPoint* current = Selected();
    const PanPoint* next = nullptr;
    if (current != nullptr) {
        next = bForward ? list.NextPoint(current) : list.PreviousPoint(current);
    } else if (bForward) {
        const uint32_t left = m_geometry.SampleOfColumn(m_geometry.LeftColumn());
        for (next = list.NextPoint(nullptr); next != nullptr && next->position < left;) {
            next = list.NextPoint(next);
        }
        if (next == nullptr) {
            next = list.NextPoint(nullptr);
        }
    } else {
        const uint32_t right = m_geometry.SampleOfColumn(m_geometry.RightColumn());
        next = list.PointAtOrBefore(right);
        if (next == nullptr) {
            next = list.NextPoint(nullptr);
        }
    }
    m_pSelected = next;
    return next != nullptr;
}

bool PanPointKeys::ChangePan(int delta) {
    PanPoint* point = Selected();
    if (point == nullptr) {
        return false;
    }
    PointProperties properties(m_doc, *point);
    return properties.Apply(point->position, std::clamp(point->Pan() + delta, -90, 90));
}

bool PanPointKeys::ApplyPlace(const PanPoint& place) {
    PanPoint* point = Selected();
    if (point == nullptr) {
        return false;
    }
    PointProperties properties(m_doc, *point);
    return properties.Apply(point->position, place);
}

bool PanPointKeys::ChangeAzimuth(int delta) {
    const PanPoint* point = Selected();
    if (point == nullptr) {
        return false;
    }
    PanPoint place = *point;
    SetAzimuth(place, int64_t{point->azimuth} + delta);
    return ApplyPlace(place);
}

bool PanPointKeys::ChangeElevation(int delta) {
    const PanPoint* point = Selected();
    if (point == nullptr) {
        return false;
    }
    PanPoint place = *point;
    place.elevation = std::clamp(point->elevation + delta, -kMaxElevation, kMaxElevation);
    return ApplyPlace(place);
}

bool PanPointKeys::ScaleDistance(double factor) {
    const PanPoint* point = Selected();
    if (point == nullptr) {
        return false;
    }
    PanPoint place = *point;
    auto to = static_cast<int64_t>(std::lround(point->distanceCm * factor));
    if (to == int64_t{point->distanceCm}) {
        to += factor > 1.0 ? 1 : -1;
    }
    place.distanceCm = static_cast<uint32_t>(std::clamp<int64_t>(to, 10, 10000));
    return ApplyPlace(place);
}

bool PanPointKeys::MoveColumns(int columns) {
    PanPoint* point = Selected();
    if (point == nullptr || columns == 0) {
        return false;
    }
    const WaveViewGeometry::Column column = m_geometry.ColumnOfSample(point->position) + columns;
    int64_t target = column < 0 ? 0 : int64_t{m_geometry.SampleOfColumn(column)};
    // Where a frame spans several columns, one column may not reach the next frame.
    if (columns > 0 && target <= int64_t{point->position}) {
        target = int64_t{point->position} + 1;
    } else if (columns < 0 && target >= int64_t{point->position}) {
        target = int64_t{point->position} - 1;
    }
    PointProperties properties(m_doc, *point);
    return properties.Apply(properties.Clamp(target), point->Pan());
}

bool PanPointKeys::DeleteSelected() {
    PanPoint* point = Selected();
    if (point == nullptr) {
        return false;
    }
    const PanPointList& list = m_doc.GetPanPoints();
    const PanPoint* after = list.NextPoint(point);
    const PanPoint* successor = after != nullptr ? after : list.PreviousPoint(point);
    PanEditCommands::DeletePoint(m_doc, point);
    m_pSelected = successor;
    return true;
}

std::string PanPointKeys::Describe(bool bPlace) const {
    const PanPoint* point = Selected();
    if (point == nullptr) {
        return {};
    }
    const PanPointList& list = m_doc.GetPanPoints();
    size_t index = 1;
    for (const PanPoint* p = list.NextPoint(nullptr); p != nullptr && p != point;
         p = list.NextPoint(p)) {
        ++index;
    }
    const uint32_t rate = std::max<uint32_t>(m_doc.GetFormat().sampleRate, 1);
    const std::string pan = (point->Pan() > 0 ? "+" : "") + std::to_string(point->Pan());
    return "Point " + std::to_string(index) + " of " + std::to_string(list.GetCount()) + ": " +
           TimeText::Precise(point->position, rate) + ", frame " + std::to_string(point->position) +
           ", direction " + pan + (bPlace ? ", " + PositionReadouts::PlaceText(*point) : "");
}

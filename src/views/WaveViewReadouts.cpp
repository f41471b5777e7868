#include "views/WaveViewReadouts.h"

#include "document/CTesselDoc.h"
#include "geometry/WaveViewGeometry.h"
#include "trajectory/SoundPlace.h"
#include "views/PanPointDrag.h"
#include "views/PositionReadouts.h"
#include "views/WaveSelection.h"

void WaveViewReadouts::SetHover(std::optional<uint32_t> frame, std::optional<int> pan,
                                std::optional<std::pair<PlaceValue, int32_t>> laneValue) {
    m_hoverFrame = frame;
    m_hoverPan = frame ? pan : std::nullopt;
    m_hoverLane = frame ? laneValue : std::nullopt;
}

std::string WaveViewReadouts::SelectionText() const {
    return PositionReadouts::SelectionText(m_selection.Start(), m_selection.End(),
                                           m_doc.GetFormat().sampleRate);
}

std::string WaveViewReadouts::MouseText() const {
    const uint32_t rate = m_doc.GetFormat().sampleRate;
    const bool bAround = m_geometry.IsAllAround();
    if (const PanPoint* point = m_drag.IsActive() ? m_drag.Point() : nullptr) {
        if (bAround) {
            return PositionReadouts::PlaceReadout(
                "Point", point->position, PlaceAt(m_doc.GetPanPoints(), point->position), rate);
        }
        return PositionReadouts::DragText(point->position, point->Pan(), rate);
    }
    if (!m_hoverFrame) {
        return {};
    }
    if (!bAround) {
        return PositionReadouts::HoverText(*m_hoverFrame, m_hoverPan, rate);
    }
    SoundPlace place = PlaceAt(m_doc.GetPanPoints(), *m_hoverFrame);
    if (m_hoverPan) {
        place.azimuth = *m_hoverPan;
    } else if (m_hoverLane) {
        (m_hoverLane->first == PlaceValue::Elevation ? place.elevation : place.distanceCm) =
            m_hoverLane->second;
    }
    return PositionReadouts::PlaceReadout("Mouse", *m_hoverFrame, place, rate);
}

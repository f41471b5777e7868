#include "views/WaveViewReadouts.h"

#include "document/CTesselDoc.h"
#include "views/PanPointDrag.h"
#include "views/PositionReadouts.h"
#include "views/WaveSelection.h"

void WaveViewReadouts::SetHover(std::optional<uint32_t> frame, std::optional<int> pan) {
    m_hoverFrame = frame;
    m_hoverPan = frame ? pan : std::nullopt;
}

std::string WaveViewReadouts::SelectionText() const {
    return PositionReadouts::SelectionText(m_selection.Start(), m_selection.End(),
                                           m_doc.GetFormat().sampleRate);
}

std::string WaveViewReadouts::MouseText() const {
    const uint32_t rate = m_doc.GetFormat().sampleRate;
    if (const PanPoint* point = m_drag.IsActive() ? m_drag.Point() : nullptr) {
        return PositionReadouts::DragText(point->position, point->pan, rate);
    }
    return m_hoverFrame ? PositionReadouts::HoverText(*m_hoverFrame, m_hoverPan, rate)
                        : std::string();
}

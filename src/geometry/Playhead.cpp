#include "geometry/Playhead.h"

std::optional<int> Playhead::ColumnIn(const WaveViewGeometry& geometry) const {
    if (!m_frame) {
        return std::nullopt;
    }
    const WaveViewGeometry::Column x = geometry.WindowX(geometry.ColumnOfSample(*m_frame));
    if (x < 0 || x >= geometry.ImageWidth()) {
        return std::nullopt;
    }
    return static_cast<int>(x);
}

Playhead::Step Playhead::Move(std::optional<uint32_t> frame, const WaveViewGeometry& geometry,
                              bool bFollow) {
    Step step;
    step.oldX = m_x;
    m_frame = frame;
    if (frame && bFollow && m_bInWindow) {
        const WaveViewGeometry::Column column = geometry.ColumnOfSample(*frame);
        if (geometry.WindowX(column) >= geometry.ImageWidth() && geometry.CanZoomOut()) {
            step.pageLeft = geometry.ClampLeftColumn(column);
        }
    }
    if (!step.pageLeft) {
        step.newX = ColumnIn(geometry);
        m_x = step.newX;
    }
    // After a page the view repaints everything and the paint tells where the line went.
    m_bInWindow = frame.has_value() && (step.pageLeft.has_value() || step.newX.has_value());
    return step;
}

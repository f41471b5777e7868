#include "views/WaveViewNavigation.h"

#include <cstdlib>

#include "document/CTesselDoc.h"
#include "peaks/WaveImage.h"
#include "views/WaveScrollBar.h"
#include "views/WaveSelection.h"
#include "views/WaveViewSurface.h"

int WaveViewNavigation::ClientHeight() const {
    return m_view.SurfaceHeight();
}

void WaveViewNavigation::ScrollToSample(uint32_t frame) {
    m_scrollBar.ScrollTo(m_geometry.ScrollPositionFor(frame));
    m_view.RepaintWave();
}

void WaveViewNavigation::ScrollLeftTo(WaveViewGeometry::Column left) {
    m_scrollBar.ScrollTo(m_geometry.ScrollPositionForLeft(left));
    m_view.RepaintWave();
}

void WaveViewNavigation::ScrollByColumns(int64_t columns) {
    if (columns == 0 || !m_geometry.CanZoomOut()) {
        return;
    }
    ScrollLeftTo(m_geometry.LeftColumn() + columns);
}

void WaveViewNavigation::FinishZoom(std::optional<uint32_t> frame) {
    m_image.Invalidate();
    m_scrollBar.ApplySizes();
    m_view.RepaintWave();
    if (frame) {
        ScrollToSample(*frame);
    }
}

void WaveViewNavigation::ZoomIn() {
    m_view.HideCaret();
    FinishZoom(m_geometry.ZoomIn(ClientHeight(), m_scrollBar.Height(), m_selection.Start(),
                                 m_selection.End()));
}

void WaveViewNavigation::ZoomOut() {
    m_view.HideCaret();
    FinishZoom(m_geometry.ZoomOut(ClientHeight(), m_selection.Start(), m_selection.End()));
}

void WaveViewNavigation::ShowAll() {
    m_view.HideCaret();
    m_geometry.ShowAll(ClientHeight());
    FinishZoom(std::nullopt);
}

void WaveViewNavigation::ZoomToSelection() {
    m_view.HideCaret();
    FinishZoom(m_geometry.ZoomToSelection(ClientHeight(), m_scrollBar.Height(), m_selection.Start(),
                                          m_selection.End()));
}

bool WaveViewNavigation::ZoomAbout(int x, bool bIn) {
    if (bIn ? !m_geometry.CanZoomIn() : !m_geometry.CanZoomOut()) {
        return false;
    }
    const uint32_t frame = m_view.PaintedGeometry().SampleAtX(x);
    m_view.HideCaret();
    if (bIn) {
        m_geometry.ZoomIn(ClientHeight(), m_scrollBar.Height(), m_selection.Start(),
                          m_selection.End());
    } else {
        m_geometry.ZoomOut(ClientHeight(), m_selection.Start(), m_selection.End());
    }
    FinishZoom(std::nullopt);
    const WaveViewGeometry painted = m_view.PaintedGeometry();
    ScrollLeftTo(painted.ColumnOfSample(frame) - x);
    return true;
}

void WaveViewNavigation::Wheel(int delta, bool bCtrl, int x) {
    if (bCtrl) {
        const int steps = m_wheel.ZoomSteps(delta);
        for (int i = 0; i < std::abs(steps) && !m_view.IsDragging(); ++i) {
            if (!ZoomAbout(x, steps > 0)) {
                break;
            }
        }
        return;
    }
    ScrollByColumns(m_wheel.ScrollColumns(delta, m_geometry.ImageWidth()));
}

void WaveViewNavigation::MoveToStart(bool bExtend) {
    const WaveSelection::Span span = m_selection.HomeTarget(bExtend);
    m_view.SetSelection(span.start, span.end);
    ScrollToSample(span.start);
}

void WaveViewNavigation::MoveToEnd(bool bExtend) {
    const WaveSelection::Span span = m_selection.EndTarget(bExtend, m_doc.GetFrameCount());
    m_view.SetSelection(span.start, span.end);
    ScrollToSample(span.end - 1);
}

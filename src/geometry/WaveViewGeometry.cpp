#include "geometry/WaveViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Truncation toward zero into the frame and column range: negative gives 0, too large the
// largest frame.
uint32_t Truncate(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(value);
}

double Ratio(uint32_t frames, uint32_t columns) {
    return static_cast<double>(frames) / static_cast<double>(columns);
}

}  // namespace

void WaveViewGeometry::FirstDisplay(int width, int height) {
    m_imageWidth = width;
    m_imageHeight = height;
    m_totalWidth = static_cast<uint32_t>(width);
    m_samplesPerPixel = Ratio(m_frameCount, m_totalWidth);
}

uint32_t WaveViewGeometry::Resize(int width, int height, uint32_t selStart, uint32_t selEnd) {
    m_imageHeight = height;
    m_imageWidth = width;
    const uint32_t anchor = ZoomAnchorSample(selStart, selEnd);
    if (m_totalWidth <= static_cast<uint32_t>(width)) {
        m_zoomFactor = 1;
    }
    if (m_zoomFactor == 1) {
        m_totalWidth = static_cast<uint32_t>(width);
        m_samplesPerPixel = Ratio(m_frameCount, m_totalWidth);
    }
    m_bZoomedToSelection = false;
    return anchor;
}

uint32_t WaveViewGeometry::ZoomIn(int clientHeight, int barHeight, uint32_t selStart,
                                  uint32_t selEnd) {
    const uint32_t anchor = ZoomAnchorSample(selStart, selEnd);
    m_bZoomedToSelection = false;
    m_zoomFactor *= 2;
    if (m_totalWidth == static_cast<uint32_t>(m_imageWidth)) {
        m_imageHeight = clientHeight - barHeight;
    }
    m_samplesPerPixel = std::max(1.0, m_samplesPerPixel * 0.5);
    m_totalWidth = Truncate(m_frameCount / m_samplesPerPixel);
    return anchor;
}

uint32_t WaveViewGeometry::ZoomOut(int clientHeight, uint32_t selStart, uint32_t selEnd) {
    const uint32_t anchor = ZoomAnchorSample(selStart, selEnd);
    m_bZoomedToSelection = false;
    m_zoomFactor = std::max<uint32_t>(1, m_zoomFactor / 2);
    const auto width = static_cast<uint32_t>(m_imageWidth);
    m_totalWidth = Truncate(m_frameCount / (2.0 * m_samplesPerPixel));
    if (m_totalWidth < width) {
        m_totalWidth = width;
        m_zoomFactor = 1;
    }
    if (m_totalWidth == width) {
        m_imageHeight = clientHeight;
    }
    m_samplesPerPixel = std::max(1.0, Ratio(m_frameCount, m_totalWidth));
    return anchor;
}

void WaveViewGeometry::ShowAll(int clientHeight) {
    m_zoomFactor = 1;
    m_bZoomedToSelection = false;
    m_totalWidth = static_cast<uint32_t>(m_imageWidth);
    m_samplesPerPixel = std::max(1.0, Ratio(m_frameCount, m_totalWidth));
    m_imageHeight = clientHeight;
}

uint32_t WaveViewGeometry::ZoomToSelection(int clientHeight, int barHeight, uint32_t selStart,
                                           uint32_t selEnd) {
    // A view not yet shown has no columns; a command queued before it was hidden still counts.
    const auto width = static_cast<uint32_t>(std::max(1, m_imageWidth));
    const uint32_t perColumn = (selEnd - selStart) / width + 1;
    uint32_t total = m_frameCount / perColumn;
    if (width < total) {
        m_zoomFactor = std::max<uint32_t>(2, total / width);
    } else {
        total = width;
        m_zoomFactor = 1;
    }
    const bool bFullHeight = m_zoomFactor < 2 || width < m_totalWidth || width >= total;
    m_imageHeight = bFullHeight ? clientHeight : clientHeight - barHeight;
    m_totalWidth = total;
    m_samplesPerPixel = std::max(1.0, Ratio(m_frameCount, total));
    m_bZoomedToSelection = true;
    return selStart + (selEnd - selStart) / 2;
}

bool WaveViewGeometry::CanZoomIn() const {
    return m_samplesPerPixel > 1.0;
}

bool WaveViewGeometry::CanZoomOut() const {
    return static_cast<uint32_t>(m_imageWidth) < m_totalWidth;
}

bool WaveViewGeometry::CanZoomToSelection(uint32_t selStart, uint32_t selEnd) const {
    return m_imageWidth > 0 && selStart < selEnd - 1 && !m_bZoomedToSelection &&
           (m_samplesPerPixel > 1.0 || static_cast<uint32_t>(m_imageWidth) < selEnd - selStart);
}

void WaveViewGeometry::FitScaleToTotalWidth() {
    if (m_totalWidth != 0) {
        m_samplesPerPixel = Ratio(m_frameCount, m_totalWidth);
    }
}

WaveViewGeometry::ScrollSizes WaveViewGeometry::UpdateScrollSizes() {
    const int width = m_imageWidth;
    ScrollSizes sizes;
    sizes.bNeedsBar = m_totalWidth > static_cast<uint32_t>(std::max(width, 0));
    if (m_totalWidth <= static_cast<uint32_t>(kMaxScrollPosition)) {
        m_scrollScale = 1.0;
        m_bDirectScroll = true;
        sizes.maximum = std::max(0, static_cast<int>(m_totalWidth) - width);
        sizes.pageStep = std::max(1, width / 2);
        sizes.singleStep = std::max(1, width / 10);
    } else {
        m_scrollRange = kMaxScrollPosition - width;
        m_bDirectScroll = false;
        m_scrollRemainder = 0;
        m_scrollScale = static_cast<double>(m_totalWidth - static_cast<uint32_t>(width)) /
                        static_cast<double>(m_scrollRange);
        sizes.maximum = std::max(0, m_scrollRange);
    }
    return sizes;
}

int WaveViewGeometry::ScaledStep(int columns, bool bRight) {
    const double scale = m_scrollScale;
    const int step = static_cast<int>(scale);
    int position = m_scrollPosition;
    int remainder = bRight ? m_scrollRemainder + columns : m_scrollRemainder - columns;
    if (bRight) {
        if (remainder > scale) {
            do {
                if (position >= m_scrollRange) {
                    break;
                }
                remainder -= step;
                position += 1;
            } while (remainder > scale);
        }
        if (position == m_scrollRange) {
            remainder = 0;
        }
    } else {
        while (remainder < 0 && position >= 0) {
            remainder += step;
            position -= 1;
        }
        if (position < 0) {
            position = 0;
            remainder = 0;
        }
    }
    m_scrollRemainder = remainder;
    return position;
}

int WaveViewGeometry::ScrollPositionFor(uint32_t frame) {
    const auto width = static_cast<uint32_t>(m_imageWidth);
    if (m_totalWidth <= width) {
        return 0;
    }
    auto column = static_cast<uint32_t>(ColumnOfSample(frame));
    column = column >= width / 2 ? column - width / 2 : 0;
    if (m_totalWidth > static_cast<uint32_t>(kMaxScrollPosition)) {
        m_scrollRemainder = 0;
        column = Truncate(column / m_scrollScale);
    }
    return static_cast<int>(std::min<uint32_t>(column, kMaxScrollPosition));
}

WaveViewGeometry::Column WaveViewGeometry::ClampLeftColumn(Column left) const {
    const Column last = std::max<Column>(0, Column{m_totalWidth} - m_imageWidth);
    return std::clamp<Column>(left, 0, last);
}

int WaveViewGeometry::ScrollPositionForLeft(Column left) {
    left = ClampLeftColumn(left);
    if (m_bDirectScroll) {
        return static_cast<int>(std::min<Column>(left, kMaxScrollPosition));
    }
    const auto position = static_cast<int>(std::clamp<double>(
        std::trunc(static_cast<double>(left) / m_scrollScale), 0.0, std::max(m_scrollRange, 0)));
    // LeftColumn() = trunc(remainder + position * scale) gives left back exactly.
    m_scrollRemainder =
        static_cast<int>(left - static_cast<Column>(std::floor(position * m_scrollScale)));
    return position;
}

WaveViewGeometry::Column WaveViewGeometry::ColumnOfSample(uint32_t frame) const {
    if (!(m_samplesPerPixel > 0.0)) {
        return 0;
    }
    return Truncate(frame / m_samplesPerPixel);
}

uint32_t WaveViewGeometry::SampleOfColumn(Column column) const {
    return Truncate(static_cast<double>(column) * m_samplesPerPixel);
}

WaveViewGeometry::Column WaveViewGeometry::LeftColumn() const {
    if (m_bDirectScroll) {
        return std::max(m_scrollPosition, 0);
    }
    return Truncate(m_scrollRemainder + m_scrollPosition * m_scrollScale);
}

uint32_t WaveViewGeometry::SampleAtX(int x) const {
    const Column column = x >= 0 ? LeftColumn() + x : LeftColumn();
    return std::min(SampleOfColumn(column), m_frameCount);
}

bool WaveViewGeometry::IsSampleVisible(uint32_t frame) const {
    return SampleOfColumn(LeftColumn()) <= frame && frame <= SampleOfColumn(RightColumn());
}

bool WaveViewGeometry::SelectionInView(uint32_t selStart, uint32_t selEnd) const {
    return selStart <= SampleOfColumn(RightColumn()) && SampleOfColumn(LeftColumn()) <= selEnd;
}

uint32_t WaveViewGeometry::ZoomAnchorSample(uint32_t selStart, uint32_t selEnd) const {
    if (IsSampleVisible(selStart)) {
        return selStart;
    }
    if (IsSampleVisible(selEnd)) {
        return selEnd;
    }
    const uint32_t first = SampleOfColumn(LeftColumn());
    const uint32_t last = SampleOfColumn(RightColumn());
    return first + (last - first) / 2;
}

WaveViewGeometry::Band WaveViewGeometry::ClipBand(Column a, Column b) const {
    const Column left = LeftColumn();
    const Column right = RightColumn();
    Column from = std::min(a, b);
    Column to = std::max(a, b);
    if (right < from || to < left) {
        return {};
    }
    from = std::max(from, left);
    to = std::min(to, right);
    return Band{static_cast<int>(from - left), static_cast<int>(to - left)};
}

WaveViewGeometry::Band WaveViewGeometry::CaretBand(uint32_t selStart, uint32_t selEnd) const {
    if (!SelectionInView(selStart, selEnd)) {
        return {};
    }
    const Column left = LeftColumn();
    const Column from = std::max(ColumnOfSample(selStart), left) - left;
    Column to = std::min(RightColumn(), ColumnOfSample(selEnd)) - left;
    if (to < from + 2) {
        to = from + 2;
    }
    return Band{static_cast<int>(from), static_cast<int>(to)};
}

WaveViewGeometry::HitWindow WaveViewGeometry::HitWindowAt(int x, int y) const {
    HitWindow window;
    if (m_bAllAround) {
        const PlaceAxis::Reach reach = AzimuthAxis().ReachAt(y);
        window.lowestPan = reach.lowest;
        window.highestPan = reach.highest;
    }
    const uint32_t frame = SampleAtX(x);
    const auto reach = static_cast<uint32_t>(std::min(4.0 * m_samplesPerPixel, 4294967295.0));
    window.firstFrame = frame <= reach ? 0 : frame - reach;
    window.lastFrame =
        static_cast<uint32_t>(std::min<uint64_t>(m_frameCount, uint64_t{frame} + reach));
    // Four columns either side; the frames of the fifth to the right may come along.
    const Column at = x >= 0 ? LeftColumn() + x : LeftColumn();
    window.firstFrame = std::min(window.firstFrame, SampleOfColumn(std::max<Column>(at - 4, 0)));
    window.lastFrame = std::max(window.lastFrame, std::min(SampleOfColumn(at + 5), m_frameCount));
    if (m_bAllAround) {
        return window;
    }
    const int pan = PanFromY(y);
    window.lowestPan = std::max(-90, pan - 4);
    window.highestPan = std::min(90, pan + 4);

    // Four rows either way, one degree more for the truncations of the axis.
    window.lowestPan = std::max(-90, std::min(window.lowestPan, PanFromY(y - 4) - 1));
    window.highestPan = std::min(90, std::max(window.highestPan, PanFromY(y + 4) + 1));
    return window;
}

int WaveViewGeometry::YOfPan(int pan) const {
    if (m_bAllAround) {
        return AzimuthAxis().YOf(pan);
    }
    // Heights of 8 rows or less leave no room for the axis; one row stands for all of it.
    const int span = std::max(1, m_imageHeight - 8);
    return (pan + 90) * span / 180 + 4;
}

int WaveViewGeometry::PanFromY(int y) const {
    if (m_bAllAround) {
        return AzimuthAxis().ValueAt(y);
    }
    const int span = std::max(1, m_imageHeight - 8);
    return std::clamp((y - 4) * 180 / span - 90, -90, 90);
}

int WaveViewGeometry::StartRowAt(Column c0, int y0, Column c1, int y1, Column at) {
    if (c1 == c0) {
        return y0;
    }
    return y0 + static_cast<int>(static_cast<double>(y1 - y0) / static_cast<double>(c1 - c0) *
                                 static_cast<double>(at - c0));
}

int WaveViewGeometry::EndRowAt(Column c0, int y0, Column c1, int y1, Column at) {
    return static_cast<int>(static_cast<double>(y1 - y0) / static_cast<double>(c1 - c0) *
                                static_cast<double>(at - c0) +
                            y0);
}

#include "geometry/WheelSteps.h"

#include <algorithm>

int WheelSteps::ZoomSteps(int delta) {
    m_zoomCarry += delta;
    const int steps = m_zoomCarry / kNotch;
    m_zoomCarry -= steps * kNotch;
    return steps;
}

int64_t WheelSteps::ColumnsPerNotch(int width) {
    return std::max(1, width / 10);
}

int64_t WheelSteps::ScrollColumns(int delta, int width) {
    m_scrollCarry -=
        static_cast<double>(delta) * static_cast<double>(ColumnsPerNotch(width)) / kNotch;
    const auto columns = static_cast<int64_t>(m_scrollCarry);
    m_scrollCarry -= static_cast<double>(columns);
    return columns;
}

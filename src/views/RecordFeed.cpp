#include "views/RecordFeed.h"

#include "platform/UserPrompts.h"

TrajectoryControl::Value RecordFeed::ValueOf(Surface surface) {
    switch (surface) {
        case Surface::ElevationLane:
            return TrajectoryControl::Value::Elevation;
        case Surface::DistanceLane:
            return TrajectoryControl::Value::Distance;
        case Surface::TopView:
            return TrajectoryControl::Value::AzimuthAndDistance;
        case Surface::Wave:
        case Surface::PanDisplay:
            break;
    }
    return TrajectoryControl::Value::Azimuth;
}

bool RecordFeed::Press(Surface surface, double value, double second) {
    if (!m_control.TakesTouch()) {
        return false;
    }
    m_letGo();
    const TrajectoryControl::Touched touched = m_control.Touch(ValueOf(surface), value, second);
    if (!touched.why.empty()) {
        m_prompts.ShowStatus(touched.why);
    } else if (touched.bTaken) {
        m_held = surface;
    }
    return touched.bTaken;
}

void RecordFeed::Move(Surface surface, double value, double second) {
    if (m_held == surface) {
        m_control.Move(value, second);
    }
}

bool RecordFeed::Release() {
    if (!m_held) {
        return false;
    }
    m_held.reset();
    m_control.Release();
    return true;
}

#pragma once

#include <functional>
#include <optional>

#include "trajectory/TrajectoryControl.h"

class UserPrompts;

// A wave view's feeder of Record Trajectory: the pointer held on one of its surfaces turned
// into the value that surface stands for, handed to the document's recording control. Only a
// hold that began on a surface follows that surface. The control, the prompts and the view's
// let-go (which ends a point drag before a pass rewrites the points) outlive the feed.
// Degrees; centimetres.
class RecordFeed {
  public:
    // Where the pointer is held: the wave's height and the pan display are azimuth; the view
    // from above is azimuth and distance at once.
    enum class Surface { Wave, ElevationLane, DistanceLane, PanDisplay, TopView };

    RecordFeed(TrajectoryControl& control, UserPrompts& prompts, std::function<void()> letGo)
        : m_control(control), m_prompts(prompts), m_letGo(std::move(letGo)) {}

    // A left press on surface with the pointer's value there (second: the distance on the view
    // from above): true when recording took it, whether it records or said why not.
    bool Press(Surface surface, double value, double second = 0.0);
    // The pointer moved on surface.
    void Move(Surface surface, double value, double second = 0.0);
    // True when a press this feed took ends.
    bool Release();
    std::optional<Surface> Held() const { return m_held; }

    static TrajectoryControl::Value ValueOf(Surface surface);

  private:
    TrajectoryControl& m_control;
    UserPrompts& m_prompts;
    std::function<void()> m_letGo;
    std::optional<Surface> m_held;
};

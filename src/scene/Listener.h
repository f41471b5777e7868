#pragma once

// Where the listener's head points, in degrees: yaw + to the right, pitch + nose up, roll +
// right ear down, applied in that order in the head's own axes. Straight ahead is all 0.
struct HeadTurn {
    double yaw = 0.0;
    double pitch = 0.0;
    double roll = 0.0;

    bool IsStraight() const { return yaw == 0.0 && pitch == 0.0 && roll == 0.0; }
    bool operator==(const HeadTurn&) const = default;
};

// The one listener of a scene.
struct Listener {
    HeadTurn head;

    bool operator==(const Listener&) const = default;
};

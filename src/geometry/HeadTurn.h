#pragma once

#include <cmath>

// Where the listener's head points, in degrees: yaw + to the right, pitch + nose up, roll +
// right ear down, applied in that order in the head's own axes. Straight ahead is all 0.
struct HeadTurn {
    double yaw = 0.0;
    double pitch = 0.0;
    double roll = 0.0;

    bool IsStraight() const { return yaw == 0.0 && pitch == 0.0 && roll == 0.0; }
    // The same turn with each angle in -180 (exclusive) .. 180: 270 reads as -90.
    HeadTurn Wrapped() const { return {Wrap(yaw), Wrap(pitch), Wrap(roll)}; }
    bool operator==(const HeadTurn&) const = default;

    static double Wrap(double degrees) {
        double folded = std::fmod(degrees, 360.0);
        if (folded <= -180.0) {
            folded += 360.0;
        } else if (folded > 180.0) {
            folded -= 360.0;
        }
        return folded;
    }
};

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

// A direction in degrees: azimuth -180 .. 180 (+90 right), elevation -90 .. 90 (+90 up).
struct Heading {
    double azimuth = 0.0;
    double elevation = 0.0;
};

// The one listener of a scene.
struct Listener {
    HeadTurn head;

    // A direction of the scene (x right, y ahead, z up) as the head hears it: with the head
    // turned 90 degrees right, a sound straight ahead is heard at -90. Straight ahead, the
    // direction itself, untouched.
    Heading Hears(const Heading& direction) const;

    bool operator==(const Listener&) const = default;
};

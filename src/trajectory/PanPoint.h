#pragma once

#include <cstdint>

#include "trajectory/Place.h"

// One point of a trajectory: where the sound is (its Place) at one sample frame. Points are
// identified by address: the list that holds a point owns it, and other objects keep plain
// pointers to it. The frontal pan the achk chunk stores is derived from the azimuth (Pan), so
// a point holds one direction only.
struct PanPoint : Place {
    PanPoint() = default;
    // A point of the front half-circle: its azimuth is its pan.
    PanPoint(uint32_t framePosition, int32_t frontalPan) : position(framePosition) {
        azimuth = frontalPan;
    }
    PanPoint(uint32_t framePosition, const Place& place) : Place(place), position(framePosition) {}

    uint32_t position = 0;  // sample frame, 0 .. frame count inclusive

    // Whole degrees, -90 full left .. +90 full right: the frontal fold of the azimuth.
    int32_t Pan() const { return FrontalFold(azimuth); }
    const Place& GetPlace() const { return *this; }

    bool operator==(const PanPoint&) const = default;
};

#pragma once

#include <cstdint>

#include "platform/DistanceLaw.h"

// One point of a trajectory: where the sound is at one sample frame. Points are identified
// by address: the list that holds a point owns it, and other objects keep plain pointers to it.
//
// The place is azimuth, elevation, distance and width; pan is derived from azimuth (its
// frontal fold, which the achk chunk stores), so every write of a direction goes through
// SetAzimuth (SoundPlace.h) to keep the two together.
struct PanPoint {
    PanPoint() = default;
    // A point of the front half-circle: its azimuth is its pan.
    PanPoint(uint32_t framePosition, int32_t frontalPan)
        : position(framePosition), pan(frontalPan), azimuth(frontalPan) {}

    uint32_t position = 0;  // sample frame, 0 .. frame count inclusive
    int32_t pan = 0;        // whole degrees, -90 full left .. +90 full right: the fold of azimuth
    int32_t azimuth = 0;    // whole degrees, -179 .. 180: 0 ahead, +90 right, 180 behind
    int32_t elevation = 0;  // whole degrees, -90 straight down .. +90 straight up
    uint32_t distanceCm = kDefaultDistanceCm;  // from the centre of the head, 10 .. 10000
    int32_t width = 0;  // whole degrees, 0 .. 180: a stereo sound's spread around the direction

    bool operator==(const PanPoint&) const = default;
};

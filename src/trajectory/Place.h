#pragma once

#include <cstdint>
#include <string>

#include "platform/DistanceLaw.h"

// Where a point of a trajectory puts the sound, in the whole units every storage keeps. The one
// type of a place: the achk and ach3 chunks, the recovery journal, ADM blocks and the command
// line's points text and JSON are each a codec of it, and the frontal pan is derived from it
// (FrontalFold), never kept beside it.
struct Place {
    int32_t azimuth = 0;    // whole degrees, -179 .. 180: 0 ahead, +90 right, 180 behind
    int32_t elevation = 0;  // whole degrees, -90 straight down .. +90 straight up
    uint32_t distanceCm = kDefaultDistanceCm;  // from the centre of the head, 10 .. 10000
    int32_t width = 0;  // whole degrees, 0 .. 180: a stereo sound's spread around the direction

    bool operator==(const Place&) const = default;
};

constexpr int32_t kMinAzimuth = -179;
constexpr int32_t kMaxAzimuth = 180;
constexpr int32_t kMaxElevation = 90;
constexpr int32_t kMaxWidth = 180;
constexpr int32_t kMaxPan = 90;  // the front half-circle: -90 full left .. +90 full right

// Whole degrees of any size onto -179 .. 180 (so -180 is 180).
int32_t NormalAzimuth(int64_t degrees);
// The pan a front-only reader sees for an azimuth: az within -90 .. 90; 180 - az above;
// -180 - az below.
int32_t FrontalFold(int32_t azimuth);

// Why a place lies outside what a trajectory holds, in words naming the value ("azimuth 99999
// lies outside -179 ... 180 degrees"); empty when every value is within its range.
std::string WhyOutOfRange(const Place& place);
// The place with each value brought within its range (an azimuth normalised, the others held
// at the nearer end).
Place WithinRange(const Place& place);

#pragma once

#include <cstdint>

// The one distance law every renderer applies: gain 1/d relative to 1 m, at most +12 dB (a
// source nearer than 0.25 m counts as 0.25 m). Distances are centimetres from the centre of
// the head, as the trajectory stores them.
constexpr uint32_t kNearestDistanceCm = 10;
constexpr uint32_t kFarthestDistanceCm = 10000;
constexpr uint32_t kDefaultDistanceCm = 100;

constexpr double DistanceGain(uint32_t distanceCm) {
    const double metres = distanceCm < 25u ? 0.25 : distanceCm / 100.0;
    return 1.0 / metres;
}

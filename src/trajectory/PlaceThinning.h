#pragma once

#include <cstdint>
#include <vector>

#include "trajectory/PanPoint.h"
#include "trajectory/SoundPlace.h"

// The fewest places of a path that keep it where it was (Douglas-Peucker along the great
// circle): the path through the places kept, as playback interpolates it (InterpolatePlace),
// stays within a tolerance of every place left out, its direction within that many degrees
// along the great circle, its width within that many degrees and its distance within that
// many centimetres. Frames; angles degrees.
namespace PlaceThinning {

struct TimedPlace {
    uint32_t position = 0;
    SoundPlace place;
};

// The angle between two directions along the great circle, in degrees.
double TurnBetween(const SoundPlace& a, const SoundPlace& b);

// Which of places (frames never falling) are kept: the first and the last, both places of a
// step (two at one frame), and the fewest between that keep within tolerance.
std::vector<bool> Keep(const std::vector<TimedPlace>& places, double tolerance);

// The points of a trajectory (in order) that Keep keeps, as they are.
std::vector<PanPoint> Thin(const std::vector<PanPoint>& points, double tolerance);

}  // namespace PlaceThinning

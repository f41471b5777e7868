#pragma once

#include <cstdint>

#include "geometry/PlaceAxis.h"

struct PanPoint;
struct SoundPlace;

// A point's or a place's value on one scale of the all-around view, and the write of one such
// value into a point (a direction through SetAzimuth, so pan stays its fold). Degrees and
// centimetres.
namespace PlaceValues {

int32_t Of(const PanPoint& point, PlaceValue value);
double Of(const SoundPlace& place, PlaceValue value);
void Set(PanPoint& point, PlaceValue value, int32_t to);

}  // namespace PlaceValues

#pragma once

#include <cstdint>
#include <vector>

#include "formats/AdmMetadata.h"
#include "trajectory/PanPoint.h"

class PanPointList;

// A trajectory as the objects of an ADM file carry it, and back. A mono sound is one object
// that follows the points. A stereo sound is two objects placed as the mixer places its two
// channels: the left half the width to the left of each point's azimuth, the right half the
// width to the right, both at its elevation and distance. Reading two objects back takes the
// direction halfway between them and the width between them.
namespace AdmTrajectory {

// One list of places per channel (1 or 2), one place per point.
std::vector<std::vector<AdmPlace>> ChannelPlaces(const PanPointList& points, uint16_t channels);

// The points the channels' places stand for, in whole units within their ranges; none when
// there are no channels.
std::vector<PanPoint> PointsOf(const std::vector<std::vector<AdmPlace>>& channels);

}  // namespace AdmTrajectory

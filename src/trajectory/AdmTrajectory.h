#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/AdmMetadata.h"
#include "geometry/HeadTurn.h"
#include "trajectory/PanPoint.h"

class PanPointList;

// A trajectory as the objects of an ADM file carry it, and back. A mono sound is one object
// that follows the points. A stereo sound is two objects placed as the mixer places its two
// channels: the left half the width to the left of each point's azimuth, the right half the
// width to the right, both at its elevation and distance. Reading two objects back takes the
// direction halfway between them and the width between them.
namespace AdmTrajectory {

// The most a block turns along the great circle, in degrees, and the most its distance
// changes, as a factor: a renderer of the model blends loudspeaker gains across a block, which
// follows the path only over short turns.
constexpr double kMaxBlockTurnDegrees = 10.0;
constexpr double kMaxBlockDistanceFactor = 1.25;

// The blocks of each channel's object (1 or 2 channels) over a sound of frameCount frames, as
// the trajectory's cursor walks it: from its place at frame 0 (a block of no length), then
// along each stretch between points in blocks within kMaxBlockTurnDegrees and
// kMaxBlockDistanceFactor (fewer only where a stretch has fewer frames), a still stretch in one
// block, and a step (points at one frame) as a block that jumps. The channels' blocks share
// their times and run without a gap to frameCount. None without points. With the head turned,
// each place is where that head hears it (the blocks fall where they would straight ahead:
// turning the head turns every stretch alike).
std::vector<std::vector<AdmBlock>> ChannelBlocks(const PanPointList& points, uint32_t frameCount,
                                                 uint16_t channels, const HeadTurn& head = {});

// What an ADM file's metadata says of a turned head, in words; "" straight ahead.
std::string HeadNote(const HeadTurn& head);

// The places of kThinningDegrees: points whose direction lies this close to the great circle
// between their neighbours (and distance and width as close to the straight line) are left out.
constexpr double kThinningDegrees = 0.5;

// The points the channels' places stand for, the fewest within kThinningDegrees of them, in
// whole units within their ranges; none when there are no channels. A leading point straight
// ahead at frame 0 and trailing points that repeat the last place are left out: the
// trajectory holds them without the points.
std::vector<PanPoint> PointsOf(const std::vector<std::vector<AdmPlace>>& channels);

}  // namespace AdmTrajectory

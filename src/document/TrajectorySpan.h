#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trajectory/PanPoint.h"

class CTesselDoc;

// Edits of the points over a span of frames (from .. to, both included), each one undo step
// of the document: generated shapes, recorded passes, time-scaled selections.
class TrajectorySpan {
  public:
    // Puts values (in order, within the span) in place of the points of the span; the points
    // outside it stay as they are.
    static bool Replace(CTesselDoc& doc, uint32_t from, uint32_t to,
                        const std::vector<PanPoint>& values);
    // Scales the times of the span's points around from by factor: above 1 slower (the points
    // the stretched span then covers go), below 1 faster. False with a message when the span
    // holds no point or would pass the end of the sound.
    static bool Stretch(CTesselDoc& doc, uint32_t from, uint32_t to, double factor,
                        std::string& error);
};

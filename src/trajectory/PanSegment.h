#pragma once

#include <cstdint>
#include <memory>

class PanPointList;

// The straight piece of a pan trajectory that playback and export step along. Positions are
// sample frames, pans whole degrees, the slope degrees per frame.
struct PanSegment {
    uint32_t startPos = 0;
    int32_t startPan = 0;
    uint32_t endPos = 0;  // next point after startPos, or the frame count when none
    int32_t endPan = 0;
    double slope = 0.0;
    uint32_t playOffset = 0;  // frame where the current playback or export began; set by the caller
};

// Fills segment for frame pos of a trajectory over frameCount frames, creating it when
// absent. An empty list destroys the segment and returns false. playOffset is kept.
bool ComputePanSegment(const PanPointList& points, uint32_t frameCount, uint32_t pos,
                       std::unique_ptr<PanSegment>& segment);

// The pan at frame s, startPos <= s < endPos, as playback and export step it:
// startPan + trunc((s - startPos) * slope), the product in extended precision.
int32_t StepPan(const PanSegment& segment, uint32_t s);

// The first frame in (from, limit) whose stepped pan differs from that of from; limit when
// none. startPos <= from < limit <= endPos. The stepped pan is monotonic within a segment, so
// a bisection finds it.
uint32_t NextPanChange(const PanSegment& segment, uint32_t from, uint32_t limit);

// The direction playback gives frame s: stepped within the segment, else the start of the
// segment rebuilt at s (which the segment then is). An emptied trajectory keeps lastPan.
int32_t PanForFrame(const PanPointList& points, uint32_t frameCount, uint32_t s,
                    std::unique_ptr<PanSegment>& segment, int32_t lastPan);

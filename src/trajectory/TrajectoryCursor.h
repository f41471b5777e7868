#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "trajectory/PanSegment.h"
#include "trajectory/SoundPlace.h"

class PanPointList;

// A stretch of frames [first, end) and the places at its two edges.
struct PlaceRun {
    uint32_t first = 0;
    uint32_t end = 0;   // one past the last frame; at least first + 1
    SoundPlace start;   // the place at first
    SoundPlace finish;  // the place at end; a frontal run holds start throughout
};

// The one reader of a trajectory for every renderer, the preview and the views: it walks the
// points in the order frames are asked for and hands out runs of places at whatever length the
// caller asks. Two modes:
//   Frontal: the front half-circle as a pan, stepped as the filter export and the preview
//     always stepped it (PanSegment: whole degrees, a new segment from the first frame asked
//     outside the last). Each run holds one direction, the pan as the azimuth, level, at 1 m,
//     with no width, and ends where the stepped pan changes.
//   AllAround: places between points along the great circle (InterpolatePlace), the run
//     being exactly as long as asked; a renderer moves its gains across it.
// Frames are sample frames of the sound; the points are borrowed and outlive the cursor.
// Invalidate after the trajectory changes. Not shared between threads.
class TrajectoryCursor {
  public:
    enum class Mode { Frontal, AllAround };

    // Frontal when every point is (IsFrontal), else AllAround.
    static Mode ModeOf(const PanPointList& points);

    TrajectoryCursor(const PanPointList& points, uint32_t frameCount, Mode mode);
    TrajectoryCursor(const PanPointList& points, uint32_t frameCount)
        : TrajectoryCursor(points, frameCount, ModeOf(points)) {}
    ~TrajectoryCursor();
    TrajectoryCursor(const TrajectoryCursor&) = delete;
    TrajectoryCursor& operator=(const TrajectoryCursor&) = delete;

    Mode GetMode() const { return m_mode; }
    void SetMode(Mode mode);
    bool IsFrontal() const { return m_mode == Mode::Frontal; }

    // The run from frame s, at most maxFrames (at least 1) long; none when the trajectory has
    // no point (a renderer then keeps what it had).
    std::optional<PlaceRun> Run(uint32_t s, uint32_t maxFrames);
    // The place at frame s (a run of one frame's start); none without points.
    std::optional<SoundPlace> At(uint32_t s);
    // The stepped pan at frame s in the frontal mode; none without points.
    std::optional<int32_t> PanAt(uint32_t s);

    // The trajectory changed: nothing walked so far is trusted.
    void Invalidate();

  private:
    // The frontal segment holding s, made afresh at s when s lies outside the one held.
    bool SegmentFor(uint32_t s);

    const PanPointList& m_points;
    uint32_t m_frameCount;
    Mode m_mode;
    std::unique_ptr<PanSegment> m_pSegment;
    PlaceCursor m_places;
};

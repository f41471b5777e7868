#pragma once

#include <cstdint>
#include <vector>

#include "trajectory/PanPointList.h"
#include "trajectory/TrajectoryControl.h"

class CTesselDoc;

// Record Trajectory bound to one document: its TrajectoryControl, whose passes this writes
// into the document's points. A pass is one undo step. It is written as it goes, so playback
// hears it at once: the captures behind the frame heard, the latest value held a little ahead
// of it. At its end it becomes the thinned points. Either way the path outside the span
// played over stays as it was: a point at each edge carries the old path's place there, so
// the trajectory before the first frame and after the last is the old one (within the whole
// degrees and centimetres a point holds). What a pass does not record (the azimuth under a
// lane, say) stays what the trajectory had. The document owns the recorder and outlives it.
// Frames; degrees; centimetres.
class TrajectoryRecorder : private TrajectoryControl::Sink {
  public:
    using Mode = TrajectoryControl::Mode;
    using Value = TrajectoryControl::Value;
    using Sample = TrajectoryControl::Sample;

    explicit TrajectoryRecorder(CTesselDoc& doc);
    ~TrajectoryRecorder() override;  // ends an open pass
    TrajectoryRecorder(const TrajectoryRecorder&) = delete;
    TrajectoryRecorder& operator=(const TrajectoryRecorder&) = delete;

    TrajectoryControl& Control() { return m_control; }
    const TrajectoryControl& Control() const { return m_control; }

    // The points that keep points' path exactly as it is on one side of frame when the other
    // side is replaced: the place arriving at frame from before it (the first point there, if
    // any), and the place leaving it (the last point there).
    static PanPoint EdgeArriving(const PanPointList& points, uint32_t frame);
    static PanPoint EdgeLeaving(const PanPointList& points, uint32_t frame);

  private:
    Sample ValueAt(Value value, uint32_t frame) const override;
    void OnPassBegun(Value value, uint32_t frame) override;
    void OnCapture(const Sample& latest) override;
    void OnPassEnded(const std::vector<Sample>& kept) override;
    void OnJoinBegun() override;
    void OnJoinEnded() override;

    // The point of a sample: the recorded value, the rest as the trajectory had it there.
    PanPoint MakePoint(const Sample& sample) const;
    // Removes a point the pass put in, if it is still where the pass put it.
    void RemoveOwn(const PanPoint*& point, uint32_t frame);
    // Frames the latest value is held ahead of the frame heard while a pass is live: longer
    // than a tick, so the next one still finds it.
    uint32_t HoldFrames() const;

    CTesselDoc& m_doc;
    TrajectoryControl m_control;
    Value m_value = Value::Azimuth;
    PanPointList m_original;  // the trajectory as the pass found it
    uint32_t m_from = 0;      // the pass's first frame
    // The live pass in the document: its latest point, the same value held at m_liveEnd and
    // the old path's place leaving m_liveEnd, which is as far as the pass has reached.
    bool m_bWritten = false;
    const PanPoint* m_pLive = nullptr;
    const PanPoint* m_pHold = nullptr;
    const PanPoint* m_pEdge = nullptr;
    uint32_t m_liveFrame = 0;
    uint32_t m_liveEnd = 0;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/PanPointList.h"

class CTesselDoc;

// One performance of a trajectory while the sound plays: the value under the pointer
// (azimuth, elevation or distance) at the frames being heard, written into the document as it
// comes so it is heard at once, and at the end of the pass thinned to the fewest points that
// keep within kTolerance of what was captured. Points are replaced only over the span the pass
// wrote; each pass is one undo step. The caller feeds frames in playing order; angles in
// degrees, distance in centimetres. The document outlives the recorder.
class TrajectoryRecorder {
  public:
    // Touch: writes while the button is held. Latch: after the release holds the last value
    // until playback stops. Write: from where playback started to where it stops.
    enum class Mode { Touch = 0, Latch = 1, Write = 2 };
    enum class Value { Azimuth, Elevation, Distance };
    struct Sample {
        uint32_t frame;
        double value;
    };
    static constexpr double kTolerance = 0.5;

    TrajectoryRecorder(CTesselDoc& doc, Mode mode, Value value);
    ~TrajectoryRecorder();  // ends an open pass
    TrajectoryRecorder(const TrajectoryRecorder&) = delete;
    TrajectoryRecorder& operator=(const TrajectoryRecorder&) = delete;

    // Why doc cannot take value here, in words; "" when it can. bAllAround: the place shows
    // elevation and distance.
    static std::string WhyNot(const CTesselDoc& doc, Value value, bool bAllAround);

    // Playback started at frame: a Write pass begins with the value in force there.
    void Started(uint32_t frame);
    void Press(uint32_t frame, double value);
    // The pointer while held (a timer samples it, not only its moves).
    void Move(uint32_t frame, double value);
    void Release(uint32_t frame);
    // A playback tick: Latch and Write hold the last value up to frame.
    void Tick(uint32_t frame);
    // Playback stopped (frame: the last heard): the pass ends.
    void Stopped(uint32_t frame);

    bool IsHeld() const { return m_bHeld; }
    bool IsInPass() const { return m_bInPass; }
    Mode GetMode() const { return m_mode; }

    // The indices of the fewest samples whose straight lines stay within tolerance of every
    // sample (first and last always kept), in order.
    static std::vector<size_t> Thin(const std::vector<Sample>& samples, double tolerance);

  private:
    void Begin(uint32_t frame, double value);
    void Capture(uint32_t frame, double value);
    void End();
    PanPoint MakePoint(uint32_t frame, double value) const;
    double ValueAt(uint32_t frame) const;

    CTesselDoc& m_doc;
    Mode m_mode;
    Value m_value;
    bool m_bPlaying = false;
    bool m_bHeld = false;
    bool m_bInPass = false;
    double m_last = 0.0;      // the last value captured
    PanPointList m_original;  // the trajectory as the pass found it
    std::vector<Sample> m_samples;
};

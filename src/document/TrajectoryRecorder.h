#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "trajectory/PanPointList.h"

class CTesselDoc;

// One performance of a trajectory while the sound plays: the value under the pointer
// (azimuth, elevation or distance) at the frames being heard, written into the document as it
// comes so it is heard at once, and at the end of the pass thinned to the fewest points that
// keep within kTolerance of what was captured. Points are replaced only over the span the pass
// wrote; each pass is one undo step. The caller feeds frames in playing order; angles in
// degrees, distance in centimetres. The document outlives the recorder.
//
// The pointer is captured as often as it is sampled, but the document takes the latest value
// only at the playback ticks (and at a press and a release): each write tells every listener,
// and more writes than ticks are heard by no one. A pass over the pan display's view from above
// writes azimuth and distance together, one value each per sample.
class TrajectoryRecorder {
  public:
    // Touch: writes while the button is held. Latch: after the release holds the last value
    // until playback stops. Write: from where playback started to where it stops.
    enum class Mode { Touch = 0, Latch = 1, Write = 2 };
    enum class Value { Azimuth, Elevation, Distance, AzimuthAndDistance };
    struct Sample {
        uint32_t frame;
        double value;
        double second = 0.0;  // the distance of an AzimuthAndDistance pass
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
    // second: the distance of an AzimuthAndDistance pass, else unused. Azimuths may wrap
    // (179 then -179): the pass follows the shorter way round.
    void Press(uint32_t frame, double value, double second = 0.0);
    // The pointer while held (a timer samples it, not only its moves).
    void Move(uint32_t frame, double value, double second = 0.0);
    void Release(uint32_t frame);
    // A playback tick: the latest capture goes into the document; Latch and Write hold the last
    // value up to frame.
    void Tick(uint32_t frame);
    // Playback stopped (frame: the last heard): the pass ends.
    void Stopped(uint32_t frame);

    bool IsHeld() const { return m_bHeld; }
    bool IsInPass() const { return m_bInPass; }
    Mode GetMode() const { return m_mode; }
    Value GetValue() const { return m_value; }

    // The indices of the fewest samples whose straight lines stay within tolerance of every
    // sample, in value and in second alike (first and last always kept), in order.
    static std::vector<size_t> Thin(const std::vector<Sample>& samples, double tolerance);

  private:
    void Begin(uint32_t frame, double value, double second);
    void Capture(uint32_t frame, double value, double second);
    // Writes the latest capture into the document in place of the points since the last write.
    void Flush();
    void End();
    PanPoint MakePoint(const Sample& sample) const;
    Sample ValueAt(uint32_t frame) const;

    CTesselDoc& m_doc;
    Mode m_mode;
    Value m_value;
    bool m_bPlaying = false;
    bool m_bHeld = false;
    bool m_bInPass = false;
    bool m_bPending = false;  // a capture the document has not taken yet
    PanPointList m_original;  // the trajectory as the pass found it
    std::vector<Sample> m_samples;
    // The point of the last write and its frame: the next write walks on from it, not from the
    // head of a long trajectory.
    const PanPoint* m_pWritten = nullptr;
    uint32_t m_writtenFrame = 0;
};

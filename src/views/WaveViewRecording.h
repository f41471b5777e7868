#pragma once

#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>

#include "document/TrajectoryRecorder.h"
#include "playback/PlaybackListener.h"

class CEditorApp;
class CTesselDoc;
class CWaveScrollView;

// A wave view's part in Record Trajectory: while armed and its sound plays, the left button
// held over the wave writes the direction from the pointer's height at the frame being heard;
// held over an elevation or distance lane, that value; dragging the source on the pan display,
// the azimuth (and on the view from above the distance too). The pointer is sampled every
// kSampleMs while held, moved or not. A recorder lives from the start of a playback (or the
// first press in it) to its end, so each playback, each round of a loop included, is its own
// pass; a press on another surface ends the pass and begins one for its value. The view owns
// it; the view, the document and the application outlive it. Frames; degrees; centimetres.
class WaveViewRecording : public PlaybackListener {
  public:
    static constexpr int kSampleMs = 15;  // above 60 samples a second

    // Where the pointer is held; each writes its value (the pan display: azimuth, and
    // distance as well on the view from above).
    enum class Surface { Wave, ElevationLane, DistanceLane, PanDisplay, TopView };

    WaveViewRecording(CWaveScrollView& view, CTesselDoc& document, CEditorApp& app);
    ~WaveViewRecording() override;
    WaveViewRecording(const WaveViewRecording&) = delete;
    WaveViewRecording& operator=(const WaveViewRecording&) = delete;

    // A left press on surface with the pointer's value there (second: the distance on the view
    // from above): true when recording took it (armed, this sound playing), whether it could
    // record or said why not.
    bool Press(Surface surface, double value, double second = 0.0);
    // The pointer moved on surface; only a hold that began there follows it.
    void Move(Surface surface, double value, double second = 0.0);
    // True when a press of this recording ends.
    bool Release();
    bool IsRecording() const { return m_pRecorder != nullptr && m_pRecorder->IsInPass(); }
    // The surface held down, if any.
    std::optional<Surface> Held() const {
        return m_bHeld ? std::optional(m_surface) : std::nullopt;
    }

    static TrajectoryRecorder::Value ValueOf(Surface surface);

    void OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) override;
    void OnPlaybackTick(CTesselDoc& document, const PlaybackTick& tick) override;
    void OnPlaybackStopped(CTesselDoc& document, const PlaybackStop& stop) override;

  private:
    std::optional<uint32_t> FrameNow();
    void SampleNow();
    bool CanRecord() const;
    void StartRecorder(uint32_t frame, TrajectoryRecorder::Value value);

    CWaveScrollView& m_view;
    CTesselDoc& m_doc;
    CEditorApp& m_app;
    std::unique_ptr<TrajectoryRecorder> m_pRecorder;
    QTimer m_timer;
    Surface m_surface = Surface::Wave;  // of the hold, or the last one
    double m_value = 0.0;               // the pointer's value(s) on it
    double m_second = 0.0;
    bool m_bHeld = false;
    uint32_t m_lastFrame = 0;
};

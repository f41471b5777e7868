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
// held over the wave writes the direction from the pointer's height at the frame being heard.
// The pointer is sampled every kSampleMs while held, moved or not. A recorder lives from the
// start of a playback (or the first press in it) to its end, so each playback, each round of a
// loop included, is its own pass. The view owns it; the view, the document and the
// application outlive it. Frames; degrees.
class WaveViewRecording : public PlaybackListener {
  public:
    static constexpr int kSampleMs = 15;  // above 60 samples a second

    WaveViewRecording(CWaveScrollView& view, CTesselDoc& document, CEditorApp& app);
    ~WaveViewRecording() override;
    WaveViewRecording(const WaveViewRecording&) = delete;
    WaveViewRecording& operator=(const WaveViewRecording&) = delete;

    // A left press at window height y: true when recording took it (armed, this sound
    // playing), whether it could record or said why not.
    bool Press(int y);
    void Move(int y);
    // True when a press of this recording ends.
    bool Release();
    bool IsRecording() const { return m_pRecorder != nullptr && m_pRecorder->IsInPass(); }

    void OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) override;
    void OnPlaybackTick(CTesselDoc& document, const PlaybackTick& tick) override;
    void OnPlaybackStopped(CTesselDoc& document, const PlaybackStop& stop) override;

  private:
    std::optional<uint32_t> FrameNow();
    void SampleNow();
    bool CanRecord() const;

    CWaveScrollView& m_view;
    CTesselDoc& m_doc;
    CEditorApp& m_app;
    std::unique_ptr<TrajectoryRecorder> m_pRecorder;
    QTimer m_timer;
    int m_y = 0;
    bool m_bHeld = false;
    uint32_t m_lastFrame = 0;
};

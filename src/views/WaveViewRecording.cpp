#include "views/WaveViewRecording.h"

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "views/CWaveScrollView.h"

WaveViewRecording::WaveViewRecording(CWaveScrollView& view, CTesselDoc& document, CEditorApp& app)
    : m_view(view), m_doc(document), m_app(app) {
    m_timer.setInterval(kSampleMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { SampleNow(); });
    m_app.GetPlayback().AddListener(this);
}

WaveViewRecording::~WaveViewRecording() {
    m_app.GetPlayback().RemoveListener(this);
}

bool WaveViewRecording::CanRecord() const {
    return m_app.IsRecordArmed() && m_app.GetPlayback().IsPlaying(m_doc);
}

std::optional<uint32_t> WaveViewRecording::FrameNow() {
    const std::optional<uint32_t> frame = m_app.GetPlayback().ReadHeardFrameNow();
    if (frame) {
        m_lastFrame = *frame;
    }
    return frame;
}

bool WaveViewRecording::Press(int y) {
    if (!CanRecord()) {
        return false;
    }
    const std::string why =
        TrajectoryRecorder::WhyNot(m_doc, TrajectoryRecorder::Value::Azimuth, false);
    if (!why.empty()) {
        m_app.Prompts().ShowStatus(why);
        return true;
    }
    const std::optional<uint32_t> frame = FrameNow();
    if (!frame) {
        return true;
    }
    if (!m_pRecorder) {
        // Armed after playback began: the pass starts here.
        m_pRecorder = std::make_unique<TrajectoryRecorder>(
            m_doc, static_cast<TrajectoryRecorder::Mode>(m_app.GetRecordMode()),
            TrajectoryRecorder::Value::Azimuth);
        m_pRecorder->Started(*frame);
    }
    m_y = y;
    m_bHeld = true;
    m_pRecorder->Press(*frame, m_view.Geometry().PanFromY(y));
    m_timer.start();
    return true;
}

void WaveViewRecording::Move(int y) {
    m_y = y;
}

bool WaveViewRecording::Release() {
    if (!m_bHeld) {
        return false;
    }
    m_bHeld = false;
    m_timer.stop();
    if (m_pRecorder) {
        const std::optional<uint32_t> frame = FrameNow();
        m_pRecorder->Release(frame.value_or(m_lastFrame));
    }
    return true;
}

void WaveViewRecording::SampleNow() {
    if (!m_bHeld || !m_pRecorder) {
        return;
    }
    if (const std::optional<uint32_t> frame = FrameNow()) {
        m_pRecorder->Move(*frame, m_view.Geometry().PanFromY(m_y));
    }
}

void WaveViewRecording::OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) {
    if (&document != &m_doc || !m_app.IsRecordArmed() ||
        !TrajectoryRecorder::WhyNot(m_doc, TrajectoryRecorder::Value::Azimuth, false).empty()) {
        return;
    }
    m_lastFrame = startFrame;
    m_pRecorder = std::make_unique<TrajectoryRecorder>(
        m_doc, static_cast<TrajectoryRecorder::Mode>(m_app.GetRecordMode()),
        TrajectoryRecorder::Value::Azimuth);
    m_pRecorder->Started(startFrame);
    if (m_bHeld) {
        // A loop came round with the button still down: the new pass goes on from here.
        m_pRecorder->Press(startFrame, m_view.Geometry().PanFromY(m_y));
    }
}

void WaveViewRecording::OnPlaybackTick(CTesselDoc& document, const PlaybackTick& tick) {
    if (&document == &m_doc && m_pRecorder && tick.heardFrame) {
        m_lastFrame = *tick.heardFrame;
        m_pRecorder->Tick(*tick.heardFrame);
    }
}

void WaveViewRecording::OnPlaybackStopped(CTesselDoc& document, const PlaybackStop& stop) {
    if (&document != &m_doc || !m_pRecorder) {
        return;
    }
    // Played out: the pass reaches the end of the range, whatever the last tick heard.
    m_pRecorder->Stopped(stop.bPlayedOut && stop.playEnd > 0 ? stop.playEnd - 1 : m_lastFrame);
    m_pRecorder.reset();
    m_view.viewport()->update();
}

#include "views/WaveViewRecording.h"

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "views/CWaveScrollView.h"
#include "views/ViewEvents.h"

WaveViewRecording::WaveViewRecording(CWaveScrollView& view, CTesselDoc& document, CEditorApp& app)
    : m_view(view), m_doc(document), m_app(app) {
    m_timer.setInterval(kSampleMs);
    m_timer.setProperty(kQuietTimerProperty, true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { SampleNow(); });
    m_app.GetPlayback().AddListener(this);
}

WaveViewRecording::~WaveViewRecording() {
    m_app.GetPlayback().RemoveListener(this);
}

TrajectoryRecorder::Value WaveViewRecording::ValueOf(Surface surface) {
    switch (surface) {
        case Surface::ElevationLane:
            return TrajectoryRecorder::Value::Elevation;
        case Surface::DistanceLane:
            return TrajectoryRecorder::Value::Distance;
        case Surface::TopView:
            return TrajectoryRecorder::Value::AzimuthAndDistance;
        case Surface::Wave:
        case Surface::PanDisplay:
            break;
    }
    return TrajectoryRecorder::Value::Azimuth;
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

void WaveViewRecording::StartRecorder(uint32_t frame, TrajectoryRecorder::Value value) {
    m_view.EndPointDrag();
    // The pass before (another value) ends where this one begins.
    m_pRecorder.reset();
    m_pRecorder = std::make_unique<TrajectoryRecorder>(
        m_doc, static_cast<TrajectoryRecorder::Mode>(m_app.GetRecordMode()), value);
    m_pRecorder->Started(frame);
}

bool WaveViewRecording::Press(Surface surface, double value, double second) {
    if (!CanRecord()) {
        return false;
    }
    m_view.EndPointDrag();
    const TrajectoryRecorder::Value recorded = ValueOf(surface);
    const std::string why = TrajectoryRecorder::WhyNot(m_doc, recorded, m_view.IsAllAround());
    if (!why.empty()) {
        m_app.Prompts().ShowStatus(why);
        return true;
    }
    const std::optional<uint32_t> frame = FrameNow();
    if (!frame) {
        return true;
    }
    if (!m_pRecorder || m_pRecorder->GetValue() != recorded) {
        // Armed after playback began, or another value: the pass starts here.
        StartRecorder(*frame, recorded);
    }
    m_surface = surface;
    m_value = value;
    m_second = second;
    m_bHeld = true;
    m_pRecorder->Press(*frame, value, second);
    m_timer.start();
    return true;
}

void WaveViewRecording::Move(Surface surface, double value, double second) {
    if (m_bHeld && surface == m_surface) {
        m_value = value;
        m_second = second;
    }
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
        m_pRecorder->Move(*frame, m_value, m_second);
    }
}

void WaveViewRecording::OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) {
    if (&document != &m_doc || !m_app.IsRecordArmed()) {
        return;
    }
    // The value performed last goes on, while the view can still show it.
    TrajectoryRecorder::Value value = ValueOf(m_surface);
    if (!TrajectoryRecorder::WhyNot(m_doc, value, m_view.IsAllAround()).empty()) {
        value = TrajectoryRecorder::Value::Azimuth;
    }
    m_lastFrame = startFrame;
    StartRecorder(startFrame, value);
    if (m_bHeld) {
        // A loop came round with the button still down: the new pass goes on from here.
        m_pRecorder->Press(startFrame, m_value, m_second);
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
    m_view.RepaintAll();
}

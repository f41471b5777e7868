#include "playback/ViewPlayer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <algorithm>

#include "document/CTesselDoc.h"
#include "document/PanSegment.h"
#include "playback/CEditorApp.h"
#include "playback/PlayingView.h"

namespace {

// The mixer's wave-done message as a Qt event; it names the start of playback it ends.
const QEvent::Type kWaveDoneEvent = QEvent::Type(QEvent::User + 0x3BD);

class WaveDoneEvent : public QEvent {
  public:
    explicit WaveDoneEvent(uint32_t play) : QEvent(kWaveDoneEvent), m_play(play) {}
    uint32_t Play() const { return m_play; }

  private:
    uint32_t m_play;
};

// Program-wide, so a notice can never be mistaken for one of another view's playback.
uint32_t g_playNumber = 0;

}  // namespace

// The end-of-wave notice arrives on the mixer's own thread. It is posted to this one
// long-lived object, which hands it on the user-interface thread to the player that started
// that playback, if the player still exists and nothing has been started since.
class WaveDoneRelay : public QObject {
  public:
    static WaveDoneRelay& Instance() {
        static WaveDoneRelay relay;
        return relay;
    }
    void Expect(uint32_t play, ViewPlayer* player) {
        m_play = play;
        m_player = player;
    }
    static void Post(void* user, uint32_t /*channel*/) {
        const auto play = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user));
        QCoreApplication::postEvent(&Instance(), new WaveDoneEvent(play));
    }

  protected:
    void customEvent(QEvent* event) override {
        if (event->type() != kWaveDoneEvent) {
            return;
        }
        const uint32_t play = static_cast<WaveDoneEvent*>(event)->Play();
        if (play == m_play && m_player) {
            m_player->OnWaveDone();
        }
    }

  private:
    uint32_t m_play = 0;
    QPointer<ViewPlayer> m_player;
};

ViewPlayer::ViewPlayer(CTesselDoc& document, CEditorApp& app, PlayingView& view)
    : m_doc(document), m_app(app), m_view(view) {
    m_timer.setInterval(kPlaybackPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &ViewPlayer::OnTick);
    m_positionTimer.setInterval(kPositionPeriodMs);
    connect(&m_positionTimer, &QTimer::timeout, this, &ViewPlayer::TickPosition);
}

ViewPlayer::~ViewPlayer() = default;

bool ViewPlayer::IsThisPlaying() const {
    return m_app.GetPlayingView() == &m_view;
}

void ViewPlayer::Play(uint32_t start, int64_t end) {
    m_doc.OpenMixerWave(start, end);
    if (m_doc.GetWave() == 0) {
        return;
    }
    Mixer& mixer = m_app.GetMixer();
    const AmbrelWaveMixSession session = m_app.GetMixerSession();
    int32_t direction = 0;
    if (const PanSegment* segment = m_doc.GetPanSegment()) {
        direction = segment->startPan;
        m_timer.start();
    }
    int code = mixer.SetPosition(session, 0, AMBREL_WAVEMIX_POSITION_INITIAL,
                                 MixerPosition{direction, 0, 0});
    if (code == 0) {
        code = mixer.SetVolume(session, 0, 0, 32767);
    }
    if (code == 0) {
        const uint32_t play = ++g_playNumber;
        WaveDoneRelay::Instance().Expect(play, this);
        MixerPlayParams params{};
        params.size = sizeof params;
        params.waveDone = &WaveDoneRelay::Post;
        params.waveDoneUser = reinterpret_cast<void*>(static_cast<uintptr_t>(play));
        code = mixer.PlayEx(session, 0, AMBREL_WAVEMIX_PLAY_NOW, m_doc.GetWave(), 0, params);
    }
    if (code != 0) {
        m_app.ReportMixerError(code);
        m_timer.stop();
        return;
    }
    m_doc.SetPlaying(true);
    m_app.SetPlaying(&m_doc, &m_view);
    m_view.ShowPlayPosition(start);
    m_positionTimer.start();
}

void ViewPlayer::StopWithView() {
    if (!IsThisPlaying()) {
        return;
    }
    m_timer.stop();
    EndPosition();
    m_view.SendLivePan(kNoLivePan);
    m_app.MixerStopChannel(m_app.GetMixerSession(), 0);
    m_doc.SetPlaying(false);
    m_app.ClearPlaying();
}

void ViewPlayer::OnTick() {
    Mixer& mixer = m_app.GetMixer();
    const AmbrelWaveMixSession session = m_app.GetMixerSession();
    uint32_t position = 0;
    int code = mixer.GetPlayPosition(session, 0, m_doc.GetWave(), position,
                                     AMBREL_WAVEMIX_POSITION_FRAMES);
    if (code != 0) {
        m_app.ReportMixerError(code);
        m_timer.stop();
        return;
    }
    const std::optional<int32_t> direction = StepDirection(position);
    if (!direction) {
        return;
    }
    code = mixer.SetPosition(session, 0, 0, MixerPosition{*direction, 0, 0});
    if (code != 0) {
        m_app.ReportMixerError(code);
        m_timer.stop();
        return;
    }
    m_view.SendLivePan(*direction);
}

std::optional<int32_t> ViewPlayer::StepDirection(uint32_t position) {
    const PanSegment* segment = m_doc.GetPanSegment();
    if (segment == nullptr) {
        // The trajectory was emptied while playing: the sound keeps its last direction.
        return std::nullopt;
    }
    const uint32_t sample = position + segment->playOffset;
    if (sample < segment->endPos) {
        return StepPan(*segment, sample);
    }
    if (!m_doc.ComputePanSegment(sample)) {
        return std::nullopt;
    }
    return m_doc.GetPanSegment()->startPan;
}

void ViewPlayer::OnWaveDone() {
    if (!IsThisPlaying()) {
        return;
    }
    m_timer.stop();
    EndPosition();
    m_view.SendLivePan(kNoLivePan);
    m_doc.SetPlaying(false);
    m_app.ClearPlaying();
    if (m_view.ShowsCaret()) {
        m_view.PlaceCaret(m_doc.GetPlayStart());
    }
}

void ViewPlayer::EndPosition() {
    m_positionTimer.stop();
    m_view.ShowPlayPosition(std::nullopt);
}

void ViewPlayer::TickPosition() {
    // Stop, a closed document or another play may have ended this sound since the last tick.
    if (!IsThisPlaying() || !m_doc.IsPlaying()) {
        EndPosition();
        return;
    }
    uint32_t position = 0;
    uint32_t latencyUs = 0;
    // A failed read leaves the pan ticks to report; the play position just stops showing.
    if (m_app.GetMixer().GetOutputPosition(m_app.GetMixerSession(), 0, m_doc.GetWave(), position,
                                           latencyUs) != 0) {
        EndPosition();
        return;
    }
    m_view.ShowPlayPosition(
        HeardFrame(m_doc.GetPlayStart(), position, latencyUs, m_doc.GetFormat().sampleRate));
}

uint32_t ViewPlayer::HeardFrame(uint32_t playStart, uint32_t position, uint32_t latencyUs,
                                uint32_t rate) {
    const uint64_t latencyFrames = uint64_t{latencyUs} * rate / 1000000u;
    const uint64_t heard = position > latencyFrames ? position - latencyFrames : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{playStart} + heard, UINT32_MAX));
}

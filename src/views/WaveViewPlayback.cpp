#include "views/WaveViewPlayback.h"

#include <algorithm>

#include "document/CTesselDoc.h"
#include "playback/PlaybackHost.h"
#include "playback/PlaybackSession.h"
#include "trajectory/SoundPlace.h"
#include "views/OverviewBarFeed.h"
#include "views/PositionReadouts.h"
#include "views/WaveViewNavigation.h"
#include "views/WaveViewSurface.h"

WaveViewPlayback::WaveViewPlayback(WaveViewSurface& view, CTesselDoc& document,
                                   PlaybackSession& playback, const PlaybackHost& host,
                                   WaveViewNavigation& navigation, OverviewBarFeed& overview)
    : m_view(view),
      m_doc(document),
      m_playback(playback),
      m_host(host),
      m_navigation(navigation),
      m_overview(overview) {
    m_playback.AddListener(this);
}

WaveViewPlayback::~WaveViewPlayback() {
    // Its sound does not play on without the view; the view hears nothing more of it.
    m_playback.RemoveListener(this);
    m_playback.StopDocument(m_doc);
}

void WaveViewPlayback::Play() {
    m_playback.Play(m_doc, m_view.GetSelStart(),
                    m_view.IsCaret() ? -1 : static_cast<int64_t>(m_view.GetSelEnd()));
}

void WaveViewPlayback::RepaintColumn(std::optional<int> x) {
    if (x) {
        m_view.RepaintRect(QRect(*x, 0, 1, m_view.SurfaceHeight()));
    }
}

void WaveViewPlayback::ShowPlayPosition(std::optional<uint32_t> frame) {
    const bool bFollow = frame && m_host.IsCursorFollow() && !m_view.IsDragging();
    const Playhead::Step step = m_playhead.Move(frame, m_view.PaintedGeometry(), bFollow);
    if (step.pageLeft) {
        m_navigation.ScrollLeftTo(*step.pageLeft);
    } else if (step.oldX != step.newX) {
        RepaintColumn(step.oldX);
        RepaintColumn(step.newX);
    }
    if (m_view.IsActiveView()) {
        SendPlayPosition();
    }
}

std::optional<uint32_t> WaveViewPlayback::HeardFrame() const {
    const std::optional<uint32_t> frame = m_playhead.Frame();
    return frame && m_playback.IsPlaying(m_doc) ? frame : std::nullopt;
}

std::optional<int> WaveViewPlayback::PlayheadX() const {
    return m_playhead.ColumnIn(m_view.PaintedGeometry());
}

std::optional<int> WaveViewPlayback::PaintColumn(const WaveViewGeometry& geometry) {
    const std::optional<int> x = m_playhead.ColumnIn(geometry);
    m_playhead.Painted(x);
    return x;
}

void WaveViewPlayback::SendPlayPosition() {
    m_overview.SendPlayPosition(HeardFrame());
}

std::string WaveViewPlayback::PlayReadout() const {
    const std::optional<uint32_t> frame = HeardFrame();
    if (!frame) {
        return {};
    }
    const uint32_t rate = m_doc.GetFormat().sampleRate;
    return m_view.PaintedGeometry().IsAllAround()
               ? PositionReadouts::PlaceReadout("Play", *frame,
                                                PlaceAt(m_doc.GetPanPoints(), *frame), rate)
               : PositionReadouts::PlayText(*frame, rate);
}

void WaveViewPlayback::OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) {
    if (&document != &m_doc) {
        return;
    }
    m_tickFrame = startFrame;
    if (m_playback.IsRecordArmed()) {
        // A pass may begin now and rewrite the points, a point in hand among them.
        m_view.EndPointDrag();
    }
    ShowPlayPosition(startFrame);
}

void WaveViewPlayback::OnPlaybackTick(CTesselDoc& document, const PlaybackTick& tick) {
    if (&document != &m_doc) {
        return;
    }
    if (tick.direction) {
        m_overview.SendLivePan(*tick.direction);
    }
    if (tick.place) {
        m_overview.SendLivePlace(tick.place);
    }
    if (m_doc.IsRecording()) {
        // A pass writes from the frame of the tick before on: the window right of it.
        const WaveViewGeometry geometry = m_view.PaintedGeometry();
        const int x = static_cast<int>(std::clamp<WaveViewGeometry::Column>(
            geometry.WindowX(geometry.ColumnOfSample(m_tickFrame)) - 2, 0,
            WaveViewGeometry::Column{geometry.ImageWidth()}));
        m_view.RepaintRect(QRect(x, 0, geometry.ImageWidth() - x, m_view.SurfaceHeight()));
        m_bRecorded = true;
    } else if (m_bRecorded) {
        // A pass ended since: its whole span was thinned.
        m_bRecorded = false;
        m_view.RepaintAll();
    }
    m_tickFrame = tick.heardFrame.value_or(m_tickFrame);
    ShowPlayPosition(tick.heardFrame);
}

void WaveViewPlayback::OnPlaybackStopped(CTesselDoc& document, const PlaybackStop& stop) {
    if (&document != &m_doc) {
        return;
    }
    m_overview.SendLivePan(kNoLivePan);
    m_overview.SendLivePlace(std::nullopt);
    ShowPlayPosition(std::nullopt);
    if (m_bRecorded) {
        m_bRecorded = false;
        m_view.RepaintAll();
    }
    if (m_view.IsCaret()) {
        if (stop.bPlayedOut) {
            m_view.PlaceCaret(stop.playStart);
        } else if (stop.stopFrame) {
            m_view.PlaceCaret(*stop.stopFrame);
        }
    }
}

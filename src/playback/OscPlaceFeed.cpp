#include "playback/OscPlaceFeed.h"

#include <algorithm>

#include "document/CTesselDoc.h"
#include "platform/UserPrompts.h"
#include "playback/PlaybackSession.h"

uint32_t OscPlaceFeed::FrameAt(uint32_t heardNow, Clock::time_point now, Clock::time_point received,
                               uint32_t rate, uint32_t floor) {
    const double waited = std::chrono::duration<double>(now - received).count();
    const double back = std::max(waited, 0.0) * rate;
    const double frame = static_cast<double>(heardNow) - back;
    return static_cast<uint32_t>(std::max(frame, static_cast<double>(floor)));
}

void OscPlaceFeed::Poll(Clock::time_point now) {
    CTesselDoc* playing = m_playback.GetPlayingDocument();
    if (playing != m_pHeld) {
        // The hold ended with the playback (the control ends its pass as it stops).
        m_pHeld = nullptr;
        m_bRefusalShown = false;
    }
    // The frame heard now; 0 with bHeard false while it cannot be read.
    const std::optional<uint32_t> read =
        playing != nullptr ? m_playback.ReadHeardFrameNow() : std::nullopt;
    const bool bHeard = read.has_value();
    const uint32_t heard = read.value_or(0);
    HeadTracker::PlaceMessage message;
    while (m_tracker.TakePlace(message)) {
        if (playing == nullptr || !bHeard) {
            continue;
        }
        const uint32_t frame = FrameAt(heard, now, message.received,
                                       playing->GetFormat().sampleRate, m_playback.GetPlayStart());
        TrajectoryControl& control = playing->Recording();
        TrajectoryControl::Feed feed;
        feed.value = TrajectoryControl::Value::Place;
        feed.amount = message.place.azimuth;
        feed.second = message.place.distanceCm;
        feed.third = message.place.elevation;
        if (m_pHeld == playing) {
            feed.kind = TrajectoryControl::Feed::Kind::Move;
            control.FeedAt(feed, frame);
        } else if (control.TakesTouch()) {
            const std::string why = control.WhyNot(TrajectoryControl::Value::Place);
            if (!why.empty()) {
                if (!m_bRefusalShown) {
                    m_prompts.ShowStatus(why);
                    m_bRefusalShown = true;
                }
            } else {
                feed.kind = TrajectoryControl::Feed::Kind::Touch;
                control.FeedAt(feed, frame);
                m_pHeld = playing;
            }
        }
        m_lastReceived = message.received;
        m_lastFrame = frame;
    }
    if (now - m_lastReceived < std::chrono::milliseconds(kReleaseMs)) {
        return;
    }
    if (m_pHeld != nullptr) {
        // The hand left when the silence began to count: the last place is held until then.
        uint32_t frame = m_lastFrame;
        if (bHeard) {
            frame = std::max(
                frame, FrameAt(heard, now, m_lastReceived + std::chrono::milliseconds(kReleaseMs),
                               m_pHeld->GetFormat().sampleRate, m_lastFrame));
        }
        TrajectoryControl::Feed release;
        release.kind = TrajectoryControl::Feed::Kind::Release;
        m_pHeld->Recording().FeedAt(release, frame);
        m_pHeld = nullptr;
    }
    m_bRefusalShown = false;
}

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "playback/HeadTracker.h"

class CTesselDoc;
class PlaybackSession;
class UserPrompts;

// /sonomap/place into Record Trajectory, as the pointer feeds it: the first place after a
// pause touches the playing document's recording control, each next one moves it, and a pause
// of kReleaseMs lets go (the last place held until the pause began to count). Each place counts at
// the frame heard when its message came (the frame heard now, less the time it waited), so a
// tracker sending faster than the interface looks still lands every value where it was heard.
// Touch, Latch and Write follow the control's mode. Interface thread only; the tracker, the
// playback and the prompts outlive it.
class OscPlaceFeed {
  public:
    using Clock = HeadTracker::Clock;
    static constexpr int kReleaseMs = 300;

    OscPlaceFeed(HeadTracker& tracker, PlaybackSession& playback, UserPrompts& prompts)
        : m_tracker(tracker), m_playback(playback), m_prompts(prompts) {}

    // Hands every place waiting to the playing document (dropped while nothing plays).
    void Poll(Clock::time_point now = Clock::now());
    bool IsHeld() const { return m_pHeld != nullptr; }

  private:
    // The frame heard when a message came at received, from the frame heard at now.
    static uint32_t FrameAt(uint32_t heardNow, Clock::time_point now, Clock::time_point received,
                            uint32_t rate, uint32_t floor);

    HeadTracker& m_tracker;
    PlaybackSession& m_playback;
    UserPrompts& m_prompts;
    CTesselDoc* m_pHeld = nullptr;  // whose control a place touches
    Clock::time_point m_lastReceived{};
    uint32_t m_lastFrame = 0;
    bool m_bRefusalShown = false;  // why a touch was not recorded, said once a hold
};

#pragma once

#include <cstdint>
#include <optional>

#include "trajectory/SoundPlace.h"

class CTesselDoc;

// The "no direction" value of a live pan.
inline constexpr int kNoLivePan = 0xFFFF;

// What one tick of a playback found: the frame being heard (the output's latency taken off),
// none once the position can no longer be read; and the direction sent to the mixer (the
// frontal fold as a pan, and the whole place), none when the direction did not change hands
// this tick (no trajectory, or it failed).
struct PlaybackTick {
    std::optional<uint32_t> heardFrame;
    std::optional<int32_t> direction;
    std::optional<SoundPlace> place;
};

// How a playback ended. Frames.
struct PlaybackStop {
    bool bPlayedOut = false;  // the sound played to its end; otherwise it was stopped
    uint32_t playStart = 0;   // the first frame played
    uint32_t playEnd = 0;     // one past the last frame of the range
    // Stopped with Cursor Follows Playback on: the frame reached, when it lies before the
    // last frame of the sound.
    std::optional<uint32_t> stopFrame;
};

// Told what the one playback does. Called on the interface thread.
class PlaybackListener {
  public:
    virtual ~PlaybackListener() = default;
    virtual void OnPlaybackStarted(CTesselDoc& /*document*/, uint32_t /*startFrame*/) {}
    virtual void OnPlaybackTick(CTesselDoc& /*document*/, const PlaybackTick& /*tick*/) {}
    virtual void OnPlaybackStopped(CTesselDoc& /*document*/, const PlaybackStop& /*stop*/) {}
};

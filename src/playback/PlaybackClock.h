#pragma once

#include <cstdint>
#include <functional>

#include "trevant/trevant.h"

// What drives a playback from outside: a tick on the interface thread while it plays, and
// the mixer's end-of-wave notice, which arrives on the mixer's own thread, handed over to the
// interface thread. The editor's is a Qt timer and a posted event; tests step it by hand.
class PlaybackClock {
  public:
    virtual ~PlaybackClock() = default;

    // What the clock calls on the interface thread: each tick, and each end-of-wave notice
    // with the number of the play it ends.
    virtual void Connect(std::function<void()> onTick,
                         std::function<void(uint32_t play)> onWaveDone) = 0;
    // Ticks every periodMs until Stop.
    virtual void Start(int periodMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
    // The function the mixer calls from its thread when a wave has played out; its user
    // pointer carries the play's number.
    virtual MixerWaveDoneProc WaveDoneProc() const = 0;
};

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "playback/PlaybackClock.h"

// A playback clock the test steps: it ticks only when told, and keeps the mixer's end-of-wave
// notice (which comes on the mixer's thread) for the test to hand on.
class ManualPlaybackClock : public PlaybackClock {
  public:
    // The number of the last play the mixer said had played out; 0 before any.
    static std::atomic<uint32_t>& DoneNotice() {
        static std::atomic<uint32_t> notice{0};
        return notice;
    }

    void Connect(std::function<void()> onTick, std::function<void(uint32_t)> onDone) override {
        tick = std::move(onTick);
        done = std::move(onDone);
    }
    void Start(int periodMs) override {
        bRunning = true;
        period = periodMs;
    }
    void Stop() override { bRunning = false; }
    bool IsRunning() const override { return bRunning; }
    MixerWaveDoneProc WaveDoneProc() const override {
        return [](void* user, uint32_t) {
            DoneNotice() = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user));
        };
    }

    std::function<void()> tick;
    std::function<void(uint32_t)> done;
    bool bRunning = false;
    int period = 0;
};

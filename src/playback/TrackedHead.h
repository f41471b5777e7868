#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "geometry/HeadRotation.h"
#include "scene/Listener.h"

// Where a head tracker says the listener's head points, shared between the thread that
// receives the tracker (which sets it), the thread that renders (which asks it at each block)
// and the interface thread (which shows it and resets it). No lock: each side reads a whole
// orientation through a sequence count, retrying when a write came between, so a render never
// waits on the network or on the interface.
//
// The head heard is the tracker's orientation relative to the one Reset kept: Reset makes the
// present orientation straight ahead. A tracker that stops sending leaves the head where it
// was. Degrees.
class TrackedHead : public MovingHead {
  public:
    using Clock = std::chrono::steady_clock;

    // The last orientation received, its count (1 for the first, 0 before any) and when it came.
    struct Sample {
        HeadTurn turn;  // relative to the reset, as heard
        uint64_t version = 0;
        std::optional<Clock::time_point> received;
    };

    // The receiving thread: a new orientation of the tracker, as it came at received.
    void Set(const HeadRotation& rotation, Clock::time_point received = Clock::now());
    // The interface thread: the present orientation becomes straight ahead.
    void Reset();

    // Any thread.
    HeadTurn Now() const override { return Read().turn; }
    Sample Read() const;

  private:
    static constexpr size_t kValues = 9;
    // One writer each: the receiving thread for the tracker, the interface for the reset.
    struct Slot {
        std::atomic<uint64_t> sequence{0};  // odd while a write is under way
        std::array<std::atomic<double>, kValues> values{};
    };
    static void Write(Slot& slot, const HeadRotation& rotation);
    static HeadRotation ReadSlot(const Slot& slot);

    Slot m_tracker;
    Slot m_reference;
    std::atomic<uint64_t> m_version{0};
    std::atomic<int64_t> m_receivedNs{0};  // of m_version's orientation, on Clock
};

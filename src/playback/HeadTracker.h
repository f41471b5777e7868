#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "playback/HeadMessages.h"
#include "playback/HeadTrackingPreferences.h"
#include "playback/TrackedHead.h"

// The head tracker's receiver: OSC over UDP (liblo), on a thread of its own while it runs.
// That thread never touches the interface, a document or the mixer: it sets the TrackedHead
// (which renders read at each block) and queues the places of /sonomap/place for the interface
// thread to take (TakePlace). Which messages count and the axes' inversions can change while it
// runs. Every call but those the comments give to another thread is made on the interface
// thread. Ports are UDP port numbers.
class HeadTracker {
  public:
    using Clock = TrackedHead::Clock;

    // A /sonomap/place as it came.
    struct PlaceMessage {
        HeadMessages::Place place;
        Clock::time_point received;
    };
    static constexpr size_t kPlaceCapacity = 1024;

    HeadTracker();
    ~HeadTracker();  // stops
    HeadTracker(const HeadTracker&) = delete;
    HeadTracker& operator=(const HeadTracker&) = delete;

    // Binds port and starts receiving with prefs' messages and inversions (already running on
    // that port: only those change). "" when it listens; else why not, in words, and it stays
    // stopped.
    std::string Start(const HeadTrackingPreferences& prefs);
    void Stop();
    bool IsRunning() const { return m_pServer != nullptr; }
    int Port() const { return m_port; }

    // The head the renders follow (shared, so a render may outlive a restart).
    const std::shared_ptr<TrackedHead>& Head() const { return m_pHead; }
    // The present orientation becomes straight ahead.
    void ResetHead() { m_pHead->Reset(); }

    // The oldest /sonomap/place not taken yet; false when none waits.
    bool TakePlace(PlaceMessage& message);
    // Messages received that were none of those read, or had the wrong values.
    uint64_t IgnoredCount() const { return m_ignored.load(std::memory_order_relaxed); }

    // The receiving thread's work on one message, by path and numbers; true when it counted.
    // Public so that tests can hand messages without a network.
    bool Receive(const std::string& path, const std::vector<double>& values,
                 Clock::time_point received = Clock::now());

  private:
    struct Server;
    bool PushPlace(const PlaceMessage& message);

    std::shared_ptr<TrackedHead> m_pHead = std::make_shared<TrackedHead>();
    std::unique_ptr<Server> m_pServer;
    int m_port = 0;
    // What counts, read by the receiving thread at each message.
    std::atomic<bool> m_bHead{true};
    std::atomic<bool> m_bYpr{true};
    std::atomic<bool> m_bQuaternion{true};
    std::atomic<bool> m_bPlace{true};
    std::atomic<bool> m_bInvertYaw{false};
    std::atomic<bool> m_bInvertPitch{false};
    std::atomic<bool> m_bInvertRoll{false};
    std::atomic<uint64_t> m_ignored{0};
    // One producer (the receiving thread), one consumer (the interface thread).
    std::array<PlaceMessage, kPlaceCapacity> m_places{};
    std::atomic<size_t> m_placesWritten{0};
    std::atomic<size_t> m_placesRead{0};
};

#include "playback/TrackedHead.h"

void TrackedHead::Write(Slot& slot, const HeadRotation& rotation) {
    const uint64_t sequence = slot.sequence.load(std::memory_order_relaxed);
    slot.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    const HeadRotation::Matrix& m = rotation.Values();
    for (size_t i = 0; i < kValues; ++i) {
        slot.values[i].store(m[i / 3][i % 3], std::memory_order_relaxed);
    }
    slot.sequence.store(sequence + 2, std::memory_order_release);
}

HeadRotation TrackedHead::ReadSlot(const Slot& slot) {
    HeadRotation::Matrix m{};
    for (;;) {
        const uint64_t before = slot.sequence.load(std::memory_order_acquire);
        if ((before & 1u) != 0) {
            continue;
        }
        for (size_t i = 0; i < kValues; ++i) {
            m[i / 3][i % 3] = slot.values[i].load(std::memory_order_relaxed);
        }
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.sequence.load(std::memory_order_relaxed) == before) {
            return before == 0 ? HeadRotation() : HeadRotation(m);
        }
    }
}

void TrackedHead::Set(const HeadRotation& rotation, Clock::time_point received) {
    Write(m_tracker, rotation);
    m_receivedNs.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(received.time_since_epoch()).count(),
        std::memory_order_relaxed);
    m_version.fetch_add(1, std::memory_order_release);
}

void TrackedHead::Reset() {
    Write(m_reference, ReadSlot(m_tracker));
}

TrackedHead::Sample TrackedHead::Read() const {
    Sample sample;
    sample.version = m_version.load(std::memory_order_acquire);
    const HeadRotation tracker = ReadSlot(m_tracker);
    sample.turn = tracker.RelativeTo(ReadSlot(m_reference)).Turn();
    if (sample.version > 0) {
        sample.received = Clock::time_point(std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(m_receivedNs.load(std::memory_order_relaxed))));
    }
    return sample;
}

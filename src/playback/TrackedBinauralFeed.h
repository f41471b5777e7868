#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "playback/TrackedHead.h"
#include "trevant/trevant.h"

class CTesselDoc;
class HrtfFilterBank;
class SofaTrajectoryRender;

// Play Through Binaural Renderer while a head tracker turns the head: Sonomap's SOFA renderer
// run on the mixer's feeder thread, a buffer at a time as the device takes it, so the head
// read at each buffer is heard a few milliseconds later rather than after a render made
// seconds ahead. The mixer reads it as a wave (Reader); the frames are those of the span from
// first to last of the sound, left and right floats at its rate. With the head straight the
// samples are Export Binaural File's.
//
// Threads: made, renewed and destroyed on the interface thread; Reader's read runs on the
// mixer's feeder thread, under the mixer's lock. A renewal (an edit, another space, another
// set) is made whole on the interface thread and taken over by the feeder at its next read,
// from the first frame the mixer has not taken. The feed must outlive the wave that reads it.
class TrackedBinauralFeed {
  public:
    TrackedBinauralFeed(const CTesselDoc& document, std::shared_ptr<const HrtfFilterBank> bank,
                        std::shared_ptr<const TrackedHead> head, uint32_t first, uint32_t last);
    ~TrackedBinauralFeed();
    TrackedBinauralFeed(const TrackedBinauralFeed&) = delete;
    TrackedBinauralFeed& operator=(const TrackedBinauralFeed&) = delete;

    // The wave the mixer opens (2 channels of floats, frames last - first, already mixed).
    MixerWaveReader Reader();
    // The document's trajectory, space or the set changed: heard from the next frame read.
    void Renew(const CTesselDoc& document, std::shared_ptr<const HrtfFilterBank> bank);

    // Where the head's turns came into the sound: the first frame of the span (from first)
    // whose block was rendered with head version or a later one. Any thread; none before the
    // first turn was rendered.
    struct Turned {
        uint64_t version = 0;
        uint32_t frame = 0;
    };
    Turned LastTurned() const;

  private:
    struct Render;
    class HeadNow;

    std::unique_ptr<Render> MakeRender(const CTesselDoc& document,
                                       std::shared_ptr<const HrtfFilterBank> bank) const;
    static void Read(void* user, uint32_t frame, uint32_t count, float* out);
    void RenderFrames(uint32_t frame, uint32_t count, float* out);

    std::shared_ptr<const TrackedHead> m_pTracked;
    std::shared_ptr<HeadNow> m_pHeadNow;  // what the renders' listener asks
    uint32_t m_first;
    uint32_t m_last;
    uint32_t m_rate;
    std::mutex m_pendingLock;
    std::unique_ptr<Render> m_pPending;  // a renewal not taken yet
    // The feeder thread's.
    std::unique_ptr<Render> m_pRender;
    bool m_bSeek = true;
    uint32_t m_next = 0;  // the frame the last read ended at
    uint64_t m_version = 0;
    std::atomic<uint32_t> m_turnedFrame{0};
    std::atomic<uint64_t> m_turnedVersion{0};
};

#include "playback/TrackedBinauralFeed.h"

#include <algorithm>

#include "deliver/SofaTrajectoryRender.h"
#include "document/CTesselDoc.h"
#include "scene/RenderInput.h"
#include "scene/Scene.h"
#include "sofa/FractionalDelay.h"
#include "sofa/HrtfFilterBank.h"
#include "trajectory/PanPointList.h"

// The head as the feeder read it at the start of a read, so every block of one read hears one
// head. Atomics: a renewal's render asks it once on the interface thread as it is made.
class TrackedBinauralFeed::HeadNow : public MovingHead {
  public:
    HeadTurn Now() const override {
        return {m_yaw.load(std::memory_order_relaxed), m_pitch.load(std::memory_order_relaxed),
                m_roll.load(std::memory_order_relaxed)};
    }
    void Set(const HeadTurn& turn) {
        m_yaw.store(turn.yaw, std::memory_order_relaxed);
        m_pitch.store(turn.pitch, std::memory_order_relaxed);
        m_roll.store(turn.roll, std::memory_order_relaxed);
    }

  private:
    std::atomic<double> m_yaw{0.0};
    std::atomic<double> m_pitch{0.0};
    std::atomic<double> m_roll{0.0};
};

// One render of the document as it stood: its own copy of the points, so the interface may
// edit the document's while the feeder reads these.
struct TrackedBinauralFeed::Render {
    std::unique_ptr<RenderInput> input;
    PanPointList points;
    std::unique_ptr<SofaTrajectoryRender> render;
    uint32_t latency = 0;  // the renderer's, in frames: where its blocks fall on the output
};

TrackedBinauralFeed::TrackedBinauralFeed(const CTesselDoc& document,
                                         std::shared_ptr<const HrtfFilterBank> bank,
                                         std::shared_ptr<const TrackedHead> head, uint32_t first,
                                         uint32_t last)
    : m_pTracked(std::move(head)),
      m_pHeadNow(std::make_shared<HeadNow>()),
      m_first(first),
      m_last(std::max(first, last)),
      m_rate(document.GetFormat().sampleRate) {
    m_pHeadNow->Set(m_pTracked->Now());
    m_pRender = MakeRender(document, std::move(bank));
}

TrackedBinauralFeed::~TrackedBinauralFeed() = default;

std::unique_ptr<TrackedBinauralFeed::Render> TrackedBinauralFeed::MakeRender(
    const CTesselDoc& document, std::shared_ptr<const HrtfFilterBank> bank) const {
    auto made = std::make_unique<Render>();
    made->input = RenderInput::OfDocument(document);
    made->points.AddPoints(document.GetPanPoints().Values());
    // The renderer's latency, as SofaBinauralRenderer counts it.
    made->latency = bank->AlignmentFrames() + FractionalDelay::kLeadFrames;
    SceneSpace space = SceneSpace::Of(document);
    space.listener.pMoving = m_pHeadNow;
    made->render =
        std::make_unique<SofaTrajectoryRender>(*made->input, made->points, std::move(bank), space);
    return made;
}

MixerWaveReader TrackedBinauralFeed::Reader() {
    MixerWaveReader reader{};
    reader.size = sizeof reader;
    reader.channels = 2;
    reader.sampleRate = m_rate;
    reader.frameCount = m_last - m_first;
    reader.read = &TrackedBinauralFeed::Read;
    reader.user = this;
    return reader;
}

void TrackedBinauralFeed::Renew(const CTesselDoc& document,
                                std::shared_ptr<const HrtfFilterBank> bank) {
    std::unique_ptr<Render> made = MakeRender(document, std::move(bank));
    const std::lock_guard<std::mutex> hold(m_pendingLock);
    m_pPending = std::move(made);
}

TrackedBinauralFeed::Turned TrackedBinauralFeed::LastTurned() const {
    Turned turned;
    turned.version = m_turnedVersion.load(std::memory_order_acquire);
    turned.frame = m_turnedFrame.load(std::memory_order_relaxed);
    return turned;
}

void TrackedBinauralFeed::Read(void* user, uint32_t frame, uint32_t count, float* out) {
    static_cast<TrackedBinauralFeed*>(user)->RenderFrames(frame, count, out);
}

void TrackedBinauralFeed::RenderFrames(uint32_t frame, uint32_t count, float* out) {
    {
        // Never waits: the interface holds the lock only to hand a renewal over.
        std::unique_lock<std::mutex> hold(m_pendingLock, std::try_to_lock);
        if (hold.owns_lock() && m_pPending) {
            m_pRender = std::move(m_pPending);
            m_bSeek = true;
        }
    }
    const TrackedHead::Sample head = m_pTracked->Read();
    m_pHeadNow->Set(head.turn);
    const uint32_t at = m_first + frame;
    bool bFresh = false;
    if (m_bSeek || frame != m_next) {
        m_pRender->render->Seek(at);
        m_bSeek = false;
        bFresh = true;
    }
    if (head.version != m_version) {
        // A block the last read began is already rendered: the turn comes in at the next.
        uint32_t begins = at;
        const uint32_t phase = (at + m_pRender->latency) % SofaBinauralRenderer::kBlockFrames;
        if (!bFresh && phase != 0) {
            begins += SofaBinauralRenderer::kBlockFrames - phase;
        }
        m_version = head.version;
        m_turnedFrame.store(begins - m_first, std::memory_order_relaxed);
        m_turnedVersion.store(head.version, std::memory_order_release);
    }
    m_pRender->render->Render(out, count);
    m_next = frame + count;
}

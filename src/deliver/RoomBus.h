#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/Propagation.h"

class HelperThread;
class PointSourcePanner;
class SpeakerLayout;

// What a room adds to a source, mixed onto channels of one form: AmbiX of an order, a
// loudspeaker layout's feeds, or a stereo pair. Every reflection is placed by its own arrival
// (the harmonics, the point-source panner's gains, or an equal-power pan of its frontal fold),
// its gains moving in a straight line across runs of kRunFrames heard frames of one grid from
// frame 0. The reflections are summed in two halves, which two threads may take, and the halves
// added, so the sums are the same on one thread or two; the late tail's decorrelated signals go to
// the channels at the diffuse field's share (AmbiX order l at 1 / sqrt(2l + 1) of W, the feeds and
// the pair each 1 / sqrt(count)). Frames are heard frames at the source's rate. The stage and its
// reader are borrowed.
class RoomBus {
  public:
    static constexpr uint32_t kRunFrames = 512;

    enum class Form { Ambisonics, Speakers, Stereo };

    // order: AmbiX's (Ambisonics); layout: the feeds' (Speakers). sourceChannels: how many the
    // reader gives a frame. bTail: the late tail joins the reflections (a renderer that places
    // it itself says no).
    RoomBus(Propagation& stage, Propagation::Reader read, int sourceChannels, Form form,
            int order = 1, const SpeakerLayout* layout = nullptr, bool bTail = true);
    ~RoomBus();
    RoomBus(const RoomBus&) = delete;
    RoomBus& operator=(const RoomBus&) = delete;

    int Channels() const { return m_channels; }
    // Splits each AddTo with a second thread where HelperThread allows it (an export's, not a
    // preview's: a preview's blocks are too short to gain). The sums are the same either way.
    void ShareWork(bool bShare);
    // Heard frames [first, first + count) of the room, count x Channels() floats, added into
    // out.
    void AddTo(uint64_t first, uint32_t count, float* out);

  private:
    // Reflection k's channel gains at a heard frame, into gains.
    void GainsAt(uint64_t heard, size_t k, float* gains, int lane);
    // Reflections [from, to) of the block AddTo adds, heard run by run and mixed onto the
    // lane's channels.
    void Part(uint64_t first, uint32_t count, size_t from, size_t to, int lane);
    // Frames [begin, end) of the block: both lanes' sums and the tail, added into out.
    void Combine(uint32_t count, uint32_t begin, uint32_t end, float* out);

    Propagation& m_stage;
    Propagation::Reader m_read;
    int m_sourceChannels;
    Form m_form;
    int m_order;
    std::unique_ptr<PointSourcePanner> m_pPanner;
    int m_channels;
    bool m_bTail;
    std::vector<float> m_tailShare;  // of each channel
    std::vector<int> m_tailOutput;   // which of the tail's signals feeds each channel
    std::vector<float> m_tail;
    struct Lane {
        std::vector<float> sum;    // the lane's reflections on each channel, a channel's after
                                   // the last (Channels() x the block's frames)
        std::vector<float> heard;  // a run of each reflection's signal, kRunFrames apart
        std::vector<float> edges;  // each reflection's gains at a run's start, then its end
        std::vector<float> steps;  // and their steps a frame
    };
    Lane m_lanes[2];
    std::unique_ptr<HelperThread> m_pHelper;
};

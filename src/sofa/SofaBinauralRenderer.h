#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sofa/HrtfConvolver.h"
#include "sofa/HrtfFilterBank.h"

// Where a sound is heard from, as the renderer takes it: a direction in degrees (azimuth -180 ..
// 180, +90 right; elevation +90 up), for a stereo sound the width its channels spread around it
// (degrees, 0 .. 180), and the gain (linear) the sound arrives with.
struct SofaHeading {
    double azimuth = 0.0;
    double elevation = 0.0;
    double width = 0.0;
    double gain = 1.0;
};

// Sonomap's own binaural renderer: a mono or stereo sound through a SOFA set, on a fixed grid
// of kBlockFrames frames. The caller hands it each block of the grid in turn with the heading at
// the block's end; the filter crosses over from the heading at the block's start to that one
// within the block. A stereo sound is two sources at the azimuth less and plus half the width,
// the left channel to the left.
//
// Each block's output is a function of the input and the places of the WarmUpBlocks() blocks
// before it: starting anywhere on the grid that many blocks early (after Reset) gives the same
// samples, bit for bit, as a render from the first frame. Input and output are floats of full
// scale 1.0; output is the left and right ear interleaved, lagging the set's responses by
// Latency() frames. Shares the bank; not shared between threads.
class SofaBinauralRenderer {
  public:
    static constexpr uint32_t kBlockFrames = HrtfFilterBank::kBlockFrames;

    // channels: 1 or 2.
    SofaBinauralRenderer(std::shared_ptr<const HrtfFilterBank> bank, uint16_t channels);

    uint16_t Channels() const { return m_channels; }
    const HrtfFilterBank& Bank() const { return *m_pBank; }
    uint32_t WarmUpBlocks() const { return m_sources.front()->WarmUpBlocks(); }
    uint32_t Latency() const { return m_pBank->AlignmentFrames() + FractionalDelay::kLeadFrames; }

    // Forgets the input (silence before the next block), with the filter of heading at the next
    // block's start.
    void Reset(const SofaHeading& heading);
    // One block: kBlockFrames frames of in (Channels() floats a frame) into kBlockFrames frames
    // of out (two floats a frame, overwritten), the heading reaching end at the block's last
    // frame.
    void RenderBlock(const float* in, const SofaHeading& end, float* out);

  private:
    HrtfConvolver::Aim AimOf(const SofaHeading& heading, int source) const;

    std::shared_ptr<const HrtfFilterBank> m_pBank;
    uint16_t m_channels;
    std::vector<std::unique_ptr<HrtfConvolver>> m_sources;  // one a channel
    std::vector<float> m_ears;                              // a block of left, then right
};

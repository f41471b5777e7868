#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "sofa/HrtfFilterBank.h"
#include "sofa/RealFft.h"
#include "sofa/SofaBinauralRenderer.h"
#include "sofa/SpectrumKernels.h"

// A first-order AmbiX bus (W, Y, Z, X; SN3D) heard by two ears as six virtual loudspeakers
// (ahead, behind, left, right, above, below) would be: a sampling decoder, its energy made a
// plane wave's, each speaker placed by Sonomap's SOFA renderer at its fixed heading. The
// speakers never move, so each one's two responses are measured once through the renderer and
// folded with the decoder into one filter per bus channel and ear: four transforms and two
// inverse ones a block, where six renderers would take six and twelve.
//
// Uniformly partitioned overlap-save on a grid of kBlockFrames frames from frame 0, lagging the
// bus by the renderer's Latency(), as the renderer does. A block's output depends on the bus of
// WarmUpBlocks() blocks before it and no further. Shares the bank; not shared between threads.
class AmbisonicEars {
  public:
    static constexpr uint32_t kBlockFrames = HrtfFilterBank::kBlockFrames;
    static constexpr size_t kSpeakers = 6;

    explicit AmbisonicEars(std::shared_ptr<const HrtfFilterBank> bank);

    // Virtual loudspeaker k's heading (gain 1, no width), and its feed from a bus frame.
    static SofaHeading SpeakerHeading(size_t k);
    static float SpeakerFeed(size_t k, const float* bus);

    uint32_t WarmUpBlocks() const { return m_partitions; }
    uint32_t Latency() const { return m_latency; }
    // Silence before the next block.
    void Reset();
    // kBlockFrames frames of the bus (four floats a frame) into as many of the ears (left and
    // right interleaved), added.
    void Process(const float* bus, float* ears);

  private:
    static constexpr size_t kBusChannels = 4;

    uint32_t m_partitions = 0;
    uint32_t m_latency = 0;
    const SpectrumKernels& m_kernels;
    RealFft m_fft;
    // Filters: ear, bus channel, partition; each kPaddedBins re then im.
    std::vector<float> m_filters;
    std::array<std::vector<float>, kBusChannels> m_input;  // the previous block and this one
    std::vector<float> m_spectra;  // channel, then a ring of the last m_partitions spectra
    uint32_t m_newest = 0;
    std::vector<const float*> m_past;
    std::vector<const float*> m_parts;
    std::vector<float> m_sum;
    std::vector<float> m_time;
};

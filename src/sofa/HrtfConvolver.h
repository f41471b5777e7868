#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sofa/FractionalDelay.h"
#include "sofa/HrtfFilterBank.h"
#include "sofa/RealFft.h"
#include "sofa/SpectrumKernels.h"

// One mono source heard by two ears through a filter bank, a block of
// HrtfFilterBank::kBlockFrames frames at a time: uniformly partitioned overlap-save
// convolution with the blended, delay-aligned filters, then each ear's delay, the same blend of
// the nodes' delays.
//
// The aim (a blend of nodes and a gain) is given for the end of each block. When it differs
// from the last, the block is convolved with the old filter and with the new and crosses from
// one to the other in a straight line within the block, while each ear's delay moves in a
// straight line to the new one, so a moving source neither clicks nor jumps. A block whose aim
// has not changed is convolved once, and its delays glide to the nearest whole frame, which is
// then read exactly: a source that holds still between measurements keeps its full bandwidth,
// which interpolating a fraction of a frame would dull. Each block's output depends only on the
// input and the aims of a few blocks before it (see WarmUpBlocks), never on how the calls were cut.
//
// Borrows the bank, which must outlive it. Not shared between threads.
class HrtfConvolver {
  public:
    static constexpr uint32_t kBlockFrames = HrtfFilterBank::kBlockFrames;

    struct Aim {
        SphereTriangulation::Blend blend;
        double gain = 1.0;
        bool operator==(const Aim&) const = default;
    };

    explicit HrtfConvolver(const HrtfFilterBank& bank);

    // Blocks after which a block's output no longer depends on what came before Reset.
    uint32_t WarmUpBlocks() const;

    // Silence before, and aim as the filter at the start of the next block.
    void Reset(const Aim& aim);
    // Adds the two ears of kBlockFrames frames of in (one frame every inStride floats) to
    // ears (left, right; kBlockFrames each), the filter reaching end at the block's last frame.
    void Process(const float* in, uint32_t inStride, const Aim& end, std::array<float*, 2> ears);

  private:
    // Sets m_filters[slot] to the aim's blend of the bank's filters, and its delays.
    void MakeFilter(int slot, const Aim& aim);
    // The block's frames of the input through filter slot for one ear, into out.
    void Convolve(int slot, int ear, float* out);

    const HrtfFilterBank& m_bank;
    const SpectrumKernels& m_kernels;
    uint32_t m_partitions;
    RealFft m_fft;
    std::vector<float> m_input;    // the previous block and this one
    std::vector<float> m_spectra;  // the last m_partitions input spectra, a ring
    uint32_t m_newest = 0;         // the ring's slot of this block's spectrum
    // Two filters (the one in force and the next): slot, ear, partition, re and im.
    std::vector<float> m_filters;
    std::array<std::array<double, 2>, 2> m_delays{};  // the blends' delays: slot, ear
    std::array<double, 2> m_reached{};                // each ear's delay at the last frame
    int m_now = 0;                                    // the slot in force
    Aim m_aim;
    std::vector<const float*> m_pastSpectra;  // by partition, for one Convolve
    std::vector<const float*> m_filterParts;
    std::vector<float> m_sum;  // re and im of one spectrum
    std::vector<float> m_time;
    std::vector<float> m_old;
    std::vector<float> m_new;
    std::array<FractionalDelay, 2> m_ears;
};

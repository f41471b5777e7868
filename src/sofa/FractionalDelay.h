#pragma once

#include <cstdint>
#include <vector>

// One ear's delay line: delays blocks of a signal by a number of frames that may be
// fractional and may move in a straight line across a block, read with four-point Lagrange
// interpolation, so a delay that changes changes smoothly. A whole number of frames is read
// exactly. The output lags one frame more than the delay asked, so the interpolation never
// needs a frame that has not come. Owns its history; delays are frames, 0 to the longest
// given at construction.
class FractionalDelay {
  public:
    static constexpr uint32_t kLeadFrames = 1;

    FractionalDelay(uint32_t longestDelay, uint32_t blockFrames);

    // Forgets the history: silence before the next block.
    void Reset();
    // Delays blockFrames frames of in by a delay moving from `from` (the frame before the
    // block) to `to` (its last frame), and adds them to out.
    void Process(const float* in, double from, double to, float* out);

  private:
    uint32_t m_history;  // frames kept from earlier blocks
    uint32_t m_blockFrames;
    std::vector<float> m_buffer;  // m_history earlier frames, then the block
};

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Sound's absorption by the air along a path, as ISO 9613-1 gives it for 20 degrees C, 50 %
// relative humidity and 101.325 kPa, made into a short linear-phase filter per path length.
// The filter has 2 * kHalfTaps + 1 taps centred on the present frame, so it adds no delay; its
// gain at 0 Hz is exactly 1, as the air's is.
class AirAbsorption {
  public:
    static constexpr int kHalfTaps = 12;
    static constexpr int kTaps = 2 * kHalfTaps + 1;
    using Kernel = std::array<float, kTaps>;

    // The absorption coefficient in dB per metre at frequency Hz.
    static double DbPerMetre(double hz);

    // rate: frames per second of the signal the filters run on.
    explicit AirAbsorption(uint32_t rate);

    // The filter for a path of metres (0 or less: a single tap of 1).
    Kernel KernelFor(double metres) const;
    // The same within -80 dB at every frequency, at a fraction of the cost: a line between
    // the filters of the two nearest lengths on a grid fine enough for the highest frequency.
    // Those are made as paths first reach them and kept.
    Kernel Along(double metres);

    // The most the sum of a kernel's magnitudes reaches for any path up to metres long, read
    // by KernelFor or Along.
    double LargestSum(double metres) const;

  private:
    using Half = std::array<float, kHalfTaps + 1>;  // taps from the centre on
    const Half& GridKernel(size_t index);

    double m_step = 1.0;  // metres between the grid's lengths
    std::vector<Half> m_grid;
    std::vector<uint8_t> m_made;

    // The coefficient at the frequencies the kernel is made from, nepers per metre for amplitude.
    std::vector<double> m_nepers;
    std::vector<std::array<double, kHalfTaps + 1>> m_cosines;  // per frequency, per tap
};

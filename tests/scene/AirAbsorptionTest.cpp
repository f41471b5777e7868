// The air's filter read off the grid against the filter made for the very length: within
// -80 dB at every frequency, at every rate and along every length a path takes.
#include "scene/AirAbsorption.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace {

// The filter's response at a fraction of the rate (0 .. 0.5).
std::complex<double> Response(const AirAbsorption::Kernel& kernel, double fraction) {
    std::complex<double> sum = 0.0;
    for (size_t m = 0; m < kernel.size(); ++m) {
        sum += static_cast<double>(kernel[m]) *
               std::polar(1.0, -2.0 * std::numbers::pi * fraction * static_cast<double>(m));
    }
    return sum;
}

}  // namespace

TEST(AirAbsorption, TheGridsFiltersKeepWithinMinus80DbOfTheExactOnes) {
    for (const uint32_t rate : {8000u, 44100u, 48000u, 192000u}) {
        AirAbsorption air(rate);
        double worst = 0.0;
        // Ahead and back again, as a path comes and goes: the grid's kept filters serve both.
        for (const double metres : {0.0, 0.013, 0.37, 1.0, 3.3, 47.9, 600.1, 2.2, 0.5}) {
            const AirAbsorption::Kernel exact = air.KernelFor(metres);
            const AirAbsorption::Kernel along = air.Along(metres);
            for (double fraction = 0.0; fraction <= 0.5; fraction += 1.0 / 512) {
                worst = std::max(worst,
                                 std::abs(Response(along, fraction) - Response(exact, fraction)));
            }
        }
        EXPECT_LT(worst, 1e-4) << rate << " Hz";
        // Both stay under the bound a render's headroom is made from.
        EXPECT_GE(air.LargestSum(600.1), 1.0);
    }
}

#include "scene/AirAbsorption.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The frequencies between 0 and half the rate the kernel is sampled at, at their centres.
constexpr int kFrequencies = 256;
// Lengths of the grid kept at most (a few MB): past them every filter is made anew.
constexpr double kLongestGrid = 1 << 16;

}  // namespace

double AirAbsorption::DbPerMetre(double hz) {
    // ISO 9613-1, equations 3 to 5, at 20 degrees C, 50 % relative humidity and the reference
    // pressure.
    const double temperature = 293.15;
    const double reference = 293.15;
    const double triple = 273.16;
    const double saturation =
        std::pow(10.0, -6.8346 * std::pow(triple / temperature, 1.261) + 4.6151);
    const double humidity = 50.0 * saturation;  // molar concentration of water vapour, percent
    const double oxygen = 24.0 + 4.04e4 * humidity * (0.02 + humidity) / (0.391 + humidity);
    const double ratio = temperature / reference;
    const double nitrogen =
        std::pow(ratio, -0.5) *
        (9.0 + 280.0 * humidity * std::exp(-4.170 * (std::pow(ratio, -1.0 / 3.0) - 1.0)));
    const double f2 = hz * hz;
    return 8.686 * f2 *
           (1.84e-11 * std::sqrt(ratio) +
            std::pow(ratio, -2.5) *
                (0.01275 * std::exp(-2239.1 / temperature) / (oxygen + f2 / oxygen) +
                 0.1068 * std::exp(-3352.0 / temperature) / (nitrogen + f2 / nitrogen)));
}

AirAbsorption::AirAbsorption(uint32_t rate) {
    m_nepers.resize(kFrequencies);
    m_cosines.resize(kFrequencies);
    const double nyquist = rate / 2.0;
    for (int k = 0; k < kFrequencies; ++k) {
        const double hz = (k + 0.5) / kFrequencies * nyquist;
        m_nepers[static_cast<size_t>(k)] = DbPerMetre(hz) * std::numbers::ln10 / 20.0;
        for (int m = 0; m <= kHalfTaps; ++m) {
            m_cosines[static_cast<size_t>(k)][static_cast<size_t>(m)] =
                std::cos(std::numbers::pi * (k + 0.5) / kFrequencies * m);
        }
    }
    // A line between two lengths h apart errs by at most (h n)^2 / 8 of the gain at the
    // frequency losing n nepers a metre: 1e-4 (-80 dB) at the highest.
    const double highest = m_nepers.back();
    m_step = highest > 0.0 ? std::min(1.0, std::sqrt(8e-4) / highest) : 1.0;
}

const AirAbsorption::Half& AirAbsorption::GridKernel(size_t index) {
    if (index >= m_grid.size()) {
        m_grid.resize(index + 1);
        m_made.resize(index + 1, 0);
    }
    if (m_made[index] == 0) {
        const Kernel kernel = KernelFor(static_cast<double>(index) * m_step);
        std::copy(kernel.begin() + kHalfTaps, kernel.end(), m_grid[index].begin());
        m_made[index] = 1;
    }
    return m_grid[index];
}

AirAbsorption::Kernel AirAbsorption::Along(double metres) {
    if (!(metres > 0.0)) {
        return KernelFor(0.0);
    }
    const double at = metres / m_step;
    if (!(at < kLongestGrid)) {
        return KernelFor(metres);
    }
    const auto below = static_cast<size_t>(at);
    const auto t = static_cast<float>(at - static_cast<double>(below));
    const Half b = GridKernel(below + 1);  // a copy: the next may grow the grid
    const Half& a = GridKernel(below);
    Kernel kernel{};
    for (size_t m = 0; m <= kHalfTaps; ++m) {
        const float tap = a[m] + (b[m] - a[m]) * t;
        kernel[kHalfTaps + m] = tap;
        kernel[kHalfTaps - m] = tap;
    }
    return kernel;
}

AirAbsorption::Kernel AirAbsorption::KernelFor(double metres) const {
    Kernel kernel{};
    if (!(metres > 0.0)) {
        kernel[kHalfTaps] = 1.0f;
        return kernel;
    }
    // The response sampled on a uniform grid, turned into taps by the cosine sum (frequency
    // sampling); a rectangular window keeps the high bands' depth, which a tapered one fills in.
    std::array<double, kHalfTaps + 1> taps{};
    for (size_t k = 0; k < m_nepers.size(); ++k) {
        const double gain = std::exp(-m_nepers[k] * metres);
        for (size_t m = 0; m <= kHalfTaps; ++m) {
            taps[m] += gain * m_cosines[k][m];
        }
    }
    double sum = taps[0];
    for (size_t m = 1; m <= kHalfTaps; ++m) {
        sum += 2.0 * taps[m];
    }
    for (size_t m = 0; m <= kHalfTaps; ++m) {
        const auto tap = static_cast<float>(taps[m] / sum);
        kernel[kHalfTaps + m] = tap;
        kernel[kHalfTaps - m] = tap;
    }
    return kernel;
}

double AirAbsorption::LargestSum(double metres) const {
    // Along's lines reach one step past the path; each sums to no more than its two ends.
    metres += m_step;
    double largest = 1.0;
    for (double length = 1.0;; length *= 2.0) {
        const Kernel kernel = KernelFor(std::min(length, metres));
        double sum = 0.0;
        for (const float tap : kernel) {
            sum += std::abs(tap);
        }
        largest = std::max(largest, sum);
        if (length >= metres) {
            return largest;
        }
    }
}

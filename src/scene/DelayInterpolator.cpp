#include "scene/DelayInterpolator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The modified Bessel function of the first kind, order 0, by its series.
double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    const double half = x / 2.0;
    for (int k = 1; k < 64 && term > 1e-17 * sum; ++k) {
        term *= (half / k) * (half / k);
        sum += term;
    }
    return sum;
}

}  // namespace

const DelayInterpolator& DelayInterpolator::Shared() {
    static const DelayInterpolator s_shared(16, 10.0);
    return s_shared;
}

DelayInterpolator::DelayInterpolator(int taps, double beta)
    : m_taps(taps), m_table(static_cast<size_t>(kPhases + 1) * static_cast<size_t>(taps)) {
    const int kTaps = taps;
    const int kBefore = Before();
    const double norm = BesselI0(beta);
    for (int p = 0; p <= kPhases; ++p) {
        const double fraction = static_cast<double>(p) / kPhases;
        double sum = 0.0;
        for (int n = 0; n < kTaps; ++n) {
            const double x = (n - kBefore) - fraction;  // from the position to the tap
            const double t = x / (kTaps / 2.0);
            double value = 0.0;
            if (std::abs(t) < 1.0) {
                const double sinc =
                    x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
                value = sinc * BesselI0(beta * std::sqrt(1.0 - t * t)) / norm;
            }
            m_table[static_cast<size_t>(p) * kTaps + static_cast<size_t>(n)] =
                static_cast<float>(value);
            sum += std::abs(value);
        }
        m_largestSum = std::max(m_largestSum, static_cast<float>(sum));
    }
}

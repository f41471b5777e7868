#include "render/LoudnessGate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double PowerOf(double lufs) {
    return std::pow(10.0, (lufs + 0.691) / 10.0);
}

}  // namespace

void LoudnessGate::Take(double stepEnergy, uint32_t stepFrames) {
    if (m_steps >= 3) {
        m_blocks.push_back((m_lastSteps[0] + m_lastSteps[1] + m_lastSteps[2] + stepEnergy) /
                           (4.0 * stepFrames));
    }
    m_lastSteps[0] = m_lastSteps[1];
    m_lastSteps[1] = m_lastSteps[2];
    m_lastSteps[2] = stepEnergy;
    ++m_steps;
}

std::optional<double> LoudnessGate::MeanFrom(double threshold) const {
    double sum = 0;
    size_t count = 0;
    for (const double block : m_blocks) {
        if (block >= threshold) {
            sum += block;
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    return sum / static_cast<double>(count);
}

double LoudnessGate::IntegratedLoudness() const {
    const double absolute = PowerOf(-70.0);
    const std::optional<double> ungated = MeanFrom(absolute);
    if (!ungated) {
        return -std::numeric_limits<double>::infinity();
    }
    // Never empty: the loudest block is at least the mean.
    const std::optional<double> gated = MeanFrom(std::max(absolute, *ungated * 0.1));
    return -0.691 + 10.0 * std::log10(gated.value_or(0.0));
}

#include "sofa/SofaBinauralRenderer.h"

#include <algorithm>
#include <cmath>

#include "render/ScopedFlushDenormals.h"

SofaBinauralRenderer::SofaBinauralRenderer(std::shared_ptr<const HrtfFilterBank> bank,
                                           uint16_t channels)
    : m_pBank(std::move(bank)), m_channels(channels == 2 ? 2 : 1), m_ears(2 * kBlockFrames) {
    for (uint16_t c = 0; c < m_channels; ++c) {
        m_sources.push_back(std::make_unique<HrtfConvolver>(*m_pBank));
    }
    Reset(SofaHeading{});
}

HrtfConvolver::Aim SofaBinauralRenderer::AimOf(const SofaHeading& place, int source) const {
    const auto finite = [](double value, double otherwise) {
        return std::isfinite(value) ? value : otherwise;
    };
    double azimuth = finite(place.azimuth, 0.0);
    if (m_channels == 2) {
        const double half = std::clamp(finite(place.width, 0.0), 0.0, 180.0) / 2.0;
        azimuth += source == 0 ? -half : half;
    }
    const double elevation = std::clamp(finite(place.elevation, 0.0), -90.0, 90.0);
    HrtfConvolver::Aim aim;
    aim.blend = m_pBank->Locate(azimuth, elevation);
    aim.gain = finite(place.gain, 0.0);
    return aim;
}

void SofaBinauralRenderer::Reset(const SofaHeading& heading) {
    for (size_t s = 0; s < m_sources.size(); ++s) {
        m_sources[s]->Reset(AimOf(heading, static_cast<int>(s)));
    }
}

void SofaBinauralRenderer::RenderBlock(const float* in, const SofaHeading& end, float* out) {
    // Subnormals flushed whatever the caller's mode, so every render computes alike.
    const ScopedFlushDenormals flush;
    std::fill(m_ears.begin(), m_ears.end(), 0.0f);
    const std::array<float*, 2> ears{m_ears.data(), m_ears.data() + kBlockFrames};
    for (size_t s = 0; s < m_sources.size(); ++s) {
        m_sources[s]->Process(in + s, m_channels, AimOf(end, static_cast<int>(s)), ears);
    }
    for (uint32_t n = 0; n < kBlockFrames; ++n) {
        out[2 * n] = ears[0][n];
        out[2 * n + 1] = ears[1][n];
    }
}

#include "sofa/HrtfConvolver.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kBins = HrtfFilterBank::kPaddedBins;
constexpr uint32_t kSpectrumFloats = 2 * kBins;

}  // namespace

HrtfConvolver::HrtfConvolver(const HrtfFilterBank& bank)
    : m_bank(bank),
      m_kernels(SpectrumKernels::Find()),
      m_partitions(bank.Partitions()),
      m_fft(HrtfFilterBank::kTransformSize, kBins),
      m_input(HrtfFilterBank::kTransformSize, 0.0f),
      m_spectra(static_cast<size_t>(m_partitions) * kSpectrumFloats, 0.0f),
      m_filters(static_cast<size_t>(2) * 2 * m_partitions * kSpectrumFloats, 0.0f),
      m_pastSpectra(m_partitions),
      m_filterParts(m_partitions),
      m_sum(kSpectrumFloats, 0.0f),
      m_time(HrtfFilterBank::kTransformSize, 0.0f),
      m_old(kBlockFrames, 0.0f),
      m_new(kBlockFrames, 0.0f),
      m_ears{FractionalDelay(bank.LongestDelay(), kBlockFrames),
             FractionalDelay(bank.LongestDelay(), kBlockFrames)} {}

uint32_t HrtfConvolver::WarmUpBlocks() const {
    // The spectra reach m_partitions blocks back, each transform holding two blocks; the
    // delay lines reach back over the longest delay and the interpolation's taps.
    const uint32_t reach = m_bank.LongestDelay() + FractionalDelay::kLeadFrames + 2;
    return m_partitions + (reach + kBlockFrames - 1) / kBlockFrames;
}

void HrtfConvolver::Reset(const Aim& aim) {
    std::fill(m_input.begin(), m_input.end(), 0.0f);
    std::fill(m_spectra.begin(), m_spectra.end(), 0.0f);
    m_newest = 0;
    for (FractionalDelay& ear : m_ears) {
        ear.Reset();
    }
    m_now = 0;
    MakeFilter(m_now, aim);
    m_aim = aim;
    for (size_t ear = 0; ear < 2; ++ear) {
        m_reached[ear] = std::round(m_delays[0][ear]);
    }
}

void HrtfConvolver::MakeFilter(int slot, const Aim& aim) {
    const size_t floats = static_cast<size_t>(m_partitions) * kSpectrumFloats;
    for (int ear = 0; ear < 2; ++ear) {
        float* filter =
            m_filters.data() + (static_cast<size_t>(slot) * 2 + static_cast<size_t>(ear)) * floats;
        std::array<const float*, 3> spectra{};
        std::array<float, 3> scale{};
        int count = 0;
        double delay = 0.0;
        for (size_t i = 0; i < 3; ++i) {
            const double weight = aim.blend.weights[i];
            if (weight != 0.0) {
                const uint32_t node = aim.blend.points[i];
                // A node's partitions follow each other in the bank.
                spectra[static_cast<size_t>(count)] = m_bank.Spectrum(node, ear, 0);
                scale[static_cast<size_t>(count)] = static_cast<float>(weight * aim.gain);
                ++count;
                delay += weight * m_bank.Delay(node, ear);
            }
        }
        if (count == 0) {
            std::fill(filter, filter + floats, 0.0f);
        } else {
            m_kernels.blend(spectra.data(), scale.data(), count, floats, filter);
        }
        m_delays[static_cast<size_t>(slot)][static_cast<size_t>(ear)] =
            std::clamp(delay, 0.0, static_cast<double>(m_bank.LongestDelay()));
    }
}

void HrtfConvolver::Convolve(int slot, int ear, float* out) {
    const float* filter =
        m_filters.data() +
        (static_cast<size_t>(slot) * 2 + static_cast<size_t>(ear)) * m_partitions * kSpectrumFloats;
    for (uint32_t p = 0; p < m_partitions; ++p) {
        const uint32_t past = (m_newest + m_partitions - p) % m_partitions;
        m_pastSpectra[p] = m_spectra.data() + static_cast<size_t>(past) * kSpectrumFloats;
        m_filterParts[p] = filter + static_cast<size_t>(p) * kSpectrumFloats;
    }
    m_kernels.multiplyAdd(m_pastSpectra.data(), m_filterParts.data(), m_partitions, m_sum.data());
    m_fft.Inverse(m_sum.data(), m_time.data());
    // Overlap-save: the second half is the block's output.
    std::memcpy(out, m_time.data() + kBlockFrames, kBlockFrames * sizeof(float));
}

void HrtfConvolver::Process(const float* in, uint32_t inStride, const Aim& end,
                            std::array<float*, 2> ears) {
    std::memmove(m_input.data(), m_input.data() + kBlockFrames, kBlockFrames * sizeof(float));
    for (uint32_t n = 0; n < kBlockFrames; ++n) {
        m_input[kBlockFrames + n] = in[static_cast<size_t>(n) * inStride];
    }
    m_newest = (m_newest + 1) % m_partitions;
    float* spectrum = m_spectra.data() + static_cast<size_t>(m_newest) * kSpectrumFloats;
    m_fft.Forward(m_input.data(), spectrum);

    const bool bMoving = !(end == m_aim);
    const int next = 1 - m_now;
    if (bMoving) {
        MakeFilter(next, end);
    }
    for (int ear = 0; ear < 2; ++ear) {
        const auto e = static_cast<size_t>(ear);
        Convolve(m_now, ear, m_old.data());
        double to = std::round(m_delays[static_cast<size_t>(m_now)][e]);
        if (bMoving) {
            Convolve(next, ear, m_new.data());
            m_kernels.crossFade(m_old.data(), m_new.data());
            to = m_delays[static_cast<size_t>(next)][e];
        }
        m_ears[e].Process(m_old.data(), m_reached[e], to, ears[e]);
        m_reached[e] = to;
    }
    if (bMoving) {
        m_now = next;
        m_aim = end;
    }
}

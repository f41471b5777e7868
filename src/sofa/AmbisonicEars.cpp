#include "sofa/AmbisonicEars.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "render/ScopedFlushDenormals.h"

namespace {

// The octahedron's directions: heading, and unit vector in AmbiX's axes (x ahead, y left, z up).
struct VirtualSpeaker {
    double azimuth;
    double elevation;
    float x, y, z;
};
constexpr VirtualSpeaker kOctahedron[] = {
    {0.0, 0.0, 1.0f, 0.0f, 0.0f},   {180.0, 0.0, -1.0f, 0.0f, 0.0f},
    {-90.0, 0.0, 0.0f, 1.0f, 0.0f}, {90.0, 0.0, 0.0f, -1.0f, 0.0f},
    {0.0, 90.0, 0.0f, 0.0f, 1.0f},  {0.0, -90.0, 0.0f, 0.0f, -1.0f},
};
static_assert(std::size(kOctahedron) == AmbisonicEars::kSpeakers);

constexpr uint32_t kBins = HrtfFilterBank::kPaddedBins;
constexpr size_t kSpectrumFloats = 2 * kBins;
constexpr uint32_t kBlock = HrtfFilterBank::kBlockFrames;

}  // namespace

SofaHeading AmbisonicEars::SpeakerHeading(size_t k) {
    return {kOctahedron[k].azimuth, kOctahedron[k].elevation, 0.0, 1.0};
}

float AmbisonicEars::SpeakerFeed(size_t k, const float* bus) {
    // A sampling decoder of first order (SN3D), its energy made a plane wave's.
    const float scale = static_cast<float>(std::sqrt(1.5) / kSpeakers);
    const VirtualSpeaker& s = kOctahedron[k];
    return scale * (bus[0] + 3.0f * (s.y * bus[1] + s.z * bus[2] + s.x * bus[3]));
}

AmbisonicEars::AmbisonicEars(std::shared_ptr<const HrtfFilterBank> bank)
    : m_kernels(SpectrumKernels::Find()),
      m_fft(HrtfFilterBank::kTransformSize, kBins),
      m_sum(kSpectrumFloats),
      m_time(HrtfFilterBank::kTransformSize) {
    // Each speaker's response to a click. The heading never changes, so the renderer is
    // time-invariant from its reset: the delays sit on whole frames.
    SofaBinauralRenderer renderer(bank, 1);
    m_latency = renderer.Latency();
    const uint32_t length = m_latency + (bank->Partitions() + 1) * kBlock + bank->LongestDelay() +
                            FractionalDelay::kLeadFrames;
    const uint32_t blocks = (length + kBlock - 1) / kBlock;
    std::vector<float> in(kBlock, 0.0f);
    std::vector<float> out(2 * kBlock);
    // Response per ear and bus channel: the decoder's weight of each speaker summed.
    std::vector<double> folded(2 * kBusChannels * size_t{blocks} * kBlock, 0.0);
    size_t used = 0;
    for (size_t k = 0; k < kSpeakers; ++k) {
        float weights[kBusChannels];
        for (size_t c = 0; c < kBusChannels; ++c) {
            float unit[kBusChannels] = {};
            unit[c] = 1.0f;
            weights[c] = SpeakerFeed(k, unit);
        }
        renderer.Reset(SpeakerHeading(k));
        for (uint32_t b = 0; b < blocks; ++b) {
            in[0] = b == 0 ? 1.0f : 0.0f;
            renderer.RenderBlock(in.data(), SpeakerHeading(k), out.data());
            for (uint32_t n = 0; n < kBlock; ++n) {
                const size_t at = size_t{b} * kBlock + n;
                for (size_t ear = 0; ear < 2; ++ear) {
                    const float value = out[2 * n + ear];
                    for (size_t c = 0; c < kBusChannels; ++c) {
                        folded[(ear * kBusChannels + c) * blocks * kBlock + at] +=
                            static_cast<double>(weights[c]) * value;
                    }
                    if (value != 0.0f) {
                        used = std::max(used, at + 1);
                    }
                }
            }
        }
    }
    m_partitions = static_cast<uint32_t>(std::max<size_t>(1, (used + kBlock - 1) / kBlock));
    m_filters.assign(2 * kBusChannels * m_partitions * kSpectrumFloats, 0.0f);
    std::vector<float> time(HrtfFilterBank::kTransformSize);
    for (size_t f = 0; f < 2 * kBusChannels; ++f) {
        for (uint32_t p = 0; p < m_partitions; ++p) {
            std::fill(time.begin(), time.end(), 0.0f);
            for (uint32_t n = 0; n < kBlock; ++n) {
                time[n] = static_cast<float>(folded[f * blocks * kBlock + p * kBlock + n] /
                                             HrtfFilterBank::kTransformSize);
            }
            m_fft.Forward(time.data(), m_filters.data() + (f * m_partitions + p) * kSpectrumFloats);
        }
    }
    for (auto& input : m_input) {
        input.assign(HrtfFilterBank::kTransformSize, 0.0f);
    }
    m_spectra.assign(kBusChannels * m_partitions * kSpectrumFloats, 0.0f);
    m_past.resize(kBusChannels * m_partitions);
    m_parts.resize(kBusChannels * m_partitions);
}

void AmbisonicEars::Reset() {
    for (auto& input : m_input) {
        std::fill(input.begin(), input.end(), 0.0f);
    }
    std::fill(m_spectra.begin(), m_spectra.end(), 0.0f);
    m_newest = 0;
}

void AmbisonicEars::Process(const float* bus, float* ears) {
    const ScopedFlushDenormals flush;
    m_newest = (m_newest + 1) % m_partitions;
    for (size_t c = 0; c < kBusChannels; ++c) {
        std::vector<float>& input = m_input[c];
        std::memmove(input.data(), input.data() + kBlock, kBlock * sizeof(float));
        for (uint32_t n = 0; n < kBlock; ++n) {
            input[kBlock + n] = bus[n * kBusChannels + c];
        }
        m_fft.Forward(input.data(),
                      m_spectra.data() + (c * m_partitions + m_newest) * kSpectrumFloats);
    }
    for (size_t ear = 0; ear < 2; ++ear) {
        for (size_t c = 0; c < kBusChannels; ++c) {
            for (uint32_t p = 0; p < m_partitions; ++p) {
                const uint32_t past = (m_newest + m_partitions - p) % m_partitions;
                m_past[c * m_partitions + p] =
                    m_spectra.data() + (c * m_partitions + past) * kSpectrumFloats;
                m_parts[c * m_partitions + p] =
                    m_filters.data() +
                    ((ear * kBusChannels + c) * m_partitions + p) * kSpectrumFloats;
            }
        }
        m_kernels.multiplyAdd(m_past.data(), m_parts.data(),
                              static_cast<uint32_t>(kBusChannels * m_partitions), m_sum.data());
        m_fft.Inverse(m_sum.data(), m_time.data());
        // Overlap-save: the second half is the block's.
        for (uint32_t n = 0; n < kBlock; ++n) {
            ears[2 * n + ear] += m_time[kBlock + n];
        }
    }
}

#include "deliver/RoomBus.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "render/AmbisonicsEncoder.h"
#include "render/PointSourcePanner.h"
#include "render/SpeakerLayout.h"
#include "scene/LateTail.h"
#include "trajectory/Place.h"

namespace {

// frames of one signal added into frames of channels (Channels, or channels when it is 0),
// each channel at its gain, which moves by its step a frame.
template <size_t Channels>
void AddRun(const float* signal, uint32_t frames, float* gains, const float* steps, float* out,
            size_t channels = Channels) {
#if defined(__SSE__)
    if constexpr (Channels == 4) {
        // The four gains in one register, each lane doing what the loop below does.
        __m128 gain = _mm_loadu_ps(gains);
        const __m128 step = _mm_loadu_ps(steps);
        for (uint32_t f = 0; f < frames; ++f) {
            float* frame = out + size_t{f} * 4;
            const __m128 added = _mm_mul_ps(_mm_set1_ps(signal[f]), gain);
            _mm_storeu_ps(frame, _mm_add_ps(_mm_loadu_ps(frame), added));
            gain = _mm_add_ps(gain, step);
        }
        _mm_storeu_ps(gains, gain);
        return;
    }
#endif
    const size_t count = Channels != 0 ? Channels : channels;
    for (uint32_t f = 0; f < frames; ++f) {
        const float x = signal[f];
        float* frame = out + size_t{f} * count;
        for (size_t c = 0; c < count; ++c) {
            frame[c] += x * gains[c];
            gains[c] += steps[c];
        }
    }
}

#if defined(__SSE__)
// AddRun<4> of four signals at once, each with its four gains and steps (16 floats, a signal's
// after the last): every frame takes the first signal's part, then the second's, and so on, as
// four runs one after another would add them, while the four gains move side by side.
void AddFourRuns(const float* const signals[4], uint32_t frames, float* gains, const float* steps,
                 float* out) {
    __m128 gain[4];
    __m128 step[4];
    for (int k = 0; k < 4; ++k) {
        gain[k] = _mm_loadu_ps(gains + 4 * k);
        step[k] = _mm_loadu_ps(steps + 4 * k);
    }
    for (uint32_t f = 0; f < frames; ++f) {
        float* frame = out + size_t{f} * 4;
        __m128 sum = _mm_loadu_ps(frame);
        for (int k = 0; k < 4; ++k) {
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(signals[k][f]), gain[k]));
            gain[k] = _mm_add_ps(gain[k], step[k]);
        }
        _mm_storeu_ps(frame, sum);
    }
    for (int k = 0; k < 4; ++k) {
        _mm_storeu_ps(gains + 4 * k, gain[k]);
    }
}
#endif

}  // namespace

RoomBus::RoomBus(Propagation& stage, Propagation::Reader read, int sourceChannels, Form form,
                 int order, const SpeakerLayout* layout, bool bTail)
    : m_stage(stage),
      m_read(std::move(read)),
      m_sourceChannels(sourceChannels),
      m_form(form),
      m_order(std::clamp(order, 1, AmbisonicsEncoder::kMaxOrder)),
      m_channels(0),
      m_bTail(bTail) {
    switch (form) {
        case Form::Ambisonics:
            m_channels = AmbisonicsEncoder::ChannelCount(m_order);
            for (int k = 0; k < m_channels; ++k) {
                const int l = static_cast<int>(std::sqrt(static_cast<double>(k)));
                m_tailShare.push_back(static_cast<float>(1.0 / std::sqrt(2.0 * l + 1.0)));
            }
            break;
        case Form::Speakers: {
            m_pPanner = std::make_unique<PointSourcePanner>(*layout);
            m_channels = static_cast<int>(layout->ChannelCount());
            int speakers = 0;
            for (size_t k = 0; k < layout->ChannelCount(); ++k) {
                speakers += layout->Speakers()[k].bLfe ? 0 : 1;
            }
            for (size_t k = 0; k < layout->ChannelCount(); ++k) {
                m_tailShare.push_back(layout->Speakers()[k].bLfe
                                          ? 0.0f
                                          : static_cast<float>(1.0 / std::sqrt(speakers)));
            }
            break;
        }
        case Form::Stereo:
            m_channels = 2;
            m_tailShare.assign(2, static_cast<float>(1.0 / std::sqrt(2.0)));
            break;
    }
    for (int k = 0; k < m_channels; ++k) {
        m_tailOutput.push_back(k % LateTail::kOutputs);
    }
}

RoomBus::~RoomBus() = default;

void RoomBus::GainsAt(uint64_t heard, size_t k, float* gains) {
    const Arrival arrival = m_stage.ReflectionAt(heard, k);
    switch (m_form) {
        case Form::Ambisonics:
            // AmbiX turns the other way: its azimuth is positive to the left.
            AmbisonicsEncoder::Harmonics(m_order, -arrival.azimuth, arrival.elevation, arrival.gain,
                                         gains);
            return;
        case Form::Speakers: {
            double speakers[64];
            m_pPanner->CalculateGains(arrival.azimuth, arrival.elevation, speakers);
            for (int c = 0; c < m_channels; ++c) {
                gains[c] = static_cast<float>(speakers[c] * arrival.gain);
            }
            return;
        }
        case Form::Stereo: {
            // The frontal fold, panned at equal power.
            const double fold = FrontalFold(NormalAzimuth(std::lround(arrival.azimuth)));
            const double angle = (fold + 90.0) / 180.0 * std::numbers::pi / 2.0;
            gains[0] = static_cast<float>(std::cos(angle) * arrival.gain);
            gains[1] = static_cast<float>(std::sin(angle) * arrival.gain);
            return;
        }
    }
}

void RoomBus::AddTo(uint64_t first, uint32_t count, float* out) {
    const size_t reflections = m_stage.Reflections();
    const auto channels = static_cast<size_t>(m_channels);
    if (reflections > 0) {
        m_signals.resize(reflections * count);
        m_stage.HearReflections(m_read, m_sourceChannels, first, count, m_signals.data());
        m_from.resize(reflections * channels);
        m_to.resize(reflections * channels);
        m_gains.resize(reflections * channels);
        m_steps.resize(reflections * channels);
        // Runs of one grid from frame 0, each placed by its edges (a run's end is the next
        // one's start), every reflection's part of a run added before the next run.
        for (uint64_t at = first; at < first + count;) {
            const uint64_t cell = at - at % kRunFrames;
            const uint64_t end = std::min<uint64_t>(cell + kRunFrames, first + count);
            for (size_t k = 0; k < reflections; ++k) {
                float* from = m_from.data() + k * channels;
                float* to = m_to.data() + k * channels;
                if (at == first) {
                    GainsAt(cell, k, from);
                } else {
                    std::copy(to, to + channels, from);
                }
                GainsAt(cell + kRunFrames, k, to);
                // The gains step in a straight line from the run's start.
                float* gains = m_gains.data() + k * channels;
                float* steps = m_steps.data() + k * channels;
                for (size_t c = 0; c < channels; ++c) {
                    steps[c] = (to[c] - from[c]) / kRunFrames;
                    gains[c] = from[c] + steps[c] * static_cast<float>(at - cell);
                }
            }
            const auto offset = static_cast<size_t>(at - first);
            const auto frames = static_cast<uint32_t>(end - at);
            float* frame = out + offset * channels;
            size_t k = 0;
#if defined(__SSE__)
            if (channels == 4) {
                for (; k + 4 <= reflections; k += 4) {
                    const float* const signals[4] = {m_signals.data() + k * count + offset,
                                                     m_signals.data() + (k + 1) * count + offset,
                                                     m_signals.data() + (k + 2) * count + offset,
                                                     m_signals.data() + (k + 3) * count + offset};
                    AddFourRuns(signals, frames, m_gains.data() + k * 4, m_steps.data() + k * 4,
                                frame);
                }
            }
#endif
            for (; k < reflections; ++k) {
                const float* signal = m_signals.data() + k * count + offset;
                float* gains = m_gains.data() + k * channels;
                const float* steps = m_steps.data() + k * channels;
                if (channels == 4) {
                    AddRun<4>(signal, frames, gains, steps, frame);
                } else {
                    AddRun<0>(signal, frames, gains, steps, frame, channels);
                }
            }
            at = end;
        }
    }
    if (m_bTail && m_stage.HasTail()) {
        const int outputs = std::min(m_channels, LateTail::kOutputs);
        m_tail.resize(size_t{count} * static_cast<size_t>(outputs));
        m_stage.HearTail(m_read, m_sourceChannels, first, count, outputs, m_tail.data());
        for (uint32_t i = 0; i < count; ++i) {
            float* frame = out + size_t{i} * channels;
            const float* tail = m_tail.data() + size_t{i} * static_cast<size_t>(outputs);
            for (size_t c = 0; c < channels; ++c) {
                frame[c] += tail[m_tailOutput[c] % outputs] * m_tailShare[c];
            }
        }
    }
}

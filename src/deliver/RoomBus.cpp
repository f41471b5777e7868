#include "deliver/RoomBus.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "platform/HelperThread.h"
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

void RoomBus::GainsAt(uint64_t heard, size_t k, float* gains, int lane) {
    const Arrival arrival = m_stage.ReflectionAt(heard, k, lane);
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

void RoomBus::ShareWork(bool bShare) {
    if (bShare && HelperThread::Allowed()) {
        if (!m_pHelper) {
            m_pHelper = std::make_unique<HelperThread>();
        }
    } else {
        m_pHelper.reset();
    }
}

void RoomBus::AddTo(uint64_t first, uint32_t count, float* out) {
    if (count == 0) {
        return;
    }
    const size_t reflections = m_stage.Reflections();
    const auto channels = static_cast<size_t>(m_channels);
    const bool bTail = m_bTail && m_stage.HasTail();
    const int outputs = std::min(m_channels, LateTail::kOutputs);
    const uint64_t cell = first - first % kRunFrames;
    if (reflections > 0) {
        m_signals.resize(reflections * count);
        m_stage.PrepareReflections(m_read, m_sourceChannels, first, count, kRunFrames);
        const size_t edges = (first + count - cell + kRunFrames - 1) / kRunFrames + 1;
        m_edges.resize(edges * reflections * channels);
    }
    if (bTail) {
        m_tail.resize(size_t{count} * static_cast<size_t>(outputs));
    }
    // The helper hears the later reflections and the tail, then mixes the later frames.
    const size_t split = std::min(reflections, (reflections + (bTail ? 6 : 0)) / 2);
    const auto hearThere = [&] {
        Hear(first, count, split, reflections, 1);
        if (bTail) {
            m_stage.HearTail(m_read, m_sourceChannels, first, count, outputs, m_tail.data());
        }
    };
    const auto hearHere = [&] { Hear(first, count, 0, split, 0); };
    // The frames part at a run's edge near the middle.
    const uint64_t middle = first + count / 2;
    const auto part = static_cast<uint32_t>(
        std::clamp<uint64_t>(middle - middle % kRunFrames, first, first + count) - first);
    const auto mixThere = [&] { Mix(first, count, part, count, 1, out); };
    const auto mixHere = [&] { Mix(first, count, 0, part, 0, out); };
    if (m_pHelper) {
        m_pHelper->Both(hearThere, hearHere);
        m_pHelper->Both(mixThere, mixHere);
    } else {
        hearHere();
        hearThere();
        mixHere();
        mixThere();
    }
}

void RoomBus::Hear(uint64_t first, uint32_t count, size_t from, size_t to, int lane) {
    if (from >= to) {
        return;
    }
    // Every run's edges, each placed by the reflections' arrivals there (a run's end is the
    // next one's start).
    const size_t reflections = m_stage.Reflections();
    const auto channels = static_cast<size_t>(m_channels);
    const uint64_t cell = first - first % kRunFrames;
    const size_t edges = (first + count - cell + kRunFrames - 1) / kRunFrames + 1;
    for (size_t r = 0; r < edges; ++r) {
        for (size_t k = from; k < to; ++k) {
            GainsAt(cell + r * kRunFrames, k, m_edges.data() + (r * reflections + k) * channels,
                    lane);
        }
    }
    m_stage.HearReflections(from, to, lane, m_signals.data());
}

void RoomBus::Mix(uint64_t first, uint32_t count, uint32_t begin, uint32_t end, int lane,
                  float* out) {
    const size_t reflections = m_stage.Reflections();
    const auto channels = static_cast<size_t>(m_channels);
    std::vector<float>& gainsOf = m_gains[lane];
    std::vector<float>& stepsOf = m_steps[lane];
    gainsOf.resize(reflections * channels);
    stepsOf.resize(reflections * channels);
    const uint64_t cell0 = first - first % kRunFrames;
    // Runs of one grid from frame 0, every reflection's part of a run added before the next
    // run.
    for (uint64_t at = first + begin; reflections > 0 && at < first + end;) {
        const uint64_t cell = at - at % kRunFrames;
        const uint64_t stop = std::min<uint64_t>(cell + kRunFrames, first + end);
        const size_t r = (cell - cell0) / kRunFrames;
        for (size_t k = 0; k < reflections; ++k) {
            const float* from = m_edges.data() + (r * reflections + k) * channels;
            const float* to = m_edges.data() + ((r + 1) * reflections + k) * channels;
            // The gains step in a straight line from the run's start.
            float* gains = gainsOf.data() + k * channels;
            float* steps = stepsOf.data() + k * channels;
            for (size_t c = 0; c < channels; ++c) {
                steps[c] = (to[c] - from[c]) / kRunFrames;
                gains[c] = from[c] + steps[c] * static_cast<float>(at - cell);
            }
        }
        const auto offset = static_cast<size_t>(at - first);
        const auto frames = static_cast<uint32_t>(stop - at);
        float* frame = out + offset * channels;
        size_t k = 0;
#if defined(__SSE__)
        if (channels == 4) {
            for (; k + 4 <= reflections; k += 4) {
                const float* const signals[4] = {m_signals.data() + k * count + offset,
                                                 m_signals.data() + (k + 1) * count + offset,
                                                 m_signals.data() + (k + 2) * count + offset,
                                                 m_signals.data() + (k + 3) * count + offset};
                AddFourRuns(signals, frames, gainsOf.data() + k * 4, stepsOf.data() + k * 4, frame);
            }
        }
#endif
        for (; k < reflections; ++k) {
            const float* signal = m_signals.data() + k * count + offset;
            float* gains = gainsOf.data() + k * channels;
            const float* steps = stepsOf.data() + k * channels;
            if (channels == 4) {
                AddRun<4>(signal, frames, gains, steps, frame);
            } else {
                AddRun<0>(signal, frames, gains, steps, frame, channels);
            }
        }
        at = stop;
    }
    if (m_bTail && m_stage.HasTail()) {
        const int outputs = std::min(m_channels, LateTail::kOutputs);
        for (uint32_t i = begin; i < end; ++i) {
            float* frame = out + size_t{i} * channels;
            const float* tail = m_tail.data() + size_t{i} * static_cast<size_t>(outputs);
            for (size_t c = 0; c < channels; ++c) {
                frame[c] += tail[m_tailOutput[c] % outputs] * m_tailShare[c];
            }
        }
    }
}

#include "deliver/RoomBus.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/HelperThread.h"
#include "render/AmbisonicsEncoder.h"
#include "render/PointSourcePanner.h"
#include "render/SpeakerLayout.h"
#include "scene/LateTail.h"
#include "scene/TravelKernels.h"
#include "trajectory/Place.h"

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
    if (m_form == Form::Ambisonics) {
        double unit[3];
        const double gain = m_stage.ReflectionToward(heard, k, lane, unit);
        AmbisonicsEncoder::HarmonicsOf(m_order, unit[0], unit[1], unit[2], gain, gains);
        return;
    }
    const Arrival arrival = m_stage.ReflectionAt(heard, k, lane);
    if (m_form == Form::Speakers) {
        double speakers[64];
        m_pPanner->CalculateGains(arrival.azimuth, arrival.elevation, speakers);
        for (int c = 0; c < m_channels; ++c) {
            gains[c] = static_cast<float>(speakers[c] * arrival.gain);
        }
        return;
    }
    // Stereo: the frontal fold, panned at equal power.
    const double fold = FrontalFold(NormalAzimuth(std::lround(arrival.azimuth)));
    const double angle = (fold + 90.0) / 180.0 * std::numbers::pi / 2.0;
    gains[0] = static_cast<float>(std::cos(angle) * arrival.gain);
    gains[1] = static_cast<float>(std::sin(angle) * arrival.gain);
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
    // Past the sound's end by more than any path's delay, only the tail has anything to add.
    const size_t reflections = m_stage.ReflectionsEnded(first) ? 0 : m_stage.Reflections();
    const bool bTail = m_bTail && m_stage.HasTail();
    const int outputs = std::min(m_channels, LateTail::kOutputs);
    if (reflections > 0) {
        RoomPaths::Parts parts;
        if (m_pHelper) {
            parts = [this](const std::function<void(int)>& work) {
                m_pHelper->Both([&] { work(1); }, [&] { work(0); });
            };
        }
        m_stage.PrepareReflections(m_read, m_sourceChannels, first, count, kRunFrames, parts);
    }
    if (bTail) {
        m_tail.resize(size_t{count} * static_cast<size_t>(outputs));
    }
    // The helper hears the later reflections and the tail, then adds the later frames.
    // The tail weighs about eight reflections (measured with 62, first-order AmbiX).
    const size_t split = std::min(reflections, (reflections + (bTail ? 8 : 0)) / 2);
    const auto hearThere = [&] {
        Part(first, count, split, reflections, 1);
        if (bTail) {
            m_stage.HearTail(m_read, m_sourceChannels, first, count, outputs, m_tail.data());
        }
    };
    const auto hearHere = [&] { Part(first, count, 0, split, 0); };
    const uint32_t part = count / 2;
    const auto addThere = [&] { Combine(count, part, count, out); };
    const auto addHere = [&] { Combine(count, 0, part, out); };
    if (m_pHelper) {
        m_pHelper->Both(hearThere, hearHere);
        m_pHelper->Both(addThere, addHere);
    } else {
        hearHere();
        hearThere();
        addHere();
        addThere();
    }
}

void RoomBus::Part(uint64_t first, uint32_t count, size_t from, size_t to, int lane) {
    Lane& scratch = m_lanes[lane];
    const auto channels = static_cast<size_t>(m_channels);
    const size_t n = to - from;
    if (n == 0) {
        scratch.sum.assign(channels * count, 0.0f);
        return;
    }
    // Every frame of it is written below, run by run.
    scratch.sum.resize(channels * count);
    scratch.heard.resize(n * kRunFrames);
    scratch.edges.resize(2 * n * channels);
    scratch.steps.resize(n * channels);
    float* start = scratch.edges.data();
    float* end = start + n * channels;
    uint64_t cell = first - first % kRunFrames;
    for (size_t k = 0; k < n; ++k) {
        GainsAt(cell, from + k, start + k * channels, lane);
    }
    for (uint64_t at = first; at < first + count; cell += kRunFrames) {
        const uint64_t stop = std::min<uint64_t>(cell + kRunFrames, first + count);
        const auto frames = static_cast<uint32_t>(stop - at);
        for (size_t k = 0; k < n; ++k) {
            GainsAt(cell + kRunFrames, from + k, end + k * channels, lane);
            m_stage.HearReflection(from + k, at, frames, lane,
                                   scratch.heard.data() + k * kRunFrames);
        }
        // The gains step in a straight line from the run's start to its end.
        for (size_t g = 0; g < n * channels; ++g) {
            scratch.steps[g] = (end[g] - start[g]) / kRunFrames;
        }
        TravelKernels::MixRun(scratch.heard.data(), kRunFrames, n, frames, start,
                              scratch.steps.data(), channels, static_cast<uint32_t>(at - cell),
                              scratch.sum.data() + (at - first), count);
        std::swap(start, end);
        at = stop;
    }
}

void RoomBus::Combine(uint32_t count, uint32_t begin, uint32_t end, float* out) {
    const auto channels = static_cast<size_t>(m_channels);
    const float* here = m_lanes[0].sum.data();
    const float* there = m_lanes[1].sum.data();
    const bool bTail = m_bTail && m_stage.HasTail();
    const auto outputs = static_cast<size_t>(std::min(m_channels, LateTail::kOutputs));
    for (size_t c = 0; c < channels; ++c) {
        const float* a = here + c * count;
        const float* b = there + c * count;
        if (bTail) {
            const size_t from = static_cast<size_t>(m_tailOutput[c]) % outputs;
            const float share = m_tailShare[c];
            for (uint32_t i = begin; i < end; ++i) {
                out[i * channels + c] += (a[i] + b[i]) + m_tail[i * outputs + from] * share;
            }
        } else {
            for (uint32_t i = begin; i < end; ++i) {
                out[i * channels + c] += a[i] + b[i];
            }
        }
    }
}

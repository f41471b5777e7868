#include "render/LoudnessMeter.h"

#include <ebur128.h>

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "render/SpeakerLayout.h"

struct LoudnessMeter::State {
    ebur128_state* pLibrary = nullptr;
    ~State() {
        if (pLibrary != nullptr) {
            ebur128_destroy(&pLibrary);
        }
    }
};

LoudnessMeter::LoudnessMeter(uint32_t rate, const std::vector<LoudnessWeight>& weights)
    : m_channels(static_cast<unsigned>(weights.size())) {
    if (weights.empty() || weights.size() > 64 || rate < 16 || rate > 2822400) {
        throw std::invalid_argument("loudness meter: unsupported channel count or rate");
    }
    m_pState = std::make_unique<State>();
    m_pState->pLibrary = ebur128_init(m_channels, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (m_pState->pLibrary == nullptr) {
        throw std::bad_alloc();
    }
    // Every channel is named, since libebur128's default map leaves a fourth channel and any
    // beyond the sixth out; its surround names carry the 1.41 weight.
    for (unsigned c = 0; c < m_channels; ++c) {
        const int role = weights[c] == LoudnessWeight::LeftOut    ? EBUR128_UNUSED
                         : weights[c] == LoudnessWeight::Surround ? EBUR128_LEFT_SURROUND
                                                                  : EBUR128_CENTER;
        ebur128_set_channel(m_pState->pLibrary, c, role);
    }
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::AddFrames(const float* interleaved, size_t frames) {
    if (frames != 0 &&
        ebur128_add_frames_float(m_pState->pLibrary, interleaved, frames) != EBUR128_SUCCESS) {
        throw std::bad_alloc();
    }
}

double LoudnessMeter::IntegratedLoudness() const {
    double lufs = -std::numeric_limits<double>::infinity();
    ebur128_loudness_global(m_pState->pLibrary, &lufs);
    return std::isfinite(lufs) ? lufs : -std::numeric_limits<double>::infinity();
}

double LoudnessMeter::TruePeak() const {
    double peak = 0;
    for (unsigned c = 0; c < m_channels; ++c) {
        double channelPeak = 0;
        ebur128_true_peak(m_pState->pLibrary, c, &channelPeak);
        peak = std::max(peak, channelPeak);
    }
    return peak > 0 ? 20 * std::log10(peak) : -std::numeric_limits<double>::infinity();
}

std::vector<LoudnessWeight> LoudnessMeter::WeightsFor(const SpeakerLayout& layout) {
    std::vector<LoudnessWeight> weights;
    for (const Loudspeaker& speaker : layout.Speakers()) {
        const double side = std::abs(speaker.azimuth);
        weights.push_back(speaker.bLfe ? LoudnessWeight::LeftOut
                          : std::abs(speaker.elevation) < 30 && side >= 60 && side <= 120
                              ? LoudnessWeight::Surround
                              : LoudnessWeight::Unit);
    }
    return weights;
}

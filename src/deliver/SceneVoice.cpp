#include "deliver/SceneVoice.h"

#include <algorithm>
#include <cmath>

#include "formats/ImportResampler.h"

SceneVoice::SceneVoice(uint32_t sourceRate, uint32_t sourceFrames, uint32_t outputRate)
    : m_sourceRate(sourceRate),
      m_outputRate(outputRate),
      m_outputFrames(sourceRate == outputRate
                         ? sourceFrames
                         : ImportResampler::OutputFrames(sourceFrames, sourceRate, outputRate)) {}

SceneVoice::~SceneVoice() = default;

bool SceneVoice::Resample(std::vector<float>& samples, int channels, uint32_t sourceRate,
                          uint32_t outputRate, std::string& error) {
    if (sourceRate == outputRate) {
        return true;
    }
    ImportResampler resampler(sourceRate, outputRate, channels);
    const std::vector<double> wide(samples.begin(), samples.end());
    std::vector<double> resampled;
    if (!resampler.IsOk() ||
        !resampler.Process(wide.data(), wide.size() / static_cast<size_t>(channels), resampled) ||
        !resampler.Finish(resampled)) {
        error = "The sound could not be resampled: " + resampler.GetError();
        return false;
    }
    samples.assign(resampled.begin(), resampled.end());
    return true;
}

bool SceneVoice::AddTo(float* out, uint64_t frames, float gain, std::string& error) {
    std::vector<float> rendered;
    if (!RenderSource(rendered, error)) {
        return false;
    }
    if (!Resample(rendered, kChannels, m_sourceRate, m_outputRate, error)) {
        return false;
    }
    const size_t count = std::min<size_t>(
        rendered.size(), static_cast<size_t>(std::min(frames, m_outputFrames)) * kChannels);
    m_peak = 0.0;
    for (size_t i = 0; i < count; ++i) {
        m_peak = std::max(m_peak, static_cast<double>(std::fabs(rendered[i])));
        out[i] += rendered[i] * gain;
    }
    return true;
}

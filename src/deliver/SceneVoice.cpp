#include "deliver/SceneVoice.h"

#include <algorithm>
#include <cmath>

#include "deliver/RateStream.h"

SceneVoice::SceneVoice(uint32_t sourceRate, uint64_t sourceFrames, uint32_t outputRate)
    : m_pStream(std::make_unique<RateStream>(
          kChannels, sourceRate, outputRate, sourceFrames,
          [this](float* out, uint32_t frames, std::string&) -> int64_t {
              const auto count = static_cast<uint32_t>(
                  std::min<uint64_t>(frames, m_sourceFrames - std::min(m_made, m_sourceFrames)));
              if (count == 0) {
                  return 0;
              }
              const uint32_t made = MakeNext(out, count);
              m_made += made;
              return made;
          })),
      m_sourceFrames(sourceFrames) {}

SceneVoice::~SceneVoice() = default;

uint64_t SceneVoice::OutputFrames() const {
    return m_pStream->OutputFrames();
}

bool SceneVoice::Prepare(std::string& error) {
    if (!m_bBegun) {
        m_bBegun = Begin(error);
    }
    return m_bBegun;
}

bool SceneVoice::AddNext(float* out, uint64_t frames, float gain, std::string& error) {
    if (!Prepare(error)) {
        return false;
    }
    constexpr uint64_t kStep = 8192;
    for (uint64_t done = 0; done < frames;) {
        const uint64_t count = std::min(kStep, frames - done);
        const auto samples = static_cast<size_t>(count) * kChannels;
        if (m_scratch < samples) {
            m_pScratch = std::make_unique<float[]>(samples);
            m_scratch = samples;
        }
        if (!m_pStream->Pull(m_pScratch.get(), count, error)) {
            return false;
        }
        float* to = out + static_cast<size_t>(done) * kChannels;
        for (size_t i = 0; i < samples; ++i) {
            m_peak = std::max(m_peak, static_cast<double>(std::fabs(m_pScratch[i])));
            to[i] += m_pScratch[i] * gain;
        }
        done += count;
    }
    return true;
}

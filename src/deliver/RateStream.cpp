#include "deliver/RateStream.h"

#include <algorithm>

#include "formats/ImportResampler.h"

namespace {

// Source frames made at a time: the exports' block.
constexpr uint32_t kMakeFrames = 8192;

}  // namespace

RateStream::RateStream(int channels, uint32_t sourceRate, uint32_t outputRate, uint64_t frames,
                       Maker make)
    : m_channels(std::max(channels, 1)), m_outputFrames(frames), m_make(std::move(make)) {
    if (sourceRate != 0 && outputRate != sourceRate) {
        m_pResampler = std::make_unique<ImportResampler>(sourceRate, outputRate, m_channels);
        m_outputFrames = ImportResampler::OutputFrames(frames, sourceRate, outputRate);
    }
}

RateStream::~RateStream() = default;

bool RateStream::Fill(std::string& error) {
    if (m_readyAt > 0) {
        m_ready.erase(m_ready.begin(), m_ready.begin() + static_cast<ptrdiff_t>(m_readyAt));
        m_readyAt = 0;
    }
    if (m_pResampler && !m_pResampler->IsOk()) {
        error = "The sound could not be resampled: " + m_pResampler->GetError();
        return false;
    }
    const auto ch = static_cast<size_t>(m_channels);
    m_block.resize(size_t{kMakeFrames} * ch);
    const int64_t made = m_bMade ? 0 : m_make(m_block.data(), kMakeFrames, error);
    if (made < 0) {
        return false;
    }
    if (made == 0 && !m_bMade) {
        m_bMade = true;
        if (m_pResampler) {
            m_resampled.clear();
            if (!m_pResampler->Finish(m_resampled)) {
                error = "The sound could not be resampled: " + m_pResampler->GetError();
                return false;
            }
            m_ready.insert(m_ready.end(), m_resampled.begin(), m_resampled.end());
        }
        return true;
    }
    const auto count = static_cast<size_t>(made) * ch;
    if (!m_pResampler) {
        m_ready.insert(m_ready.end(), m_block.begin(),
                       m_block.begin() + static_cast<ptrdiff_t>(count));
        return true;
    }
    m_wide.assign(m_block.begin(), m_block.begin() + static_cast<ptrdiff_t>(count));
    m_resampled.clear();
    if (!m_pResampler->Process(m_wide.data(), static_cast<size_t>(made), m_resampled)) {
        error = "The sound could not be resampled: " + m_pResampler->GetError();
        return false;
    }
    m_ready.insert(m_ready.end(), m_resampled.begin(), m_resampled.end());
    return true;
}

bool RateStream::Pull(float* out, uint64_t frames, std::string& error) {
    const auto ch = static_cast<size_t>(m_channels);
    while (frames > 0) {
        const size_t ready = (m_ready.size() - m_readyAt) / ch;
        if (ready == 0 && m_handed < m_outputFrames && !m_bMade) {
            if (!Fill(error)) {
                return false;
            }
            continue;
        }
        // Past the frames made (or what the output holds): silence.
        const uint64_t due = m_outputFrames - std::min(m_handed, m_outputFrames);
        const auto take = static_cast<size_t>(std::min<uint64_t>({frames, ready, due}));
        if (take == 0) {
            std::fill(out, out + static_cast<size_t>(frames) * ch, 0.0f);
            m_handed += frames;
            return true;
        }
        std::copy_n(m_ready.data() + m_readyAt, take * ch, out);
        m_readyAt += take * ch;
        out += take * ch;
        frames -= take;
        m_handed += take;
    }
    return true;
}

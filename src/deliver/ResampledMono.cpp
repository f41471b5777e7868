#include "deliver/ResampledMono.h"

#include <algorithm>
#include <limits>

#include "formats/ImportResampler.h"
#include "scene/RenderInput.h"

namespace {

constexpr uint32_t kChunkFrames = 8192;

}  // namespace

ResampledMono::ResampledMono(RenderInput& input, uint32_t rate, uint64_t fedFrames)
    : m_input(input),
      m_rate(rate),
      m_fed(static_cast<uint32_t>(
          std::clamp<uint64_t>(fedFrames, input.Frames(), std::numeric_limits<uint32_t>::max()))),
      m_soundFrames(ImportResampler::OutputFrames(input.Frames(), input.Rate(), rate)),
      m_frames(ImportResampler::OutputFrames(m_fed, input.Rate(), rate)),
      m_kept(rate) {
    Restart();
}

ResampledMono::~ResampledMono() = default;

void ResampledMono::Restart() {
    m_pResampler = std::make_unique<ImportResampler>(m_input.Rate(), m_rate, 1);
    m_nextIn = 0;
    m_bFinished = false;
    m_base = 0;
    m_lastFirsts = {0, 0};
    m_held.clear();
}

bool ResampledMono::Read(uint64_t first, uint32_t count, float* out) {
    std::fill(out, out + count, 0.0f);
    if (!m_error.empty()) {
        return false;
    }
    if (first < m_base) {
        Restart();
    }
    const uint64_t end = std::min<uint64_t>(first + count, m_frames);
    while (m_base + m_held.size() < end) {
        if (m_bFinished) {
            break;
        }
        const uint32_t n = std::min(kChunkFrames, m_fed - m_nextIn);
        bool bOk = true;
        if (n > 0) {
            m_in.resize(n);
            m_input.ReadMono(m_nextIn, n, m_in.data());
            m_wide.assign(m_in.begin(), m_in.end());
            bOk = m_pResampler->Process(m_wide.data(), n, m_held);
            m_nextIn += n;
        } else {
            bOk = m_pResampler->Finish(m_held);
            m_bFinished = true;
        }
        if (!bOk) {
            m_error = m_pResampler->GetError();
            return false;
        }
    }
    for (uint64_t f = std::max(first, m_base); f < std::min(end, m_base + m_held.size()); ++f) {
        out[f - first] = static_cast<float>(m_held[f - m_base]);
    }
    // What lies well behind this read and the two before (three readers may take turns, one
    // far behind the others) is let go, a stretch at a time.
    const uint64_t behind = std::min({first, m_lastFirsts[0], m_lastFirsts[1]});
    m_lastFirsts = {first, m_lastFirsts[0]};
    if (behind > m_base + 2 * m_kept) {
        const uint64_t drop = std::min<uint64_t>(behind - m_kept - m_base, m_held.size());
        m_held.erase(m_held.begin(), m_held.begin() + static_cast<ptrdiff_t>(drop));
        m_base += drop;
    }
    return true;
}

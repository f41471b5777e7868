#include "sofa/SofaBinauralStream.h"

#include <algorithm>
#include <cstring>

SofaBinauralStream::SofaBinauralStream(std::shared_ptr<const HrtfFilterBank> bank,
                                       uint16_t channels, Source& source)
    : m_renderer(std::move(bank), channels),
      m_source(source),
      m_input(static_cast<size_t>(kBlockFrames) * m_renderer.Channels()),
      m_output(2 * kBlockFrames) {
    Seek(0);
}

void SofaBinauralStream::RenderBlock(uint64_t block, float* out) {
    m_source.ReadFrames(block * kBlockFrames, kBlockFrames, m_input.data());
    m_renderer.RenderBlock(m_input.data(), m_source.HeadingAt((block + 1) * kBlockFrames - 1), out);
}

void SofaBinauralStream::Seek(uint64_t frame) {
    m_block = frame / kBlockFrames;
    m_offset = static_cast<uint32_t>(frame % kBlockFrames);
    m_bHeld = false;
    const uint64_t warmUp = m_renderer.WarmUpBlocks();
    const uint64_t first = m_block > warmUp ? m_block - warmUp : 0;
    m_renderer.Reset(m_source.HeadingAt(first == 0 ? 0 : first * kBlockFrames - 1));
    for (uint64_t block = first; block < m_block; ++block) {
        RenderBlock(block, m_output.data());
    }
}

void SofaBinauralStream::Render(float* out, uint32_t frames) {
    while (frames > 0) {
        if (!m_bHeld) {
            RenderBlock(m_block, m_output.data());
            m_bHeld = true;
        }
        const uint32_t take = std::min(frames, kBlockFrames - m_offset);
        std::memcpy(out, m_output.data() + 2 * m_offset, take * 2 * sizeof(float));
        out += 2 * take;
        frames -= take;
        m_offset += take;
        if (m_offset == kBlockFrames) {
            ++m_block;
            m_offset = 0;
            m_bHeld = false;
        }
    }
}

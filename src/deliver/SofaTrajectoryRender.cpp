#include "deliver/SofaTrajectoryRender.h"

#include <algorithm>

#include "deliver/RenderInput.h"
#include "trajectory/PanPointList.h"

SofaTrajectoryRender::SofaTrajectoryRender(RenderInput& input, const PanPointList& points,
                                           std::shared_ptr<const HrtfFilterBank> bank)
    : m_input(input),
      m_sources(SourcesOf(input, points)),
      m_cursor(points, input.Frames(), TrajectoryCursor::Mode::AllAround),
      m_stream(std::move(bank), m_sources, *this) {
    Seek(0);
}

uint16_t SofaTrajectoryRender::SourcesOf(const RenderInput& input, const PanPointList& points) {
    return input.Channels() == 2 && !IsFrontal(points) ? 2 : 1;
}

void SofaTrajectoryRender::Seek(uint32_t frame) {
    m_stream.Seek(uint64_t{frame} + m_stream.Renderer().Latency());
}

void SofaTrajectoryRender::Render(float* out, uint32_t frames) {
    m_stream.Render(out, frames);
}

void SofaTrajectoryRender::ReadFrames(uint64_t first, uint32_t frames, float* out) {
    const uint32_t inside =
        first < m_input.Frames()
            ? static_cast<uint32_t>(std::min<uint64_t>(frames, m_input.Frames() - first))
            : 0;
    if (inside > 0) {
        if (m_sources == m_input.Channels()) {
            m_input.Read(static_cast<uint32_t>(first), inside, out);
        } else {
            m_input.ReadMono(static_cast<uint32_t>(first), inside, out);
        }
    }
    std::fill(out + size_t{inside} * m_sources, out + size_t{frames} * m_sources, 0.0f);
}

SoundPlace SofaTrajectoryRender::PlaceAt(uint64_t frame) {
    const auto at = static_cast<uint32_t>(std::min<uint64_t>(frame, UINT32_MAX));
    return m_cursor.At(at).value_or(SoundPlace{});
}

#include "deliver/SofaTrajectoryRender.h"

#include <algorithm>

#include "scene/RenderInput.h"
#include "trajectory/PanPointList.h"

SofaTrajectoryRender::SofaTrajectoryRender(RenderInput& input, const PanPointList& points,
                                           std::shared_ptr<const HrtfFilterBank> bank,
                                           const SceneSpace& space)
    : m_input(input),
      m_sources(SourcesOf(input, points)),
      m_propagation(points, input.Frames(),
                    {input.Rate(), TrajectoryCursor::Mode::AllAround, space}),
      m_read([this](uint32_t first, uint32_t count, float* out) {
          if (m_sources == m_input.Channels()) {
              m_input.Read(first, count, out);
          } else {
              m_input.ReadMono(first, count, out);
          }
      }),
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
    const uint64_t heard = m_propagation.HeardFrames();
    const uint32_t inside =
        first < heard ? static_cast<uint32_t>(std::min<uint64_t>(frames, heard - first)) : 0;
    if (inside > 0) {
        m_propagation.Hear(m_read, m_sources, first, inside, out);
    }
    std::fill(out + size_t{inside} * m_sources, out + size_t{frames} * m_sources, 0.0f);
}

SofaHeading SofaTrajectoryRender::HeadingAt(uint64_t frame) {
    const Arrival arrival = m_propagation.At(frame).value_or(Arrival{});
    return {arrival.azimuth, arrival.elevation, arrival.width, arrival.gain};
}

#include "deliver/SofaTrajectoryRender.h"

#include <algorithm>
#include <cmath>

#include "deliver/RoomBus.h"
#include "scene/RenderInput.h"
#include "sofa/AmbisonicEars.h"
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
      m_stream(bank, m_sources, *this) {
    if (m_propagation.HasRoom()) {
        // The tail reaches the ears apart, so the bus holds the reflections only.
        m_pRoom = std::make_unique<RoomBus>(m_propagation, m_read, m_sources,
                                            RoomBus::Form::Ambisonics, 1, nullptr, false);
        m_pEars = std::make_unique<AmbisonicEars>(bank);
    }
    Seek(0);
}

SofaTrajectoryRender::~SofaTrajectoryRender() = default;

void SofaTrajectoryRender::ShareWork(bool bShare) {
    m_busAhead = bShare ? 8192 : kBlockFrames;
    if (m_pRoom) {
        m_pRoom->ShareWork(bShare);
    }
}

const float* SofaTrajectoryRender::BusAt(uint64_t first) {
    // An export makes the bus well ahead, for the room's work a block costs.
    if (first < m_busFirst || first + kBlockFrames > m_busFirst + m_bus.size() / 4) {
        const uint32_t count = std::max(kBlockFrames, m_busAhead);
        m_bus.assign(size_t{count} * 4, 0.0f);
        m_busFirst = first;
        const uint64_t heard = m_propagation.HeardFrames();
        if (first < heard) {
            m_pRoom->AddTo(first, static_cast<uint32_t>(std::min<uint64_t>(count, heard - first)),
                           m_bus.data());
        }
    }
    return m_bus.data() + (first - m_busFirst) * 4;
}

void SofaTrajectoryRender::AddRoomEars(float* out, uint32_t frames) {
    // The ears lag the bus by the renderer's latency, which is skipped.
    const uint64_t begin = m_position + m_pEars->Latency();
    const uint64_t end = begin + frames;
    while (m_earsFirst + m_roomEars.size() / 2 < end) {
        const uint64_t first = m_nextBlock * kBlockFrames;
        m_block.assign(2 * size_t{kBlockFrames}, 0.0f);
        m_pEars->Process(BusAt(first), m_block.data());
        ++m_nextBlock;
        if (first >= m_earsFirst) {
            m_roomEars.insert(m_roomEars.end(), m_block.begin(), m_block.end());
        }
    }
    const size_t skip = (begin - m_earsFirst) * 2;
    for (size_t i = 0; i < size_t{frames} * 2; ++i) {
        out[i] += m_roomEars[skip + i];
    }
    // Whole blocks behind the position are not asked again, short of a seek.
    const uint64_t done = (end - m_earsFirst) / kBlockFrames * kBlockFrames;
    m_roomEars.erase(m_roomEars.begin(), m_roomEars.begin() + static_cast<ptrdiff_t>(done * 2));
    m_earsFirst += done;
}

uint16_t SofaTrajectoryRender::SourcesOf(const RenderInput& input, const PanPointList& points) {
    return input.Channels() == 2 && !IsFrontal(points) ? 2 : 1;
}

void SofaTrajectoryRender::Seek(uint32_t frame) {
    m_stream.Seek(uint64_t{frame} + m_stream.Renderer().Latency());
    if (m_pEars) {
        // The ears' warm-up from silence, whole blocks before the frame's.
        const uint64_t block = (uint64_t{frame} + m_pEars->Latency()) / kBlockFrames;
        m_nextBlock = block - std::min<uint64_t>(block, m_pEars->WarmUpBlocks());
        m_pEars->Reset();
        m_earsFirst = block * kBlockFrames;
        m_roomEars.clear();
        m_bus.clear();
    }
    m_position = frame;
}

void SofaTrajectoryRender::Render(float* out, uint32_t frames) {
    m_stream.Render(out, frames);
    if (m_pRoom) {
        AddRoomEars(out, frames);
        if (m_propagation.HasTail()) {
            // Each ear hears the whole diffuse field, as an ear in the room does.
            m_tail.resize(size_t{frames} * 2);
            m_propagation.HearTail(m_read, m_sources, m_position, frames, 2, m_tail.data());
            for (size_t i = 0; i < m_tail.size(); ++i) {
                out[i] += m_tail[i];
            }
        }
    }
    m_position += frames;
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

#include "deliver/SofaTrajectoryRender.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "deliver/RoomBus.h"
#include "scene/RenderInput.h"
#include "trajectory/PanPointList.h"

namespace {

// The virtual loudspeakers of the room's bus: the six directions of an octahedron, as
// (azimuth, elevation) and as unit vectors (x ahead... in AmbiX's axes: x ahead, y left, z up).
struct VirtualSpeaker {
    double azimuth;
    double elevation;
    double x, y, z;
};
constexpr VirtualSpeaker kSpeakers[] = {
    {0.0, 0.0, 1.0, 0.0, 0.0},   {180.0, 0.0, -1.0, 0.0, 0.0}, {-90.0, 0.0, 0.0, 1.0, 0.0},
    {90.0, 0.0, 0.0, -1.0, 0.0}, {0.0, 90.0, 0.0, 0.0, 1.0},   {0.0, -90.0, 0.0, 0.0, -1.0},
};
constexpr size_t kSpeakerCount = std::size(kSpeakers);

}  // namespace

// A virtual loudspeaker of the room: the stream of the SOFA renderer that places its feed.
class SofaTrajectoryRender::Speaker : private SofaBinauralStream::Source {
  public:
    Speaker(SofaTrajectoryRender& owner, size_t index, std::shared_ptr<const HrtfFilterBank> bank)
        : m_owner(owner), m_index(index), m_stream(std::move(bank), 1, *this) {}
    SofaBinauralStream& Stream() { return m_stream; }

  private:
    void ReadFrames(uint64_t first, uint32_t frames, float* out) override {
        const float* feeds = m_owner.Feeds(first, frames);
        for (uint32_t i = 0; i < frames; ++i) {
            out[i] = feeds[size_t{i} * kSpeakerCount + m_index];
        }
    }
    SofaHeading HeadingAt(uint64_t) override {
        return {kSpeakers[m_index].azimuth, kSpeakers[m_index].elevation, 0.0, 1.0};
    }

    SofaTrajectoryRender& m_owner;
    size_t m_index;
    SofaBinauralStream m_stream;
};

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
        for (size_t k = 0; k < kSpeakerCount; ++k) {
            m_speakers.push_back(std::make_unique<Speaker>(*this, k, bank));
        }
    }
    Seek(0);
}

SofaTrajectoryRender::~SofaTrajectoryRender() = default;

void SofaTrajectoryRender::ShareWork(bool bShare) {
    m_feedsAhead = bShare ? 8192 : 1;
    if (m_pRoom) {
        m_pRoom->ShareWork(bShare);
    }
}

const float* SofaTrajectoryRender::Feeds(uint64_t first, uint32_t frames) {
    // The speakers ask in turn for the same stretch: the feeds are kept from the oldest frame a
    // speaker may still ask for, and made once as the stretch moves on.
    if (first < m_feedsFirst || first > m_feedsFirst + m_feedsFrames) {
        m_feeds.clear();
        m_feedsFirst = first;
        m_feedsFrames = 0;
    }
    const uint64_t end = first + frames;
    if (end > m_feedsFirst + m_feedsFrames) {
        const uint64_t from = m_feedsFirst + m_feedsFrames;
        // An export makes them well ahead, for the room's work a block costs.
        const auto count = std::max(static_cast<uint32_t>(end - from), m_feedsAhead);
        m_bus.assign(size_t{count} * 4, 0.0f);
        const uint64_t heard = m_propagation.HeardFrames();
        if (from < heard) {
            m_pRoom->AddTo(from, static_cast<uint32_t>(std::min<uint64_t>(count, heard - from)),
                           m_bus.data());
        }
        // A sampling decoder of first order (SN3D), its energy made a plane wave's.
        const float scale = static_cast<float>(std::sqrt(1.5) / kSpeakerCount);
        for (uint32_t i = 0; i < count; ++i) {
            const float* b = m_bus.data() + size_t{i} * 4;  // W, Y, Z, X
            for (const VirtualSpeaker& s : kSpeakers) {
                m_feeds.push_back(
                    scale *
                    (b[0] + 3.0f * static_cast<float>(s.y * b[1] + s.z * b[2] + s.x * b[3])));
            }
        }
        m_feedsFrames += count;
    }
    // Frames every speaker has gone past are not asked again, short of a seek; they go a
    // stretch at a time.
    constexpr uint64_t kKept = 16384;
    if (first > m_feedsFirst + 2 * kKept) {
        const uint64_t drop = first - kKept - m_feedsFirst;
        m_feeds.erase(m_feeds.begin(),
                      m_feeds.begin() + static_cast<ptrdiff_t>(drop * kSpeakerCount));
        m_feedsFirst += drop;
        m_feedsFrames -= static_cast<uint32_t>(drop);
    }
    return m_feeds.data() + (first - m_feedsFirst) * kSpeakerCount;
}

uint16_t SofaTrajectoryRender::SourcesOf(const RenderInput& input, const PanPointList& points) {
    return input.Channels() == 2 && !IsFrontal(points) ? 2 : 1;
}

void SofaTrajectoryRender::Seek(uint32_t frame) {
    m_stream.Seek(uint64_t{frame} + m_stream.Renderer().Latency());
    for (const auto& speaker : m_speakers) {
        speaker->Stream().Seek(uint64_t{frame} + speaker->Stream().Renderer().Latency());
    }
    m_position = frame;
}

void SofaTrajectoryRender::Render(float* out, uint32_t frames) {
    m_stream.Render(out, frames);
    if (m_pRoom) {
        m_ears.resize(size_t{frames} * 2);
        for (const auto& speaker : m_speakers) {
            speaker->Stream().Render(m_ears.data(), frames);
            for (size_t i = 0; i < m_ears.size(); ++i) {
                out[i] += m_ears[i];
            }
        }
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

#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/Propagation.h"
#include "sofa/SofaBinauralStream.h"

class AmbisonicEars;
class RoomBus;

class PanPointList;
class RenderInput;

// Sonomap's SOFA renderer over a sound as it reaches the listener: what Export Binaural File
// writes and Play Through Binaural Renderer plays, the same samples from any start. The sound
// is read as floats from its RenderInput through the propagation stage: a stereo sound placed
// all around is two sources around the arrival's direction by the width; any other is mixed
// to one channel, (L + R) / 2. The heading at each frame is the stage's arrival along the
// trajectory between its points (the great circle, never the frontal pan's whole-degree steps,
// which depend on where a walk began), so a render begun anywhere is the same as one from the
// first frame.
//
// In a room the reflections meet on a first-order Ambisonic bus (RoomBus), heard as six virtual
// loudspeakers that the SOFA filters place (AmbisonicEars), and the late tail reaches each ear
// as the diffuse field does, decorrelated between them.
//
// Frame n of the output is the ears for heard frame n: the renderer's latency is skipped.
// Output frames are left and right floats of full scale 1.0, at the sound's rate. The input and
// points are borrowed and outlive the render; not shared between threads.
class SofaTrajectoryRender : private SofaBinauralStream::Source {
  public:
    SofaTrajectoryRender(RenderInput& input, const PanPointList& points,
                         std::shared_ptr<const HrtfFilterBank> bank, const SceneSpace& space = {});

    // The sources a sound is rendered as: 2 for a stereo sound placed all around, else 1.
    static uint16_t SourcesOf(const RenderInput& input, const PanPointList& points);

    // The frames the render lasts: the sound's, and with Doppler what is still on its way.
    uint64_t Frames() const { return m_propagation.HeardFrames(); }
    // A room's work split with a second thread where one may be had (for one export alone).
    void ShareWork(bool bShare);
    // The next Render starts at frame.
    void Seek(uint32_t frame);
    // frames output frames into out (2 floats a frame, overwritten).
    void Render(float* out, uint32_t frames);
    // The trajectory changed: the places are walked afresh.
    void Invalidate() { m_propagation.Invalidate(); }

    ~SofaTrajectoryRender();

  private:
    void ReadFrames(uint64_t first, uint32_t frames, float* out) override;
    SofaHeading HeadingAt(uint64_t frame) override;

    static constexpr uint32_t kBlockFrames = HrtfFilterBank::kBlockFrames;
    // The room's bus (four floats a frame) for a block of the grid from first.
    const float* BusAt(uint64_t first);
    // The room's ears for the next frames, added into out.
    void AddRoomEars(float* out, uint32_t frames);

    RenderInput& m_input;
    uint16_t m_sources;
    Propagation m_propagation;  // before the stream, which asks it for headings as it is made
    Propagation::Reader m_read;
    SofaBinauralStream m_stream;
    // In a room:
    std::unique_ptr<RoomBus> m_pRoom;
    std::unique_ptr<AmbisonicEars> m_pEars;
    std::vector<float> m_bus;  // from heard frame m_busFirst
    uint64_t m_busFirst = 0;
    uint32_t m_busAhead = kBlockFrames;  // the fewest frames made at once
    uint64_t m_nextBlock = 0;            // the grid block the ears hear next
    std::vector<float> m_roomEars;       // made from heard frame m_earsFirst on
    uint64_t m_earsFirst = 0;
    std::vector<float> m_block;
    std::vector<float> m_tail;
    uint64_t m_position = 0;  // the heard frame the next Render starts at
};

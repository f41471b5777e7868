#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/Propagation.h"
#include "sofa/SofaBinauralStream.h"

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
// In a room the reflections meet on a first-order Ambisonic bus (RoomBus), decoded to six
// virtual loudspeakers (ahead, behind, left, right, above, below) that the SOFA filters place,
// and the late tail reaches each ear as the diffuse field does, decorrelated between them.
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

    // One of the room's virtual loudspeakers: its feed, decoded from the bus, at a fixed
    // heading.
    class Speaker;
    // The room's bus for heard frames [first, first + frames), decoded to the speakers' feeds
    // (kept for the speakers that ask for the same frames in turn).
    const float* Feeds(uint64_t first, uint32_t frames);

    RenderInput& m_input;
    uint16_t m_sources;
    Propagation m_propagation;  // before the stream, which asks it for headings as it is made
    Propagation::Reader m_read;
    SofaBinauralStream m_stream;
    // In a room:
    std::unique_ptr<RoomBus> m_pRoom;
    std::vector<std::unique_ptr<Speaker>> m_speakers;
    uint64_t m_feedsFirst = 0;  // the heard frame of m_feeds' first
    uint32_t m_feedsFrames = 0;
    uint32_t m_feedsAhead = 1;  // the fewest frames made at once
    std::vector<float> m_bus;
    std::vector<float> m_feeds;  // frames x speakers
    std::vector<float> m_ears;
    std::vector<float> m_tail;
    uint64_t m_position = 0;  // the heard frame the next Render starts at
};

#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sofa/SofaBinauralRenderer.h"

// The SOFA renderer for callers that ask for any number of frames from any frame: it reads
// whole blocks of the renderer's grid from a source and hands out what was asked, so the
// samples never depend on how the calls were cut. Seek starts anywhere, the renderer's warm-up
// before it, and gives the same samples as a render from the first frame. The source is
// borrowed and must outlive the stream; not shared between threads.
class SofaBinauralStream {
  public:
    class Source {
      public:
        virtual ~Source() = default;
        // frames frames of the sound from first (channels floats a frame, interleaved), silence
        // past its end.
        virtual void ReadFrames(uint64_t first, uint32_t frames, float* out) = 0;
        // The heading at a frame. Asked in increasing order, except after a seek.
        virtual SofaHeading HeadingAt(uint64_t frame) = 0;
    };

    SofaBinauralStream(std::shared_ptr<const HrtfFilterBank> bank, uint16_t channels,
                       Source& source);

    const SofaBinauralRenderer& Renderer() const { return m_renderer; }
    uint64_t Position() const { return m_block * kBlockFrames + m_offset; }

    // The next Render starts at frame.
    void Seek(uint64_t frame);
    // frames frames from Position() into out (left and right interleaved, overwritten).
    void Render(float* out, uint32_t frames);

  private:
    static constexpr uint32_t kBlockFrames = SofaBinauralRenderer::kBlockFrames;

    void RenderBlock(uint64_t block, float* out);

    SofaBinauralRenderer m_renderer;
    Source& m_source;
    uint64_t m_block = 0;   // the grid block Position() lies in
    uint32_t m_offset = 0;  // frames of it already handed out
    bool m_bHeld = false;   // m_output holds block m_block
    std::vector<float> m_input;
    std::vector<float> m_output;
};

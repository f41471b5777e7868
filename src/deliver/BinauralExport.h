#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "deliver/BinauralRenderer.h"
#include "formats/PcmFormat.h"
#include "platform/SpillFile.h"
#include "render/TpdfDither.h"
#include "scene/RenderInput.h"

class CSoundFile;
class ExportLoudness;
class PanPointList;
class ProgressIndicator;

// The render loop of the binaural export: has a binaural renderer (the mixer with HRTF, or
// Sonomap's SOFA renderer) render a sound as it reaches the listener, which the renderer walks
// itself, and hands stereo frames of the chosen sample format (16 or 24 bits TPDF-dithered from
// the float mix, or the floats themselves) to a sound file in blocks of kBlockFrames, servicing
// the progress window once per block. The samples come as floats from its RenderInput, at any
// depth.
//
// The mix is never clipped: when a render finds it above full scale it stops writing and
// returns NeedsScaling, and the next render scales the whole mix down by the amount found
// (ScaleDownDb). The first render keeps its float mix in a SpillFile (KeepMixIn), so the
// scaled one reads it back instead of mixing it all again; without one it mixes again. It owns its
// input; the points and the renderer are borrowed and must outlive the object. Frames are sample
// frames; output frames are at OutputRate().
class BinauralExport {
  public:
    // 32768 bytes of 16-bit stereo, the stereo export's block.
    static constexpr uint32_t kBlockFrames = 8192;

    enum class Outcome { Finished, NeedsScaling, Cancelled, WriteFailed, MixerFailed };

    BinauralExport(std::unique_ptr<RenderInput> input, const PanPointList& points,
                   BinauralRenderer& renderer, SampleFormat sampleFormat = SampleFormat::S16,
                   const SceneSpace& space = {});

    // False when the trajectory has no point.
    bool StartTrajectory() const;
    // Opens the mixer, which picks the output rate. Empty, or the message to show.
    std::string OpenMixer();
    uint32_t OutputRate() const { return m_outputRate; }
    const std::string& HrtfName() const { return m_hrtfName; }
    // Two channels of the sample format at the output rate; none when the data would not fit a
    // sound file.
    std::optional<PcmFormat> OutputFormat(bool bLargeForm = false) const;
    // As a 32-bit header announces them: at most 0xFFFFFFFF, a larger form holds the real size.
    uint32_t OutputDataBytes() const {
        return static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t{m_outputFrames} * FrameBytes(), UINT32_MAX));
    }

    // Mixes every frame into output, whose header is written, after OpenMixer succeeded.
    // Sets the progress range to 0 .. 100 and reads Cancel after each full block only.
    // Finished: all frames were handed to output. NeedsScaling: the mix exceeded full scale;
    // output got only part of it and must be begun again for the next Render. MixerFailed:
    // MixerError() says why. Nothing is closed.
    Outcome Render(CSoundFile& output, ProgressIndicator& progress);
    // Before Render: every block written is also measured by loudness (borrowed; set anew
    // for a second pass).
    void MeasureWith(ExportLoudness* loudness) { m_pLoudness = loudness; }

    // The first render keeps its mix in an unnamed file in folder (the output's, which has
    // the room), for a scaled render to read back. Before the first Render.
    void KeepMixIn(const std::string& folder) { m_spillFolder = folder; }
    // Before Render: every output sample times gain (a loudness target's), after any
    // scaling down.
    void SetLevel(float gain) { m_level = gain; }

    // How far the mix is scaled down, in dB (positive); 0 when it is not.
    double ScaleDownDb() const;
    const std::string& MixerError() const { return m_mixerError; }

  private:
    uint32_t FrameBytes() const {
        return 2u * static_cast<uint32_t>(SampleFormatBits(m_sampleFormat) / 8);
    }

    // Checks, scales, dithers and writes the first frames of the mix buffer.
    bool FlushBlock(CSoundFile& output, uint32_t frames);
    // The scaled render from the kept mix.
    Outcome Replay(CSoundFile& output, ProgressIndicator& progress);

    std::unique_ptr<RenderInput> m_pInput;
    const PanPointList& m_points;
    BinauralRenderer& m_renderer;
    SampleFormat m_sampleFormat;
    BinauralRenderer::Wave m_wave;
    uint32_t m_outputRate = 0;
    uint32_t m_outputFrames = 0;
    std::string m_hrtfName;
    std::string m_mixerError;
    bool m_bFresh = false;  // the mixer is open and nothing was rendered yet

    float m_gain = 1.0f;
    float m_level = 1.0f;
    float m_peak = 0.0f;
    bool m_bOverFullScale = false;
    TpdfDither m_dither;
    std::string m_spillFolder;
    std::unique_ptr<SpillFile> m_pSpill;  // the first render's mix, while it is whole
    std::vector<float> m_mix;
    std::vector<uint8_t> m_block;
    ExportLoudness* m_pLoudness = nullptr;
};

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "deliver/AmbisonicsExport.h"
#include "render/LoudnessMeter.h"
#include "scene/Scene.h"

class DocumentHost;
class SofaSetChoice;
class UserPrompts;

// A scene rendered into one file: every source as it reaches the listener, through the
// renderer of the output's kind, scaled by its gain and added at its onset, the mix cut at the
// scene's length. The sources stream: the mix goes to the file a block at a time, so memory
// does not grow with the scene's length nor with its number of sources.
//
// AmbiX, or a loudspeaker layout's feeds when the options name a layout (then a WAV file as
// Export Loudspeakers writes it): each source is encoded by the Ambisonics export's own loop
// (AmbisonicsExport), so a scene of one source from frame 0 holds the very samples that export
// writes. Stereo and binaural: each source through the stereo export's filter or Sonomap's SOFA
// renderer at its own rate, then brought to the scene's (SceneVoice). No output passes full
// scale: when the loudest the sources sounding together could give would, the whole file is
// scaled down by that much. AmbiX and layouts know that bound before they run; stereo and
// binaural learn each source's peak as it renders, so their mix waits in an unnamed file
// beside the output (SpillFile) for its scaled pass. A source's renderer exists only while it
// sounds. RenderTo runs once. Frames are output frames unless called source frames; the points
// are borrowed and outlive the render.
class SceneRender {
  public:
    // The most sources that may sound at once: each holds its renderer while it sounds.
    static constexpr size_t kMaxSounding = 512;

    struct Output {
        enum class Kind { Ambisonics, Stereo, Binaural };
        Kind kind = Kind::Ambisonics;
        // Order, layout, sample format and rate (0: the first source's) for every kind.
        AmbisonicsExport::Options options;
        std::shared_ptr<SofaSetChoice> sofa;  // Binaural: the set every source goes through
        std::optional<uint64_t> length;       // none: to the end of the last source
        float level = 1.0f;  // every sample times this after the scaling (a loudness target's)
        // When set, what is written is measured (an AmbiX file by W, feeds by their weights)
        // and handed to it as an export's measure.
        DocumentHost* pMeasureFor = nullptr;
        // When set, AmbiX and feeds of sources with an identity share their resampling there.
        ResampledSources* pResampled = nullptr;
    };

    SceneRender(Scene scene, const Output& output);
    ~SceneRender();
    SceneRender(const SceneRender&) = delete;
    SceneRender& operator=(const SceneRender&) = delete;

    uint32_t OutputRate() const { return m_output.options.rate; }
    uint64_t OutputFrames() const;
    // The output frames source index sounds for, [onset, onset + its length) before the cut.
    uint64_t SourceFrames(size_t index) const;
    int Channels() const { return m_channels; }

    // Mixes every source and writes the file at path (typeId 0 WAV, 1 AIFF; put in place only
    // when complete). False with the reason shown through prompts: a source without a
    // trajectory point, more than kMaxSounding sources sounding at once, a set that cannot
    // serve, a failed resample or write.
    bool RenderTo(const std::string& path, UserPrompts& prompts, int typeId = 0);

  private:
    struct Voice;

    // The gain the whole file is written at (1 unless scaled down): the bound of the sources
    // sounding together, from their own bounds or, once mixed, their peaks.
    float OutputGain() const;
    // The channels' weights in the loudness of the file.
    std::vector<LoudnessWeight> LoudnessWeights() const;
    // Adds the output frames [first, first + frames) of every voice into mix, making each
    // voice's renderer at its onset and letting it go at its end; false with the reason shown.
    bool MixBlock(uint64_t first, uint32_t frames, float* mix, UserPrompts& prompts);
    void Start(Voice& voice);
    void End(Voice& voice);

    Output m_output;
    SceneSpace m_space;
    int m_channels;
    std::vector<std::unique_ptr<Voice>> m_voices;
};

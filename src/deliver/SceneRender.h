#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "deliver/AmbisonicsExport.h"

class PanPointList;
class RenderInput;
class SceneVoice;
class UserPrompts;

// A scene: several sounds, each along its own trajectory from its own onset, mixed into one
// AmbiX file, or one of a loudspeaker layout's feeds when the options name a layout (then a
// WAV file as Export Loudspeakers writes it). Each sound is encoded by the Ambisonics export's own
// loop (AmbisonicsExport, so a scene of one sound from frame 0 holds the very samples that export
// writes), scaled by its gain, and added at its onset; the mix is cut at the scene's length. No
// output passes full scale: when the loudest the sounds sounding together could give would, the
// whole file is scaled down by that much, as the export does for one sound. Frames are output
// frames unless called source frames; the samples and points are borrowed and outlive the scene.
// A two-channel scene mixes SceneVoices (stereo, binaural) the same way; as their renderers
// know no bound before they run, each one's bound is the peak it reached.
class SceneRender {
  public:
    struct Event {
        std::unique_ptr<RenderInput> input;
        const PanPointList* points = nullptr;  // frames of the source at its own rate
        uint64_t onset = 0;                    // output frames
        float gain = 1.0f;                     // linear
    };

    // options.rate is the output rate (0: the first event's). length: the output's frames;
    // none: to the end of the last event.
    SceneRender(const AmbisonicsExport::Options& options, std::optional<uint64_t> length);
    // A two-channel scene of SceneVoices at rate, written in format.
    SceneRender(SampleFormat format, uint32_t rate, std::optional<uint64_t> length);
    ~SceneRender();
    SceneRender(const SceneRender&) = delete;
    SceneRender& operator=(const SceneRender&) = delete;

    void AddEvent(Event event);
    // The voice of a two-channel scene, from output frame onset, times gain (linear).
    void AddVoice(std::unique_ptr<SceneVoice> voice, uint64_t onset, float gain);
    uint32_t OutputRate() const;
    uint64_t OutputFrames() const;
    // The output frames event index sounds for, [onset, onset + its length) before the cut.
    uint64_t EventFrames(size_t index) const;
    int Channels() const;

    // Mixes every event and writes the file at path (typeId 0 WAV, 1 AIFF; put in place only
    // when complete).
    // False with the reason shown through prompts: an event without a trajectory point, a
    // failed resample or write.
    bool RenderTo(const std::string& path, UserPrompts& prompts, int typeId = 0);
    // The mix before the scale-down and the dither (OutputFrames() x Channels() floats); false
    // with the reason shown, as RenderTo.
    bool Mix(std::vector<float>& out, UserPrompts& prompts);
    // The gain the whole file is written at (1 unless scaled down); for SceneVoices, after Mix.
    float OutputGain() const;

  private:
    struct Voice;

    AmbisonicsExport::Options m_options;
    std::optional<uint64_t> m_length;
    int m_channels;
    std::vector<std::unique_ptr<Voice>> m_voices;
};

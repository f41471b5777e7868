#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One sound of a scene rendered to two channels (the stereo export's filter, a binaural
// renderer) for SceneRender to mix: the renderer gives every frame at the sound's rate, this
// brings them to the scene's rate through libsoxr and adds them in. Frames are output frames
// unless called source frames.
class SceneVoice {
  public:
    // sourceFrames at sourceRate (frames per second); outputRate of the scene.
    SceneVoice(uint32_t sourceRate, uint32_t sourceFrames, uint32_t outputRate);
    virtual ~SceneVoice();
    SceneVoice(const SceneVoice&) = delete;
    SceneVoice& operator=(const SceneVoice&) = delete;

    static constexpr int kChannels = 2;

    uint64_t OutputFrames() const { return m_outputFrames; }
    // After AddTo: the largest magnitude the sound reached (full scale 1.0), before the gain.
    double Loudest() const { return m_peak; }
    // Renders the sound and adds it times gain into out (frames x 2 floats; what lies past
    // frames is left out). False with error set: the renderer's refusal or a failed resample.
    bool AddTo(float* out, uint64_t frames, float gain, std::string& error);

    // Interleaved samples of channels at sourceRate brought to outputRate through libsoxr, in
    // place (as they are at one rate). False with error set when libsoxr fails.
    static bool Resample(std::vector<float>& samples, int channels, uint32_t sourceRate,
                         uint32_t outputRate, std::string& error);

  protected:
    // Every source frame, left and right floats of full scale 1.0, into out. False with error.
    virtual bool RenderSource(std::vector<float>& out, std::string& error) = 0;

  private:
    uint32_t m_sourceRate;
    uint32_t m_outputRate;
    uint64_t m_outputFrames;
    double m_peak = 0.0;
};

#pragma once

#include <cstdint>
#include <memory>
#include <string>

class RateStream;

// One sound of a scene rendered to two channels (the stereo export's filter, the SOFA
// renderer) for SceneRender to mix as it streams: the renderer makes the frames at the sound's
// rate, a block at a time, and they reach the scene's rate through libsoxr. Frames are output
// frames unless called source frames.
class SceneVoice {
  public:
    static constexpr int kChannels = 2;

    // sourceFrames at sourceRate (frames per second): what the renderer makes in all; outputRate
    // of the scene.
    SceneVoice(uint32_t sourceRate, uint64_t sourceFrames, uint32_t outputRate);
    virtual ~SceneVoice();
    SceneVoice(const SceneVoice&) = delete;
    SceneVoice& operator=(const SceneVoice&) = delete;

    uint64_t OutputFrames() const;
    // Whether the renderer can render this sound, asked before the first frame; false with
    // error set (a refusal shown before anything is written).
    bool Prepare(std::string& error);
    // The largest magnitude the frames added so far reached (full scale 1.0), before the gain.
    double Loudest() const { return m_peak; }
    // Adds the voice's next frames times gain into out (frames x 2 floats), from its first
    // frame on with the first call. False with error set: the renderer's refusal or a failed
    // resample.
    bool AddNext(float* out, uint64_t frames, float gain, std::string& error);

  protected:
    // Before the first frame: false with error set when the renderer cannot render this sound.
    virtual bool Begin(std::string& error) = 0;
    // The next frames (at most frames) at the sound's rate, left and right floats of full scale
    // 1.0, into out; how many were made.
    virtual uint32_t MakeNext(float* out, uint32_t frames) = 0;

  private:
    std::unique_ptr<RateStream> m_pStream;
    uint64_t m_sourceFrames;
    uint64_t m_made = 0;  // source frames made
    bool m_bBegun = false;
    double m_peak = 0.0;
    std::unique_ptr<float[]> m_pScratch;
    size_t m_scratch = 0;
};

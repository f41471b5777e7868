#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "deliver/BinauralRenderer.h"
#include "scene/Propagation.h"
#include "trajectory/PanPoint.h"

// A binaural renderer over a 3-D mixer that mixes one wave with HRTF: it hands the mixer the
// sound as it arrives and walks the arrivals along the trajectory, telling the mixer where the
// sound is as the mixer reads it. A frontal trajectory heard dry is stepped as playback steps
// it, the direction changing exactly at the wave frame where the stepped pan changes; any other
// is placed every kPlaceRunFrames output frames (a stereo sound as two sources around the
// direction by the width), with the arrival's gain. A subclass gives the mixer itself. Frames
// of the wave are heard frames at the sound's rate; output frames are the mixer's.
class MixerBinauralRenderer : public BinauralRenderer {
  public:
    static constexpr uint32_t kPlaceRunFrames = 1024;

    ~MixerBinauralRenderer() override;

    std::string Open(const Wave& wave) final;
    uint32_t OutputFrames() const final { return m_outputFrames; }
    bool Render(float* out, uint32_t maxFrames, uint32_t& rendered) final;

  protected:
    // The wave the mixer reads: frames [first, first + count) as floats of full scale 1.0,
    // channels interleaved, asked for on the rendering thread in order as the mix goes on.
    struct Stream {
        std::function<void(uint32_t first, uint32_t count, float* out)> read;
        uint16_t channels = 1;    // 1 or 2
        uint32_t sampleRate = 0;  // Hz
        uint32_t frameCount = 0;
    };

    // Starts a fresh mix of stream from its first frame, straight ahead. Empty, or the message.
    virtual std::string OpenMix(const Stream& stream) = 0;
    // The direction in whole degrees (-90 left ... +90 right) from the next frame on.
    virtual bool SetDirection(int32_t degrees) = 0;
    // The place from the next frame on (whole degrees and cm; a stereo wave's width) with the
    // gain (linear) the sound arrives with. SetDirection ends a place.
    virtual bool SetPlace(const PanPoint& place, float gain) = 0;
    // Mixes up to maxFrames frames into out and stops sooner once the wave has been read up
    // to untilFrame (past its end: no early stop). rendered: frames written, 0 only when the
    // wave was read that far already; position: wave frames read so far.
    virtual bool MixFrames(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t& rendered,
                           uint32_t& position) = 0;

  private:
    // Tells the mixer the place of the arrival at wave frame position when it differs from the
    // last.
    bool SendPlace(uint32_t position);

    std::unique_ptr<Propagation> m_pPropagation;
    RenderInput* m_pInput = nullptr;
    bool m_bTwoSources = false;
    uint32_t m_frames = 0;  // of the wave
    uint32_t m_outputFrames = 0;
    uint32_t m_position = 0;  // wave frames the mixer has read
    uint32_t m_done = 0;      // output frames rendered
    std::optional<int32_t> m_lastPan;
    std::optional<PanPoint> m_lastPlace;  // the place last sent, in whole units
    float m_lastGain = 0.0f;
};

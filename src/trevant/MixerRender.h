#pragma once

#include <AL/alc.h>

#include <cstdint>
#include <mutex>

#include "trevant/MixerChannel.h"
#include "trevant/MixerWave.h"
#include "trevant/trevant.h"

// One loopback render: an OpenAL Soft loopback device with its context and one channel set up
// as a session's channel 0, mixed on the calling thread whenever it asks. A render has its own
// lock and never takes the library's, so renders on several threads run side by side. Rates
// are Hz; positions are frames of the wave, counts of output frames are at the device's rate.
class MixerRender {
  public:
    MixerRender() = default;
    ~MixerRender();
    MixerRender(const MixerRender&) = delete;
    MixerRender& operator=(const MixerRender&) = delete;

    // Every call below needs this held.
    std::mutex& Lock() { return m_lock; }

    // Opens the device and the channel; 0 or a code (AMBREL_WAVEMIX_ERR_NO_HRTF when HRTF on
    // cannot be met). Call once.
    int Open(const MixerRenderConfig& config);
    void GetState(MixerHrtfState* state) const;
    // Starts the wave from its first frame at full volume, straight ahead.
    int Start(const MixerWave& wave);
    int SetDirection(int32_t degrees);
    int SetPlace(const MixerPlace& place);
    // As AmbrelWaveMixRenderFrames. *rendered is 0 only when the wave has been read up to
    // untilFrame already.
    int Render(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t* rendered,
               uint32_t* position);

  private:
    // Mixes frames into out, with the queue refilled first.
    void Mix(float* out, uint32_t frames);

    std::mutex m_lock;
    ALCdevice* m_pDevice = nullptr;
    ALCcontext* m_pContext = nullptr;
    ALuint m_lowpassFilter = 0;
    MixerChannel m_channel;
    MixerWave m_wave;
    bool m_bStarted = false;
    uint32_t m_deviceRate = 0;
};

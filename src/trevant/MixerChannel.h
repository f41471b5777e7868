#pragma once

#include <AL/al.h>

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "trevant/MixerWave.h"
#include "trevant/trevant.h"

// One mixer channel: one OpenAL source, relative to the listener, fed from a small queue of
// buffers. Every call needs the session's context current on the calling thread and the
// library's lock held. Positions are frames from the start of the wave's range.
class MixerChannel {
  public:
    static constexpr int kBufferCount = 4;

    MixerChannel() = default;
    MixerChannel(const MixerChannel&) = delete;
    MixerChannel& operator=(const MixerChannel&) = delete;

    // Makes the source and its buffers.
    int Open();
    // Deletes the source and its buffers. Safe on a channel that is not open.
    void Close();
    bool IsOpen() const { return m_source != 0; }

    // AL_FILTER_NULL or the session's low-pass; only on a device with EFX.
    void SetFilter(ALuint filter);
    int SetDirection(int32_t degrees);
    int SetVolume(uint32_t volume);

    // Frames per queued buffer so that the queue holds leadMs of a wave at rate Hz.
    static uint32_t BufferFramesForLead(uint32_t leadMs, uint32_t rate);
    // The session's low-pass for the direct path: -6 dB at OpenAL Soft's 5 kHz reference.
    // Needs EFX; the caller deletes it.
    static ALuint MakeLowpassFilter();

    // Starts the wave from its first frame, queueing it in buffers of bufferFrames frames.
    int Play(const MixerWave& wave, AmbrelWaveMixWave handle, uint32_t bufferFrames,
             const MixerPlayParams& params);
    // Silences the channel and keeps the stop point as its position.
    void Stop();

    // Refills the queue. Returns true once, when the wave has just played out; *params then
    // holds the notify target to call.
    bool Feed(MixerPlayParams* params);

    uint32_t Position();
    // How long the device takes from the mixing position to the ear, in microseconds, as
    // OpenAL Soft reports it for the source; 0 when it reports none or nothing plays.
    uint32_t OutputLatencyUs();
    AmbrelWaveMixWave LastWave() const { return m_waveHandle; }
    bool IsPlaying() const { return m_bPlaying; }

  private:
    // Takes the front buffer, which has played, off the source's queue.
    void UnqueuePlayed();
    void QueueFreeBuffers();
    void DetachQueue();

    ALuint m_source = 0;
    std::array<ALuint, kBufferCount> m_buffers{};
    std::vector<ALuint> m_freeBuffers;
    struct Queued {
        ALuint buffer;
        uint32_t frames;
    };
    std::deque<Queued> m_queued;

    MixerWave m_wave;
    AmbrelWaveMixWave m_waveHandle = 0;
    MixerPlayParams m_params{};
    std::vector<float> m_floats;  // one buffer of a deep wave, converted for the device
    uint32_t m_bufferFrames = 0;
    uint32_t m_cursor = 0;    // next frame to queue
    uint32_t m_consumed = 0;  // frames of the buffers already unqueued
    uint32_t m_stoppedAt = 0;
    bool m_bPlaying = false;
};

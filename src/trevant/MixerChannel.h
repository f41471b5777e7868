#pragma once

#include <AL/al.h>

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "trevant/MixerWave.h"
#include "trevant/trevant.h"

// One mixer channel: one OpenAL source, relative to the listener, fed from a small queue of
// buffers. A stereo wave on a placed channel plays as two mono sources instead (its left and
// right samples, each queued in step with the other), so that each can stand in its own
// direction. Every call needs the session's context current on the calling thread and the
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
    // The old meaning: a direction at 1 m, the gain the volume alone. Ends a place.
    int SetDirection(int32_t degrees);
    // Direction, elevation and distance (the distance law as the gain); a stereo wave's two
    // halves spread by the width. Values must be in range (IsValidPlace).
    int SetPlace(const MixerPlace& place);
    int SetVolume(uint32_t volume);
    static bool IsValidPlace(const MixerPlace& place);

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
    // How far the wave playing may be read, raised to what is queued already; returns that.
    uint32_t SetReady(uint32_t frames);

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
    // Takes the front buffer (both halves when split), which has played, off the queue.
    void UnqueuePlayed();
    void QueueFreeBuffers();
    void DetachQueue();
    // The sources that play now: the second only while a stereo wave is split.
    ALsizei SourceCount() const { return m_bSplit ? 2 : 1; }
    void PlaySources();
    // Makes the right-hand source and its buffers once; 0 or a code.
    int OpenRightSource();
    // Positions and gains for the place (or direction) and volume in force.
    int ApplyPlacement();
    // A stereo wave that plays whole but should play split, or the other way round: starts
    // again from the frame it has reached, with the queue made anew.
    int MatchSplit();

    ALuint m_source = 0;
    ALuint m_rightSource = 0;
    std::array<ALuint, kBufferCount> m_buffers{};
    std::array<ALuint, kBufferCount> m_rightBuffers{};
    std::vector<int> m_freeSlots;  // indices into both buffer arrays
    struct Queued {
        int slot;
        uint32_t frames;
    };
    std::deque<Queued> m_queued;
    std::vector<unsigned char> m_leftHalf;
    std::vector<unsigned char> m_rightHalf;
    ALuint m_filter = 0;  // AL_FILTER_NULL

    bool m_bPlaced = false;
    MixerPlace m_place{};
    float m_volume = 1.0f;
    bool m_bSplit = false;

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

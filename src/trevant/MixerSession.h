#pragma once

#include <AL/alc.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trevant/MixerChannel.h"
#include "trevant/MixerWave.h"
#include "trevant/trevant.h"

// One mixer session: an OpenAL Soft device with its context, the session's channels and
// waves, and the feeder thread that keeps the channels' queues full. Every call except the
// destructor needs the library's lock held (the one given at construction); the feeder takes
// the same lock. Latency and lead are milliseconds.
class MixerSession {
  public:
    // The output options' strings are copied.
    MixerSession(const MixerSessionConfig& config, const MixerOutputOptions* options,
                 std::mutex& lock);
    // Call without the lock held; a feeder still running is stopped and joined here.
    ~MixerSession();
    MixerSession(const MixerSession&) = delete;
    MixerSession& operator=(const MixerSession&) = delete;

    // A config and options this library can run; 0 or AMBREL_WAVEMIX_ERR_BAD_CONFIG /
    // _BAD_PARAM, or _NO_HRTF for an HRTF name no data set has.
    static int Validate(const MixerSessionConfig* config, const MixerOutputOptions* options);

    int OpenDevice();
    // AMBREL_WAVEMIX_ERR_NOT_ACTIVE until the first Activate made the context.
    int GetHrtfState(MixerHrtfState* state) const;
    int GetOutputChannels(uint32_t& channels) const;
    int SetOptions(uint32_t set, uint32_t clear);
    int Activate();
    // Stops every channel and ends the feeder; the caller joins the returned thread after
    // letting go of the lock.
    std::thread Deactivate();

    int OpenChannel(uint32_t index);
    // The open channel, or null with *error set.
    MixerChannel* Channel(uint32_t index, int* error);

    void AddWave(AmbrelWaveMixWave handle, const MixerWave& wave) { m_waves[handle] = wave; }
    const MixerWave* FindWave(AmbrelWaveMixWave handle) const;
    // Stops the channels that play it, then forgets it.
    void FreeWave(AmbrelWaveMixWave handle);
    // The wave's ready frames, never below what a channel playing it has taken (*fed); wakes
    // the feeder when more is ready. False when there is no such wave.
    bool SetWaveReady(AmbrelWaveMixWave handle, uint32_t frames, uint32_t* fed);
    std::vector<AmbrelWaveMixWave> WaveHandles() const;

    // The queue's lead: the latency asked, but never so short the device's period empties it.
    uint32_t LeadMs() const { return m_leadMs; }
    // Makes this session's context the calling thread's own.
    void MakeCurrent() const;
    // Wakes the feeder at once, as after a new play.
    void WakeFeeder() { m_wake.notify_all(); }

  private:
    void FeederLoop(uint64_t generation);
    void ApplyFilter();

    // The attributes of the context: rate, HRTF and update size. 0 or the code to report.
    int MakeAttributes(std::vector<ALCint>& attributes) const;
    uint32_t LeadCoveringPeriod() const;

    MixerSessionConfig m_config;
    uint32_t m_hrtfMode = AMBREL_WAVEMIX_HRTF_AUTO;
    std::string m_deviceName;  // empty: the default device
    std::string m_hrtfName;    // empty: the first that fits
    std::mutex& m_lock;
    ALCdevice* m_pDevice = nullptr;
    ALCcontext* m_pContext = nullptr;
    bool m_bEfx = false;
    unsigned m_lowpassFilter = 0;
    bool m_bActive = false;
    uint32_t m_options = AMBREL_WAVEMIX_OPTION_LOWPASS;
    uint32_t m_leadMs = 0;
    std::vector<std::unique_ptr<MixerChannel>> m_channels;
    std::map<AmbrelWaveMixWave, MixerWave> m_waves;

    std::thread m_feeder;
    uint64_t m_feederGeneration = 0;  // a feeder runs while this equals the value it got
    std::condition_variable m_wake;
};

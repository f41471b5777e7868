#pragma once

#include <cstdint>

#include "trevant/trevant.h"

// The mixer operations as the application calls them, one for one with the library's C API
// (trevant.h gives their contracts). The application owns the choice: the editor runs on the
// library itself, tests put a mixer in front of it that fails chosen calls. Everything that
// reaches the mixer (documents, views, playback) goes through the application's one.
class Mixer {
  public:
    virtual ~Mixer() = default;

    // 0 when the session could not be opened; the code is then in GetLastError.
    virtual AmbrelWaveMixSession InitEx(const MixerSessionConfig& config) = 0;
    // InitEx with a device and an HRTF choice (AmbrelWaveMixInitOutput).
    virtual AmbrelWaveMixSession InitOutput(const MixerSessionConfig& config,
                                            const MixerOutputOptions& options) = 0;
    // Whether HRTF renders on an active session's device.
    virtual int GetHrtfState(AmbrelWaveMixSession session, MixerHrtfState& state) = 0;
    // How many channels an active session's device plays; code 16 where it cannot tell.
    virtual int GetOutputChannels(AmbrelWaveMixSession session, uint32_t& channels) = 0;
    virtual int GetLastError() = 0;
    virtual int SetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear) = 0;
    virtual int Activate(AmbrelWaveMixSession session, uint32_t activate) = 0;
    virtual int OpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) = 0;
    // 0 when the wave could not be made; the code is then in GetLastError.
    virtual AmbrelWaveMixWave OpenWave(AmbrelWaveMixSession session, const MixerWaveSource& source,
                                       uint32_t flags) = 0;
    // The same for a wave the mixer reads out through reader; 0 likewise.
    virtual AmbrelWaveMixWave OpenWaveReader(AmbrelWaveMixSession session,
                                             const MixerWaveReader& reader, uint32_t flags) = 0;
    virtual int FreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave) = 0;
    // fed: frames of the wave the mixer has taken; frames may be AMBREL_WAVEMIX_READY_UNCHANGED.
    virtual int SetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave, uint32_t frames,
                             uint32_t& fed) = 0;
    virtual int SetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                            const MixerPosition& position) = 0;
    virtual int SetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                         const MixerPlace& place) = 0;
    virtual int SetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                          uint32_t volume) = 0;
    virtual int PlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                       AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams& params) = 0;
    // position: frames played from the start of the wave's range.
    virtual int GetPlayPosition(AmbrelWaveMixSession session, uint32_t channel,
                                AmbrelWaveMixWave wave, uint32_t& position, uint32_t flags) = 0;
    // As GetPlayPosition, and latencyUs: how long the output still takes from that position to
    // the ear, in microseconds; 0 where the library reports none.
    virtual int GetOutputPosition(AmbrelWaveMixSession session, uint32_t channel,
                                  AmbrelWaveMixWave wave, uint32_t& position,
                                  uint32_t& latencyUs) = 0;
    virtual int StopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) = 0;
    virtual int CloseSession(AmbrelWaveMixSession session) = 0;
};

#pragma once

#include "playback/Mixer.h"

// The mixer library itself. It keeps no state of its own, so one serves the whole program.
class TrevantMixer : public Mixer {
  public:
    static TrevantMixer& Shared();

    AmbrelWaveMixSession InitEx(const MixerSessionConfig& config) override;
    AmbrelWaveMixSession InitOutput(const MixerSessionConfig& config,
                                    const MixerOutputOptions& options) override;
    int GetHrtfState(AmbrelWaveMixSession session, MixerHrtfState& state) override;
    int GetOutputChannels(AmbrelWaveMixSession session, uint32_t& channels) override;
    int GetLastError() override;
    int SetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear) override;
    int Activate(AmbrelWaveMixSession session, uint32_t activate) override;
    int OpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) override;
    AmbrelWaveMixWave OpenWave(AmbrelWaveMixSession session, const MixerWaveSource& source,
                               uint32_t flags) override;
    AmbrelWaveMixWave OpenWaveReader(AmbrelWaveMixSession session, const MixerWaveReader& reader,
                                     uint32_t flags) override;
    int FreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave) override;
    int SetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave, uint32_t frames,
                     uint32_t& fed) override;
    int SetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                    const MixerPosition& position) override;
    int SetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                 const MixerPlace& place) override;
    int SetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                  uint32_t volume) override;
    int PlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
               AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams& params) override;
    int GetPlayPosition(AmbrelWaveMixSession session, uint32_t channel, AmbrelWaveMixWave wave,
                        uint32_t& position, uint32_t flags) override;
    int GetOutputPosition(AmbrelWaveMixSession session, uint32_t channel, AmbrelWaveMixWave wave,
                          uint32_t& position, uint32_t& latencyUs) override;
    int StopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) override;
    int CloseSession(AmbrelWaveMixSession session) override;
};

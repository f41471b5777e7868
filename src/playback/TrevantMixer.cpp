#include "playback/TrevantMixer.h"

TrevantMixer& TrevantMixer::Shared() {
    static TrevantMixer mixer;
    return mixer;
}

AmbrelWaveMixSession TrevantMixer::InitEx(const MixerSessionConfig& config) {
    return AmbrelWaveMixInitEx(&config);
}

AmbrelWaveMixSession TrevantMixer::InitOutput(const MixerSessionConfig& config,
                                              const MixerOutputOptions& options) {
    return AmbrelWaveMixInitOutput(&config, &options);
}

int TrevantMixer::GetOutputChannels(AmbrelWaveMixSession session, uint32_t& channels) {
    return AmbrelWaveMixGetOutputChannels(session, &channels);
}

int TrevantMixer::GetHrtfState(AmbrelWaveMixSession session, MixerHrtfState& state) {
    return AmbrelWaveMixGetHrtfState(session, &state);
}

int TrevantMixer::GetLastError() {
    return AmbrelWaveMixGetLastError();
}

int TrevantMixer::SetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear) {
    return AmbrelWaveMixSetOptions(session, set, clear);
}

int TrevantMixer::Activate(AmbrelWaveMixSession session, uint32_t activate) {
    return AmbrelWaveMixActivate(session, activate);
}

int TrevantMixer::OpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) {
    return AmbrelWaveMixOpenChannel(session, channel, flags);
}

AmbrelWaveMixWave TrevantMixer::OpenWave(AmbrelWaveMixSession session,
                                         const MixerWaveSource& source, uint32_t flags) {
    return AmbrelWaveMixOpenWave(session, &source, 0, flags);
}

AmbrelWaveMixWave TrevantMixer::OpenWaveReader(AmbrelWaveMixSession session,
                                               const MixerWaveReader& reader, uint32_t flags) {
    return AmbrelWaveMixOpenWaveReader(session, &reader, flags);
}

int TrevantMixer::FreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
    return AmbrelWaveMixFreeWave(session, wave);
}

int TrevantMixer::SetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave,
                               uint32_t frames, uint32_t& fed) {
    return AmbrelWaveMixSetWaveReady(session, wave, frames, &fed);
}

int TrevantMixer::SetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                              const MixerPosition& position) {
    return AmbrelWaveMixSetPosition(session, channel, flags, &position);
}

int TrevantMixer::SetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                           const MixerPlace& place) {
    return AmbrelWaveMixSetPlace(session, channel, flags, &place);
}

int TrevantMixer::SetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                            uint32_t volume) {
    return AmbrelWaveMixSetVolume(session, channel, flags, volume);
}

int TrevantMixer::PlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                         AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams& params) {
    return AmbrelWaveMixPlayEx(session, channel, flags, wave, loops, &params);
}

int TrevantMixer::GetPlayPosition(AmbrelWaveMixSession session, uint32_t channel,
                                  AmbrelWaveMixWave wave, uint32_t& position, uint32_t flags) {
    return AmbrelWaveMixGetPlayPosition(session, channel, &wave, &position, flags);
}

int TrevantMixer::GetOutputPosition(AmbrelWaveMixSession session, uint32_t channel,
                                    AmbrelWaveMixWave wave, uint32_t& position,
                                    uint32_t& latencyUs) {
    return AmbrelWaveMixGetOutputPosition(session, channel, &wave, &position, &latencyUs);
}

int TrevantMixer::StopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) {
    return AmbrelWaveMixStopChannel(session, channel, flags);
}

int TrevantMixer::CloseSession(AmbrelWaveMixSession session) {
    return AmbrelWaveMixCloseSession(session);
}

#include "support/FailingMixer.h"

FailingMixer::FailingMixer(Mixer& inner) : m_inner(inner) {}

void FailingMixer::FailNext(const std::string& operation, int code) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failures[operation].push_back(code);
}

void FailingMixer::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failures.clear();
}

int FailingMixer::Take(const std::string& operation) {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_failures.find(operation);
    if (found == m_failures.end() || found->second.empty()) {
        return 0;
    }
    const int code = found->second.front();
    found->second.pop_front();
    return code;
}

AmbrelWaveMixSession FailingMixer::InitEx(const MixerSessionConfig& config) {
    if (const int code = Take("InitEx")) {
        m_injectedError = code;
        return 0;
    }
    m_injectedError = 0;
    return m_inner.InitEx(config);
}

AmbrelWaveMixSession FailingMixer::InitOutput(const MixerSessionConfig& config,
                                              const MixerOutputOptions& options) {
    if (const int code = Take("InitEx")) {
        m_injectedError = code;
        return 0;
    }
    m_injectedError = 0;
    return m_inner.InitOutput(config, options);
}

int FailingMixer::GetOutputChannels(AmbrelWaveMixSession session, uint32_t& channels) {
    if (m_reportedChannels != 0) {
        channels = m_reportedChannels;
        return AMBREL_WAVEMIX_OK;
    }
    return m_inner.GetOutputChannels(session, channels);
}

int FailingMixer::GetHrtfState(AmbrelWaveMixSession session, MixerHrtfState& state) {
    return m_inner.GetHrtfState(session, state);
}

int FailingMixer::GetLastError() {
    return m_injectedError != 0 ? m_injectedError : m_inner.GetLastError();
}

int FailingMixer::SetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear) {
    return Pass("SetOptions", [&] { return m_inner.SetOptions(session, set, clear); });
}

int FailingMixer::Activate(AmbrelWaveMixSession session, uint32_t activate) {
    return Pass("Activate", [&] { return m_inner.Activate(session, activate); });
}

int FailingMixer::OpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) {
    return Pass("OpenChannel", [&] { return m_inner.OpenChannel(session, channel, flags); });
}

AmbrelWaveMixWave FailingMixer::OpenWave(AmbrelWaveMixSession session,
                                         const MixerWaveSource& source, uint32_t flags) {
    if (const int code = Take("OpenWave")) {
        m_injectedError = code;
        return 0;
    }
    m_injectedError = 0;
    openedWaves.push_back(source);
    return m_inner.OpenWave(session, source, flags);
}

AmbrelWaveMixWave FailingMixer::OpenWaveReader(AmbrelWaveMixSession session,
                                               const MixerWaveReader& reader, uint32_t flags) {
    if (const int code = Take("OpenWave")) {
        m_injectedError = code;
        return 0;
    }
    m_injectedError = 0;
    openedReaders.push_back(reader);
    return m_inner.OpenWaveReader(session, reader, flags);
}

int FailingMixer::FreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
    return Pass("FreeWave", [&] { return m_inner.FreeWave(session, wave); });
}

int FailingMixer::SetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave,
                               uint32_t frames, uint32_t& fed) {
    return Pass("SetWaveReady", [&] { return m_inner.SetWaveReady(session, wave, frames, fed); });
}

int FailingMixer::SetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                              const MixerPosition& position) {
    return Pass("SetPosition", [&] {
        directions.push_back(position.direction);
        return m_inner.SetPosition(session, channel, flags, position);
    });
}

int FailingMixer::SetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                           const MixerPlace& place) {
    return Pass("SetPlace", [&] {
        places.push_back(place);
        return m_inner.SetPlace(session, channel, flags, place);
    });
}

int FailingMixer::SetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                            uint32_t volume) {
    return Pass("SetVolume", [&] { return m_inner.SetVolume(session, channel, flags, volume); });
}

int FailingMixer::PlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                         AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams& params) {
    return Pass("PlayEx",
                [&] { return m_inner.PlayEx(session, channel, flags, wave, loops, params); });
}

int FailingMixer::GetPlayPosition(AmbrelWaveMixSession session, uint32_t channel,
                                  AmbrelWaveMixWave wave, uint32_t& position, uint32_t flags) {
    return Pass("GetPlayPosition",
                [&] { return m_inner.GetPlayPosition(session, channel, wave, position, flags); });
}

int FailingMixer::GetOutputPosition(AmbrelWaveMixSession session, uint32_t channel,
                                    AmbrelWaveMixWave wave, uint32_t& position,
                                    uint32_t& latencyUs) {
    return Pass("GetOutputPosition", [&] {
        return m_inner.GetOutputPosition(session, channel, wave, position, latencyUs);
    });
}

int FailingMixer::StopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) {
    return Pass("StopChannel", [&] { return m_inner.StopChannel(session, channel, flags); });
}

int FailingMixer::CloseSession(AmbrelWaveMixSession session) {
    return m_inner.CloseSession(session);
}

// The C entry points: a registry of sessions and waves by 32-bit handle, under one lock.
#include "trevant/trevant.h"

#include <AL/alc.h>
#include <AL/alext.h>

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "trevant/MixerErrorTable.h"
#include "trevant/MixerSession.h"

static_assert(sizeof(MixerSessionConfig) == 40);
static_assert(sizeof(MixerPcmFormat) == 16);
static_assert(sizeof(MixerPosition) == 12);
static_assert(sizeof(MixerPlace) == 24);
static_assert(offsetof(MixerPlayParams, waveDone) == 8);

namespace {

std::mutex g_lock;
std::map<AmbrelWaveMixSession, std::unique_ptr<MixerSession>> g_sessions;
std::map<AmbrelWaveMixWave, AmbrelWaveMixSession> g_waveOwners;
// Waves of closed sessions: freeing one later succeeds once.
std::set<AmbrelWaveMixWave> g_retiredWaves;
uint32_t g_nextHandle = 1;

uint32_t NewHandle() {
    const uint32_t handle = g_nextHandle++;
    if (g_nextHandle == 0) {
        g_nextHandle = 1;
    }
    return handle;
}

MixerSession* FindSession(AmbrelWaveMixSession session) {
    const auto found = g_sessions.find(session);
    return found == g_sessions.end() ? nullptr : found->second.get();
}

// The session's open channel; null with *error set.
MixerChannel* FindChannel(AmbrelWaveMixSession session, uint32_t channel, int* error) {
    MixerSession* pSession = FindSession(session);
    if (pSession == nullptr) {
        *error = AMBREL_WAVEMIX_ERR_BAD_SESSION;
        return nullptr;
    }
    return pSession->Channel(channel, error);
}

// The open channel whose last wave is *wave, a wave the session still holds; null with *error
// set. A position asked of another wave would describe a sound no longer heard.
MixerChannel* FindChannelOfWave(AmbrelWaveMixSession session, uint32_t channel,
                                const AmbrelWaveMixWave& wave, int* error) {
    MixerChannel* pChannel = FindChannel(session, channel, error);
    if (pChannel != nullptr && (wave == 0 || pChannel->LastWave() != wave ||
                                FindSession(session)->FindWave(wave) == nullptr)) {
        *error = AMBREL_WAVEMIX_ERR_BAD_WAVE;
        return nullptr;
    }
    return pChannel;
}

AmbrelWaveMixSession Fail(int code) {
    MixerErrorTable::SetLastError(code);
    return 0;
}

}  // namespace

extern "C" {

AmbrelWaveMixSession AmbrelWaveMixInitEx(const MixerSessionConfig* config) {
    return AmbrelWaveMixInitOutput(config, nullptr);
}

AmbrelWaveMixSession AmbrelWaveMixInitOutput(const MixerSessionConfig* config,
                                             const MixerOutputOptions* options) {
    if (const int code = MixerSession::Validate(config, options)) {
        return Fail(code);
    }
    std::lock_guard<std::mutex> lock(g_lock);
    auto session = std::make_unique<MixerSession>(*config, options, g_lock);
    if (const int code = session->OpenDevice()) {
        return Fail(code);
    }
    const AmbrelWaveMixSession handle = NewHandle();
    g_sessions[handle] = std::move(session);
    return handle;
}

int AmbrelWaveMixGetLastError(void) {
    return MixerErrorTable::LastError();
}

int AmbrelWaveMixSetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear) {
    std::lock_guard<std::mutex> lock(g_lock);
    MixerSession* pSession = FindSession(session);
    return pSession == nullptr ? AMBREL_WAVEMIX_ERR_BAD_SESSION : pSession->SetOptions(set, clear);
}

int AmbrelWaveMixActivate(AmbrelWaveMixSession session, uint32_t activate) {
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        MixerSession* pSession = FindSession(session);
        if (pSession == nullptr) {
            return AMBREL_WAVEMIX_ERR_BAD_SESSION;
        }
        if (activate != 0) {
            return pSession->Activate();
        }
        finished = pSession->Deactivate();
    }
    if (finished.joinable()) {
        finished.join();
    }
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixOpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) {
    (void)flags;  // 1 (this channel only) is the one kind of opening there is
    std::lock_guard<std::mutex> lock(g_lock);
    MixerSession* pSession = FindSession(session);
    return pSession == nullptr ? AMBREL_WAVEMIX_ERR_BAD_SESSION : pSession->OpenChannel(channel);
}

namespace {

// A wave made from a source or a reader, with the flags every wave takes.
AmbrelWaveMixWave AddWave(AmbrelWaveMixSession session, MixerWave wave, uint32_t flags) {
    if ((flags & AMBREL_WAVEMIX_WAVE_MIXED) != 0) {
        if (wave.channels == 1) {
            return Fail(AMBREL_WAVEMIX_ERR_BAD_FORMAT);
        }
        wave.bMixed = true;
    } else if (wave.channels > 2) {
        return Fail(AMBREL_WAVEMIX_ERR_BAD_FORMAT);
    }
    if ((flags & AMBREL_WAVEMIX_WAVE_GROWING) != 0) {
        wave.readyFrames = 0;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    MixerSession* pSession = FindSession(session);
    if (pSession == nullptr) {
        return Fail(AMBREL_WAVEMIX_ERR_BAD_SESSION);
    }
    const AmbrelWaveMixWave handle = NewHandle();
    pSession->AddWave(handle, wave);
    g_waveOwners[handle] = session;
    return handle;
}

}  // namespace

AmbrelWaveMixWave AmbrelWaveMixOpenWave(AmbrelWaveMixSession session, const MixerWaveSource* source,
                                        uint32_t reserved, uint32_t flags) {
    (void)reserved;
    if (source == nullptr || (flags & AMBREL_WAVEMIX_WAVE_MEMORY) == 0) {
        return Fail(AMBREL_WAVEMIX_ERR_BAD_PARAM);
    }
    MixerWave wave;
    if (const int code = MixerWave::FromSource(*source, &wave)) {
        return Fail(code);
    }
    return AddWave(session, wave, flags);
}

AmbrelWaveMixWave AmbrelWaveMixOpenWaveReader(AmbrelWaveMixSession session,
                                              const MixerWaveReader* reader, uint32_t flags) {
    if (reader == nullptr ||
        (flags & (AMBREL_WAVEMIX_WAVE_MEMORY | AMBREL_WAVEMIX_WAVE_GROWING)) != 0) {
        return Fail(AMBREL_WAVEMIX_ERR_BAD_PARAM);
    }
    MixerWave wave;
    if (const int code = MixerWave::FromReader(*reader, &wave)) {
        return Fail(code);
    }
    return AddWave(session, wave, flags);
}

int AmbrelWaveMixFreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_retiredWaves.erase(wave) != 0) {
        return AMBREL_WAVEMIX_OK;
    }
    MixerSession* pSession = FindSession(session);
    if (pSession == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    const auto owner = g_waveOwners.find(wave);
    if (owner == g_waveOwners.end() || owner->second != session) {
        return AMBREL_WAVEMIX_ERR_BAD_WAVE;
    }
    pSession->FreeWave(wave);
    g_waveOwners.erase(owner);
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixSetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave, uint32_t frames,
                              uint32_t* fed) {
    if (fed == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    MixerSession* pSession = FindSession(session);
    if (pSession == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    return pSession->SetWaveReady(wave, frames, fed) ? AMBREL_WAVEMIX_OK
                                                     : AMBREL_WAVEMIX_ERR_BAD_WAVE;
}

int AmbrelWaveMixSetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                             const MixerPosition* position) {
    (void)flags;  // before play (8) and while playing (0) apply the same way
    if (position == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannel(session, channel, &error);
    return pChannel == nullptr ? error : pChannel->SetDirection(position->direction);
}

int AmbrelWaveMixSetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                          const MixerPlace* place) {
    (void)flags;  // as for SetPosition
    if (place == nullptr || !MixerChannel::IsValidPlace(*place)) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannel(session, channel, &error);
    return pChannel == nullptr ? error : pChannel->SetPlace(*place);
}

int AmbrelWaveMixSetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                           uint32_t volume) {
    (void)flags;
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannel(session, channel, &error);
    return pChannel == nullptr ? error : pChannel->SetVolume(volume);
}

int AmbrelWaveMixPlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                        AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams* params) {
    (void)flags;  // every play stops the channel first and starts at once
    if (params == nullptr || params->size != sizeof(MixerPlayParams) || loops != 0) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannel(session, channel, &error);
    if (pChannel == nullptr) {
        return error;
    }
    MixerSession* pSession = FindSession(session);
    const MixerWave* pWave = pSession->FindWave(wave);
    if (pWave == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_WAVE;
    }
    const int code = pChannel->Play(
        *pWave, wave, MixerChannel::BufferFramesForLead(pSession->LeadMs(), pWave->sampleRate),
        *params);
    pSession->WakeFeeder();
    return code;
}

int AmbrelWaveMixGetPlayPosition(AmbrelWaveMixSession session, uint32_t channel,
                                 const AmbrelWaveMixWave* wave, uint32_t* position,
                                 uint32_t flags) {
    (void)flags;  // frames are the one unit
    if (wave == nullptr || position == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannelOfWave(session, channel, *wave, &error);
    if (pChannel == nullptr) {
        return error;
    }
    *position = pChannel->Position();
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixGetOutputPosition(AmbrelWaveMixSession session, uint32_t channel,
                                   const AmbrelWaveMixWave* wave, uint32_t* position,
                                   uint32_t* latencyUs) {
    if (wave == nullptr || position == nullptr || latencyUs == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    // Both under one hold of the lock, so that they describe the same moment.
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannelOfWave(session, channel, *wave, &error);
    if (pChannel == nullptr) {
        return error;
    }
    *position = pChannel->Position();
    *latencyUs = pChannel->OutputLatencyUs();
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixStopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) {
    (void)flags;
    std::lock_guard<std::mutex> lock(g_lock);
    int error = AMBREL_WAVEMIX_OK;
    MixerChannel* pChannel = FindChannel(session, channel, &error);
    if (pChannel == nullptr) {
        return error;
    }
    pChannel->Stop();
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixCloseSession(AmbrelWaveMixSession session) {
    std::unique_ptr<MixerSession> closing;
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        const auto found = g_sessions.find(session);
        if (found == g_sessions.end()) {
            return AMBREL_WAVEMIX_ERR_BAD_SESSION;
        }
        closing = std::move(found->second);
        g_sessions.erase(found);
        for (const AmbrelWaveMixWave wave : closing->WaveHandles()) {
            g_waveOwners.erase(wave);
            g_retiredWaves.insert(wave);
        }
        finished = closing->Deactivate();
    }
    if (finished.joinable()) {
        finished.join();
    }
    closing.reset();
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixGetHrtfState(AmbrelWaveMixSession session, MixerHrtfState* state) {
    if (state == nullptr || state->size != sizeof(MixerHrtfState)) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    MixerSession* pSession = FindSession(session);
    return pSession == nullptr ? AMBREL_WAVEMIX_ERR_BAD_SESSION : pSession->GetHrtfState(state);
}

int AmbrelWaveMixGetOutputChannels(AmbrelWaveMixSession session, uint32_t* channels) {
    if (channels == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    MixerSession* pSession = FindSession(session);
    return pSession == nullptr ? AMBREL_WAVEMIX_ERR_BAD_SESSION
                               : pSession->GetOutputChannels(*channels);
}

int AmbrelWaveMixGetErrorText(int code, char* buffer, uint32_t maxChars) {
    if (buffer == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    MixerErrorTable::Copy(code, buffer, maxChars);
    return AMBREL_WAVEMIX_OK;
}

}  // extern "C"

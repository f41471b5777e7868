// The C entry points of the back end choice, the device and HRTF lists, and loopback renders.
// Renders have a registry of their own: one render's mixing never waits for a session.
#include <AL/alc.h>
#include <AL/alext.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "trevant/HrtfCatalog.h"
#include "trevant/MixerBackend.h"
#include "trevant/MixerErrorTable.h"
#include "trevant/MixerRender.h"
#include "trevant/trevant.h"

static_assert(sizeof(MixerHrtfState) == 272);

namespace {

std::mutex g_listLock;
std::vector<std::string> g_devices;

std::mutex g_renderLock;
std::map<AmbrelWaveMixRender, std::shared_ptr<MixerRender>> g_renders;
AmbrelWaveMixRender g_nextRender = 1;

// A name is copied whole or not at all.
int CopyName(const std::string& name, char* buffer, uint32_t maxChars) {
    if (buffer == nullptr || name.size() > maxChars) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    return AMBREL_WAVEMIX_OK;
}

std::shared_ptr<MixerRender> FindRender(AmbrelWaveMixRender render) {
    std::lock_guard<std::mutex> lock(g_renderLock);
    const auto found = g_renders.find(render);
    return found == g_renders.end() ? nullptr : found->second;
}

}  // namespace

extern "C" {

int AmbrelWaveMixSelectOutput(uint32_t output) {
    return MixerBackend::Select(output);
}

uint32_t AmbrelWaveMixGetOutputInEffect(void) {
    return MixerBackend::InEffect();
}

int AmbrelWaveMixSelectPeriod(uint32_t frames, uint32_t periods) {
    return MixerBackend::SelectPeriod(frames, periods);
}

uint32_t AmbrelWaveMixGetPeriodInEffect(void) {
    return MixerBackend::PeriodInEffect();
}

uint32_t AmbrelWaveMixEnumerateDevices(void) {
    MixerBackend::NoteUse();
    std::vector<std::string> devices;
    const bool bAll = alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT") != ALC_FALSE;
    const ALCchar* list =
        alcGetString(nullptr, bAll ? ALC_ALL_DEVICES_SPECIFIER : ALC_DEVICE_SPECIFIER);
    // Names one after the other, each ended by a zero, the list by a second zero.
    for (const ALCchar* name = list; name != nullptr && *name != '\0';
         name += std::strlen(name) + 1) {
        devices.emplace_back(name);
    }
    std::lock_guard<std::mutex> lock(g_listLock);
    g_devices = std::move(devices);
    return static_cast<uint32_t>(g_devices.size());
}

int AmbrelWaveMixGetDeviceName(uint32_t index, char* buffer, uint32_t maxChars) {
    std::lock_guard<std::mutex> lock(g_listLock);
    if (index >= g_devices.size()) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    return CopyName(g_devices[index], buffer, maxChars);
}

uint32_t AmbrelWaveMixEnumerateHrtfs(void) {
    return static_cast<uint32_t>(HrtfCatalog::Refresh().size());
}

int AmbrelWaveMixGetHrtfName(uint32_t index, char* buffer, uint32_t maxChars,
                             uint32_t* sampleRate) {
    const std::vector<HrtfCatalog::Entry> entries = HrtfCatalog::Current();
    if (index >= entries.size()) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    if (const int code = CopyName(entries[index].name, buffer, maxChars)) {
        return code;
    }
    if (sampleRate != nullptr) {
        *sampleRate = entries[index].sampleRate;
    }
    return AMBREL_WAVEMIX_OK;
}

uint32_t AmbrelWaveMixChooseHrtfRate(uint32_t soundRate, const char* hrtfName) {
    return HrtfCatalog::ChooseRate(HrtfCatalog::Current(), hrtfName != nullptr ? hrtfName : "",
                                   soundRate);
}

AmbrelWaveMixRender AmbrelWaveMixRenderOpen(const MixerRenderConfig* config) {
    if (config == nullptr || config->size != sizeof(MixerRenderConfig)) {
        MixerErrorTable::SetLastError(AMBREL_WAVEMIX_ERR_BAD_PARAM);
        return 0;
    }
    auto render = std::make_shared<MixerRender>();
    {
        std::lock_guard<std::mutex> lock(render->Lock());
        if (const int code = render->Open(*config)) {
            MixerErrorTable::SetLastError(code);
            return 0;
        }
    }
    std::lock_guard<std::mutex> lock(g_renderLock);
    const AmbrelWaveMixRender handle = g_nextRender++;
    if (g_nextRender == 0) {
        g_nextRender = 1;
    }
    g_renders[handle] = std::move(render);
    return handle;
}

int AmbrelWaveMixRenderGetState(AmbrelWaveMixRender render, MixerHrtfState* state) {
    if (state == nullptr || state->size != sizeof(MixerHrtfState)) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    const std::shared_ptr<MixerRender> pRender = FindRender(render);
    if (!pRender) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    std::lock_guard<std::mutex> lock(pRender->Lock());
    pRender->GetState(state);
    return AMBREL_WAVEMIX_OK;
}

int AmbrelWaveMixRenderStart(AmbrelWaveMixRender render, const MixerWaveSource* source) {
    if (source == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    MixerWave wave;
    if (const int code = MixerWave::FromSource(*source, &wave)) {
        return code;
    }
    // The binaural export hands the loopback render 8 or 16 bits, whatever the document holds.
    if (wave.PlaysAsFloat()) {
        return AMBREL_WAVEMIX_ERR_BAD_FORMAT;
    }
    const std::shared_ptr<MixerRender> pRender = FindRender(render);
    if (!pRender) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    std::lock_guard<std::mutex> lock(pRender->Lock());
    return pRender->Start(wave);
}

int AmbrelWaveMixRenderStartReader(AmbrelWaveMixRender render, const MixerWaveReader* reader) {
    if (reader == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    MixerWave wave;
    if (const int code = MixerWave::FromReader(*reader, &wave)) {
        return code;
    }
    const std::shared_ptr<MixerRender> pRender = FindRender(render);
    if (!pRender) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    std::lock_guard<std::mutex> lock(pRender->Lock());
    return pRender->Start(wave);
}

int AmbrelWaveMixRenderSetPosition(AmbrelWaveMixRender render, uint32_t flags,
                                   const MixerPosition* position) {
    (void)flags;  // before and while rendering apply the same way
    if (position == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    const std::shared_ptr<MixerRender> pRender = FindRender(render);
    if (!pRender) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    std::lock_guard<std::mutex> lock(pRender->Lock());
    return pRender->SetDirection(position->direction);
}

int AmbrelWaveMixRenderSetPlace(AmbrelWaveMixRender render, uint32_t flags,
                                const MixerPlace* place) {
    (void)flags;  // as for RenderSetPosition
    if (place == nullptr || !MixerChannel::IsValidPlace(*place)) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    const std::shared_ptr<MixerRender> pRender = FindRender(render);
    if (!pRender) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    std::lock_guard<std::mutex> lock(pRender->Lock());
    return pRender->SetPlace(*place);
}

int AmbrelWaveMixRenderFrames(AmbrelWaveMixRender render, float* out, uint32_t maxFrames,
                              uint32_t untilFrame, uint32_t* rendered, uint32_t* position) {
    if ((out == nullptr && maxFrames != 0) || rendered == nullptr || position == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    const std::shared_ptr<MixerRender> pRender = FindRender(render);
    if (!pRender) {
        return AMBREL_WAVEMIX_ERR_BAD_SESSION;
    }
    std::lock_guard<std::mutex> lock(pRender->Lock());
    return pRender->Render(out, maxFrames, untilFrame, rendered, position);
}

int AmbrelWaveMixRenderClose(AmbrelWaveMixRender render) {
    std::shared_ptr<MixerRender> closing;
    {
        std::lock_guard<std::mutex> lock(g_renderLock);
        const auto found = g_renders.find(render);
        if (found == g_renders.end()) {
            return AMBREL_WAVEMIX_ERR_BAD_SESSION;
        }
        closing = std::move(found->second);
        g_renders.erase(found);
    }
    // A render still mixing on another thread finishes first.
    std::lock_guard<std::mutex> wait(closing->Lock());
    return AMBREL_WAVEMIX_OK;
}

}  // extern "C"

#include "trevant/HrtfCatalog.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "trevant/MixerBackend.h"

namespace {

// The rates an HRTF data set is tried at, likeliest first. OpenAL Soft uses a data set only
// at the rate it was made for.
constexpr ALCint kProbeRates[] = {44100, 48000, 32000, 22050, 88200,  96000,
                                  11025, 16000, 24000, 8000,  176400, 192000};

std::mutex g_catalogLock;
std::optional<std::vector<HrtfCatalog::Entry>> g_entries;

std::vector<ALCint> LoopbackAttributes(ALCint rate) {
    return {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
            ALC_FLOAT_SOFT,           ALC_FREQUENCY,   rate};
}

std::string DeviceHrtfName(ALCdevice* device) {
    const ALCchar* name = alcGetString(device, ALC_HRTF_SPECIFIER_SOFT);
    return name == nullptr ? std::string() : std::string(name);
}

bool HrtfEnabled(ALCdevice* device) {
    ALCint status = ALC_HRTF_DISABLED_SOFT;
    alcGetIntegerv(device, ALC_HRTF_STATUS_SOFT, 1, &status);
    return status == ALC_HRTF_ENABLED_SOFT || status == ALC_HRTF_REQUIRED_SOFT ||
           status == ALC_HRTF_HEADPHONES_DETECTED_SOFT;
}

// A data set asked for at a rate it is not made for gives way to one that is, so the rate
// it fits is the one at which the device reports it by its own name.
uint32_t ProbeRate(ALCdevice* device, ALCint id, const std::string& name) {
    for (const ALCint rate : kProbeRates) {
        std::vector<ALCint> attributes = LoopbackAttributes(rate);
        attributes.insert(attributes.end(), {ALC_HRTF_SOFT, ALC_TRUE, ALC_HRTF_ID_SOFT, id, 0});
        if (alcResetDeviceSOFT(device, attributes.data()) == ALC_TRUE && HrtfEnabled(device) &&
            DeviceHrtfName(device) == name) {
            return static_cast<uint32_t>(rate);
        }
    }
    return 0;
}

std::vector<HrtfCatalog::Entry> Probe() {
    MixerBackend::NoteUse();
    std::vector<HrtfCatalog::Entry> entries;
    ALCdevice* device = alcLoopbackOpenDeviceSOFT(nullptr);
    if (device == nullptr) {
        return entries;
    }
    std::vector<ALCint> attributes = LoopbackAttributes(44100);
    attributes.insert(attributes.end(), {ALC_HRTF_SOFT, ALC_FALSE, 0});
    ALCcontext* context = alcIsExtensionPresent(device, "ALC_SOFT_HRTF") != ALC_FALSE
                              ? alcCreateContext(device, attributes.data())
                              : nullptr;
    if (context != nullptr) {
        ALCint count = 0;
        alcGetIntegerv(device, ALC_NUM_HRTF_SPECIFIERS_SOFT, 1, &count);
        // Names first: each probe resets the device, and the list with it.
        std::vector<ALCint> ids;
        for (ALCint id = 0; id < count; ++id) {
            if (const ALCchar* name = alcGetStringiSOFT(device, ALC_HRTF_SPECIFIER_SOFT, id)) {
                entries.push_back({name, 0});
                ids.push_back(id);
            }
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            entries[i].sampleRate = ProbeRate(device, ids[i], entries[i].name);
        }
        alcDestroyContext(context);
    }
    alcCloseDevice(device);
    return entries;
}

}  // namespace

std::vector<HrtfCatalog::Entry> HrtfCatalog::Refresh() {
    std::vector<Entry> entries = Probe();
    std::lock_guard<std::mutex> lock(g_catalogLock);
    g_entries = entries;
    return entries;
}

std::vector<HrtfCatalog::Entry> HrtfCatalog::Current() {
    {
        std::lock_guard<std::mutex> lock(g_catalogLock);
        if (g_entries) {
            return *g_entries;
        }
    }
    return Refresh();
}

uint32_t HrtfCatalog::ChooseRate(const std::vector<Entry>& entries, const std::string& name,
                                 uint32_t soundRate) {
    std::vector<uint32_t> rates;
    for (const Entry& entry : entries) {
        if (entry.sampleRate != 0 && (name.empty() || entry.name == name)) {
            rates.push_back(entry.sampleRate);
        }
    }
    if (rates.empty()) {
        return 0;
    }
    std::sort(rates.begin(), rates.end());
    const auto atOrAbove = std::lower_bound(rates.begin(), rates.end(), soundRate);
    return atOrAbove == rates.end() ? rates.back() : *atOrAbove;
}

int HrtfCatalog::AppendAttributes(ALCdevice* device, uint32_t mode, const std::string& name,
                                  uint32_t soundRate, std::vector<ALCint>& attributes,
                                  uint32_t* rate) {
    *rate = 0;
    if (mode == AMBREL_WAVEMIX_HRTF_OFF) {
        attributes.insert(attributes.end(), {ALC_HRTF_SOFT, ALC_FALSE});
    }
    if (mode != AMBREL_WAVEMIX_HRTF_ON) {
        return AMBREL_WAVEMIX_OK;
    }
    if (alcIsExtensionPresent(device, "ALC_SOFT_HRTF") == ALC_FALSE) {
        return AMBREL_WAVEMIX_ERR_NO_HRTF;
    }
    const uint32_t chosen = ChooseRate(Current(), name, soundRate);
    if (chosen == 0) {
        return AMBREL_WAVEMIX_ERR_NO_HRTF;
    }
    attributes.insert(attributes.end(),
                      {ALC_HRTF_SOFT, ALC_TRUE, ALC_FREQUENCY, static_cast<ALCint>(chosen)});
    if (!name.empty()) {
        // Ids are per device: a device may list data sets of its own.
        ALCint count = 0;
        alcGetIntegerv(device, ALC_NUM_HRTF_SPECIFIERS_SOFT, 1, &count);
        ALCint id = 0;
        while (id < count) {
            const ALCchar* listed = alcGetStringiSOFT(device, ALC_HRTF_SPECIFIER_SOFT, id);
            if (listed != nullptr && name == listed) {
                break;
            }
            ++id;
        }
        if (id == count) {
            return AMBREL_WAVEMIX_ERR_NO_HRTF;
        }
        attributes.insert(attributes.end(), {ALC_HRTF_ID_SOFT, id});
    }
    *rate = chosen;
    return AMBREL_WAVEMIX_OK;
}

void HrtfCatalog::ReadState(ALCdevice* device, MixerHrtfState* state) {
    ALCint enabled = ALC_FALSE;
    ALCint status = ALC_HRTF_DISABLED_SOFT;
    ALCint frequency = 0;
    const bool bExtension = alcIsExtensionPresent(device, "ALC_SOFT_HRTF") != ALC_FALSE;
    if (bExtension) {
        alcGetIntegerv(device, ALC_HRTF_SOFT, 1, &enabled);
        alcGetIntegerv(device, ALC_HRTF_STATUS_SOFT, 1, &status);
    }
    alcGetIntegerv(device, ALC_FREQUENCY, 1, &frequency);
    state->enabled = enabled == ALC_TRUE ? 1u : 0u;
    state->status = status;
    state->sampleRate = static_cast<uint32_t>(std::max(frequency, 0));
    const std::string name = state->enabled != 0 ? DeviceHrtfName(device) : std::string();
    const size_t length = std::min(name.size(), sizeof state->name - 1);
    std::memcpy(state->name, name.data(), length);
    state->name[length] = '\0';
}

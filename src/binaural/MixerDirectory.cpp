#include "binaural/MixerDirectory.h"

#include <vector>

#include "trevant/trevant.h"

namespace {

// Room for any name OpenAL Soft gives; a longer one is left out rather than cut.
constexpr uint32_t kNameChars = 4095;

}  // namespace

std::vector<std::string> MixerDirectory::Devices() {
    std::vector<std::string> devices;
    std::vector<char> name(kNameChars + 1);
    const uint32_t count = AmbrelWaveMixEnumerateDevices();
    for (uint32_t i = 0; i < count; ++i) {
        if (AmbrelWaveMixGetDeviceName(i, name.data(), kNameChars) == AMBREL_WAVEMIX_OK) {
            devices.emplace_back(name.data());
        }
    }
    return devices;
}

std::vector<MixerDirectory::Hrtf> MixerDirectory::Hrtfs() {
    std::vector<Hrtf> hrtfs;
    std::vector<char> name(kNameChars + 1);
    const uint32_t count = AmbrelWaveMixEnumerateHrtfs();
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rate = 0;
        if (AmbrelWaveMixGetHrtfName(i, name.data(), kNameChars, &rate) == AMBREL_WAVEMIX_OK) {
            hrtfs.push_back({name.data(), rate});
        }
    }
    return hrtfs;
}

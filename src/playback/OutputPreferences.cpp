#include "playback/OutputPreferences.h"

#include <algorithm>

#include "platform/SettingsStore.h"
#include "playback/Preferences.h"

namespace {

const char* const kPreferences = "Preferences";

// The stored "MixerOutput" values and the mixer's output each chooses. A value not listed
// lets the mixer decide, whichever way it is read.
const struct {
    int preference;
    uint32_t output;
} kMixerOutputs[] = {
    {Preferences::kOutputDirectSound, AMBREL_WAVEMIX_OUTPUT_PULSE},
    {Preferences::kOutputWaveOut, AMBREL_WAVEMIX_OUTPUT_ALSA},
    {Preferences::kOutputLetMixerDecide, AMBREL_WAVEMIX_OUTPUT_AUTO},
    {Preferences::kOutputJack, AMBREL_WAVEMIX_OUTPUT_JACK},
};

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

void OutputPreferences::Load(SettingsStore& settings) {
    device = settings.GetString(kPreferences, "OutputDevice", "");
    hrtfMode = settings.GetInt(kPreferences, "HrtfMode", kHrtfAutomatic);
    if (hrtfMode != kHrtfOn && hrtfMode != kHrtfOff) {
        hrtfMode = kHrtfAutomatic;
    }
    hrtfName = settings.GetString(kPreferences, "HrtfName", "");
}

void OutputPreferences::Save(SettingsStore& settings) const {
    settings.SetString(kPreferences, "OutputDevice", device);
    settings.SetInt(kPreferences, "HrtfMode", hrtfMode);
    settings.SetString(kPreferences, "HrtfName", hrtfName);
}

OutputPreferences::Session OutputPreferences::ForSession(
    const std::vector<std::string>& devices, const std::vector<std::string>& hrtfs) const {
    Session session;
    session.hrtf = hrtfMode == kHrtfOn    ? AMBREL_WAVEMIX_HRTF_ON
                   : hrtfMode == kHrtfOff ? AMBREL_WAVEMIX_HRTF_OFF
                                          : AMBREL_WAVEMIX_HRTF_AUTO;
    if (Contains(devices, device)) {
        session.device = device;
    } else if (!device.empty()) {
        session.note = "Output device \"" + device + "\" is not there: the default device plays.";
    }
    if (Contains(hrtfs, hrtfName)) {
        session.hrtfName = hrtfName;
    } else if (!hrtfName.empty() && hrtfMode == kHrtfOn) {
        session.note += std::string(session.note.empty() ? "" : " ") + "HRTF \"" + hrtfName +
                        "\" is not installed: another one mixes.";
    }
    return session;
}

std::string OutputPreferences::StateText(const MixerHrtfState& state) {
    return state.enabled != 0 ? std::string("HRTF on: ") + state.name : "HRTF off: speakers";
}

uint32_t OutputPreferences::MixerOutputValue(int preference) {
    for (const auto& entry : kMixerOutputs) {
        if (entry.preference == preference) {
            return entry.output;
        }
    }
    return AMBREL_WAVEMIX_OUTPUT_AUTO;
}

int OutputPreferences::PreferenceOfMixerOutput(uint32_t value) {
    for (const auto& entry : kMixerOutputs) {
        if (entry.output == value) {
            return entry.preference;
        }
    }
    return Preferences::kOutputLetMixerDecide;
}

#include "playback/OutputPreferences.h"

#include <algorithm>
#include <cctype>

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

// name less its rate ("default-44100" -> "default", "Built-In 48000hz" -> "Built-In"), or
// name itself when it does not end in rate.
std::string SetNameOf(const std::string& name, uint32_t rate) {
    if (rate == 0) {
        return name;
    }
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string digits = std::to_string(rate);
    for (const std::string& tail : {digits, digits + "hz", digits + " hz"}) {
        if (lower.size() > tail.size() + 1 &&
            lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0) {
            const size_t end = name.find_last_not_of(" -_@", name.size() - tail.size() - 1);
            if (end != std::string::npos && end + 1 < name.size() - tail.size()) {
                return name.substr(0, end + 1);
            }
        }
    }
    return name;
}

}  // namespace

std::vector<OutputPreferences::HrtfSet> OutputPreferences::GroupHrtfs(
    const std::vector<std::pair<std::string, uint32_t>>& listed) {
    std::vector<HrtfSet> sets;
    for (const auto& [name, rate] : listed) {
        const std::string setName = SetNameOf(name, rate);
        auto set = std::find_if(sets.begin(), sets.end(),
                                [&](const HrtfSet& s) { return s.name == setName; });
        if (set == sets.end()) {
            set = sets.insert(sets.end(), HrtfSet{setName, {}});
        }
        set->members.emplace_back(name, rate);
    }
    for (HrtfSet& set : sets) {
        std::stable_sort(set.members.begin(), set.members.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    }
    return sets;
}

void OutputPreferences::Load(SettingsStore& settings) {
    device = settings.GetString(kPreferences, "OutputDevice", "");
    hrtfMode = settings.GetInt(kPreferences, "HrtfMode", kHrtfAutomatic);
    if (hrtfMode != kHrtfOn && hrtfMode != kHrtfOff) {
        hrtfMode = kHrtfAutomatic;
    }
    hrtfName = settings.GetString(kPreferences, "HrtfName", "");
    binauralSet = settings.GetString(kPreferences, "BinauralHrtf", "");
    loudspeakers = settings.GetString(kPreferences, "Loudspeakers", "");
}

void OutputPreferences::Save(SettingsStore& settings) const {
    settings.SetString(kPreferences, "OutputDevice", device);
    settings.SetInt(kPreferences, "HrtfMode", hrtfMode);
    settings.SetString(kPreferences, "HrtfName", hrtfName);
    settings.SetString(kPreferences, "BinauralHrtf", binauralSet);
    settings.SetString(kPreferences, "Loudspeakers", loudspeakers);
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

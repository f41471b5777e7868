#include "playback/HeadTrackingPreferences.h"

#include <algorithm>

#include "platform/SettingsStore.h"
#include "trevant/trevant.h"

namespace {

const char* const kSection = "HeadTracking";

struct Flag {
    const char* key;
    bool HeadTrackingPreferences::*field;
    bool bDefault;
};

const Flag kFlags[] = {
    {"Enabled", &HeadTrackingPreferences::bEnabled, false},
    {"ReadHead", &HeadTrackingPreferences::bHead, true},
    {"ReadYpr", &HeadTrackingPreferences::bYpr, true},
    {"ReadQuaternion", &HeadTrackingPreferences::bQuaternion, true},
    {"ReadPlace", &HeadTrackingPreferences::bPlace, true},
    {"InvertYaw", &HeadTrackingPreferences::bInvertYaw, false},
    {"InvertPitch", &HeadTrackingPreferences::bInvertPitch, false},
    {"InvertRoll", &HeadTrackingPreferences::bInvertRoll, false},
};

}  // namespace

HeadTrackingPreferences HeadTrackingPreferences::Load(SettingsStore& settings) {
    HeadTrackingPreferences prefs;
    for (const Flag& flag : kFlags) {
        prefs.*flag.field = settings.GetInt(kSection, flag.key, flag.bDefault ? 1 : 0) == 1;
    }
    const int port = settings.GetInt(kSection, "Port", kDefaultPort);
    prefs.port = IsValidPort(port) ? port : kDefaultPort;
    return prefs;
}

void HeadTrackingPreferences::Save(SettingsStore& settings) const {
    for (const Flag& flag : kFlags) {
        settings.SetInt(kSection, flag.key, this->*flag.field ? 1 : 0);
    }
    settings.SetInt(kSection, "Port", port);
}

uint32_t HeadTrackingPreferences::SessionLatencyMs(int stored) const {
    const auto latency = static_cast<uint32_t>(std::max(stored, 0));
    if (!bEnabled) {
        return latency;
    }
    return latency == 0 ? kTrackingLatencyMs : std::min<uint32_t>(latency, kTrackingLatencyMs);
}

void HeadTrackingPreferences::SelectPeriod(bool bTrackingThisRun) {
    if (bTrackingThisRun) {
        AmbrelWaveMixSelectPeriod(kTrackingPeriodFrames, kTrackingPeriods);
    } else {
        AmbrelWaveMixSelectPeriod(0, 0);
    }
}

bool HeadTrackingPreferences::IsPeriodInEffect() {
    return AmbrelWaveMixGetPeriodInEffect() == kTrackingPeriodFrames;
}

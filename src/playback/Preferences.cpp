#include "playback/Preferences.h"

#include "platform/SettingsStore.h"

namespace {

const char* const kSection = "Preferences";

bool GetFlag(SettingsStore& settings, const char* key) {
    return settings.GetInt(kSection, key, 0) == 1;
}

}  // namespace

Preferences Preferences::Load(SettingsStore& settings) {
    Preferences prefs;
    prefs.bCursorFollow = GetFlag(settings, "CursorFollow");
    prefs.mixerOutput = settings.GetInt(kSection, "MixerOutput", kOutputLetMixerDecide);
    prefs.bLowpassFilter = GetFlag(settings, "LowpassFilter");
    prefs.bUsePrimaryBuffer = GetFlag(settings, "UsePrimaryBuffer");
    prefs.latency = settings.GetInt(kSection, "Latency", 0);
    prefs.savePath = settings.GetString(kSection, "SavePath", "");
    prefs.openPath = settings.GetString(kSection, "OpenPath", "");
    prefs.exportPath = settings.GetString(kSection, "ExportPath", "");
    prefs.output.Load(settings);
    return prefs;
}

void Preferences::Save(SettingsStore& settings) const {
    settings.SetInt(kSection, "CursorFollow", bCursorFollow ? 1 : 0);
    settings.SetInt(kSection, "MixerOutput", mixerOutput);
    settings.SetInt(kSection, "LowpassFilter", bLowpassFilter ? 1 : 0);
    settings.SetInt(kSection, "UsePrimaryBuffer", bUsePrimaryBuffer ? 1 : 0);
    settings.SetInt(kSection, "Latency", latency);
    settings.SetString(kSection, "SavePath", savePath);
    settings.SetString(kSection, "OpenPath", openPath);
    settings.SetString(kSection, "ExportPath", exportPath);
    output.Save(settings);
}

bool Preferences::AllowsPrimaryBuffer() const {
    return mixerOutput == kOutputDirectSound || mixerOutput == kOutputLetMixerDecide;
}

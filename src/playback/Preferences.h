#pragma once

#include <string>

#include "playback/OutputPreferences.h"

class SettingsStore;

// The user's preferences, as the settings store keeps them in section "Preferences". A value
// type: the application holds one, the options dialog edits a copy and hands it back.
// Latency is in ms (0 = the mixer's default); folders end with their separator, or are empty.
struct Preferences {
    static constexpr int kOutputDirectSound = 0;
    static constexpr int kOutputWaveOut = 1;
    static constexpr int kOutputLetMixerDecide = 2;
    // Added on Linux: JACK, a stored value of its own.
    static constexpr int kOutputJack = 3;

    bool bCursorFollow = false;
    int mixerOutput = kOutputLetMixerDecide;
    bool bLowpassFilter = false;
    bool bUsePrimaryBuffer = false;
    int latency = 0;
    // Last folders of Save As, Open and Export.
    std::string savePath;
    std::string openPath;
    std::string exportPath;
    // Device and HRTF, under keys of their own written after the others.
    OutputPreferences output;

    // Reads every key; a missing key reads as its default, and a boolean key is on only when
    // it holds 1.
    static Preferences Load(SettingsStore& settings);
    // Writes every key, in the fixed order of the table.
    void Save(SettingsStore& settings) const;
    // The primary buffer can be asked for only with DirectSound or the mixer's own choice.
    bool AllowsPrimaryBuffer() const;

    bool operator==(const Preferences&) const = default;
};

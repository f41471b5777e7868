#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "trevant/trevant.h"

class SettingsStore;

// The output preferences that came with Linux, beside "MixerOutput" (whose stored values
// keep their meaning): the device, HRTF Automatic/On/Off and the HRTF data set. Each has a
// "Preferences" key of its own; an empty name means the default device, or any data set that
// fits the sound. Also what a session makes of them, and the live HRTF text. A value type,
// part of Preferences.
struct OutputPreferences {
    static constexpr int kHrtfAutomatic = 0;
    static constexpr int kHrtfOn = 1;
    static constexpr int kHrtfOff = 2;

    std::string device;
    int hrtfMode = kHrtfAutomatic;
    std::string hrtfName;
    // What the binaural export and Play Through Binaural Renderer render through: empty for
    // the default SOFA set, a SOFA file, or one of the mixer's sets by name (SofaSetChoice
    // tells which).
    std::string binauralSet;
    // Where playback goes through the loudspeaker export's panner: "" for nowhere (the
    // mixer's own output), or a layout LoudspeakerPlayback offers ("0+5+0", "0+7+0").
    std::string loudspeakers;

    // A stored HRTF mode outside 0 ... 2 reads as Automatic, today's behaviour.
    void Load(SettingsStore& settings);
    // Writes "OutputDevice", "HrtfMode", "HrtfName", "BinauralHrtf" and "Loudspeakers".
    void Save(SettingsStore& settings) const;

    // What a session opens with, given the devices and HRTFs there are now. A stored device
    // or HRTF that is not among them gives way to the default, and note says so in one line.
    struct Session {
        std::string device;    // "" for the default
        std::string hrtfName;  // "" for any that fits
        uint32_t hrtf = AMBREL_WAVEMIX_HRTF_AUTO;
        std::string note;
    };
    Session ForSession(const std::vector<std::string>& devices,
                       const std::vector<std::string>& hrtfs) const;

    // OpenAL Soft lists a data set once for each rate it is made for ("default-44100",
    // "default-48000", "Built-In 44100hz"): the sets, in the order first listed, each with its
    // name less the rate and its listed names with their rates (Hz), lowest rate first. A name
    // that does not end in its own rate is a set of its own.
    struct HrtfSet {
        std::string name;
        std::vector<std::pair<std::string, uint32_t>> members;
    };
    static std::vector<HrtfSet> GroupHrtfs(
        const std::vector<std::pair<std::string, uint32_t>>& listed);

    // "HRTF on: default-44100" or "HRTF off: speakers".
    static std::string StateText(const MixerHrtfState& state);
    // The mixer's output value for a "MixerOutput" preference (0 PipeWire / PulseAudio, once
    // DirectSound; 1 ALSA, once WaveOut; 3 JACK; 2 and anything else: let the mixer decide),
    // and back.
    static uint32_t MixerOutputValue(int preference);
    static int PreferenceOfMixerOutput(uint32_t value);

    bool operator==(const OutputPreferences&) const = default;
};

#pragma once

#include <cstdint>
#include <string>

class SettingsStore;

// Head tracking's preferences, kept in the settings' section "HeadTracking": whether the editor
// listens for a head tracker over OSC, on which UDP port, which messages it reads, and which
// axes of /ypr and /quaternion it turns the other way (trackers disagree on signs). A value
// type: the application holds one, the options dialog edits a copy.
struct HeadTrackingPreferences {
    static constexpr int kDefaultPort = 7120;
    // The session latency (ms) while tracking: with the short period below, a turn is heard
    // within 30 ms. The mixer lengthens it to cover a longer period.
    static constexpr int kTrackingLatencyMs = 15;
    // The device's period (frames) and how many it buffers, for a run that tracks from its
    // start: OpenAL Soft's own 1024 and 3 would hold a turn back a further 55 ms.
    static constexpr uint32_t kTrackingPeriodFrames = 256;
    static constexpr uint32_t kTrackingPeriods = 2;
    // Asks the mixer for those periods for a run that tracks from its start, else for the
    // device's own; before the mixer's first use, or it waits for the next start.
    static void SelectPeriod(bool bTrackingThisRun);
    // Whether this run's device runs them.
    static bool IsPeriodInEffect();

    bool bEnabled = false;
    int port = kDefaultPort;  // 1 .. 65535
    bool bHead = true;        // /sonomap/head fff, Sonomap's own convention
    bool bYpr = true;         // /ypr fff
    bool bQuaternion = true;  // /quaternion ffff
    bool bPlace = true;       // /sonomap/place fff, which performs the path
    bool bInvertYaw = false;
    bool bInvertPitch = false;
    bool bInvertRoll = false;

    // Every key; a missing one reads as its default, a port outside 1 .. 65535 as the default.
    static HeadTrackingPreferences Load(SettingsStore& settings);
    void Save(SettingsStore& settings) const;

    static bool IsValidPort(long port) { return port >= 1 && port <= 65535; }
    // The mixer session's latency in ms for the stored latency (0: the mixer's default): with
    // tracking on, at most kTrackingLatencyMs.
    uint32_t SessionLatencyMs(int stored) const;

    bool operator==(const HeadTrackingPreferences&) const = default;
};

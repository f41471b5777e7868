#pragma once

#include <AL/alc.h>

#include <cstdint>
#include <string>
#include <vector>

#include "trevant/trevant.h"

// The HRTF data sets OpenAL Soft offers, each with the one mixing rate it is made for, and the
// device attributes that ask for HRTF or for plain panning. Rates are Hz. The kept list is
// shared by every thread under its own lock.
class HrtfCatalog {
  public:
    struct Entry {
        std::string name;
        uint32_t sampleRate = 0;  // 0: OpenAL Soft lists it but could not load it
    };

    // Probes the list afresh on a loopback device and keeps it. Empty without ALC_SOFT_HRTF.
    static std::vector<Entry> Refresh();
    // The kept list, probed on first use.
    static std::vector<Entry> Current();

    // The device rate for a sound of soundRate Hz with the named HRTF (empty: any of
    // entries), by the rule in trevant.h; 0 when nothing fits or the name is not listed.
    static uint32_t ChooseRate(const std::vector<Entry>& entries, const std::string& name,
                               uint32_t soundRate);

    // Appends what mode (AMBREL_WAVEMIX_HRTF_*) asks of device to attributes. With ON that is
    // also the HRTF's id on this device and the rate it needs, which *rate receives; the other
    // modes set *rate to 0. 0, or AMBREL_WAVEMIX_ERR_NO_HRTF when ON cannot be met.
    static int AppendAttributes(ALCdevice* device, uint32_t mode, const std::string& name,
                                uint32_t soundRate, std::vector<ALCint>& attributes,
                                uint32_t* rate);
    // Fills state (all but its size) from an open device with a context.
    static void ReadState(ALCdevice* device, MixerHrtfState* state);
};

#pragma once

#include <cstdint>

// OpenAL Soft's back end for this process. OpenAL Soft reads its driver list once, at its
// first use, so the library notes every first call into it and refuses a choice made later.
class MixerBackend {
  public:
    // Call before any call into OpenAL Soft.
    static void NoteUse();
    // 0 when the back end for output (a MixerSessionConfig.output value) is now the one this
    // process will use; AMBREL_WAVEMIX_ERR_OUTPUT_FIXED when it is too late or the environment
    // decides; AMBREL_WAVEMIX_ERR_BAD_CONFIG for a value of no meaning.
    static int Select(uint32_t output);
    static uint32_t InEffect();
    // The same for the device's period in frames and how many it buffers (OpenAL Soft's
    // period_size and periods; 0 and 0 for its own), which OpenAL Soft takes from its
    // configuration: ALSOFT_CONF names one held in memory.
    static int SelectPeriod(uint32_t frames, uint32_t periods);
    static uint32_t PeriodInEffect();
    // The ALSOFT_DRIVERS list for an output: a preferred back end and then the rest, or null
    // for OpenAL Soft's own order.
    static const char* DriverList(uint32_t output);
};

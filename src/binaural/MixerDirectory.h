#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the mixer library finds on this machine, as plain lists for the preferences and the
// command-line tool. Each call asks the library afresh.
class MixerDirectory {
  public:
    struct Hrtf {
        std::string name;         // as sessions, renders and `render --hrtf` take it
        uint32_t sampleRate = 0;  // Hz; 0 when it could not be loaded
    };

    // The output devices of the back end in use, by name.
    static std::vector<std::string> Devices();
    static std::vector<Hrtf> Hrtfs();
};

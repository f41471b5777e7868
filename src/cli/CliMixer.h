#pragma once

#include <memory>
#include <string>
#include <vector>

#include "deliver/BinauralRenderer.h"

// The command-line tool's reach into the mixer library. A build without the library
// (SONOMAP_CORE_ONLY) links CliMixerMissing.cpp instead, which has none of it.
class CliMixer {
  public:
    static bool IsAvailable();
    // The HRTF names the library lists, in its order; empty without the library.
    static std::vector<std::string> HrtfNames();
    // A binaural mixer with the named HRTF (empty: the first that fits); none without the
    // library.
    static std::unique_ptr<BinauralRenderer> MakeRenderer(const std::string& hrtfName);
};

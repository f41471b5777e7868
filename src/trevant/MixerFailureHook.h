#pragma once

#include <string>

// Test builds only (TREVANT_FAILURE_HOOK): makes a named operation fail with a chosen code.
class MixerFailureHook {
  public:
    // Queues a failure for the next call of operation ("InitEx", "Activate", ...).
    static void FailNext(const std::string& operation, int code);
    // The queued code for this call of operation, or 0 to run it normally.
    static int Take(const std::string& operation);
    static void Clear();
};

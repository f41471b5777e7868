#pragma once

#include <cstdint>

#include "support/DocumentTestFiles.h"

// The export benchmarks' sound: ten minutes of seeded noise, mono 16-bit at 44.1 kHz, with no
// points yet.
constexpr uint32_t kTenMinutesRate = 44100;
constexpr uint32_t kTenMinutesFrames = 600 * kTenMinutesRate;
TestSound TenMinutesOfNoise();

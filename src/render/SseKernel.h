#pragma once

#include "render/FilterState.h"

// The filter's kernels on SSE2 registers: the left and right filters run as lanes 0 and 1,
// frames in bulk four to a step, and four-section bands with their sections skewed in time.
// Null for a band shape without a kernel, and on machines without SSE2.
const FilterKernels* FindSseKernels(int sections, FilterMode mode);

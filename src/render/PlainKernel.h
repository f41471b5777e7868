#pragma once

#include "render/FilterState.h"

// The filter's kernels in plain C++, one lane at a time, for machines without SSE2: the same
// operations in the same order as the register kernels. Null for a band shape without one.
const FilterKernels* FindPlainKernels(int sections, FilterMode mode);

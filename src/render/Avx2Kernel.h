#pragma once

#include "render/FilterState.h"

// The filter's bulk kernels on AVX2 registers: all sections of a band in one 256-bit register,
// each section two frames behind the one before it, so that a frame costs one register's
// recursion. Every lane does the SSE2 kernels' operations in their order, without FMA, so the
// bytes are theirs; a single sample takes the SSE2 step. Null for a band shape without a
// kernel, and on processors without AVX2.
const FilterKernels* FindAvx2Kernels(int sections, FilterMode mode);

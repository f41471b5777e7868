#pragma once

#include "render/FilterState.h"

// The band shapes the rate table holds, each mapped to its instance of a kernel template.
// Kernel<Sections, Mode> provides Sample (a SampleKernel) and Frames<Width, Channels> (a
// FramesKernel), Width kFloatWidth with one channel included. Find returns null for a shape that is
// not listed.
template <template <int, FilterMode> class Kernel>
class KernelShapes {
  public:
    static const FilterKernels* Find(int sections, FilterMode mode) {
        for (const Shape& shape : kShapes) {
            if (shape.sections == sections && shape.mode == mode) {
                return &shape.kernels;
            }
        }
        return nullptr;
    }

  private:
    struct Shape {
        int sections;
        FilterMode mode;
        FilterKernels kernels;
    };

    template <int Sections, FilterMode M>
    static constexpr Shape Of() {
        using K = Kernel<Sections, M>;
        return {Sections,
                M,
                {&K::Sample,
                 {{&K::template Frames<1, 1>, &K::template Frames<1, 2>},
                  {&K::template Frames<2, 1>, &K::template Frames<2, 2>}},
                 &K::template Frames<kFloatWidth, 1>}};
    }

    static constexpr Shape kShapes[] = {
        Of<2, FilterMode::DelayFiltered>(), Of<3, FilterMode::DelayFiltered>(),
        Of<4, FilterMode::DelayFiltered>(), Of<4, FilterMode::NoDelay>(),
        Of<4, FilterMode::DelayDirect>(),
    };
};

#include "sofa/SpectrumKernels.h"

#include <atomic>
#include <cstring>

#include "sofa/HrtfFilterBank.h"

namespace {

constexpr uint32_t kBins = HrtfFilterBank::kPaddedBins;
constexpr uint32_t kFrames = HrtfFilterBank::kBlockFrames;

typedef float Lanes4 __attribute__((vector_size(16)));
typedef float Lanes8 __attribute__((vector_size(32)));
static_assert(kBins % 8 == 0 && kFrames % 8 == 0);

// The loops for either width, inlined into a function compiled for that width. Vectors go in
// and out through references, never by value, whose passing would differ between the widths.
template <class Lanes>
[[gnu::always_inline]] inline void Load(Lanes& v, const float* p) {
    std::memcpy(&v, p, sizeof v);
}

template <class Lanes>
[[gnu::always_inline]] inline void Store(float* p, const Lanes& v) {
    std::memcpy(p, &v, sizeof v);
}

template <class Lanes>
[[gnu::always_inline]] inline void MultiplyAddLoop(const float* const* x, const float* const* h,
                                                   uint32_t partitions, float* sum) {
    constexpr uint32_t width = sizeof(Lanes) / sizeof(float);
    Lanes xr{}, xi{}, hr{}, hi{};
    for (uint32_t k = 0; k < kBins; k += width) {
        Load(xr, x[0] + k);
        Load(xi, x[0] + kBins + k);
        Load(hr, h[0] + k);
        Load(hi, h[0] + kBins + k);
        Lanes re = xr * hr - xi * hi;
        Lanes im = xr * hi + xi * hr;
        for (uint32_t p = 1; p < partitions; ++p) {
            Load(xr, x[p] + k);
            Load(xi, x[p] + kBins + k);
            Load(hr, h[p] + k);
            Load(hi, h[p] + kBins + k);
            re += xr * hr - xi * hi;
            im += xr * hi + xi * hr;
        }
        Store(sum + k, re);
        Store(sum + kBins + k, im);
    }
}

template <class Lanes>
[[gnu::always_inline]] inline void BlendLoop(const float* const* spectra, const float* scale,
                                             int count, size_t floats, float* out) {
    constexpr size_t width = sizeof(Lanes) / sizeof(float);
    const Lanes zero{};
    const Lanes s0 = zero + scale[0];
    const Lanes s1 = zero + scale[1];
    const Lanes s2 = zero + scale[2];
    Lanes a{}, b{}, c{};
    for (size_t k = 0; k < floats; k += width) {
        Load(a, spectra[0] + k);
        if (count == 1) {
            Store(out + k, s0 * a);
            continue;
        }
        Load(b, spectra[1] + k);
        if (count == 2) {
            Store(out + k, s0 * a + s1 * b);
            continue;
        }
        Load(c, spectra[2] + k);
        Store(out + k, s0 * a + s1 * b + s2 * c);
    }
}

// The crossover's weights of the new filter, (n + 1) / kFrames at frame n.
struct Ramp {
    float weights[kFrames];
    Ramp() {
        for (uint32_t n = 0; n < kFrames; ++n) {
            weights[n] = static_cast<float>(n + 1) * (1.0f / kFrames);
        }
    }
};
const Ramp kRamp;

template <class Lanes>
[[gnu::always_inline]] inline void CrossFadeLoop(float* old, const float* next) {
    constexpr uint32_t width = sizeof(Lanes) / sizeof(float);
    Lanes from{}, to{}, ramp{};
    for (uint32_t n = 0; n < kFrames; n += width) {
        Load(from, old + n);
        Load(to, next + n);
        Load(ramp, kRamp.weights + n);
        Store(old + n, from + ramp * (to - from));
    }
}

void MultiplyAdd4(const float* const* x, const float* const* h, uint32_t partitions, float* sum) {
    MultiplyAddLoop<Lanes4>(x, h, partitions, sum);
}

void Blend4(const float* const* spectra, const float* scale, int count, size_t floats, float* out) {
    BlendLoop<Lanes4>(spectra, scale, count, floats, out);
}

void CrossFade4(float* old, const float* next) {
    CrossFadeLoop<Lanes4>(old, next);
}

constexpr SpectrumKernels kFour{MultiplyAdd4, Blend4, CrossFade4};

std::atomic<bool> s_bWide{true};

}  // namespace

#if defined(__x86_64__) && defined(__GNUC__)
// From here on compiled for AVX, and run only where the processor has it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx")
#endif

namespace {

void MultiplyAdd8(const float* const* x, const float* const* h, uint32_t partitions, float* sum) {
    MultiplyAddLoop<Lanes8>(x, h, partitions, sum);
}

void Blend8(const float* const* spectra, const float* scale, int count, size_t floats, float* out) {
    BlendLoop<Lanes8>(spectra, scale, count, floats, out);
}

void CrossFade8(float* old, const float* next) {
    CrossFadeLoop<Lanes8>(old, next);
}

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const SpectrumKernels& SpectrumKernels::Find() {
    static const SpectrumKernels eight{MultiplyAdd8, Blend8, CrossFade8};
    static const bool bAvx = __builtin_cpu_supports("avx") != 0;
    return bAvx && s_bWide.load() ? eight : kFour;
}
#else
const SpectrumKernels& SpectrumKernels::Find() {
    return kFour;
}
#endif

void SpectrumKernels::UseWideLanes(bool bWide) {
    s_bWide.store(bWide);
}

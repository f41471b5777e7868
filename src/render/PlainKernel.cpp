#include "render/PlainKernel.h"

#include "render/KernelShapes.h"
#include "render/SampleCodec.h"

namespace {

template <int Sections, FilterMode M>
struct PlainKernel {
    static StereoSample Sample(FilterState& state, float in);
    template <int Width, int Channels>
    static void Frames(FilterState& state, const uint8_t* in, uint32_t count, uint8_t* out);
};

template <int Sections, FilterMode M>
StereoSample PlainKernel<Sections, M>::Sample(FilterState& state, float in) {
    float direct[2], acc[2];
    for (int c = 0; c < 2; ++c) {
        direct[c] = in * state.directGain[c];
        acc[c] = in * state.filteredGain[c] * state.k[c];
        for (int n = 0; n < Sections; ++n) {
            acc[c] = acc[c] - state.a2[n][c] * state.s2[n][c] - state.a1[n][c] * state.s1[n][c];
            state.s2[n][c] = state.s1[n][c];
            state.s1[n][c] = acc[c];
        }
    }
    if constexpr (M == FilterMode::NoDelay) {
        return {acc[0] + direct[0], acc[1] + direct[1]};
    } else {
        const float* stored = M == FilterMode::DelayFiltered ? acc : direct;
        state.ring[state.write][0] = stored[0];
        state.ring[state.write][1] = stored[1];
        const float* delayed = state.ring[state.read];
        const float* now = M == FilterMode::DelayFiltered ? direct : acc;
        const StereoSample result{delayed[0] + now[0], delayed[1] + now[1]};
        state.write = (state.write + 1) & 7u;
        state.read = (state.read + 1) & 7u;
        return result;
    }
}

template <int Sections, FilterMode M>
template <int Width, int Channels>
void PlainKernel<Sections, M>::Frames(FilterState& state, const uint8_t* in, uint32_t count,
                                      uint8_t* out) {
    for (uint32_t i = 0; i < count; ++i) {
        const StereoSample pair = Sample(state, SampleCodec::ReadFrame<Width, Channels>(in));
        SampleCodec::WritePair(pair.left, pair.right, Width, out);
        in += Width * Channels;
        out += 2 * Width;
    }
}

}  // namespace

const FilterKernels* FindPlainKernels(int sections, FilterMode mode) {
    return KernelShapes<PlainKernel>::Find(sections, mode);
}

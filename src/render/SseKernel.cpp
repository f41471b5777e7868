#include "render/SseKernel.h"

#if defined(__SSE2__) || defined(__x86_64__)
#include "render/KernelShapes.h"
#include "render/SseLanes.h"

namespace {

using sse::LoadFourFrames;
using sse::LoadFrame;
using sse::StoreFourPairs;
using sse::StorePair;

// Frames in bulk: sse::Sample's arithmetic in the same order, with the state of one call held
// in registers: the output bytes could alias the FilterState, which would keep the recursion
// in memory.
template <int Sections, FilterMode M>
struct Lanes {
    explicit Lanes(const FilterState& state)
        : directGain(_mm_load_ps(state.directGain)),
          filteredGain(_mm_load_ps(state.filteredGain)),
          k(_mm_load_ps(state.k)),
          terms(state) {
#pragma GCC unroll 4
        for (int n = 0; n < Sections; ++n) {
            a1[n] = _mm_load_ps(state.a1[n]);
            a2[n] = _mm_load_ps(state.a2[n]);
            s1[n] = _mm_load_ps(state.s1[n]);
            s2[n] = _mm_load_ps(state.s2[n]);
        }
    }

    // Back into the state, after count frames.
    void Save(FilterState& state, uint32_t count) const {
#pragma GCC unroll 4
        for (int n = 0; n < Sections; ++n) {
            _mm_store_ps(state.s1[n], s1[n]);
            _mm_store_ps(state.s2[n], s2[n]);
        }
        terms.Save(state, count);
    }

    [[gnu::always_inline]] __m128 Feed(__m128 x) const {
        return _mm_mul_ps(_mm_mul_ps(x, filteredGain), k);
    }

    [[gnu::always_inline]] __m128 Section(int n, __m128 acc) {
        acc = _mm_sub_ps(_mm_sub_ps(acc, _mm_mul_ps(a2[n], s2[n])), _mm_mul_ps(a1[n], s1[n]));
        s2[n] = s1[n];
        s1[n] = acc;
        return acc;
    }

    // The last section's output and the input sample to the stereo pair, through the delay.
    [[gnu::always_inline]] __m128 Finish(__m128 acc, __m128 x) {
        return terms.Finish(acc, _mm_mul_ps(x, directGain));
    }

    // One frame through every section in turn.
    [[gnu::always_inline]] __m128 Step(__m128 x) {
        __m128 acc = Feed(x);
#pragma GCC unroll 4
        for (int n = 0; n < Sections; ++n) {
            acc = Section(n, acc);
        }
        return Finish(acc, x);
    }

    __m128 directGain, filteredGain, k;
    __m128 a1[Sections], a2[Sections], s1[Sections], s2[Sections];
    sse::DueTerms<M> terms;
};

// Frames one after another, four to a loaded register; any section count.
template <int Sections, FilterMode M, int Width, int Channels>
void RunSteps(Lanes<Sections, M>& lanes, const uint8_t* in, uint32_t count, uint8_t* out) {
    uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 x = LoadFourFrames<Width, Channels>(in);
        in += 4 * Width * Channels;
        const __m128 sum0 = lanes.Step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 sum1 = lanes.Step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 1, 1)));
        const __m128 sum2 = lanes.Step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 2, 2)));
        const __m128 sum3 = lanes.Step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3)));
        StoreFourPairs<Width>(_mm_movelh_ps(sum0, sum1), _mm_movelh_ps(sum2, sum3), out);
        out += 8 * Width;
    }
    for (; i < count; ++i) {
        StorePair<Width>(lanes.Step(LoadFrame<Width, Channels>(in)), out);
        in += Width * Channels;
        out += 2 * Width;
    }
}

// Four sections, two to a register. The recursion of each section waits only on itself, so
// sections 0 and 1 share register p and 2 and 3 register q, each section two frames behind
// the one before it: half the operations for the same lane arithmetic. While skewed, frame
// t goes into section 0 as the last section's output for frame t - 6 comes out.
template <FilterMode M>
class SkewedSections {
  public:
    static constexpr uint32_t kLag = 6;  // frames the last section runs behind the first
    static constexpr uint32_t kMinFrames = 16;

    explicit SkewedSections(Lanes<4, M>& lanes) : m_lanes(lanes) {}

    // Runs the first sections ahead, frames 0 .. kLag - 1, so that they stand skewed.
    template <int Width, int Channels>
    void Fill(const uint8_t* in) {
        constexpr size_t frameBytes = size_t{Width} * Channels;
        Lanes<4, M>& lanes = m_lanes;
        __m128 first[6], second[4];
        for (uint32_t f = 0; f < 6; ++f) {
            first[f] =
                lanes.Section(0, lanes.Feed(LoadFrame<Width, Channels>(in + f * frameBytes)));
        }
        for (int f = 0; f < 4; ++f) {
            second[f] = lanes.Section(1, first[f]);
        }
        for (int f = 0; f < 2; ++f) {
            lanes.Section(2, second[f]);
        }
        m_a1p = _mm_movelh_ps(lanes.a1[0], lanes.a1[1]);
        m_a2p = _mm_movelh_ps(lanes.a2[0], lanes.a2[1]);
        m_a1q = _mm_movelh_ps(lanes.a1[2], lanes.a1[3]);
        m_a2q = _mm_movelh_ps(lanes.a2[2], lanes.a2[3]);
        m_p1 = _mm_movelh_ps(lanes.s1[0], lanes.s1[1]);
        m_p2 = _mm_movelh_ps(lanes.s2[0], lanes.s2[1]);
        m_q1 = _mm_movelh_ps(lanes.s1[2], lanes.s1[3]);
        m_q2 = _mm_movelh_ps(lanes.s2[2], lanes.s2[3]);
        m_directGain2 = _mm_movelh_ps(lanes.directGain, lanes.directGain);
        m_filteredGain2 = _mm_movelh_ps(lanes.filteredGain, lanes.filteredGain);
        m_k2 = _mm_movelh_ps(lanes.k, lanes.k);
    }

    // Frames kLag .. count - 1 into section 0; the last section's outputs for frames
    // 0 .. count - kLag - 1 stored.
    template <int Width, int Channels>
    void Run(const uint8_t* in, uint32_t count, uint8_t* out) {
        constexpr size_t frameBytes = size_t{Width} * Channels;
        uint32_t t = kLag;
        for (; t + 4 <= count; t += 4) {
            const FourPairs sums =
                FourFrames(LoadFourFrames<Width, Channels>(in + t * frameBytes),
                           LoadFourFrames<Width, Channels>(in + (t - kLag) * frameBytes));
            StoreFourPairs<Width>(sums.pairs01, sums.pairs23, out + (t - kLag) * 2 * Width);
        }
        for (; t < count; ++t) {
            const __m128 fed = m_lanes.Feed(LoadFrame<Width, Channels>(in + t * frameBytes));
            const __m128 q = Wave(_mm_movelh_ps(fed, m_p2));
            const __m128 late = LoadFrame<Width, Channels>(in + (t - kLag) * frameBytes);
            StorePair<Width>(m_lanes.Finish(_mm_movehl_ps(q, q), late),
                             out + (t - kLag) * 2 * Width);
        }
    }

    // Back to one register per section; the later sections then catch up on the frames they
    // lack, and the last section's outputs for the last kLag frames are stored.
    template <int Width, int Channels>
    void Drain(const uint8_t* in, uint32_t count, uint8_t* out) {
        constexpr size_t frameBytes = size_t{Width} * Channels;
        Lanes<4, M>& lanes = m_lanes;
        const __m128 zero = _mm_setzero_ps();
        lanes.s1[0] = _mm_movelh_ps(m_p1, zero);
        lanes.s2[0] = _mm_movelh_ps(m_p2, zero);
        lanes.s1[1] = _mm_movehl_ps(zero, m_p1);
        lanes.s2[1] = _mm_movehl_ps(zero, m_p2);
        lanes.s1[2] = _mm_movelh_ps(m_q1, zero);
        lanes.s2[2] = _mm_movelh_ps(m_q2, zero);
        lanes.s1[3] = _mm_movehl_ps(zero, m_q1);
        lanes.s2[3] = _mm_movehl_ps(zero, m_q2);
        const __m128 secondIn[4] = {lanes.s2[1], lanes.s1[1], lanes.Section(1, lanes.s2[0]),
                                    lanes.Section(1, lanes.s1[0])};
        __m128 thirdIn[6] = {lanes.s2[2], lanes.s1[2]};
        for (int f = 0; f < 4; ++f) {
            thirdIn[2 + f] = lanes.Section(2, secondIn[f]);
        }
        for (uint32_t f = 0; f < 6; ++f) {
            const uint32_t frame = count - kLag + f;
            StorePair<Width>(lanes.Finish(lanes.Section(3, thirdIn[f]),
                                          LoadFrame<Width, Channels>(in + frame * frameBytes)),
                             out + frame * 2 * Width);
        }
    }

  private:
    // One frame: pin holds frame t's filter input in lanes 0 and 1 and section 0's output for
    // t - 2 in lanes 2 and 3. Returns q; lanes 2 and 3 hold the last section's for t - 6.
    [[gnu::always_inline]] __m128 Wave(__m128 pin) {
        const __m128 qin = _mm_shuffle_ps(m_p2, m_q2, _MM_SHUFFLE(1, 0, 3, 2));
        const __m128 p =
            _mm_sub_ps(_mm_sub_ps(pin, _mm_mul_ps(m_a2p, m_p2)), _mm_mul_ps(m_a1p, m_p1));
        const __m128 q =
            _mm_sub_ps(_mm_sub_ps(qin, _mm_mul_ps(m_a2q, m_q2)), _mm_mul_ps(m_a1q, m_q1));
        m_p2 = m_p1;
        m_p1 = p;
        m_q2 = m_q1;
        m_q1 = q;
        return q;
    }

    struct FourPairs {
        __m128 pairs01, pairs23;
    };

    // Four frames from x in; the stereo pairs of the four frames kLag earlier, whose input
    // samples are late, out. Two frames to a register from the feed on, the gains repeated
    // for lanes 2 and 3.
    [[gnu::always_inline]] FourPairs FourFrames(__m128 x, __m128 late) {
        const __m128 fed01 = _mm_mul_ps(_mm_mul_ps(_mm_unpacklo_ps(x, x), m_filteredGain2), m_k2);
        const __m128 fed23 = _mm_mul_ps(_mm_mul_ps(_mm_unpackhi_ps(x, x), m_filteredGain2), m_k2);
        const __m128 qa = Wave(_mm_movelh_ps(fed01, m_p2));
        const __m128 qb = Wave(_mm_shuffle_ps(fed01, m_p2, _MM_SHUFFLE(1, 0, 3, 2)));
        const __m128 qc = Wave(_mm_movelh_ps(fed23, m_p2));
        const __m128 qd = Wave(_mm_shuffle_ps(fed23, m_p2, _MM_SHUFFLE(1, 0, 3, 2)));
        const __m128 direct01 = _mm_mul_ps(_mm_unpacklo_ps(late, late), m_directGain2);
        const __m128 direct23 = _mm_mul_ps(_mm_unpackhi_ps(late, late), m_directGain2);
        __m128* due = m_lanes.terms.due;
        constexpr int kDelay = sse::DueTerms<M>::kDelay;
        __m128 sum01, sum23;
        if constexpr (M == FilterMode::DelayFiltered) {
            sum01 = _mm_add_ps(_mm_shuffle_ps(due[0], qa, _MM_SHUFFLE(3, 2, 1, 0)), direct01);
            sum23 = _mm_add_ps(_mm_shuffle_ps(qb, qc, _MM_SHUFFLE(3, 2, 3, 2)), direct23);
            due[0] = _mm_movehl_ps(qd, qd);
        } else {
            const __m128 acc01 = _mm_shuffle_ps(qa, qb, _MM_SHUFFLE(3, 2, 3, 2));
            const __m128 acc23 = _mm_shuffle_ps(qc, qd, _MM_SHUFFLE(3, 2, 3, 2));
            if constexpr (M == FilterMode::NoDelay) {
                sum01 = _mm_add_ps(acc01, direct01);
                sum23 = _mm_add_ps(acc23, direct23);
            } else {
                sum01 = _mm_add_ps(acc01, _mm_movelh_ps(due[0], due[kDelay - 1]));
                sum23 = _mm_add_ps(acc23, direct01);
                due[0] = direct23;
                due[kDelay - 1] = _mm_movehl_ps(direct23, direct23);
            }
        }
        return {sum01, sum23};
    }

    Lanes<4, M>& m_lanes;
    __m128 m_a1p, m_a2p, m_a1q, m_a2q;
    // p: section 0 at frame t, section 1 at t - 2; q: section 2 at t - 4, section 3 at t - 6.
    __m128 m_p1, m_p2, m_q1, m_q2;
    __m128 m_directGain2, m_filteredGain2, m_k2;
};

template <int Sections, FilterMode M, int Width, int Channels>
void RunFrames(FilterState& state, const uint8_t* in, uint32_t count, uint8_t* out) {
    if (sse::RingOutOfStep<M>(state)) {
        sse::FramesOneByOne<Sections, M, Width, Channels>(state, in, count, out);
        return;
    }
    Lanes<Sections, M> lanes(state);
    if constexpr (Sections == 4) {
        if (count >= SkewedSections<M>::kMinFrames) {
            SkewedSections<M> skewed(lanes);
            skewed.template Fill<Width, Channels>(in);
            skewed.template Run<Width, Channels>(in, count, out);
            skewed.template Drain<Width, Channels>(in, count, out);
            lanes.Save(state, count);
            return;
        }
    }
    RunSteps<Sections, M, Width, Channels>(lanes, in, count, out);
    lanes.Save(state, count);
}

template <int Sections, FilterMode M>
struct SseKernel {
    static StereoSample Sample(FilterState& state, float in) {
        return sse::Sample<Sections, M>(state, in);
    }
    template <int Width, int Channels>
    static void Frames(FilterState& state, const uint8_t* in, uint32_t count, uint8_t* out) {
        RunFrames<Sections, M, Width, Channels>(state, in, count, out);
    }
};

}  // namespace

const FilterKernels* FindSseKernels(int sections, FilterMode mode) {
    return KernelShapes<SseKernel>::Find(sections, mode);
}
#else
const FilterKernels* FindSseKernels(int, FilterMode) {
    return nullptr;
}
#endif

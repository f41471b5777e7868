#include "render/LoudnessMeter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "render/LoudnessGate.h"
#include "render/ScopedFlushDenormals.h"
#include "render/SpeakerLayout.h"
#include "render/TruePeakInterpolator.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr unsigned kMaxChannels = 64;
// The true peak's unit of skipping, and the frames of every channel buffered at a time
// (small enough to stay cached).
constexpr size_t kChunkFrames = 256;

// One second-order section, a = {1, a1, a2}.
struct Section {
    double b0, b1, b2, a1, a2;
};

// The K-weighting at rate: the high shelf of the head, then the high pass, derived for any
// rate from their analogue prototypes by the bilinear transform.
void KWeighting(double rate, Section& shelf, Section& highPass) {
    {
        const double f0 = 1681.974450955533;
        const double gain = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double k = std::tan(std::numbers::pi * f0 / rate);
        const double vh = std::pow(10.0, gain / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                 (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                 (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double k = std::tan(std::numbers::pi * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        highPass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
}

}  // namespace

namespace {

#if defined(__x86_64__)
const bool g_bWideCpu = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#endif
std::atomic<bool> g_bWideAllowed{true};

// Each channel is buffered into segments of kLanes stretches, filtered side by side, one lane
// a stretch: the recursion then has kLanes independent chains, four to an AVX2 register. Every lane
// starts from rest kWarmSteps steps before its stretch: the K-weighting's response to what came
// earlier has fallen below 1e-6 of its start 100 ms on at every rate, so the energies differ
// from one unbroken run by far less than 0.001 LU.
constexpr unsigned kLanes = 8;
constexpr uint32_t kWarmSteps = 1;
constexpr uint32_t kStretchSteps = 8;               // fewer where the buffers would pass:
constexpr size_t kSegmentBytes = size_t{64} << 20;  // for every channel together
constexpr size_t kRowBlock = 64;                    // frames turned into lanes at a time

// The two sections in direct form I from rest, one sample at a time; the lane paths below
// make the same operations in the same order, so all give the same sums.
struct Chain {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0;

    // The sum of the squared outputs of n samples.
    double Run(const Section& s, const Section& h, const float* in, size_t n) {
        double energy = 0;
        for (size_t t = 0; t < n; ++t) {
            const double x = in[t];
            const double y = s.b0 * x + s.b1 * x1 + s.b2 * x2 - s.a2 * y2 - s.a1 * y1;
            const double z = y - 2.0 * y1 + y2 - h.a2 * z2 - h.a1 * z1;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            z2 = z1;
            z1 = z;
            energy += z * z;
        }
        return energy;
    }
};

// kLanes chains' state, kept between blocks of rows.
struct Lanes {
    alignas(32) double x1[kLanes] = {}, x2[kLanes] = {}, y1[kLanes] = {}, y2[kLanes] = {};
    alignas(32) double z1[kLanes] = {}, z2[kLanes] = {};
};

#if defined(__x86_64__)
// Four chains in a register: one frame of the two sections, its squared output added to sum.
__attribute__((target("avx2"), always_inline)) inline void FilterFour(
    const Section& s, const Section& h, __m256d x, __m256d& x1, __m256d& x2, __m256d& y1,
    __m256d& y2, __m256d& z1, __m256d& z2, __m256d& sum) {
    const __m256d forward =
        _mm256_sub_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(s.b0), x),
                                                  _mm256_mul_pd(_mm256_set1_pd(s.b1), x1)),
                                    _mm256_mul_pd(_mm256_set1_pd(s.b2), x2)),
                      _mm256_mul_pd(_mm256_set1_pd(s.a2), y2));
    const __m256d y = _mm256_sub_pd(forward, _mm256_mul_pd(_mm256_set1_pd(s.a1), y1));
    // y1 + y1 is 2 x y1 exactly, on an adder rather than the busier multipliers.
    const __m256d forward2 =
        _mm256_sub_pd(_mm256_add_pd(_mm256_sub_pd(y, _mm256_add_pd(y1, y1)), y2),
                      _mm256_mul_pd(_mm256_set1_pd(h.a2), z2));
    const __m256d z = _mm256_sub_pd(forward2, _mm256_mul_pd(_mm256_set1_pd(h.a1), z1));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    z2 = z1;
    z1 = z;
    sum = _mm256_add_pd(sum, _mm256_mul_pd(z, z));
}

// Filters n rows of kLanes samples, a lane each; adds each lane's squared outputs to energy.
// Two registers of independent chains, so that one's recursion runs while the other waits.
__attribute__((target("avx2"))) void FilterRowsWide(const Section& s, const Section& h, Lanes& l,
                                                    const float* rows, size_t n, double* energy) {
    static_assert(kLanes == 8);
    __m256d x1a = _mm256_load_pd(l.x1), x2a = _mm256_load_pd(l.x2);
    __m256d y1a = _mm256_load_pd(l.y1), y2a = _mm256_load_pd(l.y2);
    __m256d z1a = _mm256_load_pd(l.z1), z2a = _mm256_load_pd(l.z2);
    __m256d suma = _mm256_loadu_pd(energy);
    __m256d x1b = _mm256_load_pd(l.x1 + 4), x2b = _mm256_load_pd(l.x2 + 4);
    __m256d y1b = _mm256_load_pd(l.y1 + 4), y2b = _mm256_load_pd(l.y2 + 4);
    __m256d z1b = _mm256_load_pd(l.z1 + 4), z2b = _mm256_load_pd(l.z2 + 4);
    __m256d sumb = _mm256_loadu_pd(energy + 4);
    for (size_t t = 0; t < n; ++t) {
        const float* row = rows + t * kLanes;
        FilterFour(s, h, _mm256_cvtps_pd(_mm_load_ps(row)), x1a, x2a, y1a, y2a, z1a, z2a, suma);
        FilterFour(s, h, _mm256_cvtps_pd(_mm_load_ps(row + 4)), x1b, x2b, y1b, y2b, z1b, z2b, sumb);
    }
    _mm256_store_pd(l.x1, x1a);
    _mm256_store_pd(l.x2, x2a);
    _mm256_store_pd(l.y1, y1a);
    _mm256_store_pd(l.y2, y2a);
    _mm256_store_pd(l.z1, z1a);
    _mm256_store_pd(l.z2, z2a);
    _mm256_storeu_pd(energy, suma);
    _mm256_store_pd(l.x1 + 4, x1b);
    _mm256_store_pd(l.x2 + 4, x2b);
    _mm256_store_pd(l.y1 + 4, y1b);
    _mm256_store_pd(l.y2 + 4, y2b);
    _mm256_store_pd(l.z1 + 4, z1b);
    _mm256_store_pd(l.z2 + 4, z2b);
    _mm256_storeu_pd(energy + 4, sumb);
}
#endif

void FilterRows(const Section& s, const Section& h, Lanes& l, const float* rows, size_t n,
                double* energy) {
#if defined(__SSE2__)
    // Two lanes to a register, two registers.
    const __m128d sb0 = _mm_set1_pd(s.b0), sb1 = _mm_set1_pd(s.b1), sb2 = _mm_set1_pd(s.b2);
    const __m128d sa1 = _mm_set1_pd(s.a1), sa2 = _mm_set1_pd(s.a2);
    const __m128d ha1 = _mm_set1_pd(h.a1), ha2 = _mm_set1_pd(h.a2);
    const __m128d two = _mm_set1_pd(2.0);
    for (unsigned r = 0; r < kLanes; r += 2) {
        __m128d x1 = _mm_load_pd(l.x1 + r), x2 = _mm_load_pd(l.x2 + r);
        __m128d y1 = _mm_load_pd(l.y1 + r), y2 = _mm_load_pd(l.y2 + r);
        __m128d z1 = _mm_load_pd(l.z1 + r), z2 = _mm_load_pd(l.z2 + r);
        __m128d sum = _mm_loadu_pd(energy + r);
        for (size_t t = 0; t < n; ++t) {
            const __m128d x = _mm_cvtps_pd(
                _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(rows + t * kLanes + r))));
            const __m128d forward =
                _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(sb0, x), _mm_mul_pd(sb1, x1)),
                                      _mm_mul_pd(sb2, x2)),
                           _mm_mul_pd(sa2, y2));
            const __m128d y = _mm_sub_pd(forward, _mm_mul_pd(sa1, y1));
            const __m128d forward2 =
                _mm_sub_pd(_mm_add_pd(_mm_sub_pd(y, _mm_mul_pd(two, y1)), y2), _mm_mul_pd(ha2, z2));
            const __m128d z = _mm_sub_pd(forward2, _mm_mul_pd(ha1, z1));
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            z2 = z1;
            z1 = z;
            sum = _mm_add_pd(sum, _mm_mul_pd(z, z));
        }
        _mm_store_pd(l.x1 + r, x1);
        _mm_store_pd(l.x2 + r, x2);
        _mm_store_pd(l.y1 + r, y1);
        _mm_store_pd(l.y2 + r, y2);
        _mm_store_pd(l.z1 + r, z1);
        _mm_store_pd(l.z2 + r, z2);
        _mm_storeu_pd(energy + r, sum);
    }
#else
    for (unsigned r = 0; r < kLanes; ++r) {
        Chain chain{l.x1[r], l.x2[r], l.y1[r], l.y2[r], l.z1[r], l.z2[r]};
        float lane[kRowBlock];
        for (size_t t = 0; t < n; ++t) {
            lane[t] = rows[t * kLanes + r];
        }
        energy[r] += chain.Run(s, h, lane, n);
        l.x1[r] = chain.x1;
        l.x2[r] = chain.x2;
        l.y1[r] = chain.y1;
        l.y2[r] = chain.y2;
        l.z1[r] = chain.z1;
        l.z2[r] = chain.z2;
    }
#endif
}

// rows[t][lane] = lanes[lane x stride + t], n <= kRowBlock.
void ToRows(const float* lanes, size_t stride, size_t n, float* rows) {
    size_t t = 0;
#if defined(__SSE2__)
    static_assert(kLanes % 4 == 0);
    for (; t + 4 <= n; t += 4) {
        for (unsigned g = 0; g < kLanes; g += 4) {
            const float* in = lanes + g * stride + t;
            __m128 a = _mm_loadu_ps(in), b = _mm_loadu_ps(in + stride);
            __m128 c = _mm_loadu_ps(in + 2 * stride), d = _mm_loadu_ps(in + 3 * stride);
            _MM_TRANSPOSE4_PS(a, b, c, d);
            _mm_store_ps(rows + t * kLanes + g, a);
            _mm_store_ps(rows + (t + 1) * kLanes + g, b);
            _mm_store_ps(rows + (t + 2) * kLanes + g, c);
            _mm_store_ps(rows + (t + 3) * kLanes + g, d);
        }
    }
#endif
    for (; t < n; ++t) {
        for (unsigned lane = 0; lane < kLanes; ++lane) {
            rows[t * kLanes + lane] = lanes[lane * stride + t];
        }
    }
}

}  // namespace

struct LoudnessMeter::State {
    // The channels that count (an LFE is left out of the filter) and their weights.
    unsigned measured[kMaxChannels] = {};
    double weight[kMaxChannels] = {};
    unsigned counted = 0;  // 0 where the loudness is not measured
    unsigned channels = 0;
    bool bPeak = true;   // the true peak is measured
    bool bWide = false;  // AVX2 and FMA
    Section shelf{}, highPass{};

    uint32_t stepFrames = 0;  // 100 ms
    size_t warm = 0;          // frames of warm-up before each stretch
    size_t stretch = 0;       // frames, whole steps
    uint32_t stretchSteps = 0;
    // Every channel's samples, one after the other: kept frames before the segment (the
    // warm-up of its first lane, the true peak's history) and then the segment; a lane's
    // warm-up is the end of the stretch before.
    std::vector<float> planar;
    size_t kept = 0;
    size_t perChannel = 0;
    size_t fill = 0;                   // frames of the segment buffered
    size_t peaked = 0;                 // of them, in the true peak
    std::vector<double> segmentSteps;  // weighted over the channels, in order
    LoudnessGate gate;

    float largestGain = 0;
    float truePeak = 0;  // linear, the sample peak too, of every frame peaked

    size_t SegmentFrames() const { return stretch * kLanes; }
    float* Channel(unsigned c) { return planar.data() + c * perChannel; }
    const float* Channel(unsigned c) const { return planar.data() + c * perChannel; }
    void Buffer(const float* frames, size_t count);
    // n frames into each channel's samples from at.
    void Split(const float* frames, size_t n, size_t at);
    void RunSegment();
    // The whole steps of the segment buffered so far, run as one chain, taken by into.
    void TakeBuffered(LoudnessGate& into) const;
    // found, or more where n frames of one channel (with kTaps - 1 samples of history before
    // them) have a larger true peak.
    float Peak(const float* samples, size_t n, float found) const;
    // found, or more where the frames of the segment from frame from to to have.
    float PeakOfSegment(size_t from, size_t to, float found) const;
};

void LoudnessMeter::State::Split(const float* frames, size_t n, size_t at) {
    if (channels == 1) {
        std::copy(frames, frames + n, Channel(0) + at);
        return;
    }
    unsigned c = 0;
#if defined(__SSE2__)
    if (channels == 2) {
        float* left = Channel(0) + at;
        float* right = Channel(1) + at;
        size_t f = 0;
        for (; f + 4 <= n; f += 4) {
            const __m128 a = _mm_loadu_ps(frames + 2 * f);
            const __m128 b = _mm_loadu_ps(frames + 2 * f + 4);
            _mm_storeu_ps(left + f, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
            _mm_storeu_ps(right + f, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        }
        for (; f < n; ++f) {
            left[f] = frames[2 * f];
            right[f] = frames[2 * f + 1];
        }
        return;
    }
    // Four channels of four frames at a time, turned.
    for (; c + 4 <= channels; c += 4) {
        float* out[4] = {Channel(c) + at, Channel(c + 1) + at, Channel(c + 2) + at,
                         Channel(c + 3) + at};
        const float* in = frames + c;
        size_t f = 0;
        for (; f + 4 <= n; f += 4) {
            __m128 a = _mm_loadu_ps(in + f * channels);
            __m128 b = _mm_loadu_ps(in + (f + 1) * channels);
            __m128 d = _mm_loadu_ps(in + (f + 2) * channels);
            __m128 e = _mm_loadu_ps(in + (f + 3) * channels);
            _MM_TRANSPOSE4_PS(a, b, d, e);
            _mm_storeu_ps(out[0] + f, a);
            _mm_storeu_ps(out[1] + f, b);
            _mm_storeu_ps(out[2] + f, d);
            _mm_storeu_ps(out[3] + f, e);
        }
        for (; f < n; ++f) {
            for (unsigned k = 0; k < 4; ++k) {
                out[k][f] = in[f * channels + k];
            }
        }
    }
#endif
    for (; c < channels; ++c) {
        float* out = Channel(c) + at;
        for (size_t f = 0; f < n; ++f) {
            out[f] = frames[f * channels + c];
        }
    }
}

void LoudnessMeter::State::Buffer(const float* frames, size_t count) {
    while (count > 0) {
        const size_t n = std::min(count, SegmentFrames() - fill);
        for (size_t from = 0; from < n; from += kChunkFrames) {
            const size_t m = std::min(kChunkFrames, n - from);
            Split(frames + from * channels, m, kept + fill + from);
        }
        frames += n * channels;
        count -= n;
        fill += n;
        // The true peak by whole chunks, in the same places whatever the pieces fed.
        const size_t whole = fill == SegmentFrames() ? fill : fill - (fill - peaked) % kChunkFrames;
        if (bPeak) {
            truePeak = PeakOfSegment(peaked, whole, truePeak);
        }
        peaked = whole;
        if (fill == SegmentFrames()) {
            RunSegment();
        }
    }
}

void LoudnessMeter::State::RunSegment() {
    std::fill(segmentSteps.begin(), segmentSteps.end(), 0.0);
    alignas(32) float rows[kRowBlock * kLanes];
    for (unsigned k = 0; k < counted; ++k) {
        const float* lanes = Channel(measured[k]) + kept - warm;
        Lanes state;
        size_t t = 0;
        // Step 0 is the warm-up, its energy dropped.
        for (uint32_t step = 0; step <= stretchSteps; ++step) {
            alignas(32) double energy[kLanes] = {};
            const size_t end = t + (step == 0 ? warm : stepFrames);
            for (size_t n = 0; t < end; t += n) {
                n = std::min(kRowBlock, end - t);
                ToRows(lanes + t, stretch, n, rows);
#if defined(__x86_64__)
                if (bWide) {
                    FilterRowsWide(shelf, highPass, state, rows, n, energy);
                    continue;
                }
#endif
                FilterRows(shelf, highPass, state, rows, n, energy);
            }
            if (step > 0) {
                for (unsigned lane = 0; lane < kLanes; ++lane) {
                    segmentSteps[lane * stretchSteps + step - 1] += weight[k] * energy[lane];
                }
            }
        }
    }
    for (const double stepEnergy : segmentSteps) {
        gate.Take(stepEnergy, stepFrames);
    }
    const size_t end = kept + SegmentFrames();
    for (unsigned c = 0; c < channels; ++c) {
        std::copy(Channel(c) + end - kept, Channel(c) + end, Channel(c));
    }
    fill = 0;
    peaked = 0;
}

void LoudnessMeter::State::TakeBuffered(LoudnessGate& into) const {
    const size_t steps = fill / stepFrames;
    std::vector<double> stepEnergies(steps, 0.0);
    for (unsigned k = 0; k < counted; ++k) {
        const float* samples = Channel(measured[k]) + kept;
        Chain chain;
        chain.Run(shelf, highPass, samples - warm, warm);
        for (size_t step = 0; step < steps; ++step) {
            stepEnergies[step] +=
                weight[k] * chain.Run(shelf, highPass, samples + step * stepFrames, stepFrames);
        }
    }
    for (const double stepEnergy : stepEnergies) {
        into.Take(stepEnergy, stepFrames);
    }
}

float LoudnessMeter::State::Peak(const float* samples, size_t n, float found) const {
    constexpr size_t kHistory = TruePeakInterpolator::kTaps - 1;
    float peak = 0;
    size_t f = 0;
#if defined(__SSE2__)
    // maxps gives its second operand where either is not a number, as std::max gives its
    // first: a not-a-number sample lifts no peak either way.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 largest = _mm_setzero_ps();
    for (; f + 4 <= n; f += 4) {
        largest = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + f), magnitude), largest);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, largest);
    peak = std::max({lanes[0], lanes[1], lanes[2], lanes[3]});
#endif
    for (; f < n; ++f) {
        peak = std::max(peak, std::fabs(samples[f]));
    }
    found = std::max(found, peak);
    float windowPeak = peak;
    const float* history = samples - kHistory;
    for (size_t k = 0; k < kHistory; ++k) {
        windowPeak = std::max(windowPeak, std::fabs(history[k]));
    }
    // Exact: no phase can give more than the window's peak times its taps' sum.
    if (windowPeak * largestGain > found) {
        found = std::max(found, TruePeakInterpolator::LargestOfPhases123(history, n, bWide));
    }
    return found;
}

float LoudnessMeter::State::PeakOfSegment(size_t from, size_t to, float found) const {
    for (; from < to; from += kChunkFrames) {
        const size_t n = std::min(kChunkFrames, to - from);
        for (unsigned c = 0; c < channels; ++c) {
            found = Peak(Channel(c) + kept + from, n, found);
        }
    }
    return found;
}

LoudnessMeter::LoudnessMeter(uint32_t rate, const std::vector<LoudnessWeight>& weights,
                             Measures measures)
    : m_channels(static_cast<unsigned>(weights.size())) {
    if (weights.empty() || weights.size() > kMaxChannels || rate < 16 || rate > 2822400) {
        throw std::invalid_argument("loudness meter: unsupported channel count or rate");
    }
    m_pState = std::make_unique<State>();
    State& state = *m_pState;
#if defined(__x86_64__)
    state.bWide = g_bWideCpu && g_bWideAllowed;
#endif
    state.bPeak = measures != Measures::LoudnessOnly;
    for (unsigned c = 0; c < m_channels && measures != Measures::TruePeakOnly; ++c) {
        if (weights[c] != LoudnessWeight::LeftOut) {
            state.weight[state.counted] = weights[c] == LoudnessWeight::Surround ? 1.41 : 1.0;
            state.measured[state.counted++] = c;
        }
    }
    KWeighting(rate, state.shelf, state.highPass);
    state.stepFrames = (rate + 5) / 10;
    state.channels = m_channels;
    state.warm = size_t{kWarmSteps} * state.stepFrames;
    state.kept = std::max<size_t>(state.warm, TruePeakInterpolator::kTaps - 1);
    state.stretchSteps = kStretchSteps;
    const auto bytes = [&state](uint32_t steps) {
        return size_t{state.channels} * (state.kept + kLanes * steps * state.stepFrames) *
               sizeof(float);
    };
    while (state.stretchSteps > 1 && bytes(state.stretchSteps) > kSegmentBytes) {
        --state.stretchSteps;
    }
    state.stretch = size_t{state.stretchSteps} * state.stepFrames;
    state.perChannel = state.kept + state.SegmentFrames();
    state.planar.assign(size_t{state.channels} * state.perChannel, 0.0f);
    state.segmentSteps.resize(size_t{state.stretchSteps} * kLanes);
    state.largestGain = TruePeakInterpolator::LargestGain();
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::AddFrames(const float* interleaved, size_t frames) {
    if (frames == 0) {
        return;
    }
    const ScopedFlushDenormals flush;
    m_pState->Buffer(interleaved, frames);
}

double LoudnessMeter::IntegratedLoudness() const {
    // What is buffered counts too, on a copy: the segment is run once it is whole.
    LoudnessGate gate = m_pState->gate;
    {
        const ScopedFlushDenormals flush;
        m_pState->TakeBuffered(gate);
    }
    return gate.IntegratedLoudness();
}

double LoudnessMeter::TruePeak() const {
    if (!m_pState->bPeak) {
        return -std::numeric_limits<double>::infinity();
    }
    const ScopedFlushDenormals flush;
    const float peak =
        m_pState->PeakOfSegment(m_pState->peaked, m_pState->fill, m_pState->truePeak);
    return peak > 0 ? 20 * std::log10(static_cast<double>(peak))
                    : -std::numeric_limits<double>::infinity();
}

void LoudnessMeter::AllowWide(bool bAllowed) {
    g_bWideAllowed = bAllowed;
}

std::vector<LoudnessWeight> LoudnessMeter::WeightsFor(const SpeakerLayout& layout) {
    std::vector<LoudnessWeight> weights;
    for (const Loudspeaker& speaker : layout.Speakers()) {
        const double side = std::abs(speaker.azimuth);
        weights.push_back(speaker.bLfe ? LoudnessWeight::LeftOut
                          : std::abs(speaker.elevation) < 30 && side >= 60 && side <= 120
                              ? LoudnessWeight::Surround
                              : LoudnessWeight::Unit);
    }
    return weights;
}

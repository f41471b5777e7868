#include "render/LoudnessMeter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "render/ScopedFlushDenormals.h"
#include "render/SpeakerLayout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr unsigned kMaxChannels = 64;
constexpr size_t kChunkFrames = 256;  // the true peak's unit of skipping

// The true peak's interpolator: 4x, a Hann-windowed sinc of 49 taps as 4 phases of 13 (the
// last tap of phases 1 to 3 is 0), oldest sample first. It passes the band up to 0.9 of the
// source's Nyquist rate flat and rolls off above, as libebur128's does, so both tell the
// same peak.
constexpr int kPhases = 4;
constexpr int kTaps = 13;
using Interpolator = std::array<std::array<float, kTaps>, kPhases>;

Interpolator MakeInterpolator() {
    constexpr int kLength = 49;
    Interpolator phases{};
    for (int j = 0; j < kLength; ++j) {
        const double m = j - (kLength - 1) / 2.0;
        const double x = m * std::numbers::pi / kPhases;
        const double sinc = m == 0 ? 1.0 : std::sin(x) / x;
        const double window = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * j / (kLength - 1)));
        // Reversed within each phase, so tap k meets the k-th oldest sample of the window.
        phases[j % kPhases][kTaps - 1 - j / kPhases] = static_cast<float>(sinc * window);
    }
    return phases;
}

const Interpolator kInterpolator = MakeInterpolator();

// The most any phase can give for inputs within +-1: a stretch whose sample peak times this
// cannot pass the true peak found so far need not be interpolated.
float LargestGain() {
    float largest = 0;
    for (const auto& phase : kInterpolator) {
        float sum = 0;
        for (const float tap : phase) {
            sum += std::fabs(tap);
        }
        largest = std::max(largest, sum);
    }
    return largest;
}

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

struct LoudnessMeter::State {
    // The channels that count (an LFE is left out of the filter), lane by lane; lanes is
    // their number rounded up to a register's worth.
    unsigned measured[kMaxChannels] = {};
    unsigned counted = 0;
    unsigned lanes = 0;
    bool bWide = false;  // AVX2
    Section shelf{}, highPass{};
    // Per lane, as direct form I: the last two inputs and outputs of each section.
    alignas(32) double x1[kMaxChannels] = {}, x2[kMaxChannels] = {};
    alignas(32) double y1[kMaxChannels] = {}, y2[kMaxChannels] = {};
    alignas(32) double z1[kMaxChannels] = {}, z2[kMaxChannels] = {};
    alignas(32) double energy[kMaxChannels] = {};  // of the 100 ms step being filled
    alignas(32) double weight[kMaxChannels] = {};  // 0 for a channel left out and the padding
    alignas(32) double in[kMaxChannels] = {};      // one frame, widened
    alignas(16) float chunkPeak[kMaxChannels] = {};

    uint32_t stepFrames = 0;  // 100 ms
    uint32_t stepFill = 0;
    double lastSteps[3] = {};    // the three weighted step energies before the one being filled
    uint64_t steps = 0;          // finished
    std::vector<double> blocks;  // mean weighted power of each 400 ms block

    float largestGain = 0;
    float truePeak = 0;          // linear; the sample peak too
    std::vector<float> history;  // per channel, the last kTaps - 1 samples, oldest first
    std::vector<float> planar;   // one channel's history and chunk

    void Filter(const float* frames, size_t count, unsigned channels);
#if defined(__x86_64__)
    // The same sums four channels to a register, where the processor has AVX2.
    __attribute__((target("avx2"))) void FilterWide(const float* frames, size_t count,
                                                    unsigned channels);
#endif
    void FinishStep();
    void Peak(const float* frames, size_t count, unsigned channels);
    // The largest magnitude of every phase at each of n frames of one channel's samples,
    // which hold kTaps - 1 samples of history before them.
    static float Interpolate(const float* samples, size_t n);
};

void LoudnessMeter::State::FinishStep() {
    double sum = 0;
    for (unsigned c = 0; c < lanes; ++c) {
        sum += weight[c] * energy[c];
        energy[c] = 0;
    }
    if (steps >= 3) {
        blocks.push_back((lastSteps[0] + lastSteps[1] + lastSteps[2] + sum) / (4.0 * stepFrames));
    }
    lastSteps[0] = lastSteps[1];
    lastSteps[1] = lastSteps[2];
    lastSteps[2] = sum;
    ++steps;
    stepFill = 0;
}

#if defined(__x86_64__)
void LoudnessMeter::State::FilterWide(const float* frames, size_t count, unsigned channels) {
    const Section s = shelf;
    const Section h = highPass;
    const __m256d sb0 = _mm256_set1_pd(s.b0), sb1 = _mm256_set1_pd(s.b1);
    const __m256d sb2 = _mm256_set1_pd(s.b2), sa1 = _mm256_set1_pd(s.a1);
    const __m256d sa2 = _mm256_set1_pd(s.a2), ha1 = _mm256_set1_pd(h.a1);
    const __m256d ha2 = _mm256_set1_pd(h.a2), two = _mm256_set1_pd(2.0);
    for (size_t f = 0; f < count; ++f) {
        const float* frame = frames + f * channels;
        for (unsigned c = 0; c < counted; ++c) {
            in[c] = frame[measured[c]];
        }
        for (unsigned c = 0; c < lanes; c += 4) {
            const __m256d x = _mm256_load_pd(in + c);
            const __m256d px1 = _mm256_load_pd(x1 + c), px2 = _mm256_load_pd(x2 + c);
            const __m256d py1 = _mm256_load_pd(y1 + c), py2 = _mm256_load_pd(y2 + c);
            const __m256d pz1 = _mm256_load_pd(z1 + c), pz2 = _mm256_load_pd(z2 + c);
            const __m256d forward = _mm256_sub_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(sb0, x), _mm256_mul_pd(sb1, px1)),
                              _mm256_mul_pd(sb2, px2)),
                _mm256_mul_pd(sa2, py2));
            const __m256d y = _mm256_sub_pd(forward, _mm256_mul_pd(sa1, py1));
            const __m256d forward2 =
                _mm256_sub_pd(_mm256_add_pd(_mm256_sub_pd(y, _mm256_mul_pd(two, py1)), py2),
                              _mm256_mul_pd(ha2, pz2));
            const __m256d z = _mm256_sub_pd(forward2, _mm256_mul_pd(ha1, pz1));
            _mm256_store_pd(x2 + c, px1);
            _mm256_store_pd(x1 + c, x);
            _mm256_store_pd(y2 + c, py1);
            _mm256_store_pd(y1 + c, y);
            _mm256_store_pd(z2 + c, pz1);
            _mm256_store_pd(z1 + c, z);
            _mm256_store_pd(energy + c,
                            _mm256_add_pd(_mm256_load_pd(energy + c), _mm256_mul_pd(z, z)));
        }
        if (++stepFill == stepFrames) {
            FinishStep();
        }
    }
}
#endif

void LoudnessMeter::State::Filter(const float* frames, size_t count, unsigned channels) {
#if defined(__x86_64__)
    if (bWide) {
        FilterWide(frames, count, channels);
        return;
    }
#endif
    const Section s = shelf;
    const Section h = highPass;
    for (size_t f = 0; f < count; ++f) {
        const float* frame = frames + f * channels;
        for (unsigned c = 0; c < counted; ++c) {
            in[c] = frame[measured[c]];
        }
#if defined(__SSE2__)
        // Two channels to a register; each section's feedback waits on one product and one
        // difference of the frame before.
        const __m128d sb0 = _mm_set1_pd(s.b0), sb1 = _mm_set1_pd(s.b1), sb2 = _mm_set1_pd(s.b2);
        const __m128d sa1 = _mm_set1_pd(s.a1), sa2 = _mm_set1_pd(s.a2);
        const __m128d ha1 = _mm_set1_pd(h.a1), ha2 = _mm_set1_pd(h.a2);
        const __m128d two = _mm_set1_pd(2.0);
        for (unsigned c = 0; c < lanes; c += 2) {
            const __m128d x = _mm_load_pd(in + c);
            const __m128d px1 = _mm_load_pd(x1 + c), px2 = _mm_load_pd(x2 + c);
            const __m128d py1 = _mm_load_pd(y1 + c), py2 = _mm_load_pd(y2 + c);
            const __m128d pz1 = _mm_load_pd(z1 + c), pz2 = _mm_load_pd(z2 + c);
            const __m128d forward =
                _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(sb0, x), _mm_mul_pd(sb1, px1)),
                                      _mm_mul_pd(sb2, px2)),
                           _mm_mul_pd(sa2, py2));
            const __m128d y = _mm_sub_pd(forward, _mm_mul_pd(sa1, py1));
            const __m128d forward2 = _mm_sub_pd(
                _mm_add_pd(_mm_sub_pd(y, _mm_mul_pd(two, py1)), py2), _mm_mul_pd(ha2, pz2));
            const __m128d z = _mm_sub_pd(forward2, _mm_mul_pd(ha1, pz1));
            _mm_store_pd(x2 + c, px1);
            _mm_store_pd(x1 + c, x);
            _mm_store_pd(y2 + c, py1);
            _mm_store_pd(y1 + c, y);
            _mm_store_pd(z2 + c, pz1);
            _mm_store_pd(z1 + c, z);
            _mm_store_pd(energy + c, _mm_add_pd(_mm_load_pd(energy + c), _mm_mul_pd(z, z)));
        }
#else
        for (unsigned c = 0; c < lanes; ++c) {
            const double x = in[c];
            const double y = s.b0 * x + s.b1 * x1[c] + s.b2 * x2[c] - s.a2 * y2[c] - s.a1 * y1[c];
            const double z = y - 2.0 * y1[c] + y2[c] - h.a2 * z2[c] - h.a1 * z1[c];
            x2[c] = x1[c];
            x1[c] = x;
            y2[c] = y1[c];
            y1[c] = y;
            z2[c] = z1[c];
            z1[c] = z;
            energy[c] += z * z;
        }
#endif
        if (++stepFill == stepFrames) {
            FinishStep();
        }
    }
}

namespace {

#if defined(__x86_64__)
// The same sums as the SSE2 path below, sixteen outputs of every phase at once.
__attribute__((target("avx2"))) float InterpolateWide(const float* samples, size_t n,
                                                      size_t& done) {
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    __m256 largest = _mm256_setzero_ps();
    size_t f = 0;
    for (; f + 16 <= n; f += 16) {
        __m256 low[kPhases], high[kPhases];
        for (int p = 0; p < kPhases; ++p) {
            low[p] = _mm256_setzero_ps();
            high[p] = _mm256_setzero_ps();
        }
        for (int k = 0; k < kTaps; ++k) {
            const __m256 a = _mm256_loadu_ps(samples + f + k);
            const __m256 b = _mm256_loadu_ps(samples + f + 8 + k);
            for (int p = 0; p < kPhases; ++p) {
                const __m256 tap = _mm256_set1_ps(kInterpolator[p][k]);
                low[p] = _mm256_add_ps(low[p], _mm256_mul_ps(tap, a));
                high[p] = _mm256_add_ps(high[p], _mm256_mul_ps(tap, b));
            }
        }
        for (int p = 0; p < kPhases; ++p) {
            largest = _mm256_max_ps(largest, _mm256_and_ps(low[p], magnitude));
            largest = _mm256_max_ps(largest, _mm256_and_ps(high[p], magnitude));
        }
    }
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, largest);
    done = f;
    return *std::max_element(lanes, lanes + 8);
}

const bool g_bAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

float LoudnessMeter::State::Interpolate(const float* samples, size_t n) {
    float found = 0;
    size_t f = 0;
#if defined(__x86_64__)
    if (g_bAvx2) {
        found = InterpolateWide(samples, n, f);
    }
#endif
#if defined(__SSE2__)
    // Eight outputs of every phase at once: 32 sums in 8 registers, independent of each
    // other, so the additions overlap rather than wait on one another.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 largest = _mm_setzero_ps();
    for (; f + 8 <= n; f += 8) {
        __m128 low[kPhases], high[kPhases];
        for (int p = 0; p < kPhases; ++p) {
            low[p] = _mm_setzero_ps();
            high[p] = _mm_setzero_ps();
        }
        for (int k = 0; k < kTaps; ++k) {
            const __m128 a = _mm_loadu_ps(samples + f + k);
            const __m128 b = _mm_loadu_ps(samples + f + 4 + k);
            for (int p = 0; p < kPhases; ++p) {
                const __m128 tap = _mm_set1_ps(kInterpolator[p][k]);
                low[p] = _mm_add_ps(low[p], _mm_mul_ps(tap, a));
                high[p] = _mm_add_ps(high[p], _mm_mul_ps(tap, b));
            }
        }
        for (int p = 0; p < kPhases; ++p) {
            largest = _mm_max_ps(largest, _mm_and_ps(low[p], magnitude));
            largest = _mm_max_ps(largest, _mm_and_ps(high[p], magnitude));
        }
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, largest);
    found = std::max({found, lanes[0], lanes[1], lanes[2], lanes[3]});
#endif
    for (; f < n; ++f) {
        for (const auto& phase : kInterpolator) {
            float sum = 0;
            for (int k = 0; k < kTaps; ++k) {
                sum += phase[k] * samples[f + k];
            }
            found = std::max(found, std::fabs(sum));
        }
    }
    return found;
}

void LoudnessMeter::State::Peak(const float* frames, size_t count, unsigned channels) {
    constexpr size_t kHistory = kTaps - 1;
    for (size_t from = 0; from < count; from += kChunkFrames) {
        const size_t n = std::min(kChunkFrames, count - from);
        const float* chunk = frames + from * channels;
        // Every channel's peak in one pass over the frames, as they lie.
        std::fill(chunkPeak, chunkPeak + channels, 0.0f);
        for (size_t f = 0; f < n; ++f) {
            const float* frame = chunk + f * channels;
            for (unsigned c = 0; c < channels; ++c) {
                chunkPeak[c] = std::max(chunkPeak[c], std::fabs(frame[c]));
            }
        }
        for (unsigned c = 0; c < channels; ++c) {
            float* kept = history.data() + size_t{c} * kHistory;
            const float peak = chunkPeak[c];
            truePeak = std::max(truePeak, peak);
            float windowPeak = peak;
            for (size_t k = 0; k < kHistory; ++k) {
                windowPeak = std::max(windowPeak, std::fabs(kept[k]));
            }
            // Exact: no phase can give more than the window's peak times its taps' sum.
            const bool bCanPass = windowPeak * largestGain > truePeak;
            if (bCanPass) {
                planar.resize(kHistory + n);
                std::copy(kept, kept + kHistory, planar.begin());
                for (size_t f = 0; f < n; ++f) {
                    planar[kHistory + f] = chunk[f * channels + c];
                }
                truePeak = std::max(truePeak, Interpolate(planar.data(), n));
            }
            // The newest kHistory samples, whichever stretch they came from.
            if (n >= kHistory) {
                for (size_t k = 0; k < kHistory; ++k) {
                    kept[k] = chunk[(n - kHistory + k) * channels + c];
                }
            } else {
                std::copy(kept + n, kept + kHistory, kept);
                for (size_t k = 0; k < n; ++k) {
                    kept[kHistory - n + k] = chunk[k * channels + c];
                }
            }
        }
    }
}

LoudnessMeter::LoudnessMeter(uint32_t rate, const std::vector<LoudnessWeight>& weights)
    : m_channels(static_cast<unsigned>(weights.size())) {
    if (weights.empty() || weights.size() > kMaxChannels || rate < 16 || rate > 2822400) {
        throw std::invalid_argument("loudness meter: unsupported channel count or rate");
    }
    m_pState = std::make_unique<State>();
    State& state = *m_pState;
#if defined(__x86_64__)
    state.bWide = g_bAvx2;
#endif
    for (unsigned c = 0; c < m_channels; ++c) {
        if (weights[c] != LoudnessWeight::LeftOut) {
            state.weight[state.counted] = weights[c] == LoudnessWeight::Surround ? 1.41 : 1.0;
            state.measured[state.counted++] = c;
        }
    }
    state.lanes = state.bWide ? (state.counted + 3) & ~3u : (state.counted + 1) & ~1u;
    KWeighting(rate, state.shelf, state.highPass);
    state.stepFrames = (rate + 5) / 10;
    state.largestGain = LargestGain();
    state.history.assign(size_t{m_channels} * (kTaps - 1), 0.0f);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::AddFrames(const float* interleaved, size_t frames) {
    if (frames == 0) {
        return;
    }
    const ScopedFlushDenormals flush;
    m_pState->Filter(interleaved, frames, m_channels);
    m_pState->Peak(interleaved, frames, m_channels);
}

double LoudnessMeter::IntegratedLoudness() const {
    // Blocks below -70 LUFS are left out, then those more than 10 LU under the rest's mean.
    const std::vector<double>& blocks = m_pState->blocks;
    const auto powerOf = [](double lufs) { return std::pow(10.0, (lufs + 0.691) / 10.0); };
    const double absolute = powerOf(-70.0);
    double sum = 0;
    size_t count = 0;
    for (const double block : blocks) {
        if (block >= absolute) {
            sum += block;
            ++count;
        }
    }
    if (count == 0) {
        return -std::numeric_limits<double>::infinity();
    }
    const double relative = std::max(absolute, sum / static_cast<double>(count) * 0.1);
    sum = 0;
    count = 0;
    for (const double block : blocks) {
        if (block >= relative) {
            sum += block;
            ++count;
        }
    }
    if (count == 0) {
        return -std::numeric_limits<double>::infinity();
    }
    return -0.691 + 10.0 * std::log10(sum / static_cast<double>(count));
}

double LoudnessMeter::TruePeak() const {
    const float peak = m_pState->truePeak;
    return peak > 0 ? 20 * std::log10(static_cast<double>(peak))
                    : -std::numeric_limits<double>::infinity();
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

#include "peaks/PeakSummary.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "peaks/PeakColumnPainter.h"

static_assert(std::endian::native == std::endian::little,
              "16-bit samples are read in place as little-endian values");

namespace {

constexpr size_t kMaxLevels = 8;

template <typename T>
T Load(const uint8_t* at) {
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

// Extremes of one level-0 block of `values` samples, folded into `period` (min, max) pairs:
// sample i of the block belongs to pair i % period.
template <typename T>
void SummariseScalar(const uint8_t* block, uint32_t values, uint32_t period, int16_t* out) {
    for (uint32_t k = 0; k < period; ++k) {
        const T v = Load<T>(block + k * sizeof(T));
        out[2 * k] = v;
        out[2 * k + 1] = v;
    }
    for (uint32_t i = period; i < values; ++i) {
        const int16_t v = Load<T>(block + i * sizeof(T));
        int16_t* pair = out + 2 * (i % period);
        pair[0] = std::min(pair[0], v);
        pair[1] = std::max(pair[1], v);
    }
}

// The same for deep samples, each drawn at 16-bit scale (DeepPictureValue).
template <int Bits, bool Float>
void SummariseDeep(const uint8_t* block, uint32_t values, uint32_t period, int16_t* out) {
    constexpr uint32_t kBytes = Bits / 8;
    for (uint32_t k = 0; k < period; ++k) {
        const auto v = static_cast<int16_t>(DeepPictureValue(block + k * kBytes, Bits, Float));
        out[2 * k] = v;
        out[2 * k + 1] = v;
    }
    // One pair of extremes per residue, walked residue by residue so each runs without a
    // division.
    for (uint32_t k = 0; k < period; ++k) {
        int16_t lo = out[2 * k];
        int16_t hi = out[2 * k + 1];
        for (uint32_t i = k + period; i < values; i += period) {
            const auto v = static_cast<int16_t>(DeepPictureValue(block + i * kBytes, Bits, Float));
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        out[2 * k] = lo;
        out[2 * k + 1] = hi;
    }
}

#if defined(__SSE2__)

struct Lanes16 {
    using T = int16_t;
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epi16(a, b); }
    static __m128i Max(__m128i a, __m128i b) { return _mm_max_epi16(a, b); }
};

struct Lanes8 {
    using T = uint8_t;
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
    static __m128i Max(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
};

// The same with 16-byte registers, V at a time: V x 16 bytes hold a whole number of periods
// (period 3 and 6 need 3 registers, the others 1), and so does every block.
template <class L, int V>
void SummariseVectors(const uint8_t* block, uint32_t values, uint32_t period, int16_t* out) {
    using T = typename L::T;
    constexpr uint32_t kLanes = 16 / sizeof(T);
    __m128i lo[V];
    __m128i hi[V];
    for (int v = 0; v < V; ++v) {
        lo[v] = hi[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + v);
    }
    const uint32_t vectors = values / kLanes;
    for (uint32_t i = V; i < vectors; i += V) {
        for (int v = 0; v < V; ++v) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + i + v);
            lo[v] = L::Min(lo[v], x);
            hi[v] = L::Max(hi[v], x);
        }
    }
    alignas(16) T los[V * kLanes];
    alignas(16) T his[V * kLanes];
    for (int v = 0; v < V; ++v) {
        _mm_store_si128(reinterpret_cast<__m128i*>(los) + v, lo[v]);
        _mm_store_si128(reinterpret_cast<__m128i*>(his) + v, hi[v]);
    }
    for (uint32_t k = 0; k < period; ++k) {
        out[2 * k] = los[k];
        out[2 * k + 1] = his[k];
    }
    for (uint32_t j = period; j < V * kLanes; ++j) {
        int16_t* pair = out + 2 * (j % period);
        pair[0] = std::min<int16_t>(pair[0], los[j]);
        pair[1] = std::max<int16_t>(pair[1], his[j]);
    }
}

// The picture values of eight 24-bit samples, the words in their top two bytes, with a byte
// shuffle: samples 0-3 from bytes 0-15, samples 4-7 from bytes 8-23, never past the group.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i Words24(const uint8_t* group) {
    const __m128i pickLow = _mm_setr_epi8(1, 2, 4, 5, 7, 8, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i pickHigh =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 5, 6, 8, 9, 11, 12, 14, 15);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group + 8));
    return _mm_or_si128(_mm_shuffle_epi8(first, pickLow), _mm_shuffle_epi8(second, pickHigh));
}

// 24-bit samples straight from the block, folded as SummariseVectors folds 16-bit words. For
// periods that divide 8 and blocks of whole groups of 8 (Summarise24Fits).
[[gnu::target("ssse3")]] void Summarise24Shuffled(const uint8_t* block, uint32_t values,
                                                  uint32_t period, int16_t* out) {
    __m128i lo = Words24(block);
    __m128i hi = lo;
    for (uint32_t i = 8; i < values; i += 8) {
        const __m128i x = Words24(block + 3 * size_t{i});
        lo = _mm_min_epi16(lo, x);
        hi = _mm_max_epi16(hi, x);
    }
    alignas(16) int16_t los[8];
    alignas(16) int16_t his[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
    _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
    for (uint32_t k = 0; k < period; ++k) {
        out[2 * k] = los[k];
        out[2 * k + 1] = his[k];
    }
    for (uint32_t j = period; j < 8; ++j) {
        int16_t* pair = out + 2 * (j % period);
        pair[0] = std::min(pair[0], los[j]);
        pair[1] = std::max(pair[1], his[j]);
    }
}

bool Summarise24Fits(uint32_t values, uint32_t period) {
    static const bool bShuffles = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return bShuffles && period != 0 && 8 % period == 0 && values != 0 && values % 8 == 0;
}

#endif

using Summariser = void (*)(const uint8_t*, uint32_t, uint32_t, int16_t*);

Summariser ChooseDeepSummariser(bool bFloat) {
    return bFloat ? &SummariseDeep<32, true> : &SummariseDeep<32, false>;
}

Summariser ChooseSummariser(uint32_t sampleBytes, uint32_t period) {
#if defined(__SSE2__)
    const uint32_t lanes = 16 / sampleBytes;
    if (lanes % period == 0) {
        return sampleBytes == 2 ? &SummariseVectors<Lanes16, 1> : &SummariseVectors<Lanes8, 1>;
    }
    if (3 * lanes % period == 0) {
        return sampleBytes == 2 ? &SummariseVectors<Lanes16, 3> : &SummariseVectors<Lanes8, 3>;
    }
#endif
    return sampleBytes == 2 ? &SummariseScalar<int16_t> : &SummariseScalar<uint8_t>;
}

}  // namespace

PeakSummary::PeakSummary(const SampleData& shape, uint32_t stride)
    : m_frameCount(shape.frameCount),
      m_channels(shape.channels),
      m_bitsPerSample(shape.bitsPerSample),
      m_bFloat(shape.bFloat),
      m_stride(stride),
      m_blockFrames(kReadsPerBlock * stride),
      m_period(stride * shape.channels) {
    for (uint64_t blocks = m_frameCount / m_blockFrames; blocks > 0 && m_blocks.size() < kMaxLevels;
         blocks /= kFanOut) {
        m_blocks.push_back(blocks);
        m_levels.push_back(std::make_unique_for_overwrite<int16_t[]>(2 * blocks * m_period));
    }
    m_done.assign(m_blocks.size(), 0);
}

std::unique_ptr<PeakSummary> PeakSummary::Create(const SampleData& shape) {
    const bool bServed =
        (shape.channels == 1 || shape.channels == 2) &&
        (shape.bFloat ? shape.bitsPerSample == 32
                      : shape.bitsPerSample == 8 || shape.bitsPerSample == 16 ||
                            shape.bitsPerSample == 24 || shape.bitsPerSample == 32);
    const uint32_t stride = PeakColumnPainter::SparseStride(shape.sampleRate);
    if (!bServed || shape.frameCount / (kReadsPerBlock * stride) == 0) {
        return nullptr;
    }
    try {
        return std::unique_ptr<PeakSummary>(new PeakSummary(shape, stride));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<PeakSummary> PeakSummary::Build(const SampleData& data) {
    std::unique_ptr<PeakSummary> summary = Create(data);
    if (summary && data.samples != nullptr) {
        summary->Add(data.samples, data.dataBytes);
    }
    return summary;
}

bool PeakSummary::Fits(const SampleData& data) const {
    return data.frameCount == m_frameCount && data.channels == m_channels &&
           data.bitsPerSample == m_bitsPerSample && data.bFloat == m_bFloat &&
           PeakColumnPainter::SparseStride(data.sampleRate) == m_stride;
}

size_t PeakSummary::Bytes() const {
    size_t bytes = 0;
    for (const uint64_t blocks : m_blocks) {
        bytes += 2 * blocks * m_period * sizeof(int16_t);
    }
    return bytes;
}

void PeakSummary::Add(const uint8_t* samples, uint64_t readyBytes) {
    const uint64_t blockBytes = uint64_t{m_blockFrames} * m_channels * (m_bitsPerSample / 8u);
    const uint64_t ready = std::min(readyBytes / blockBytes, m_blocks[0]);
    if (ready <= m_done[0]) {
        return;
    }
    SummariseBlocks(samples, m_done[0], ready);
    m_done[0] = ready;
    for (size_t level = 1; level < m_levels.size(); ++level) {
        JoinBlocks(level);
    }
}

void PeakSummary::SummariseBlocks(const uint8_t* samples, uint64_t from, uint64_t to) {
    const uint32_t sampleBytes = m_bitsPerSample / 8u;
    const uint32_t values = m_blockFrames * m_channels;
    const size_t blockBytes = size_t{values} * sampleBytes;
    int16_t* out = m_levels[0].get() + 2 * from * m_period;
#if defined(__SSE2__)
    if (m_bitsPerSample == 24 && !m_bFloat && Summarise24Fits(values, m_period)) {
        for (uint64_t b = from; b < to; ++b) {
            Summarise24Shuffled(samples + b * blockBytes, values, m_period, out);
            out += 2 * m_period;
        }
        return;
    }
#endif
    if (m_bitsPerSample == 24 && !m_bFloat) {
        // A 24-bit sample's picture value is the 16-bit word in its top two bytes: gathered a
        // block at a time, the block takes the 16-bit path.
        const Summariser summarise = ChooseSummariser(2, m_period);
        std::vector<int16_t> words(values);
        for (uint64_t b = from; b < to; ++b) {
            const uint8_t* block = samples + b * blockBytes;
            for (uint32_t i = 0; i < values; ++i) {
                words[i] = Load<int16_t>(block + 3 * i + 1);
            }
            summarise(reinterpret_cast<const uint8_t*>(words.data()), values, m_period, out);
            out += 2 * m_period;
        }
        return;
    }
    const Summariser summarise = m_bFloat || sampleBytes > 2
                                     ? ChooseDeepSummariser(m_bFloat)
                                     : ChooseSummariser(sampleBytes, m_period);
    for (uint64_t b = from; b < to; ++b) {
        summarise(samples + b * blockBytes, values, m_period, out);
        out += 2 * m_period;
    }
}

void PeakSummary::JoinBlocks(size_t level) {
    const uint64_t to = std::min(m_done[level - 1] / kFanOut, m_blocks[level]);
    const int16_t* below = m_levels[level - 1].get();
    int16_t* here = m_levels[level].get();
    const size_t pairs = m_period;
    for (uint64_t b = m_done[level]; b < to; ++b) {
        const int16_t* in = below + 2 * b * kFanOut * pairs;
        int16_t* out = here + 2 * b * pairs;
        std::copy(in, in + 2 * pairs, out);
        for (uint32_t j = 1; j < kFanOut; ++j) {
            in += 2 * pairs;
            for (size_t k = 0; k < pairs; ++k) {
                out[2 * k] = std::min(out[2 * k], in[2 * k]);
                out[2 * k + 1] = std::max(out[2 * k + 1], in[2 * k + 1]);
            }
        }
    }
    m_done[level] = std::max(m_done[level], to);
}

void PeakSummary::MergeLevel(size_t level, uint32_t residue, uint64_t first, uint64_t end,
                             SamplePeak peaks[2]) const {
    const int16_t* pair = m_levels[level].get() + 2 * (first * m_period + residue * m_channels);
    for (uint64_t b = first; b < end; ++b, pair += 2 * m_period) {
        for (uint32_t c = 0; c < m_channels; ++c) {
            peaks[c].min = std::min<int>(peaks[c].min, pair[2 * c]);
            peaks[c].max = std::max<int>(peaks[c].max, pair[2 * c + 1]);
        }
    }
}

void PeakSummary::Merge(uint32_t residue, uint64_t first, uint64_t end, SamplePeak peaks[2]) const {
    // Climb while a whole block of the level above fits: only the ragged ends of each level
    // are read at that level.
    size_t level = 0;
    while (level + 1 < m_levels.size()) {
        const uint64_t upFirst = (first + kFanOut - 1) / kFanOut;
        const uint64_t upEnd = end / kFanOut;
        if (upFirst >= upEnd) {
            break;
        }
        MergeLevel(level, residue, first, upFirst * kFanOut, peaks);
        MergeLevel(level, residue, upEnd * kFanOut, end, peaks);
        first = upFirst;
        end = upEnd;
        ++level;
    }
    MergeLevel(level, residue, first, end, peaks);
}

#include "render/SpatialFilter.h"

#include <array>
#include <cmath>
#include <cstring>

#if defined(__SSE__) || defined(__x86_64__)
#include <emmintrin.h>
#define SONOMAP_FILTER_SSE 1
#endif

namespace {

using GainTable = std::array<float, 128>;

constexpr float kDirectLeftMiddle[] = {
    // 30-39
    0.9928f, 0.9809f, 0.969f, 0.9571f, 0.95f, 0.95f, 0.95f, 0.95f, 0.9476f, 0.9357f,
    // 40-49
    0.9238f, 0.9119f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.8905f, 0.8786f, 0.8667f,
    // 50-59
    0.8547f, 0.85f, 0.85f, 0.85f, 0.85f, 0.8452f, 0.8333f, 0.8214f, 0.8095f, 0.7952f,
    // 60-69
    0.7714f, 0.7476f, 0.7238f, 0.7f, 0.6881f, 0.6762f, 0.6643f, 0.6524f, 0.6405f, 0.6286f,
    // 70-79
    0.6167f, 0.6047f, 0.5928f, 0.5809f, 0.569f, 0.5571f, 0.5452f, 0.5333f, 0.5214f, 0.5095f,
    // 80-89
    0.4952f, 0.4714f, 0.4476f, 0.4238f, 0.4f, 0.3762f, 0.3524f, 0.3286f, 0.3048f, 0.2809f,
    // 90-99
    0.2571f, 0.2333f, 0.2095f, 0.1857f, 0.1619f, 0.1381f, 0.1143f, 0.0905f, 0.0667f, 0.0428f,
    // 100
    0.019f};
static_assert(std::size(kDirectLeftMiddle) == 71);

constexpr float kFilteredLeftHigh[] = {
    // 68-77
    0.0001f, 0.0001f, 0.0002f, 0.0003f, 0.0004f, 0.0004f, 0.0005f, 0.0006f, 0.0007f, 0.0009f,
    // 78-87
    0.0011f, 0.0012f, 0.0014f, 0.0017f, 0.0021f, 0.0024f, 0.0027f, 0.0034f, 0.0041f, 0.0048f,
    // 88-97
    0.0055f, 0.0066f, 0.0079f, 0.0092f, 0.0104f, 0.0138f, 0.0186f, 0.0234f, 0.0281f, 0.0419f,
    // 98-107
    0.069f, 0.0961f, 0.1232f, 0.1514f, 0.1836f, 0.2158f, 0.248f, 0.2801f, 0.3241f, 0.3681f,
    // 108-117
    0.4121f, 0.4561f, 0.4951f, 0.5329f, 0.5706f, 0.6084f, 0.6411f, 0.6704f, 0.6997f, 0.729f,
    // 118-126
    0.7583f, 0.7873f, 0.8164f, 0.8455f, 0.875f, 0.9062f, 0.9375f, 0.9687f, 0.9999f};
static_assert(std::size(kFilteredLeftHigh) == 59);

constexpr float kFilteredRightLow[] = {
    // 0-9
    0.9999f, 0.9757f, 0.9514f, 0.9272f, 0.9029f, 0.8692f, 0.8332f, 0.7971f, 0.7611f, 0.729f,
    // 10-19
    0.6997f, 0.6704f, 0.6411f, 0.6084f, 0.5706f, 0.5329f, 0.4951f, 0.4552f, 0.4068f, 0.3583f,
    // 20-29
    0.3099f, 0.2614f, 0.2329f, 0.2044f, 0.1759f, 0.1474f, 0.1206f, 0.0942f, 0.0679f, 0.0415f,
    // 30-39
    0.0281f, 0.0234f, 0.0186f, 0.0138f, 0.0104f, 0.009f, 0.0077f, 0.0063f, 0.0051f, 0.0045f,
    // 40-49
    0.0039f, 0.0032f, 0.0026f, 0.0023f, 0.002f, 0.0017f, 0.0013f, 0.0012f, 0.001f, 0.0008f,
    // 50-58
    0.0007f, 0.0006f, 0.0005f, 0.0004f, 0.0003f, 0.0003f, 0.0002f, 0.0001f, 0.0001f};
static_assert(std::size(kFilteredRightLow) == 59);

struct Tables {
    GainTable directLeft{}, directRight{}, filteredLeft{}, filteredRight{};

    Tables() {
        for (int i = 0; i <= 29; ++i) {
            directLeft[i] = 0.9999f;
        }
        for (int i = 30; i <= 100; ++i) {
            directLeft[i] = kDirectLeftMiddle[i - 30];
        }
        for (int i = 0; i <= 126; ++i) {
            directRight[i] = directLeft[126 - i];
        }
        for (int i = 68; i <= 126; ++i) {
            filteredLeft[i] = kFilteredLeftHigh[i - 68];
        }
        for (int i = 0; i <= 58; ++i) {
            filteredRight[i] = kFilteredRightLow[i];
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

using BandInfo = SpatialFilter::BandInfo;

// Rates, sections, write index after reset, direct-term delay, k (left, right), then the
// (a1, a2) pairs of the left and the right filter, section 1 first.
constexpr BandInfo kBands[8] = {
    {6000,
     9600,
     2,
     1,
     -1,
     -0.63919437f,
     -0.7069333f,
     {{-0.8410479f, 0.3844f}, {0.48258454f, 0.05968249f}},
     {{-0.94752306f, 0.4489f}, {0.6664199f, 0.1800305f}}},
    {9601,
     13600,
     3,
     1,
     -1,
     -0.58701885f,
     -0.62805164f,
     {{-1.095396f, 0.47351784f}, {0.7340869f, 0.2645045f}, {0.0f, 0.0f}},
     {{-1.3373617f, 0.6211431f}, {0.22715314f, 0.3773645f}, {0.7870458f, 0.18421264f}}},
    {13601,
     19000,
     3,
     1,
     -1,
     -0.23076738f,
     -0.23261268f,
     {{-1.4266278f, 0.60694015f}, {-0.4840945f, 0.3481f}, {0.22209422f, 0.6889f}},
     {{-1.5566173f, 0.7040278f}, {-0.53720623f, 0.573049f}, {0.30969375f, 0.7147769f}}},
    {19001,
     23050,
     4,
     1,
     -1,
     -0.064084135f,
     -0.08998308f,
     {{-1.6082482f, 0.70593184f},
      {-0.5888224f, 0.683929f},
      {-0.08143549f, 0.80676997f},
      {-1.0159616f, 0.47905186f}},
     {{-1.6894075f, 0.77474767f},
      {-0.97364616f, 0.62404585f},
      {0.07929388f, 0.7889059f},
      {-0.38307992f, 0.5552528f}}},
    {23051,
     28000,
     3,
     1,
     -1,
     -0.06084055f,
     -0.035325453f,
     {{-1.6216911f, 0.7192157f}, {-0.8276444f, 0.5338984f}, {-0.56870264f, 0.7396f}},
     {{-1.7112117f, 0.7883308f}, {-0.74881655f, 0.8588518f}, {-1.1443857f, 0.70763683f}}},
    {28001,
     38000,
     4,
     0,
     0,
     -0.008776298f,
     -0.0072410256f,
     {{-1.7235433f, 0.7746407f},
      {-1.231103f, 0.56600285f},
      {-1.1143767f, 0.74087673f},
      {-0.8587169f, 0.88391185f}},
     {{-1.7983606f, 0.8405154f},
      {-1.4191468f, 0.74390626f},
      {-1.109724f, 0.79424757f},
      {-0.84702134f, 0.90024f}}},
    {38001,
     46100,
     4,
     2,
     2,
     -0.00073618983f,
     -0.0005790014f,
     {{-1.8020717f, 0.8306132f},
      {-1.5219966f, 0.695556f},
      {-1.472167f, 0.824464f},
      {-1.3776736f, 0.9172447f}},
     {{-1.8571433f, 0.87998796f},
      {-1.6273203f, 0.802816f},
      {-1.4752879f, 0.839056f},
      {-1.3919213f, 0.93026024f}}},
    {46101,
     48000,
     4,
     2,
     2,
     -0.00020755544f,
     -0.00043382964f,
     {{-1.843098f, 0.8649f},
      {-1.6513721f, 0.7751629f},
      {-1.5851799f, 0.86025625f},
      {-1.5425284f, 0.9409f}},
     {{-1.8629164f, 0.8836f},
      {-1.6410253f, 0.8107802f},
      {-1.4916809f, 0.82355624f},
      {-1.4361324f, 0.931225f}}},
};

float TableAt(const GainTable& table, int index) {
    return index >= 0 && index < 128 ? table[static_cast<size_t>(index)] : 0.0f;
}

}  // namespace

SpatialFilter::SpatialFilter() : m_run(nullptr), m_runFrames{} {
    UseKernel<4, Mode::NoDelay>();
}

template <int Sections, SpatialFilter::Mode M>
void SpatialFilter::UseKernel() {
    m_run = &SpatialFilter::Run<Sections, M>;
    m_runFrames[0][0] = &SpatialFilter::RunFrames<Sections, M, 1, 1>;
    m_runFrames[0][1] = &SpatialFilter::RunFrames<Sections, M, 1, 2>;
    m_runFrames[1][0] = &SpatialFilter::RunFrames<Sections, M, 2, 1>;
    m_runFrames[1][1] = &SpatialFilter::RunFrames<Sections, M, 2, 2>;
}

const SpatialFilter::BandInfo& SpatialFilter::Band(int band) {
    return kBands[band >= 1 && band <= 8 ? band - 1 : 0];
}

float SpatialFilter::DirectGainLeft(int index) {
    return TableAt(GetTables().directLeft, index);
}
float SpatialFilter::DirectGainRight(int index) {
    return TableAt(GetTables().directRight, index);
}
float SpatialFilter::FilteredGainLeft(int index) {
    return TableAt(GetTables().filteredLeft, index);
}
float SpatialFilter::FilteredGainRight(int index) {
    return TableAt(GetTables().filteredRight, index);
}

int SpatialFilter::SelectRate(int32_t rate) {
    std::memset(m_s1, 0, sizeof m_s1);
    std::memset(m_s2, 0, sizeof m_s2);
    std::memset(m_ring, 0, sizeof m_ring);
    m_read = 0;
    m_write = 0;

    int band = 0;
    for (int b = 1; b <= 8; ++b) {
        if (rate >= kBands[b - 1].lowRate && rate <= kBands[b - 1].highRate) {
            band = b;
            break;
        }
    }
    if (band == 0) {
        return kUnsupportedRate;
    }
    const BandInfo& info = kBands[band - 1];
    m_band = band;
    m_write = static_cast<unsigned>(info.writeIndexAfterReset);
    m_k[0] = info.kLeft;
    m_k[1] = info.kRight;
    std::memset(m_a1, 0, sizeof m_a1);
    std::memset(m_a2, 0, sizeof m_a2);
    for (int n = 0; n < info.sections; ++n) {
        m_a1[n][0] = info.left[n][0];
        m_a2[n][0] = info.left[n][1];
        m_a1[n][1] = info.right[n][0];
        m_a2[n][1] = info.right[n][1];
    }
    switch (info.sections * 4 + info.directDelay + 1) {
        case 2 * 4 + 0:
            UseKernel<2, Mode::DelayFiltered>();
            break;
        case 3 * 4 + 0:
            UseKernel<3, Mode::DelayFiltered>();
            break;
        case 4 * 4 + 0:
            UseKernel<4, Mode::DelayFiltered>();
            break;
        case 4 * 4 + 1:
            UseKernel<4, Mode::NoDelay>();
            break;
        default:
            UseKernel<4, Mode::DelayDirect>();
            break;
    }
    return band;
}

int SpatialFilter::PanToDirectionIndex(int32_t pan) {
    return static_cast<int>(((static_cast<int64_t>(pan) + 90) * 7) / 10);
}

void SpatialFilter::SetDirection(int index) {
    if (index < 0) {
        index = 0;
    } else if (index > 126) {
        index = 126;
    }
    const Tables& tables = GetTables();
    const auto i = static_cast<size_t>(index);
    m_directGain[0] = tables.directLeft[i];
    m_directGain[1] = tables.directRight[i];
    m_filteredGain[0] = tables.filteredLeft[i];
    m_filteredGain[1] = tables.filteredRight[i];
}

template <int Sections, SpatialFilter::Mode M>
SpatialFilter::Stereo SpatialFilter::Run(float in) {
#ifdef SONOMAP_FILTER_SSE
    // The left and right filters run as lanes 0 and 1 of one register.
    const __m128 x = _mm_set1_ps(in);
    const __m128 direct = _mm_mul_ps(x, _mm_load_ps(m_directGain));
    __m128 acc = _mm_mul_ps(_mm_mul_ps(x, _mm_load_ps(m_filteredGain)), _mm_load_ps(m_k));
    for (int n = 0; n < Sections; ++n) {
        const __m128 s1 = _mm_load_ps(m_s1[n]);
        const __m128 s2 = _mm_load_ps(m_s2[n]);
        // The a2 term first: it does not wait for the previous output, so the recursion
        // carries only one multiply and one subtraction from sample to sample.
        acc = _mm_sub_ps(_mm_sub_ps(acc, _mm_mul_ps(_mm_load_ps(m_a2[n]), s2)),
                         _mm_mul_ps(_mm_load_ps(m_a1[n]), s1));
        _mm_store_ps(m_s2[n], s1);
        _mm_store_ps(m_s1[n], acc);
    }
    __m128 out;
    if constexpr (M == Mode::NoDelay) {
        out = _mm_add_ps(acc, direct);
    } else {
        _mm_store_ps(m_ring[m_write], M == Mode::DelayFiltered ? acc : direct);
        const __m128 delayed = _mm_load_ps(m_ring[m_read]);
        out = M == Mode::DelayFiltered ? _mm_add_ps(delayed, direct) : _mm_add_ps(acc, delayed);
        m_write = (m_write + 1) & 7u;
        m_read = (m_read + 1) & 7u;
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, out);
    return {lanes[0], lanes[1]};
#else
    float direct[2], acc[2];
    for (int c = 0; c < 2; ++c) {
        direct[c] = in * m_directGain[c];
        acc[c] = in * m_filteredGain[c] * m_k[c];
        for (int n = 0; n < Sections; ++n) {
            acc[c] = acc[c] - m_a2[n][c] * m_s2[n][c] - m_a1[n][c] * m_s1[n][c];
            m_s2[n][c] = m_s1[n][c];
            m_s1[n][c] = acc[c];
        }
    }
    if constexpr (M == Mode::NoDelay) {
        return {acc[0] + direct[0], acc[1] + direct[1]};
    } else {
        const float* stored = M == Mode::DelayFiltered ? acc : direct;
        m_ring[m_write][0] = stored[0];
        m_ring[m_write][1] = stored[1];
        const float* delayed = m_ring[m_read];
        const float* now = M == Mode::DelayFiltered ? direct : acc;
        const Stereo result{delayed[0] + now[0], delayed[1] + now[1]};
        m_write = (m_write + 1) & 7u;
        m_read = (m_read + 1) & 7u;
        return result;
    }
#endif
}

float SpatialFilter::ReadSample(const uint8_t* stored, int sampleWidth) {
    if (sampleWidth == 1) {
        return static_cast<float>((static_cast<int>(stored[0]) - 128) * 256);
    }
    return static_cast<float>(static_cast<int16_t>(stored[0] | (stored[1] << 8)));
}

namespace {

int ClipToSample(float value) {
    if (value > 32767.0f) {
        return 32767;
    }
    if (value < -32768.0f) {
        return -32768;
    }
    if (std::isnan(value)) {
        return 0;  // a NaN has no sample value; silence is the safe one
    }
    return static_cast<int>(value);
}

void StoreSample(int value, int sampleWidth, uint8_t* out) {
    if (sampleWidth == 1) {
        out[0] = static_cast<uint8_t>((value >> 8) + 128);
    } else {
        const auto bits = static_cast<uint16_t>(value);
        out[0] = static_cast<uint8_t>(bits & 0xFF);
        out[1] = static_cast<uint8_t>(bits >> 8);
    }
}

}  // namespace

void SpatialFilter::WriteSamplePair(float left, float right, int sampleWidth, uint8_t* out) {
    StoreSample(ClipToSample(left), sampleWidth, out);
    StoreSample(ClipToSample(right), sampleWidth, out + sampleWidth);
}

#ifdef SONOMAP_FILTER_SSE
namespace {

// WriteSamplePair on lanes 0 and 1: clipped, NaN as 0, truncated, stored left then right.
template <int Width>
inline void StorePair(__m128 pair, uint8_t* out) {
    const __m128 ordered = _mm_cmpord_ps(pair, pair);
    const __m128 clipped =
        _mm_min_ps(_mm_max_ps(pair, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
    __m128i value = _mm_cvttps_epi32(_mm_and_ps(clipped, ordered));
    if constexpr (Width == 1) {
        value = _mm_add_epi32(_mm_srai_epi32(value, 8), _mm_set1_epi32(128));
        value = _mm_packus_epi16(_mm_packs_epi32(value, value), value);
        const auto bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(value));
        out[0] = static_cast<uint8_t>(bytes);
        out[1] = static_cast<uint8_t>(bytes >> 8);
    } else {
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packs_epi32(value, value));
        std::memcpy(out, &bytes, 4);
    }
}

// StorePair's steps on four pairs at once, two to a register: the same lane results, one store.
template <int Width>
inline void StoreFourPairs(__m128 pairs01, __m128 pairs23, uint8_t* out) {
    const auto convert = [](__m128 pairs) {
        const __m128 ordered = _mm_cmpord_ps(pairs, pairs);
        const __m128 clipped =
            _mm_min_ps(_mm_max_ps(pairs, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
        __m128i value = _mm_cvttps_epi32(_mm_and_ps(clipped, ordered));
        if constexpr (Width == 1) {
            value = _mm_add_epi32(_mm_srai_epi32(value, 8), _mm_set1_epi32(128));
        }
        return value;
    };
    const __m128i words = _mm_packs_epi32(convert(pairs01), convert(pairs23));
    if constexpr (Width == 1) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
    }
}

// ReadSample (and the (L + R) / 2 mix) of four frames, one per lane; exact, as integers of
// 16 bits and less are exact in a float.
template <int Width, int Channels>
inline __m128 LoadFourSamples(const uint8_t* in) {
    __m128i left, right;
    if constexpr (Width == 2 && Channels == 1) {
        const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
        return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16));
    } else if constexpr (Width == 2) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        left = _mm_srai_epi32(_mm_slli_epi32(raw, 16), 16);
        right = _mm_srai_epi32(raw, 16);
    } else if constexpr (Channels == 1) {
        int32_t bytes;
        std::memcpy(&bytes, in, 4);
        const __m128i zero = _mm_setzero_si128();
        const __m128i raw =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
        return _mm_cvtepi32_ps(_mm_slli_epi32(_mm_sub_epi32(raw, _mm_set1_epi32(128)), 8));
    } else {
        const __m128i zero = _mm_setzero_si128();
        const __m128i raw =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)), zero);
        const __m128i bias = _mm_set1_epi32(128);
        left = _mm_slli_epi32(_mm_sub_epi32(_mm_and_si128(raw, _mm_set1_epi32(0xFFFF)), bias), 8);
        right = _mm_slli_epi32(_mm_sub_epi32(_mm_srli_epi32(raw, 16), bias), 8);
    }
    if constexpr (Channels == 2) {
        return _mm_mul_ps(_mm_add_ps(_mm_cvtepi32_ps(left), _mm_cvtepi32_ps(right)),
                          _mm_set1_ps(0.5f));
    }
}

}  // namespace
#endif

template <int Sections, SpatialFilter::Mode M, int Width, int Channels>
void SpatialFilter::RunFramesOneByOne(const uint8_t* in, uint32_t count, uint8_t* out) {
    for (uint32_t i = 0; i < count; ++i) {
        float sample = ReadSample(in, Width);
        if constexpr (Channels == 2) {
            sample = (sample + ReadSample(in + Width, Width)) * 0.5f;
        }
        in += Width * Channels;
        const Stereo pair = Run<Sections, M>(sample);
        WriteSamplePair(pair.left, pair.right, Width, out);
        out += 2 * Width;
    }
}

template <int Sections, SpatialFilter::Mode M, int Width, int Channels>
void SpatialFilter::RunFrames(const uint8_t* in, uint32_t count, uint8_t* out) {
#ifdef SONOMAP_FILTER_SSE
    // Run's arithmetic in the same order, with the state in locals: the output bytes could
    // alias the members, which would keep the recursion in memory.
    const __m128 directGain = _mm_load_ps(m_directGain);
    const __m128 filteredGain = _mm_load_ps(m_filteredGain);
    const __m128 k = _mm_load_ps(m_k);
    __m128 a1[Sections], a2[Sections], s1[Sections], s2[Sections];
#pragma GCC unroll 4
    for (int n = 0; n < Sections; ++n) {
        a1[n] = _mm_load_ps(m_a1[n]);
        a2[n] = _mm_load_ps(m_a2[n]);
        s1[n] = _mm_load_ps(m_s1[n]);
        s2[n] = _mm_load_ps(m_s2[n]);
    }
    // The ring's write index runs Delay entries ahead of its read index (SelectRate sets
    // them so, and both step together), so only the Delay values due next matter; they
    // shift through registers instead of an indexed ring.
    constexpr int Delay = M == Mode::DelayDirect ? 2 : 1;
    if constexpr (M != Mode::NoDelay) {
        // A failed SelectRate resets the indexes but keeps the kernel: the plain path then.
        if (((m_write - m_read) & 7u) != unsigned{Delay}) {
            RunFramesOneByOne<Sections, M, Width, Channels>(in, count, out);
            return;
        }
    }
    __m128 due[Delay];
    for (int d = 0; d < Delay; ++d) {
        due[d] = _mm_load_ps(m_ring[(m_read + unsigned(d)) & 7u]);
    }
    const auto section = [&](int n, __m128 acc) {
        acc = _mm_sub_ps(_mm_sub_ps(acc, _mm_mul_ps(a2[n], s2[n])), _mm_mul_ps(a1[n], s1[n]));
        s2[n] = s1[n];
        s1[n] = acc;
        return acc;
    };
    // The last section's output and the input sample to the stereo pair, through the delay.
    const auto finish = [&](__m128 acc, __m128 x) {
        const __m128 direct = _mm_mul_ps(x, directGain);
        if constexpr (M == Mode::NoDelay) {
            return _mm_add_ps(acc, direct);
        } else {
            const __m128 delayed = due[0];
            for (int d = 0; d + 1 < Delay; ++d) {
                due[d] = due[d + 1];
            }
            due[Delay - 1] = M == Mode::DelayFiltered ? acc : direct;
            return M == Mode::DelayFiltered ? _mm_add_ps(delayed, direct)
                                            : _mm_add_ps(acc, delayed);
        }
    };
    const auto feed = [&](__m128 x) { return _mm_mul_ps(_mm_mul_ps(x, filteredGain), k); };
    const auto step = [&](__m128 x) {
        __m128 acc = feed(x);
#pragma GCC unroll 4
        for (int n = 0; n < Sections; ++n) {
            acc = section(n, acc);
        }
        return finish(acc, x);
    };
    const size_t frameBytes = size_t{Width} * Channels;
    const auto sampleAt = [&](uint32_t frame) {
        const uint8_t* at = in + frame * frameBytes;
        float sample = ReadSample(at, Width);
        if constexpr (Channels == 2) {
            sample = (sample + ReadSample(at + Width, Width)) * 0.5f;
        }
        return _mm_set1_ps(sample);
    };
    uint32_t i = 0;
    if constexpr (Sections == 4) {
        // The recursion of each section waits only on itself, so sections 0 and 1 share one
        // register and 2 and 3 another, each section two frames behind the one before it:
        // half the operations for the same lane arithmetic. The skew is filled in at the
        // start and drained at the end section by section.
        if (count >= 16) {
            __m128 first[6], second[4];
            for (uint32_t f = 0; f < 6; ++f) {
                first[f] = section(0, feed(sampleAt(f)));
            }
            for (int f = 0; f < 4; ++f) {
                second[f] = section(1, first[f]);
            }
            for (int f = 0; f < 2; ++f) {
                section(2, second[f]);
            }
            const __m128 zero = _mm_setzero_ps();
            const __m128 a1p = _mm_movelh_ps(a1[0], a1[1]), a2p = _mm_movelh_ps(a2[0], a2[1]);
            const __m128 a1q = _mm_movelh_ps(a1[2], a1[3]), a2q = _mm_movelh_ps(a2[2], a2[3]);
            // p: section 0 at frame t, section 1 at t - 2; q: section 2 at t - 4, 3 at t - 6.
            __m128 p1 = _mm_movelh_ps(s1[0], s1[1]), p2 = _mm_movelh_ps(s2[0], s2[1]);
            __m128 q1 = _mm_movelh_ps(s1[2], s1[3]), q2 = _mm_movelh_ps(s2[2], s2[3]);
            // Frame t in; the last section's output for frame t - 6 out, in lanes 0 and 1.
            // pin: frame t's filter input in lanes 0 and 1, section 0's output for t - 2 in
            // lanes 2 and 3. Returns q; lanes 2 and 3 hold the last section's for t - 6.
            const auto wave = [&](__m128 pin) {
                const __m128 qin = _mm_shuffle_ps(p2, q2, _MM_SHUFFLE(1, 0, 3, 2));
                const __m128 p =
                    _mm_sub_ps(_mm_sub_ps(pin, _mm_mul_ps(a2p, p2)), _mm_mul_ps(a1p, p1));
                const __m128 q =
                    _mm_sub_ps(_mm_sub_ps(qin, _mm_mul_ps(a2q, q2)), _mm_mul_ps(a1q, q1));
                p2 = p1;
                p1 = p;
                q2 = q1;
                q1 = q;
                return q;
            };
            const auto single = [&](__m128 fed) {
                const __m128 q = wave(_mm_movelh_ps(fed, p2));
                return _mm_movehl_ps(q, q);
            };
            // Two frames to a register from here: the gains repeated for lanes 2 and 3.
            const __m128 directGain2 = _mm_movelh_ps(directGain, directGain);
            const __m128 filteredGain2 = _mm_movelh_ps(filteredGain, filteredGain);
            const __m128 k2 = _mm_movelh_ps(k, k);
            uint32_t t = 6;
            for (; t + 4 <= count; t += 4) {
                const __m128 x = LoadFourSamples<Width, Channels>(in + t * frameBytes);
                const __m128 late = LoadFourSamples<Width, Channels>(in + (t - 6) * frameBytes);
                const __m128 fed01 =
                    _mm_mul_ps(_mm_mul_ps(_mm_unpacklo_ps(x, x), filteredGain2), k2);
                const __m128 fed23 =
                    _mm_mul_ps(_mm_mul_ps(_mm_unpackhi_ps(x, x), filteredGain2), k2);
                const __m128 qa = wave(_mm_movelh_ps(fed01, p2));
                const __m128 qb = wave(_mm_shuffle_ps(fed01, p2, _MM_SHUFFLE(1, 0, 3, 2)));
                const __m128 qc = wave(_mm_movelh_ps(fed23, p2));
                const __m128 qd = wave(_mm_shuffle_ps(fed23, p2, _MM_SHUFFLE(1, 0, 3, 2)));
                const __m128 direct01 = _mm_mul_ps(_mm_unpacklo_ps(late, late), directGain2);
                const __m128 direct23 = _mm_mul_ps(_mm_unpackhi_ps(late, late), directGain2);
                __m128 sum01, sum23;
                if constexpr (M == Mode::DelayFiltered) {
                    sum01 =
                        _mm_add_ps(_mm_shuffle_ps(due[0], qa, _MM_SHUFFLE(3, 2, 1, 0)), direct01);
                    sum23 = _mm_add_ps(_mm_shuffle_ps(qb, qc, _MM_SHUFFLE(3, 2, 3, 2)), direct23);
                    due[0] = _mm_movehl_ps(qd, qd);
                } else {
                    const __m128 acc01 = _mm_shuffle_ps(qa, qb, _MM_SHUFFLE(3, 2, 3, 2));
                    const __m128 acc23 = _mm_shuffle_ps(qc, qd, _MM_SHUFFLE(3, 2, 3, 2));
                    if constexpr (M == Mode::NoDelay) {
                        sum01 = _mm_add_ps(acc01, direct01);
                        sum23 = _mm_add_ps(acc23, direct23);
                    } else {
                        sum01 = _mm_add_ps(acc01, _mm_movelh_ps(due[0], due[Delay - 1]));
                        sum23 = _mm_add_ps(acc23, direct01);
                        due[0] = direct23;
                        due[Delay - 1] = _mm_movehl_ps(direct23, direct23);
                    }
                }
                StoreFourPairs<Width>(sum01, sum23, out + (t - 6) * 2 * Width);
            }
            for (; t < count; ++t) {
                StorePair<Width>(finish(single(feed(sampleAt(t))), sampleAt(t - 6)),
                                 out + (t - 6) * 2 * Width);
            }
            // Back to one register per section, then the frames the later sections lack.
            s1[0] = _mm_movelh_ps(p1, zero);
            s2[0] = _mm_movelh_ps(p2, zero);
            s1[1] = _mm_movehl_ps(zero, p1);
            s2[1] = _mm_movehl_ps(zero, p2);
            s1[2] = _mm_movelh_ps(q1, zero);
            s2[2] = _mm_movelh_ps(q2, zero);
            s1[3] = _mm_movehl_ps(zero, q1);
            s2[3] = _mm_movehl_ps(zero, q2);
            const __m128 secondIn[4] = {s2[1], s1[1], section(1, s2[0]), section(1, s1[0])};
            __m128 thirdIn[6] = {s2[2], s1[2]};
            for (int f = 0; f < 4; ++f) {
                thirdIn[2 + f] = section(2, secondIn[f]);
            }
            for (uint32_t f = 0; f < 6; ++f) {
                StorePair<Width>(finish(section(3, thirdIn[f]), sampleAt(count - 6 + f)),
                                 out + (count - 6 + f) * 2 * Width);
            }
            i = count;
            in += count * frameBytes;
            out += count * 2 * Width;
        }
    }
    for (; i + 4 <= count; i += 4) {
        const __m128 x = LoadFourSamples<Width, Channels>(in);
        in += 4 * Width * Channels;
        const __m128 sum0 = step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 sum1 = step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 1, 1)));
        const __m128 sum2 = step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 2, 2)));
        const __m128 sum3 = step(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3)));
        StoreFourPairs<Width>(_mm_movelh_ps(sum0, sum1), _mm_movelh_ps(sum2, sum3), out);
        out += 8 * Width;
    }
    for (; i < count; ++i) {
        float sample = ReadSample(in, Width);
        if constexpr (Channels == 2) {
            sample = (sample + ReadSample(in + Width, Width)) * 0.5f;
        }
        in += Width * Channels;
        StorePair<Width>(step(_mm_set1_ps(sample)), out);
        out += 2 * Width;
    }
#pragma GCC unroll 4
    for (int n = 0; n < Sections; ++n) {
        _mm_store_ps(m_s1[n], s1[n]);
        _mm_store_ps(m_s2[n], s2[n]);
    }
    if constexpr (M != Mode::NoDelay) {
        m_write = (m_write + count) & 7u;
        m_read = (m_read + count) & 7u;
        for (int d = 0; d < Delay; ++d) {
            _mm_store_ps(m_ring[(m_read + unsigned(d)) & 7u], due[d]);
        }
    }
#else
    RunFramesOneByOne<Sections, M, Width, Channels>(in, count, out);
#endif
}

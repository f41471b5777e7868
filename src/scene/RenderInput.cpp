#include "scene/RenderInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "document/CTesselDoc.h"
#include "platform/SampleBuffer.h"
#include "render/SampleDecoder.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Frames decoded at a time: small enough to stay in the first-level cache.
constexpr uint32_t kDecodeFrames = 1024;

// The largest magnitude among count 16-bit samples.
int Peak16(const uint8_t* at, size_t count) {
    size_t i = 0;
    int peak = 0;
#if defined(__SSE2__)
    __m128i high = _mm_setzero_si128();
    __m128i low = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 2 * i));
        high = _mm_max_epi16(high, v);
        low = _mm_min_epi16(low, v);
    }
    int16_t highs[8], lows[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(highs), high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lows), low);
    for (int k = 0; k < 8; ++k) {
        peak = std::max({peak, static_cast<int>(highs[k]), -static_cast<int>(lows[k])});
    }
#endif
    for (; i < count; ++i) {
        int16_t sample;
        std::memcpy(&sample, at + 2 * i, 2);
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

}  // namespace

class RenderInput::Source {
  public:
    virtual ~Source() = default;
    // The bytes of [offset, offset + bytes) of the stored frames, into scratch when they are
    // not in memory; none when they could not be read.
    virtual const uint8_t* Bytes(uint64_t offset, size_t bytes, std::vector<uint8_t>& scratch) = 0;
};

namespace {

class MemorySource : public RenderInput::Source {
  public:
    MemorySource(const uint8_t* samples, std::shared_ptr<const SampleBuffer> owner)
        : m_samples(samples), m_pOwner(std::move(owner)) {}
    const uint8_t* Bytes(uint64_t offset, size_t, std::vector<uint8_t>&) override {
        return m_samples + offset;
    }

  private:
    const uint8_t* m_samples;
    std::shared_ptr<const SampleBuffer> m_pOwner;  // keeps a document's samples alive
};

}  // namespace

RenderInput::RenderInput(std::unique_ptr<Source> source, const PcmFormat& format,
                         uint32_t frameCount)
    : m_pSource(std::move(source)),
      m_format(format),
      m_frameCount(frameCount),
      m_channels(format.channels == 2 ? 2 : 1),
      m_bits(format.bitsPerSample),
      m_bFloat(format.formatTag == kFormatTagFloat),
      m_frameBytes(static_cast<uint32_t>(m_channels) * (format.bitsPerSample / 8u)) {}

RenderInput::~RenderInput() = default;

std::unique_ptr<RenderInput> RenderInput::OfDocument(const CTesselDoc& document) {
    std::shared_ptr<const SampleBuffer> samples = document.ShareSamples();
    const uint8_t* bytes = samples ? samples->data() : nullptr;
    return std::unique_ptr<RenderInput>(
        new RenderInput(std::make_unique<MemorySource>(bytes, std::move(samples)),
                        document.GetFormat(), bytes != nullptr ? document.GetFrameCount() : 0));
}

std::unique_ptr<RenderInput> RenderInput::OfMemory(const uint8_t* samples, const PcmFormat& format,
                                                   uint32_t frameCount) {
    return std::unique_ptr<RenderInput>(new RenderInput(
        std::make_unique<MemorySource>(samples, nullptr), format, samples ? frameCount : 0));
}

const uint8_t* RenderInput::Stored(uint32_t first, uint32_t count) {
    const uint8_t* bytes =
        m_pSource->Bytes(uint64_t{first} * m_frameBytes, size_t{count} * m_frameBytes, m_stored);
    if (bytes == nullptr) {
        m_bOk = false;
        m_stored.assign(size_t{count} * m_frameBytes, m_bits == 8 ? 0x80 : 0);
        return m_stored.data();
    }
    return bytes;
}

const uint8_t* RenderInput::ReadStored(uint32_t first, uint32_t count) {
    const uint32_t inside = first < m_frameCount ? std::min(count, m_frameCount - first) : 0;
    if (inside == count) {
        return Stored(first, count);
    }
    // Padded: the frames inside, then silence.
    std::vector<uint8_t> padded(size_t{count} * m_frameBytes, m_bits == 8 ? 0x80 : 0);
    if (inside > 0) {
        std::memcpy(padded.data(), Stored(first, inside), size_t{inside} * m_frameBytes);
    }
    m_stored = std::move(padded);
    return m_stored.data();
}

void RenderInput::Read(uint32_t first, uint32_t count, float* out, float unit) {
    const SampleDecoder::Layout layout{m_bits, m_bFloat, m_channels};
    const float scale = unit / 32768.0f;
    while (count > 0) {
        const uint32_t n = std::min(count, kDecodeFrames);
        const size_t samples = size_t{n} * static_cast<size_t>(m_channels);
        const uint32_t inside = first < m_frameCount ? std::min(n, m_frameCount - first) : 0;
        if (inside > 0) {
            SampleDecoder::Decode(Stored(first, inside), layout, inside, false, out);
        }
        std::fill(out + size_t{inside} * static_cast<size_t>(m_channels), out + samples, 0.0f);
        if (scale != 1.0f) {
            for (size_t i = 0; i < samples; ++i) {
                out[i] *= scale;
            }
        }
        out += samples;
        first += n;
        count -= n;
    }
}

void RenderInput::ReadMono(uint32_t first, uint32_t count, float* out, float unit,
                           bool bWholeSteps) {
    const SampleDecoder::Layout layout{m_bits, m_bFloat, m_channels};
    const float scale = unit / 32768.0f;
    const bool bSteps = bWholeSteps && m_channels == 2 && IsShallow();
    while (count > 0) {
        const uint32_t n = std::min(count, kDecodeFrames);
        const uint32_t inside = first < m_frameCount ? std::min(n, m_frameCount - first) : 0;
        if (inside > 0) {
            SampleDecoder::Decode(Stored(first, inside), layout, inside, true, out);
        }
        std::fill(out + inside, out + n, 0.0f);
        for (uint32_t i = 0; bSteps && i < inside; ++i) {
            out[i] = std::trunc(out[i]);
        }
        if (scale != 1.0f) {
            for (uint32_t i = 0; i < n; ++i) {
                out[i] *= scale;
            }
        }
        out += n;
        first += n;
        count -= n;
    }
}

float RenderInput::PeakSum() {
    if (m_channels == 1 && m_bits == 16 && !m_bFloat) {
        // The common case, in integers.
        int peak = 0;
        for (uint32_t from = 0; from < m_frameCount; from += kDecodeFrames * 64) {
            const uint32_t n = std::min(kDecodeFrames * 64, m_frameCount - from);
            peak = std::max(peak, Peak16(Stored(from, n), n));
        }
        return static_cast<float>(peak) / 32768.0f;
    }
    std::vector<float> block(size_t{kDecodeFrames} * static_cast<size_t>(m_channels));
    float peak = 0.0f;
    for (uint32_t from = 0; from < m_frameCount; from += kDecodeFrames) {
        const uint32_t n = std::min(kDecodeFrames, m_frameCount - from);
        Read(from, n, block.data());
        for (uint32_t i = 0; i < n; ++i) {
            float sum = std::fabs(block[size_t{i} * static_cast<size_t>(m_channels)]);
            if (m_channels == 2) {
                sum += std::fabs(block[size_t{i} * 2 + 1]);
            }
            peak = std::max(peak, sum);
        }
    }
    return peak;
}

#include "deliver/ExportLoudness.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "document/DocumentHost.h"
#include "platform/ByteOrder.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "render/SampleDecoder.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

std::atomic<bool> g_bMeasuring{true};
constexpr size_t kPieceSamples = 16384;

// From the 16-bit scale to full scale 1, in place.
void ToFullScale(float* samples, size_t count) {
    constexpr float kScale = 1.0f / 32768.0f;
    size_t k = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(kScale);
    for (; k + 4 <= count; k += 4) {
        _mm_storeu_ps(samples + k, _mm_mul_ps(_mm_loadu_ps(samples + k), scale));
    }
#endif
    for (; k < count; ++k) {
        samples[k] *= kScale;
    }
}

// 16-bit samples straight to full scale 1, in one pass: the same floats Decode and
// ToFullScale give in two (a 16-bit integer and its scaling by a power of two are exact).
void FullScaleOf16(const uint8_t* in, size_t count, float* out) {
    constexpr float kScale = 1.0f / 32768.0f;
    size_t k = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(kScale);
    for (; k + 8 <= count; k += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k));
        // Each sample into the top half of a 32-bit lane, shifted down with its sign.
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_ps(out + k, _mm_mul_ps(_mm_cvtepi32_ps(low), scale));
        _mm_storeu_ps(out + k + 4, _mm_mul_ps(_mm_cvtepi32_ps(high), scale));
    }
#endif
    for (; k < count; ++k) {
        out[k] = static_cast<float>(ByteOrder::LoadS16(in + 2 * k, false)) * kScale;
    }
}

}  // namespace

void ExportLoudness::SetMeasuring(bool bMeasuring) {
    g_bMeasuring = bMeasuring;
}

ExportLoudness::ExportLoudness(const PcmFormat& format, const std::vector<LoudnessWeight>& weights)
    : m_format(format),
      m_weights(weights),
      m_bMeasuring(g_bMeasuring),
      m_meter(format.sampleRate, weights),
      // Room for every block there can be (kBlocks waiting, one measured), so handing one back
      // on the measuring thread never allocates.
      m_spare([] {
          std::vector<std::vector<uint8_t>> spare;
          spare.reserve(kBlocks + 1);
          return spare;
      }()),
      m_thread(&ExportLoudness::Serve, this) {}

ExportLoudness::~ExportLoudness() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ExportLoudness::Add(const void* bytes, uint32_t count) {
    if (!m_bMeasuring) {
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.size() < kBlocks || m_bStop || m_failure; });
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
    std::vector<uint8_t> block;
    if (!m_spare.empty()) {
        block = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    block.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + count);
    lock.lock();
    m_waiting.push_back(std::move(block));
    lock.unlock();
    m_changed.notify_all();
}

void ExportLoudness::AwaitIdle(std::unique_lock<std::mutex>& lock) {
    m_changed.wait(lock, [this] { return (m_waiting.empty() && !m_bBusy) || m_failure; });
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
}

void ExportLoudness::MeasureWritten(const std::string& path, uint64_t dataStart,
                                    uint64_t dataBytes) {
    if (!m_bMeasuring) {
        return;
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        AwaitIdle(lock);
    }
    const size_t frameBytes = size_t{m_format.channels} * (m_format.bitsPerSample / 8u);
    const auto measure = [&](LoudnessMeter& meter) {
        CFile back(path, CFile::Mode::Read);
        back.Seek(static_cast<int64_t>(dataStart), CFile::SeekFrom::Begin);
        std::vector<uint8_t> piece(std::max<size_t>((size_t{1} << 20) / frameBytes, 1) *
                                   frameBytes);
        std::vector<float> samples;
        for (uint64_t done = 0; done < dataBytes;) {
            const auto count =
                static_cast<size_t>(std::min<uint64_t>(piece.size(), dataBytes - done));
            if (back.Read(piece.data(), count) != count) {
                throw CFileException(0, path, "The samples written came back short:");
            }
            Decode(piece.data(), count, samples, meter);
            done += count;
        }
    };
    LoudnessMeter loudness(m_format.sampleRate, m_weights, LoudnessMeter::Measures::LoudnessOnly);
    LoudnessMeter peak(m_format.sampleRate, m_weights, LoudnessMeter::Measures::TruePeakOnly);
    std::exception_ptr peakFailure;
    std::thread peaking([&] {
        try {
            measure(peak);
        } catch (...) {
            peakFailure = std::current_exception();
        }
    });
    try {
        measure(loudness);
    } catch (...) {
        peaking.join();
        throw;
    }
    peaking.join();
    if (peakFailure) {
        std::rethrow_exception(peakFailure);
    }
    m_written = Result{loudness.IntegratedLoudness(), peak.TruePeak()};
}

ExportLoudness::Result ExportLoudness::Finish() {
    std::unique_lock<std::mutex> lock(m_mutex);
    AwaitIdle(lock);
    if (m_written) {
        return *m_written;
    }
    return {m_meter.IntegratedLoudness(), m_meter.TruePeak()};
}

void ExportLoudness::Decode(const uint8_t* bytes, size_t count, std::vector<float>& samples,
                            LoudnessMeter& meter) const {
    const int bits = m_format.bitsPerSample;
    const SampleDecoder::Layout layout{bits, m_format.formatTag == kFormatTagFloat, 1};
    const size_t sampleBytes = static_cast<size_t>(bits / 8);
    const size_t channels = m_format.channels;
    const size_t piece = std::max<size_t>(kPieceSamples / channels, 1) * channels;
    samples.resize(piece);
    const size_t total = count / sampleBytes / channels * channels;
    // Decoded as one stream of samples, in the 16-bit scale, then to full scale 1: floats
    // too, so that one not a number or past every scale measures as the renderers read it.
    // A piece at a time, which stays in the cache from the decoder to the meter.
    for (size_t from = 0; from < total; from += piece) {
        const size_t n = std::min(piece, total - from);
        if (bits == 16 && !layout.bFloat) {
            FullScaleOf16(bytes + from * sampleBytes, n, samples.data());
        } else {
            SampleDecoder::Decode(bytes + from * sampleBytes, layout, static_cast<uint32_t>(n),
                                  false, samples.data());
            ToFullScale(samples.data(), n);
        }
        meter.AddFrames(samples.data(), n / channels);
    }
}

void ExportLoudness::Serve() {
    std::vector<float> samples;
    std::unique_lock<std::mutex> lock(m_mutex);
    try {
        samples.resize(kPieceSamples + m_format.channels);
    } catch (...) {
        m_failure = std::current_exception();
        m_changed.notify_all();
        return;
    }
    while (true) {
        m_changed.wait(lock, [this] { return m_bStop || !m_waiting.empty(); });
        if (m_bStop) {
            return;
        }
        std::vector<uint8_t> block = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_bBusy = true;
        lock.unlock();
        m_changed.notify_all();
        std::exception_ptr failure;
        try {
            Decode(block.data(), block.size(), samples, m_meter);
        } catch (...) {
            // The meter grows with the sound (a gating block every 100 ms); out of memory, the
            // export fails on its own thread instead of ending the process.
            failure = std::current_exception();
        }
        lock.lock();
        m_spare.push_back(std::move(block));
        m_bBusy = false;
        if (failure) {
            m_failure = failure;
            m_waiting.clear();
            m_changed.notify_all();
            return;
        }
        m_changed.notify_all();
    }
}

std::string ExportLoudness::Announce(DocumentHost& host, const std::string& path) {
    const Result result = Finish();
    host.TellMeasured(path, result.lufs, result.truePeak);
    return " Loudness " + Text(result) + ".";
}

std::vector<LoudnessWeight> ExportLoudness::UnitWeights(int channels) {
    return std::vector<LoudnessWeight>(static_cast<size_t>(channels), LoudnessWeight::Unit);
}

std::string ExportLoudness::Text(const Result& result) {
    const auto number = [](double value, const char* unit) {
        if (!std::isfinite(value)) {
            return std::string("-inf ") + unit;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.1f %s", value, unit);
        return std::string(text);
    };
    return number(result.lufs, "LUFS") + ", true peak " + number(result.truePeak, "dBTP");
}

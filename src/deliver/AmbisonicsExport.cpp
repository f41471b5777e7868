#include "deliver/AmbisonicsExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "deliver/BlockWriter.h"
#include "deliver/ExportTarget.h"
#include "formats/CSoundFile.h"
#include "formats/ImportResampler.h"
#include "platform/DistanceLaw.h"
#include "platform/ProgressIndicator.h"
#include "render/AmbisonicsEncoder.h"
#include "render/SampleCodec.h"
#include "trajectory/PanPointList.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

std::string FramesText(uint64_t done, uint64_t total) {
    return "(" + std::to_string(done) + " of " + std::to_string(total) + ")";
}

// The largest distance gain along the trajectory: distance moves in a straight line between
// points, so 1/d peaks at a point (or at the 1 m the walk starts from).
double LargestDistanceGain(const PanPointList* points) {
    double largest = DistanceGain(kDefaultDistanceCm);
    if (points != nullptr) {
        for (const PanPoint& point : points->Values()) {
            largest = std::max(largest, DistanceGain(point.distanceCm));
        }
    }
    return largest;
}

// The largest magnitude among count 16-bit samples at at.
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

// count 16-bit samples at at as floats of full scale 1.0.
void Read16(const uint8_t* at, size_t count, float* out) {
    constexpr float kScale = 1.0f / 32768.0f;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(kScale);
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 2 * i));
        // Each sample into the top half of a 32-bit lane, shifted down with its sign.
        const __m128i first = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i second = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(first), scale));
        _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(second), scale));
    }
#endif
    for (; i < count; ++i) {
        int16_t sample;
        std::memcpy(&sample, at + 2 * i, 2);
        out[i] = static_cast<float>(sample) * kScale;
    }
}

}  // namespace

AmbisonicsExport::AmbisonicsExport(const Source& source, const Options& options)
    : m_source(source),
      m_options(options),
      m_sources(source.format.channels == 2 ? 2 : 1),
      m_channels(AmbisonicsEncoder::ChannelCount(std::clamp(options.order, 1, 3))),
      m_outputRate(options.rate != 0 ? options.rate : source.format.sampleRate),
      m_outputFrames(source.frameCount) {
    const uint32_t inRate = source.format.sampleRate;
    if (inRate != 0 && m_outputRate != inRate) {
        m_pResampler = std::make_unique<ImportResampler>(inRate, m_outputRate, m_sources);
        m_outputFrames = ImportResampler::OutputFrames(source.frameCount, inRate, m_outputRate);
    }
    if (source.points != nullptr) {
        m_pCursor = std::make_unique<PlaceCursor>(*source.points);
    }
    // Every harmonic of SN3D stays within +-1, so no channel passes W's bound.
    const double loudest = SourcePeak() * LargestDistanceGain(source.points);
    const float limit = TpdfDither::PeakLimit(options.format);
    if (loudest > limit) {
        m_gain = static_cast<float>(limit / loudest);
    }
}

float AmbisonicsExport::SourcePeak() const {
    const PcmFormat& format = m_source.format;
    if (format.bitsPerSample == 16 && format.formatTag == kFormatTagPcm && m_sources == 1) {
        // The common case, in integers.
        return static_cast<float>(Peak16(m_source.samples, m_source.frameCount)) / 32768.0f;
    }
    float peak = 0.0f;
    std::vector<float> samples;
    for (uint32_t from = 0; from < m_source.frameCount; from += kBlockFrames) {
        const uint32_t count = std::min(kBlockFrames, m_source.frameCount - from);
        ReadSource(from, count, samples);
        for (uint32_t i = 0; i < count; ++i) {
            float sum = std::fabs(samples[size_t{i} * m_sources]);
            if (m_sources == 2) {
                sum += std::fabs(samples[size_t{i} * 2 + 1]);
            }
            peak = std::max(peak, sum);
        }
    }
    return peak;
}

AmbisonicsExport::~AmbisonicsExport() = default;

bool AmbisonicsExport::StartTrajectory() const {
    return m_source.points != nullptr && !m_source.points->IsEmpty();
}

std::optional<PcmFormat> AmbisonicsExport::OutputFormat(bool bLargeForm) const {
    const uint32_t bytes = static_cast<uint32_t>(SampleFormatBits(m_options.format) / 8);
    if (m_outputRate == 0 ||
        (!bLargeForm && !ExportTarget::FitsPlainForm(m_outputFrames * m_channels * bytes))) {
        return std::nullopt;
    }
    PcmFormat format{};
    format.formatTag = IsFloatFormat(m_options.format) ? kFormatTagFloat : kFormatTagPcm;
    format.channels = static_cast<uint16_t>(m_channels);
    format.sampleRate = m_outputRate;
    format.blockAlign = static_cast<uint16_t>(m_channels * bytes);
    format.avgBytesPerSec = m_outputRate * format.blockAlign;
    format.bitsPerSample = static_cast<uint16_t>(bytes * 8);
    return format;
}

uint32_t AmbisonicsExport::OutputDataBytes() const {
    const std::optional<PcmFormat> format = OutputFormat(true);
    return format ? static_cast<uint32_t>(
                        std::min<uint64_t>(m_outputFrames * format->blockAlign, UINT32_MAX))
                  : 0;
}

double AmbisonicsExport::ScaleDownDb() const {
    return m_gain < 1.0f ? -20.0 * std::log10(static_cast<double>(m_gain)) : 0.0;
}

void AmbisonicsExport::ReadSource(uint32_t from, uint32_t count, std::vector<float>& out) const {
    const PcmFormat& format = m_source.format;
    const size_t samples = size_t{count} * m_sources;
    out.resize(samples);
    const uint8_t* at = m_source.samples + size_t{from} * format.blockAlign;
    constexpr float kScale = 1.0f / 32768.0f;
    if (format.bitsPerSample == 16 && format.formatTag == kFormatTagPcm) {
        Read16(at, samples, out.data());
    } else if (format.bitsPerSample == 8) {
        for (size_t i = 0; i < samples; ++i) {
            out[i] = SampleCodec::Read(at + i, 1) * kScale;
        }
    } else {
        const int width = format.bitsPerSample / 8;
        const bool bFloat = format.formatTag == kFormatTagFloat;
        for (size_t i = 0; i < samples; ++i) {
            out[i] = SampleCodec::ReadDeep(at + i * width, format.bitsPerSample, bFloat) * kScale;
        }
    }
}

void AmbisonicsExport::GainsAt(uint64_t o, float* gains) {
    uint64_t frame = o;
    if (m_pResampler) {
        frame = ImportResampler::MapPosition(o, m_outputRate, m_source.format.sampleRate);
    }
    const SoundPlace place =
        m_pCursor->At(static_cast<uint32_t>(std::min<uint64_t>(frame, UINT32_MAX)));
    const double gain = DistanceGain(static_cast<uint32_t>(std::lround(place.distanceCm)));
    const double half = m_sources == 2 ? place.width / 2.0 : 0.0;
    // AmbiX turns the other way: its azimuth is positive to the left.
    AmbisonicsEncoder::Harmonics(m_options.order, -(place.azimuth - half), place.elevation, gain,
                                 gains);
    if (m_sources == 2) {
        AmbisonicsEncoder::Harmonics(m_options.order, -(place.azimuth + half), place.elevation,
                                     gain, gains + m_channels);
    }
}

bool AmbisonicsExport::Flush(BlockWriter& writer) {
    uint8_t* buffer = nullptr;
    while ((buffer = writer.NextBuffer()) == nullptr) {
        writer.AwaitWrite();
        if (writer.GetStatus().bFailed) {
            return false;
        }
    }
    const size_t count = size_t{m_mixFrames} * m_channels;
    m_dither.QuantizeTo(m_mix.data(), count, m_gain, m_options.format, buffer);
    const size_t bytes = count * static_cast<size_t>(SampleFormatBits(m_options.format) / 8);
    m_mixFrames = 0;
    writer.Queue(static_cast<uint32_t>(bytes));
    return !writer.GetStatus().bFailed;
}

bool AmbisonicsExport::Encode(size_t count, BlockWriter& writer) {
    size_t used = 0;
    while (used < count) {
        const auto frames = static_cast<uint32_t>(std::min<size_t>(kRunFrames, count - used));
        GainsAt(m_done + frames, m_to.data());
        AmbisonicsEncoder::EncodeRun(m_pending.data() + used * m_sources, m_sources, frames,
                                     m_from.data(), m_to.data(), m_channels,
                                     m_mix.data() + size_t{m_mixFrames} * m_channels);
        m_from.swap(m_to);
        m_mixFrames += frames;
        m_done += frames;
        used += frames;
        if (m_mixFrames == kBlockFrames && !Flush(writer)) {
            return false;
        }
    }
    m_pending.erase(m_pending.begin(),
                    m_pending.begin() + static_cast<ptrdiff_t>(used * m_sources));
    return true;
}

AmbisonicsExport::Outcome AmbisonicsExport::Render(CSoundFile& output,
                                                   ProgressIndicator& progress) {
    if (m_pResampler && !m_pResampler->IsOk()) {
        m_resampleError = m_pResampler->GetError();
        return Outcome::ResampleFailed;
    }
    m_done = 0;
    m_mixFrames = 0;
    m_pending.clear();
    m_dither = TpdfDither();
    m_pCursor->Invalidate();
    const size_t gains = static_cast<size_t>(m_channels) * m_sources;
    m_from.assign(gains, 0.0f);
    m_to.assign(gains, 0.0f);
    m_mix.assign(size_t{kBlockFrames} * m_channels, 0.0f);
    GainsAt(0, m_from.data());

    BlockWriter writer(output, static_cast<uint32_t>(m_channels) * kBlockFrames * 4u);
    const uint32_t frames = m_source.frameCount;
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));
    std::vector<float> block;
    std::vector<double> wide, resampled;
    for (uint32_t from = 0; from < frames; from += kBlockFrames) {
        const uint32_t count = std::min(kBlockFrames, frames - from);
        ReadSource(from, count, block);
        if (m_pResampler) {
            wide.assign(block.begin(), block.end());
            resampled.clear();
            if (!m_pResampler->Process(wide.data(), count, resampled)) {
                m_resampleError = m_pResampler->GetError();
                return Outcome::ResampleFailed;
            }
            m_pending.insert(m_pending.end(), resampled.begin(), resampled.end());
        } else {
            m_pending.insert(m_pending.end(), block.begin(), block.end());
        }
        // Whole runs only, until the last: a run's gains are taken at its edges.
        const size_t ready = m_pending.size() / m_sources;
        if (!Encode(ready - ready % kRunFrames, writer)) {
            return Outcome::WriteFailed;
        }
        const uint64_t read = uint64_t{from} + count;
        progress.SetPos(static_cast<int>(read * 100 / frames));
        progress.SetStatus(FramesText(read, frames));
        if (progress.CheckCancelButton()) {
            return Outcome::Cancelled;
        }
    }
    if (m_pResampler) {
        resampled.clear();
        if (!m_pResampler->Finish(resampled)) {
            m_resampleError = m_pResampler->GetError();
            return Outcome::ResampleFailed;
        }
        m_pending.insert(m_pending.end(), resampled.begin(), resampled.end());
    }
    const size_t rest = std::min<uint64_t>(m_pending.size() / m_sources, m_outputFrames - m_done);
    if (!Encode(rest, writer) || (m_mixFrames > 0 && !Flush(writer))) {
        return Outcome::WriteFailed;
    }
    writer.Drain();
    return writer.GetStatus().bFailed ? Outcome::WriteFailed : Outcome::Finished;
}

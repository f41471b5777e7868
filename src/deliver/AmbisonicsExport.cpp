#include "deliver/AmbisonicsExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "deliver/BlockWriter.h"
#include "deliver/ExportTarget.h"
#include "formats/CSoundFile.h"
#include "formats/ImportResampler.h"
#include "platform/DistanceLaw.h"
#include "platform/ProgressIndicator.h"
#include "render/AmbisonicsEncoder.h"
#include "render/PointSourcePanner.h"
#include "render/SpeakerLayout.h"
#include "trajectory/PanPointList.h"

namespace {

std::string FramesText(uint64_t done, uint64_t total) {
    return "(" + std::to_string(done) + " of " + std::to_string(total) + ")";
}

// A mix of several sounds reports its progress itself, per sound.
class QuietProgress : public ProgressIndicator {
  public:
    void SetRange(int, int) override {}
    int SetPos(int) override { return 0; }
    void SetStatus(const std::string&) override {}
    bool CheckCancelButton() override { return false; }
};

}  // namespace

AmbisonicsExport::AmbisonicsExport(std::unique_ptr<RenderInput> input, const PanPointList& points,
                                   const Options& options, const SceneSpace& space)
    : m_pInput(std::move(input)),
      m_points(points),
      m_options(options),
      m_sources(m_pInput->Channels()),
      m_channels(options.pLayout != nullptr
                     ? static_cast<int>(options.pLayout->ChannelCount())
                     : AmbisonicsEncoder::ChannelCount(std::clamp(options.order, 1, 3))),
      m_outputRate(options.rate != 0 ? options.rate : m_pInput->Rate()),
      m_propagation(points, m_pInput->Frames(),
                    {m_pInput->Rate(), TrajectoryCursor::Mode::AllAround, space}),
      m_read([this](uint32_t first, uint32_t count, float* out) {
          m_pInput->Read(first, count, out);
      }) {
    m_outputFrames = m_propagation.HeardFrames();
    if (options.pLayout != nullptr) {
        m_pPanner = std::make_unique<PointSourcePanner>(*options.pLayout);
    }
    const uint32_t inRate = m_pInput->Rate();
    if (inRate != 0 && m_outputRate != inRate) {
        m_pResampler = std::make_unique<ImportResampler>(inRate, m_outputRate, m_sources);
        m_outputFrames =
            ImportResampler::OutputFrames(m_propagation.HeardFrames(), inRate, m_outputRate);
    }
    // Every harmonic of SN3D stays within +-1, and so does every loudspeaker gain, so no
    // channel passes W's bound.
    m_loudest = m_pInput->PeakSum() * m_propagation.LargestGain();
    const float limit = TpdfDither::PeakLimit(options.format);
    if (m_loudest > limit) {
        m_gain = static_cast<float>(limit / m_loudest);
    }
}

AmbisonicsExport::~AmbisonicsExport() = default;

bool AmbisonicsExport::StartTrajectory() const {
    return !m_points.IsEmpty();
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

void AmbisonicsExport::GainsAt(uint64_t o, float* gains) {
    uint64_t frame = o;
    if (m_pResampler) {
        frame = ImportResampler::MapPosition(o, m_outputRate, m_pInput->Rate());
    }
    const Arrival place = m_propagation.At(frame).value_or(Arrival{});
    const double gain = place.gain;
    const double half = m_sources == 2 ? place.width / 2.0 : 0.0;
    if (m_pPanner) {
        double speakers[64];
        for (int s = 0; s < m_sources; ++s) {
            const double azimuth = s == 0 ? place.azimuth - half : place.azimuth + half;
            m_pPanner->CalculateGains(azimuth, place.elevation, speakers);
            for (int k = 0; k < m_channels; ++k) {
                gains[s * m_channels + k] = static_cast<float>(speakers[k] * gain);
            }
        }
        return;
    }
    // AmbiX turns the other way: its azimuth is positive to the left.
    AmbisonicsEncoder::Harmonics(m_options.order, -(place.azimuth - half), place.elevation, gain,
                                 gains);
    if (m_sources == 2) {
        AmbisonicsEncoder::Harmonics(m_options.order, -(place.azimuth + half), place.elevation,
                                     gain, gains + m_channels);
    }
}

bool AmbisonicsExport::Flush(BlockWriter* writer) {
    const size_t count = size_t{m_mixFrames} * m_channels;
    if (writer == nullptr) {
        const auto frames = std::min<uint64_t>(m_mixFrames, m_addFrames);
        const size_t added = static_cast<size_t>(frames) * m_channels;
        float* to = m_pAddTo;
        const float* from = m_mix.data();
        size_t i = 0;
#if defined(__SSE2__)
        // Four at a time, each rounded as the loop below rounds it: the same sums.
        const __m128 gain = _mm_set1_ps(m_addGain);
        for (; i + 4 <= added; i += 4) {
            _mm_storeu_ps(
                to + i, _mm_add_ps(_mm_loadu_ps(to + i), _mm_mul_ps(_mm_loadu_ps(from + i), gain)));
        }
#endif
        for (; i < added; ++i) {
            to[i] += from[i] * m_addGain;
        }
        m_pAddTo += frames * m_channels;
        m_addFrames -= frames;
        m_mixFrames = 0;
        return true;
    }
    uint8_t* buffer = nullptr;
    while ((buffer = writer->NextBuffer()) == nullptr) {
        writer->AwaitWrite();
        if (writer->GetStatus().bFailed) {
            return false;
        }
    }
    m_dither.QuantizeTo(m_mix.data(), count, m_gain * m_options.level, m_options.format, buffer);
    const size_t bytes = count * static_cast<size_t>(SampleFormatBits(m_options.format) / 8);
    SilenceLfe(m_options.pLayout, m_options.format, buffer, bytes);
    m_mixFrames = 0;
    writer->Queue(static_cast<uint32_t>(bytes));
    return !writer->GetStatus().bFailed;
}

void AmbisonicsExport::SilenceLfe(const SpeakerLayout* layout, SampleFormat format, uint8_t* buffer,
                                  size_t bytes) {
    if (layout == nullptr) {
        return;
    }
    const size_t width = static_cast<size_t>(SampleFormatBits(format) / 8);
    const size_t frame = layout->ChannelCount() * width;
    for (size_t k = 0; k < layout->ChannelCount(); ++k) {
        if (layout->Speakers()[k].bLfe) {
            for (size_t at = k * width; at < bytes; at += frame) {
                std::memset(buffer + at, 0, width);
            }
        }
    }
}

bool AmbisonicsExport::Encode(size_t count, BlockWriter* writer) {
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
    BlockWriter writer(output, static_cast<uint32_t>(m_channels) * kBlockFrames * 4u);
    writer.MeasureWith(m_pLoudness);
    const Outcome outcome = Run(&writer, progress);
    if (outcome != Outcome::Finished) {
        return outcome;
    }
    writer.Drain();
    return writer.GetStatus().bFailed ? Outcome::WriteFailed : Outcome::Finished;
}

AmbisonicsExport::Outcome AmbisonicsExport::AddTo(float* out, uint64_t frames, float gain) {
    m_pAddTo = out;
    m_addFrames = frames;
    m_addGain = gain;
    QuietProgress quiet;
    const Outcome outcome = Run(nullptr, quiet);
    m_pAddTo = nullptr;
    return outcome;
}

bool AmbisonicsExport::RenderSpan(uint32_t first, uint32_t frames, float* out) {
    const uint64_t total = m_propagation.HeardFrames();
    if (m_pResampler || first > total || frames > total - first) {
        return false;
    }
    const size_t gains = static_cast<size_t>(m_channels) * m_sources;
    m_from.resize(gains);
    m_to.resize(gains);
    std::vector<float> samples(size_t{kRunFrames} * m_sources);
    std::vector<float> run(size_t{kRunFrames} * m_channels);
    // Whole runs on the render's grid, each cut to what the span holds of it.
    for (uint32_t start = first / kRunFrames * kRunFrames; start < first + frames;
         start += kRunFrames) {
        const auto length = static_cast<uint32_t>(std::min<uint64_t>(kRunFrames, total - start));
        m_propagation.Hear(m_read, m_sources, start, length, samples.data());
        GainsAt(start, m_from.data());
        GainsAt(uint64_t{start} + length, m_to.data());
        AmbisonicsEncoder::EncodeRun(samples.data(), m_sources, length, m_from.data(), m_to.data(),
                                     m_channels, run.data());
        const uint32_t from = std::max(start, first);
        const uint32_t to = std::min(start + length, first + frames);
        std::copy(run.begin() + static_cast<ptrdiff_t>(size_t{from - start} * m_channels),
                  run.begin() + static_cast<ptrdiff_t>(size_t{to - start} * m_channels),
                  out + size_t{from - first} * m_channels);
    }
    return true;
}

AmbisonicsExport::Outcome AmbisonicsExport::Run(BlockWriter* writer, ProgressIndicator& progress) {
    if (m_pResampler && !m_pResampler->IsOk()) {
        m_resampleError = m_pResampler->GetError();
        return Outcome::ResampleFailed;
    }
    m_done = 0;
    m_mixFrames = 0;
    m_pending.clear();
    m_dither = TpdfDither();
    m_propagation.Invalidate();
    const size_t gains = static_cast<size_t>(m_channels) * m_sources;
    m_from.assign(gains, 0.0f);
    m_to.assign(gains, 0.0f);
    m_mix.assign(size_t{kBlockFrames} * m_channels, 0.0f);
    GainsAt(0, m_from.data());

    const uint64_t frames = m_propagation.HeardFrames();
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));
    std::vector<float> block;
    std::vector<double> wide, resampled;
    for (uint64_t from = 0; from < frames; from += kBlockFrames) {
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(kBlockFrames, frames - from));
        block.resize(size_t{count} * m_sources);
        m_propagation.Hear(m_read, m_sources, from, count, block.data());
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
        const uint64_t read = from + count;
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
    return Outcome::Finished;
}

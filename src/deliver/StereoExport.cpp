#include "deliver/StereoExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "deliver/BlockWriter.h"
#include "deliver/ExportTarget.h"
#include "deliver/RoomBus.h"
#include "formats/CSoundFile.h"
#include "geometry/TimeText.h"
#include "platform/DistanceLaw.h"
#include "platform/ProgressIndicator.h"
#include "render/DeepBlockCodec.h"
#include "render/SampleDecoder.h"
#include "render/ScopedFlushDenormals.h"
#include "trajectory/PanPointList.h"

namespace {

std::string FramesText(uint32_t done, uint32_t total) {
    return "(" + std::to_string(done) + " of " + std::to_string(total) + ")";
}

}  // namespace

StereoExport::StereoExport(std::unique_ptr<RenderInput> input, const PanPointList& points,
                           const SceneSpace& space)
    : m_pInput(std::move(input)),
      m_points(points),
      m_sampleWidth(m_pInput->Format().bitsPerSample == 8 ? 1
                                                          : m_pInput->Format().bitsPerSample / 8),
      m_bDeep(IsDeepFormat(m_pInput->Format())),
      m_propagation(points, m_pInput->Frames(),
                    {m_pInput->Rate(), TrajectoryCursor::ModeOf(points), space}),
      m_readMono([this](uint32_t first, uint32_t count, float* out) {
          m_pInput->ReadMono(first, count, out, 32768.0f);
      }) {
    if (m_propagation.HasRoom()) {
        m_pRoom = std::make_unique<RoomBus>(m_propagation, m_readMono, 1, RoomBus::Form::Stereo);
    }
}

StereoExport::~StereoExport() = default;

void StereoExport::ShareWork(bool bShare) {
    if (m_pRoom) {
        m_pRoom->ShareWork(bShare);
    }
}

uint32_t StereoExport::OutputFrames() const {
    return static_cast<uint32_t>(std::min<uint64_t>(m_propagation.HeardFrames(), UINT32_MAX));
}

std::optional<PcmFormat> StereoExport::OutputFormat(const PcmFormat& source, uint32_t frameCount,
                                                    bool bLargeForm) {
    const bool bDeep = IsDeepFormat(source);
    if (bDeep ? !IsKeptDeepFormat(source)
              : source.bitsPerSample != 8 && source.bitsPerSample != 16) {
        return std::nullopt;
    }
    const uint16_t blockAlign = static_cast<uint16_t>(2 * (source.bitsPerSample / 8));
    if (!bLargeForm && !ExportTarget::FitsPlainForm(uint64_t{frameCount} * blockAlign)) {
        return std::nullopt;
    }
    PcmFormat format = source;
    format.channels = 2;
    format.blockAlign = blockAlign;
    format.avgBytesPerSec = source.sampleRate * blockAlign;
    return format;
}

uint32_t StereoExport::OutputDataBytes() const {
    const int width = m_outputFormat ? SampleFormatBits(*m_outputFormat) / 8 : m_sampleWidth;
    return static_cast<uint32_t>(std::min<uint64_t>(
        uint64_t{OutputFrames()} * 2u * static_cast<uint32_t>(width), UINT32_MAX));
}

std::optional<PcmFormat> StereoExport::OutputFormatFor(const PcmFormat& source, uint32_t frameCount,
                                                       std::optional<SampleFormat> sampleFormat,
                                                       bool bLargeForm) {
    if (!sampleFormat) {
        return OutputFormat(source, frameCount, bLargeForm);
    }
    std::optional<PcmFormat> format = OutputFormat(source, frameCount, true);
    if (!format) {
        return format;
    }
    const auto bytes = static_cast<uint16_t>(SampleFormatBits(*sampleFormat) / 8);
    if (!bLargeForm && !ExportTarget::FitsPlainForm(uint64_t{frameCount} * 2u * bytes)) {
        return std::nullopt;
    }
    format->formatTag = IsFloatFormat(*sampleFormat) ? kFormatTagFloat : kFormatTagPcm;
    format->bitsPerSample = static_cast<uint16_t>(bytes * 8);
    format->blockAlign = static_cast<uint16_t>(2 * bytes);
    format->avgBytesPerSec = format->sampleRate * format->blockAlign;
    return format;
}

void StereoExport::SetSampleFormat(SampleFormat format) {
    m_outputFormat = format;
    // The filter writes at the source's width: dither only where the output is coarser, so a
    // wider output holds the filter's samples exactly.
    const bool bSourceFloat = m_pInput->Format().formatTag == kFormatTagFloat;
    m_bDitherOutput =
        !IsFloatFormat(format) && (bSourceFloat || SampleFormatBits(format) < m_sampleWidth * 8);
}

void StereoExport::SetLevel(float gain) {
    m_level = gain;
    if (gain != 1.0f && m_outputFormat && !IsFloatFormat(*m_outputFormat)) {
        m_bDitherOutput = true;
    }
}

uint32_t StereoExport::Convert(const uint8_t* rendered, uint32_t bytes, uint8_t* out) {
    const size_t count = bytes / static_cast<uint32_t>(m_sampleWidth);
    DecodeRendered(rendered, count, m_floats);
    m_dither.QuantizeTo(m_floats.data(), count, m_level, *m_outputFormat, out, m_bDitherOutput);
    return static_cast<uint32_t>(count *
                                 static_cast<size_t>(SampleFormatBits(*m_outputFormat) / 8));
}

void StereoExport::DecodeRendered(const uint8_t* rendered, size_t count,
                                  std::vector<float>& out) const {
    out.resize(count);
    const PcmFormat& format = m_pInput->Format();
    SampleDecoder::Decode(rendered, {format.bitsPerSample, format.formatTag == kFormatTagFloat, 1},
                          static_cast<uint32_t>(count), false, out.data());
    for (float& value : out) {
        value *= 1.0f / 32768.0f;
    }
}

uint32_t StereoExport::RenderNextFloats(std::vector<float>& out) {
    if (m_spanNext >= m_spanLast) {
        out.clear();
        return 0;
    }
    const ScopedFlushDenormals flush;
    const auto frameBytes = static_cast<uint32_t>(2 * m_sampleWidth);
    const uint32_t block = m_spanNext;
    const auto end = static_cast<uint32_t>(
        std::min<uint64_t>(m_spanLast, uint64_t{block} + kBlockBytes / frameBytes));
    m_scratch.resize(size_t{end - block} * frameBytes);
    RenderFrames(block, end, m_scratch.data());
    DecodeRendered(m_scratch.data(), m_scratch.size() / static_cast<size_t>(m_sampleWidth), out);
    m_spanNext = end;
    return end - block;
}

bool StereoExport::SelectRate() {
    return m_filter.SelectRate(static_cast<int32_t>(m_pInput->Rate())) !=
           SpatialFilter::kUnsupportedRate;
}

bool StereoExport::StartTrajectory() {
    m_propagation.SetMode(TrajectoryCursor::ModeOf(m_points));
    m_propagation.Invalidate();
    m_lastPan.reset();
    return m_propagation.HasPoints();
}

void StereoExport::ApplyPan(int32_t pan) {
    m_filter.SetDirection(SpatialFilter::PanToDirectionIndex(pan));
    m_lastPan = pan;
}

void StereoExport::RenderFloats(float* mono, uint32_t count, const Ramp& gain, const float* room,
                                uint8_t* out) {
    if (gain.from != 1.0 || gain.to != 1.0) {
        for (uint32_t k = 0; k < count; ++k) {
            const double at = static_cast<double>(gain.offset + k) / gain.length;
            mono[k] = static_cast<float>(mono[k] * (gain.from + (gain.to - gain.from) * at));
        }
    }
    m_pairs.resize(size_t{count} * 2);
    m_filter.ProcessFloatFrames(mono, count, m_pairs.data());
    if (room != nullptr) {
        for (size_t k = 0; k < m_pairs.size(); ++k) {
            m_pairs[k] += room[k];
        }
    }
    const PcmFormat& format = m_pInput->Format();
    if (m_bDeep) {
        DeepBlockCodec::StorePairs(m_pairs.data(), count, format.bitsPerSample,
                                   format.formatTag == kFormatTagFloat,
                                   m_filter.GetKernelPath() == SpatialFilter::KernelPath::Avx2 &&
                                       DeepBlockCodec::HasByteShuffles(),
                                   out);
        return;
    }
    for (uint32_t k = 0; k < count; ++k) {
        SpatialFilter::WriteSamplePair(m_pairs[size_t{k} * 2], m_pairs[size_t{k} * 2 + 1],
                                       m_sampleWidth, out + size_t{k} * 2 * m_sampleWidth);
    }
}

void StereoExport::RenderFrames(uint32_t i, uint32_t last, uint8_t* out) {
    const auto frameBytes = static_cast<uint32_t>(2 * m_sampleWidth);
    const int channels = m_pInput->Channels();
    const bool bFrontal = m_propagation.IsFrontal();
    // Every sample the filter takes as a float is read once a block; a frontal 8- or 16-bit
    // sound goes through the exact integer path as it is stored.
    const bool bFloats = m_bDeep || !bFrontal;
    const uint32_t blockFirst = i;
    const uint8_t* stored = nullptr;
    if (bFloats) {
        m_mono.resize(last - i);
        m_propagation.Hear(m_readMono, 1, i, last - i, m_mono.data());
        if (m_pRoom) {
            m_room.assign(size_t{last - i} * 2, 0.0f);
            m_pRoom->AddTo(i, last - i, m_room.data());
        }
    } else {
        stored = m_pInput->ReadStored(i, last - i);
    }
    while (i < last) {
        // Runs all around are cells of one grid from frame 0, each placed by its edges, so a
        // block of any size, or a span begun anywhere, renders each frame alike.
        const uint32_t cell = bFrontal ? i : i - i % kPlaceRunFrames;
        const std::optional<ArrivalRun> run =
            m_propagation.Run(cell, bFrontal ? last - i : kPlaceRunFrames);
        if (!run) {
            return;  // the trajectory was checked before the render began
        }
        const auto end = static_cast<uint32_t>(std::min<uint64_t>(run->end, last));
        Ramp gain{1.0, 1.0, i - cell, static_cast<uint32_t>(run->end - run->first)};
        int32_t pan = static_cast<int32_t>(run->start.azimuth);
        if (!bFrontal) {
            pan = FrontalFold(NormalAzimuth(std::lround(run->start.azimuth)));
            gain.from = run->start.gain;
            gain.to = run->finish.gain;
        }
        // The direction for frame i is set before frame i is rendered.
        if (pan != m_lastPan) {
            ApplyPan(pan);
        }
        if (bFloats) {
            RenderFloats(m_mono.data() + (i - blockFirst), end - i, gain,
                         m_pRoom ? m_room.data() + size_t{i - blockFirst} * 2 : nullptr, out);
        } else {
            m_filter.ProcessFrames(stored + size_t{i - blockFirst} * m_pInput->FrameBytes(),
                                   channels, m_sampleWidth, end - i, out);
        }
        out += size_t{end - i} * frameBytes;
        i = end;
    }
}

bool StereoExport::RenderSpan(uint32_t first, uint32_t last, uint8_t* out) {
    if (!StartSpan(first, last)) {
        return false;
    }
    RenderSpanTo(last, out);
    return true;
}

bool StereoExport::StartSpan(uint32_t first, uint32_t last) {
    if (!SelectRate() || !StartTrajectory()) {
        return false;
    }
    const uint32_t blockFrames = kBlockBytes / static_cast<uint32_t>(2 * m_sampleWidth);
    m_spanFirst = first;
    m_spanLast = std::min(last, OutputFrames());
    // Blocks fall where the export's fall, so the runs of one direction do too.
    m_spanNext = first > kWarmupFrames ? (first - kWarmupFrames) / blockFrames * blockFrames : 0;
    return true;
}

uint32_t StereoExport::RenderSpanTo(uint32_t until, uint8_t* out) {
    const ScopedFlushDenormals flush;
    const auto frameBytes = static_cast<uint32_t>(2 * m_sampleWidth);
    const uint32_t blockFrames = kBlockBytes / frameBytes;
    const uint32_t first = m_spanFirst;
    const uint32_t last = m_spanLast;
    until = std::min(until, last);
    while (m_spanNext < until) {
        const uint32_t block = m_spanNext;
        const auto end = static_cast<uint32_t>(
            std::min<uint64_t>(OutputFrames(), uint64_t{block} + blockFrames));
        if (block >= first && end <= last) {
            RenderFrames(block, end, out + size_t{block - first} * frameBytes);
        } else {
            m_scratch.resize(size_t{end - block} * frameBytes);
            RenderFrames(block, end, m_scratch.data());
            const uint32_t from = std::max(block, first);
            const uint32_t to = std::min(end, last);
            if (from < to) {
                std::memcpy(out + size_t{from - first} * frameBytes,
                            m_scratch.data() + size_t{from - block} * frameBytes,
                            size_t{to - from} * frameBytes);
            }
        }
        m_spanNext = end;
    }
    return std::max(std::min(m_spanNext, last), first) - first;
}

StereoExport::Outcome StereoExport::Render(CSoundFile& output, ProgressIndicator& progress) {
    const uint32_t frames = OutputFrames();
    const auto frameBytes = static_cast<uint32_t>(2 * m_sampleWidth);
    const ScopedFlushDenormals flush;

    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));
    const uint32_t rate = std::max<uint32_t>(m_pInput->Rate(), 1);
    progress.SetTime(TimeText::Progress(0, frames, rate));

    // Full blocks go to the disk on a thread of their own while the next ones render. Each
    // block's progress step and Cancel check come once it is written, in order, so they come
    // as they would after writing each block in turn; a write that fails stops the writing.
    // Another sample format: frames render into m_rendered and go to the writer converted.
    const uint32_t outWidth =
        m_outputFormat ? static_cast<uint32_t>(SampleFormatBits(*m_outputFormat) / 8) : 0;
    BlockWriter writer(
        output, m_outputFormat
                    ? kBlockBytes / static_cast<uint32_t>(m_sampleWidth) * outWidth + outWidth
                    : kBlockBytes);
    writer.MeasureWith(m_pLoudness);
    m_rendered.resize(m_outputFormat ? kBlockBytes : 0);
    m_dither = TpdfDither();
    const auto queue = [&](uint8_t* into, uint32_t bytes) {
        if (m_outputFormat) {
            bytes = Convert(m_rendered.data(), bytes, into);
        }
        writer.Queue(bytes);
    };
    std::vector<uint32_t> blockEnds;  // the frame after each queued block
    size_t reported = 0;
    bool bCancelled = false;
    // False when the export must stop: Cancel was pressed, or a block failed to write.
    const auto report = [&] {
        const BlockWriter::Status status = writer.GetStatus();
        for (; reported < status.written; ++reported) {
            const uint32_t end = blockEnds[reported];
            progress.SetPos(static_cast<int>(uint64_t{end} * 100 / frames));
            progress.SetStatus(FramesText(end, frames));
            progress.SetTime(TimeText::Progress(end, frames, rate));
            if (progress.CheckCancelButton()) {
                bCancelled = true;
                return false;
            }
        }
        return !status.bFailed;
    };
    const auto stopped = [&] { return bCancelled ? Outcome::Cancelled : Outcome::WriteFailed; };

    uint8_t* buffer = writer.NextBuffer();
    const uint32_t blockFrames = kBlockBytes / frameBytes;
    uint32_t pending = 0;
    uint32_t i = 0;
    while (i < frames) {
        const auto end =
            static_cast<uint32_t>(std::min<uint64_t>(frames, uint64_t{i} + blockFrames));
        RenderFrames(i, end, m_outputFormat ? m_rendered.data() : buffer);
        pending = (end - i) * frameBytes;
        i = end;
        if (pending == blockFrames * frameBytes) {
            queue(buffer, pending);
            blockEnds.push_back(i);
            pending = 0;
            if (!report()) {
                return stopped();
            }
            while ((buffer = writer.NextBuffer()) == nullptr) {
                writer.AwaitWrite();
                if (!report()) {
                    return stopped();
                }
            }
        }
    }
    writer.Drain();
    if (!report()) {
        return stopped();
    }
    if (pending > 0) {
        queue(buffer, pending);
        writer.Drain();
        if (writer.GetStatus().bFailed) {
            return Outcome::WriteFailed;
        }
    }
    return Outcome::Finished;
}

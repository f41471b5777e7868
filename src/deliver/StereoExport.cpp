#include "deliver/StereoExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "deliver/BlockWriter.h"
#include "deliver/ExportTarget.h"
#include "formats/CSoundFile.h"
#include "platform/ProgressIndicator.h"
#include "render/SampleCodec.h"
#include "render/ScopedFlushDenormals.h"
#include "trajectory/PanPointList.h"
#include "views/geometry/TimeText.h"

namespace {

std::string FramesText(uint32_t done, uint32_t total) {
    return "(" + std::to_string(done) + " of " + std::to_string(total) + ")";
}

// One sample of the in-memory form times gain, saturating at the width's full scale.
void ScaleSample(const uint8_t* in, uint8_t* out, int width, bool bFloat, double gain) {
    if (width == 1) {
        out[0] =
            static_cast<uint8_t>(std::clamp(std::lround((in[0] - 128) * gain) + 128, 0L, 255L));
    } else if (width == 2) {
        int16_t sample;
        std::memcpy(&sample, in, 2);
        const auto value =
            static_cast<int16_t>(std::clamp(std::lround(sample * gain), -32768L, 32767L));
        std::memcpy(out, &value, 2);
    } else if (width == 3) {
        const auto sample = static_cast<int32_t>(uint32_t{in[0]} << 8 | uint32_t{in[1]} << 16 |
                                                 uint32_t{in[2]} << 24) >>
                            8;
        const auto value =
            static_cast<uint32_t>(std::clamp(std::lround(sample * gain), -8388608L, 8388607L));
        out[0] = static_cast<uint8_t>(value);
        out[1] = static_cast<uint8_t>(value >> 8);
        out[2] = static_cast<uint8_t>(value >> 16);
    } else if (bFloat) {
        float sample;
        std::memcpy(&sample, in, 4);
        const auto value = static_cast<float>(sample * gain);
        std::memcpy(out, &value, 4);
    } else {
        int32_t sample;
        std::memcpy(&sample, in, 4);
        const auto value = static_cast<int32_t>(
            std::clamp(std::llround(sample * gain), -2147483648LL, 2147483647LL));
        std::memcpy(out, &value, 4);
    }
}

}  // namespace

StereoExport::StereoExport(const Source& source)
    : m_source(source),
      m_sampleWidth(source.format.bitsPerSample == 8 ? 1 : source.format.bitsPerSample / 8),
      m_bDeep(IsDeepFormat(source.format)) {}

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
        uint64_t{m_source.frameCount} * 2u * static_cast<uint32_t>(width), UINT32_MAX));
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
    const bool bSourceFloat = m_source.format.formatTag == kFormatTagFloat;
    m_bDitherOutput =
        !IsFloatFormat(format) && (bSourceFloat || SampleFormatBits(format) < m_sampleWidth * 8);
}

uint32_t StereoExport::Convert(const uint8_t* rendered, uint32_t bytes, uint8_t* out) {
    const size_t count = bytes / static_cast<uint32_t>(m_sampleWidth);
    m_floats.resize(count);
    const int bits = m_sampleWidth * 8;
    const bool bFloat = m_source.format.formatTag == kFormatTagFloat;
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* at = rendered + k * static_cast<size_t>(m_sampleWidth);
        m_floats[k] = (m_bDeep ? SampleCodec::ReadDeep(at, bits, bFloat)
                               : SampleCodec::Read(at, m_sampleWidth)) *
                      (1.0f / 32768.0f);
    }
    m_dither.QuantizeTo(m_floats.data(), count, 1.0f, *m_outputFormat, out, m_bDitherOutput);
    return static_cast<uint32_t>(count *
                                 static_cast<size_t>(SampleFormatBits(*m_outputFormat) / 8));
}

bool StereoExport::SelectRate() {
    return m_filter.SelectRate(static_cast<int32_t>(m_source.format.sampleRate)) !=
           SpatialFilter::kUnsupportedRate;
}

bool StereoExport::StartTrajectory() {
    if (m_source.points == nullptr ||
        !ComputePanSegment(*m_source.points, m_source.frameCount, 0, m_pSegment)) {
        return false;
    }
    m_pSegment->playOffset = 0;
    m_filter.SetDirection(SpatialFilter::PanToDirectionIndex(m_pSegment->startPan));
    m_lastPan = 65535;
    m_pCursor.reset();
    if (!IsFrontal(*m_source.points)) {
        m_pCursor = std::make_unique<PlaceCursor>(*m_source.points);
    }
    return true;
}

const uint8_t* StereoExport::PlaceRun(uint32_t from, uint32_t to, const uint8_t* input,
                                      int channels) {
    const SoundPlace place = m_pCursor->At(from);
    const int32_t pan = FrontalFold(NormalAzimuth(std::lround(place.azimuth)));
    if (pan != m_lastPan) {
        ApplyPan(pan);
    }
    const double g0 = DistanceGain(static_cast<uint32_t>(std::lround(place.distanceCm)));
    const double g1 =
        DistanceGain(static_cast<uint32_t>(std::lround(m_pCursor->At(to).distanceCm)));
    if (g0 == 1.0 && g1 == 1.0) {
        return input;
    }
    const uint32_t count = to - from;
    const size_t samples = size_t{count} * static_cast<size_t>(channels);
    m_scaled.resize(samples * static_cast<size_t>(m_sampleWidth));
    const bool bFloat = m_source.format.formatTag == kFormatTagFloat;
    for (size_t k = 0; k < samples; ++k) {
        const double gain = g0 + (g1 - g0) * static_cast<double>(k / channels) / count;
        ScaleSample(input + k * m_sampleWidth, m_scaled.data() + k * m_sampleWidth, m_sampleWidth,
                    bFloat, gain);
    }
    return m_scaled.data();
}

void StereoExport::ApplyPan(int32_t pan) {
    m_filter.SetDirection(SpatialFilter::PanToDirectionIndex(pan));
    m_lastPan = pan;
}

void StereoExport::RenderFrames(uint32_t i, uint32_t last, uint8_t* out) {
    const uint32_t frames = m_source.frameCount;
    const auto frameBytes = static_cast<uint32_t>(2 * m_sampleWidth);
    const int channels = m_source.format.channels == 2 ? 2 : 1;
    const size_t sourceFrameBytes = size_t(channels) * size_t(m_sampleWidth);
    while (i < last) {
        const uint8_t* input = m_source.samples + size_t{i} * sourceFrameBytes;
        uint32_t end = last;
        if (m_pCursor) {
            end = std::min(end, i + kPlaceRunFrames);
            input = PlaceRun(i, end, input, channels);
        } else {
            // The direction for frame i is set before frame i is rendered.
            if (i == m_pSegment->endPos) {
                ComputePanSegment(*m_source.points, frames, i, m_pSegment);
                ApplyPan(m_pSegment->startPan);
            } else if (const int32_t pan = StepPan(*m_pSegment, i); pan != m_lastPan) {
                ApplyPan(pan);
            }
            // Frames up to the next change of direction, segment end or block end share it.
            if (m_pSegment->endPos > i) {
                end = std::min(end, m_pSegment->endPos);
            }
            if (m_pSegment->slope != 0.0) {
                end = NextPanChange(*m_pSegment, i, end);
            }
        }
        if (m_bDeep) {
            m_filter.ProcessDeepFrames(input, channels, m_source.format.bitsPerSample,
                                       m_source.format.formatTag == kFormatTagFloat, end - i, out);
        } else {
            m_filter.ProcessFrames(input, channels, m_sampleWidth, end - i, out);
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
    m_spanLast = std::min(last, m_source.frameCount);
    // Blocks fall where the export's fall, so the runs of one direction do too.
    m_spanNext = first > kWarmupFrames ? (first - kWarmupFrames) / blockFrames * blockFrames : 0;
    if (m_spanNext > 0 && !m_pCursor) {
        ComputePanSegment(*m_source.points, m_source.frameCount, m_spanNext, m_pSegment);
        ApplyPan(StepPan(*m_pSegment, m_spanNext));
    }
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
            std::min<uint64_t>(m_source.frameCount, uint64_t{block} + blockFrames));
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
    const uint32_t frames = m_source.frameCount;
    const auto frameBytes = static_cast<uint32_t>(2 * m_sampleWidth);
    const ScopedFlushDenormals flush;

    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));
    const uint32_t rate = std::max<uint32_t>(m_source.format.sampleRate, 1);
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

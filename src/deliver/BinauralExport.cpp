#include "deliver/BinauralExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "deliver/ExportTarget.h"
#include "formats/CSoundFile.h"
#include "platform/ProgressIndicator.h"
#include "render/SampleCodec.h"
#include "trajectory/PanPointList.h"

namespace {

// No early stop: mix on after the wave's end, or to the end of a block.
constexpr uint32_t kNoStop = std::numeric_limits<uint32_t>::max();

std::string FramesText(uint32_t done, uint32_t total) {
    char text[32];
    std::snprintf(text, sizeof text, "(%u of %u)", done, total);
    return text;
}

// One channel of 16 bits from two of the source's width: (L + R) / 2, toward zero.
std::vector<uint8_t> MixDown(const uint8_t* samples, uint32_t frames, int width) {
    std::vector<uint8_t> mono(size_t{frames} * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        int left = 0;
        int right = 0;
        if (width == 1) {
            left = (samples[i * 2] - 128) * 256;
            right = (samples[i * 2 + 1] - 128) * 256;
        } else {
            const uint8_t* frame = samples + size_t{i} * 4;
            left = static_cast<int16_t>(frame[0] | (frame[1] << 8));
            right = static_cast<int16_t>(frame[2] | (frame[3] << 8));
        }
        const auto mixed = static_cast<uint16_t>(static_cast<int16_t>((left + right) / 2));
        mono[size_t{i} * 2] = static_cast<uint8_t>(mixed & 0xFF);
        mono[size_t{i} * 2 + 1] = static_cast<uint8_t>(mixed >> 8);
    }
    return mono;
}

// Deep samples at the 16 bits the binaural mixer takes, one channel: (L + R) / 2 of a stereo
// source, clipped and truncated toward zero as the stereo export's 16-bit store does.
std::vector<uint8_t> MixDownDeep(const uint8_t* samples, uint32_t frames, const PcmFormat& format) {
    const int bits = format.bitsPerSample;
    const bool bFloat = format.formatTag == kFormatTagFloat;
    const size_t width = bits / 8u;
    const size_t frameBytes = width * format.channels;
    std::vector<uint8_t> mono(size_t{frames} * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint8_t* frame = samples + i * frameBytes;
        float value = SampleCodec::ReadDeep(frame, bits, bFloat);
        if (format.channels == 2) {
            value = (value + SampleCodec::ReadDeep(frame + width, bits, bFloat)) * 0.5f;
        }
        const int clipped = value >= 32767.0f    ? 32767
                            : value <= -32768.0f ? -32768
                                                 : static_cast<int>(value);
        const auto bits16 = static_cast<uint16_t>(static_cast<int16_t>(clipped));
        mono[size_t{i} * 2] = static_cast<uint8_t>(bits16 & 0xFF);
        mono[size_t{i} * 2 + 1] = static_cast<uint8_t>(bits16 >> 8);
    }
    return mono;
}

}  // namespace

BinauralExport::BinauralExport(const Source& source, BinauralRenderer& renderer,
                               SampleFormat sampleFormat)
    : m_source(source), m_renderer(renderer), m_sampleFormat(sampleFormat) {
    const int width = source.format.bitsPerSample == 8 ? 1 : 2;
    m_wave.sampleRate = source.format.sampleRate;
    m_wave.frameCount = source.frameCount;
    if (source.points != nullptr && !IsFrontal(*source.points)) {
        m_pCursor = std::make_unique<PlaceCursor>(*source.points);
    }
    if (IsDeepFormat(source.format)) {
        // The mixer takes 8 and 16 bits: a deeper sound goes in mixed down to 16.
        m_mono = MixDownDeep(source.samples, source.frameCount, source.format);
        m_wave.samples = m_mono.data();
        m_wave.bitsPerSample = 16;
    } else if (source.format.channels == 2 && m_pCursor) {
        m_wave.samples = source.samples;
        m_wave.channels = 2;
        m_wave.bitsPerSample = static_cast<uint16_t>(width * 8);
    } else if (source.format.channels == 2) {
        m_mono = MixDown(source.samples, source.frameCount, width);
        m_wave.samples = m_mono.data();
        m_wave.bitsPerSample = 16;
    } else {
        m_wave.samples = source.samples;
        m_wave.bitsPerSample = static_cast<uint16_t>(width * 8);
    }
}

bool BinauralExport::StartTrajectory() const {
    return m_source.points != nullptr && !m_source.points->IsEmpty();
}

std::string BinauralExport::OpenMixer() {
    std::string error = m_renderer.Open(m_wave);
    if (!error.empty()) {
        return error;
    }
    m_bFresh = true;
    m_outputRate = m_renderer.OutputRate();
    m_hrtfName = m_renderer.HrtfName();
    const uint32_t rate = m_source.format.sampleRate;
    if (m_outputRate == rate || rate == 0) {
        m_outputFrames = m_source.frameCount;
    } else {
        const uint64_t frames =
            (uint64_t{m_source.frameCount} * m_outputRate + rate / 2) / uint64_t{rate};
        m_outputFrames =
            static_cast<uint32_t>(std::min<uint64_t>(frames, std::numeric_limits<uint32_t>::max()));
    }
    return {};
}

std::optional<PcmFormat> BinauralExport::OutputFormat(bool bLargeForm) const {
    if (m_outputRate == 0 ||
        (!bLargeForm && !ExportTarget::FitsPlainForm(uint64_t{m_outputFrames} * FrameBytes()))) {
        return std::nullopt;
    }
    PcmFormat format{};
    format.formatTag = IsFloatFormat(m_sampleFormat) ? kFormatTagFloat : kFormatTagPcm;
    format.channels = 2;
    format.sampleRate = m_outputRate;
    format.blockAlign = static_cast<uint16_t>(FrameBytes());
    format.avgBytesPerSec = m_outputRate * FrameBytes();
    format.bitsPerSample = static_cast<uint16_t>(SampleFormatBits(m_sampleFormat));
    return format;
}

double BinauralExport::ScaleDownDb() const {
    return m_gain < 1.0f ? -20.0 * std::log10(static_cast<double>(m_gain)) : 0.0;
}

bool BinauralExport::SendPlace(uint32_t position) {
    const SoundPlace place = m_pCursor->At(position);
    PanPoint whole;
    SetAzimuth(whole, std::lround(place.azimuth));
    whole.elevation = static_cast<int32_t>(std::lround(place.elevation));
    whole.distanceCm = static_cast<uint32_t>(std::lround(place.distanceCm));
    whole.width = static_cast<int32_t>(std::lround(place.width));
    if (m_lastPlace == whole) {
        return true;
    }
    if (!m_renderer.SetPlace(whole.azimuth, whole.elevation, whole.distanceCm, whole.width)) {
        m_mixerError = m_renderer.LastError();
        return false;
    }
    m_lastPlace = whole;
    return true;
}

uint32_t BinauralExport::NextDirectionChange(uint32_t from) const {
    const PanSegment& segment = *m_pSegment;
    // Equal positions may give a segment that ends where it starts: look again one on.
    if (segment.endPos <= from) {
        return from + 1;
    }
    return segment.slope != 0.0 ? NextPanChange(segment, from, segment.endPos) : segment.endPos;
}

bool BinauralExport::FlushBlock(CSoundFile& output, uint32_t frames) {
    const size_t count = size_t{frames} * 2;
    m_peak = std::max(m_peak, TpdfDither::Peak(m_mix.data(), count));
    // Above full scale at unity: the rest is only measured, for the scaled render to come.
    if (m_gain == 1.0f && m_peak > TpdfDither::PeakLimit(m_sampleFormat)) {
        m_bOverFullScale = true;
    }
    if (m_bOverFullScale) {
        return true;
    }
    m_dither.QuantizeTo(m_mix.data(), count, m_gain, m_sampleFormat, m_block.data());
    return output.WriteSamples(m_block.data(), frames * FrameBytes());
}

BinauralExport::Outcome BinauralExport::Render(CSoundFile& output, ProgressIndicator& progress) {
    if (!m_bFresh) {
        m_mixerError = m_renderer.Open(m_wave);
        if (!m_mixerError.empty()) {
            return Outcome::MixerFailed;
        }
    }
    m_bFresh = false;
    if (m_bOverFullScale) {
        m_gain = TpdfDither::PeakLimit(m_sampleFormat) / m_peak;
    }
    m_bOverFullScale = false;
    m_peak = 0.0f;
    m_dither = TpdfDither();
    m_pSegment.reset();
    m_lastPan = 65535;
    m_lastPlace.reset();
    if (m_pCursor) {
        m_pCursor->Invalidate();
    }
    m_mix.assign(size_t{kBlockFrames} * 2, 0.0f);
    m_block.assign(size_t{kBlockFrames} * FrameBytes(), 0);

    const uint32_t frames = m_source.frameCount;
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));

    uint32_t position = 0;  // wave frames the mixer has read
    uint32_t done = 0;      // output frames mixed
    uint32_t pending = 0;   // of them, in the mix buffer
    while (done < m_outputFrames) {
        uint32_t until = kNoStop;
        if (m_pCursor && position < frames) {
            if (!SendPlace(position)) {
                return Outcome::MixerFailed;
            }
            // Runs of output frames, not a stop at a wave frame: the place moves on smoothly, so
            // it need not land on an exact frame.
            until = kNoStop;
        } else if (position < frames) {
            const int32_t pan =
                PanForFrame(*m_source.points, frames, position, m_pSegment, m_lastPan);
            if (m_pSegment && pan != m_lastPan) {
                if (!m_renderer.SetDirection(pan)) {
                    m_mixerError = m_renderer.LastError();
                    return Outcome::MixerFailed;
                }
                m_lastPan = pan;
            }
            if (m_pSegment) {
                until = NextDirectionChange(position);
            }
        }
        uint32_t rendered = 0;
        uint32_t room = std::min(kBlockFrames - pending, m_outputFrames - done);
        if (m_pCursor) {
            room = std::min(room, kPlaceRunFrames);
        }
        if (!m_renderer.Render(m_mix.data() + size_t{pending} * 2, room, until, rendered,
                               position)) {
            m_mixerError = m_renderer.LastError();
            return Outcome::MixerFailed;
        }
        pending += rendered;
        done += rendered;
        if (pending == kBlockFrames) {
            if (!FlushBlock(output, pending)) {
                return Outcome::WriteFailed;
            }
            pending = 0;
            progress.SetPos(static_cast<int>(uint64_t{done} * 100 / m_outputFrames));
            progress.SetStatus(FramesText(std::min(position, frames), frames));
            if (progress.CheckCancelButton()) {
                return Outcome::Cancelled;
            }
        }
    }
    if (pending > 0 && !FlushBlock(output, pending)) {
        return Outcome::WriteFailed;
    }
    return m_bOverFullScale ? Outcome::NeedsScaling : Outcome::Finished;
}

#include "deliver/BinauralExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "formats/CSoundFile.h"
#include "platform/ProgressIndicator.h"
#include "trajectory/PanPointList.h"

namespace {

std::string FramesText(uint32_t done, uint32_t total) {
    char text[32];
    std::snprintf(text, sizeof text, "(%u of %u)", done, total);
    return text;
}

}  // namespace

BinauralExport::BinauralExport(std::unique_ptr<RenderInput> input, const PanPointList& points,
                               BinauralRenderer& renderer, SampleFormat sampleFormat,
                               const SceneSpace& space)
    : m_pInput(std::move(input)),
      m_points(points),
      m_renderer(renderer),
      m_sampleFormat(sampleFormat) {
    m_wave.input = m_pInput.get();
    m_wave.points = &m_points;
    m_wave.space = space;
}

bool BinauralExport::StartTrajectory() const {
    return !m_points.IsEmpty();
}

std::string BinauralExport::OpenMixer() {
    std::string error = m_renderer.Open(m_wave);
    if (!error.empty()) {
        return error;
    }
    m_bFresh = true;
    m_outputRate = m_renderer.OutputRate();
    m_hrtfName = m_renderer.HrtfName();
    m_outputFrames = m_renderer.OutputFrames();
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

bool BinauralExport::FlushBlock(CSoundFile& output, uint32_t frames) {
    const size_t count = size_t{frames} * 2;
    if (m_pSpill && !m_pSpill->Append(m_mix.data(), count * sizeof(float))) {
        m_pSpill.reset();  // the scaled render, if one is needed, mixes again
    }
    m_peak = std::max(m_peak, TpdfDither::Peak(m_mix.data(), count));
    // Above full scale at unity: the rest is only measured, for the scaled render to come.
    if (m_gain == 1.0f && m_peak > TpdfDither::PeakLimit(m_sampleFormat)) {
        m_bOverFullScale = true;
    }
    if (m_bOverFullScale) {
        return true;
    }
    m_dither.QuantizeTo(m_mix.data(), count, m_gain * m_level, m_sampleFormat, m_block.data());
    if (!output.WriteSamples(m_block.data(), frames * FrameBytes())) {
        return false;
    }
    if (m_pLoudness != nullptr) {
        m_pLoudness->Add(m_block.data(), frames * FrameBytes());
    }
    return true;
}

BinauralExport::Outcome BinauralExport::Replay(CSoundFile& output, ProgressIndicator& progress) {
    const std::unique_ptr<SpillFile> spill = std::move(m_pSpill);
    m_bOverFullScale = false;
    m_dither = TpdfDither();
    m_mix.assign(size_t{kBlockFrames} * 2, 0.0f);
    m_block.assign(size_t{kBlockFrames} * FrameBytes(), 0);
    progress.SetRange(0, 100);
    progress.SetPos(0);
    if (!spill->Rewind()) {
        return Outcome::WriteFailed;
    }
    const uint32_t frames = m_pInput->Frames();
    for (uint32_t done = 0; done < m_outputFrames;) {
        const uint32_t count = std::min(kBlockFrames, m_outputFrames - done);
        if (!spill->Read(m_mix.data(), size_t{count} * 2 * sizeof(float)) ||
            !FlushBlock(output, count)) {
            return Outcome::WriteFailed;
        }
        done += count;
        progress.SetPos(static_cast<int>(uint64_t{done} * 100 / m_outputFrames));
        progress.SetStatus(FramesText(
            static_cast<uint32_t>(uint64_t{done} * frames / std::max(m_outputFrames, 1u)), frames));
        if (progress.CheckCancelButton()) {
            return Outcome::Cancelled;
        }
    }
    return Outcome::Finished;
}

BinauralExport::Outcome BinauralExport::Render(CSoundFile& output, ProgressIndicator& progress) {
    if (m_bOverFullScale) {
        m_gain = TpdfDither::PeakLimit(m_sampleFormat) / m_peak;
        if (m_pSpill && m_pSpill->Size() == uint64_t{m_outputFrames} * 2 * sizeof(float)) {
            return Replay(output, progress);
        }
    }
    m_pSpill.reset();
    if (m_bFresh && !m_spillFolder.empty()) {
        m_pSpill = SpillFile::Open(m_spillFolder);
    }
    if (!m_bFresh) {
        m_mixerError = m_renderer.Open(m_wave);
        if (!m_mixerError.empty()) {
            return Outcome::MixerFailed;
        }
    }
    m_bFresh = false;
    m_bOverFullScale = false;
    m_peak = 0.0f;
    m_dither = TpdfDither();
    m_mix.assign(size_t{kBlockFrames} * 2, 0.0f);
    m_block.assign(size_t{kBlockFrames} * FrameBytes(), 0);

    const uint32_t frames = m_pInput->Frames();
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));

    uint32_t done = 0;     // output frames mixed
    uint32_t pending = 0;  // of them, in the mix buffer
    while (done < m_outputFrames) {
        uint32_t rendered = 0;
        const uint32_t room = std::min(kBlockFrames - pending, m_outputFrames - done);
        if (!m_renderer.Render(m_mix.data() + size_t{pending} * 2, room, rendered)) {
            m_mixerError = m_renderer.LastError();
            return Outcome::MixerFailed;
        }
        if (rendered == 0) {
            m_mixerError = "The binaural renderer stopped before the end of the sound.";
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
            progress.SetStatus(
                FramesText(static_cast<uint32_t>(std::min<uint64_t>(
                               uint64_t{done} * frames / std::max(m_outputFrames, 1u), frames)),
                           frames));
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

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
#include "deliver/ResampledMono.h"
#include "deliver/RoomBus.h"
#include "formats/CSoundFile.h"
#include "formats/ImportResampler.h"
#include "platform/DistanceLaw.h"
#include "platform/ProgressIndicator.h"
#include "platform/SpillFile.h"
#include "render/AmbisonicsEncoder.h"
#include "render/PointSourcePanner.h"
#include "render/SpeakerLayout.h"
#include "trajectory/PanPointList.h"

namespace {

std::string FramesText(uint64_t done, uint64_t total) {
    return "(" + std::to_string(done) + " of " + std::to_string(total) + ")";
}

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
    if (m_propagation.HasRoom()) {
        Propagation* stage = &m_propagation;
        Propagation::Reader read = m_read;
        int channels = m_sources;
        if (m_pResampler) {
            m_pRoomPoints = std::make_unique<PanPointList>();
            std::vector<PanPoint> moved = points.Values();
            for (PanPoint& point : moved) {
                point.position = static_cast<uint32_t>(
                    ImportResampler::MapPosition(point.position, inRate, m_outputRate));
            }
            m_pRoomPoints->AddPoints(moved);
            m_bDirectFromRoom = m_sources == 1 && m_propagation.HearsSourceAsIs();
            // Fed as the direct sound's resampler would be, when it stands in for that.
            m_pRoomSource = std::make_unique<ResampledMono>(
                *m_pInput, m_outputRate, m_bDirectFromRoom ? m_propagation.HeardFrames() : 0);
            m_pRoomStage = std::make_unique<Propagation>(
                *m_pRoomPoints, static_cast<uint32_t>(m_pRoomSource->Frames()),
                Propagation::Setup{m_outputRate, TrajectoryCursor::Mode::AllAround, space});
            stage = m_pRoomStage.get();
            read = [this](uint32_t first, uint32_t count, float* out) {
                m_pRoomSource->Read(first, count, out);
            };
            channels = 1;
        }
        m_pRoom = std::make_unique<RoomBus>(
            *stage, std::move(read), channels,
            options.pLayout != nullptr ? RoomBus::Form::Speakers : RoomBus::Form::Ambisonics,
            std::clamp(options.order, 1, 3), options.pLayout);
    }
}

AmbisonicsExport::~AmbisonicsExport() = default;

void AmbisonicsExport::ShareWork(bool bShare) {
    if (m_pRoom) {
        m_pRoom->ShareWork(bShare);
    }
}

void AmbisonicsExport::Bound() const {
    if (m_loudest) {
        return;
    }
    // Every harmonic of SN3D stays within +-1, and so does every loudspeaker gain, so no
    // channel passes W's bound.
    m_loudest = m_pInput->PeakSum() * m_propagation.LargestGain();
    const float limit = TpdfDither::PeakLimit(m_options.format);
    if (*m_loudest > limit) {
        m_gain = static_cast<float>(limit / *m_loudest);
    }
}

double AmbisonicsExport::Loudest() const {
    Bound();
    return *m_loudest;
}

float AmbisonicsExport::OutputGain() const {
    Bound();
    return m_gain;
}

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
    Bound();
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
        if (m_added.empty()) {
            // The block becomes what is added, without a copy; the encoding overwrites the
            // buffer it gets back.
            m_added.swap(m_mix);
            m_added.resize(count);
            m_mix.resize(size_t{m_blockFrames} * m_channels);
        } else {
            m_added.insert(m_added.end(), m_mix.begin(),
                           m_mix.begin() + static_cast<ptrdiff_t>(count));
        }
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
    m_dither.QuantizeTo(m_mix.data(), count, OutputGain() * m_options.level, m_options.format,
                        buffer);
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
        float* run = m_mix.data() + size_t{m_mixFrames} * m_channels;
        AmbisonicsEncoder::EncodeRun(m_pending.data() + used * m_sources, m_sources, frames,
                                     m_from.data(), m_to.data(), m_channels, run);
        if (m_pRoom) {
            const float* room = m_roomPending.data() + used * static_cast<size_t>(m_channels);
            const size_t floats = size_t{frames} * m_channels;
            size_t i = 0;
#if defined(__SSE2__)
            for (; i + 4 <= floats; i += 4) {
                _mm_storeu_ps(run + i, _mm_add_ps(_mm_loadu_ps(run + i), _mm_loadu_ps(room + i)));
            }
#endif
            for (; i < floats; ++i) {
                run[i] += room[i];
            }
        }
        m_from.swap(m_to);
        m_mixFrames += frames;
        m_done += frames;
        used += frames;
        if (m_mixFrames == m_blockFrames && !Flush(writer)) {
            return false;
        }
    }
    m_pending.erase(m_pending.begin(),
                    m_pending.begin() + static_cast<ptrdiff_t>(used * m_sources));
    if (m_pRoom) {
        m_roomPending.erase(m_roomPending.begin(),
                            m_roomPending.begin() + static_cast<ptrdiff_t>(used * m_channels));
    }
    return true;
}

void AmbisonicsExport::ShareResampling(ResampledSources& shared, const std::string& key) {
    // Only the source's own samples are the same from one render to the next: travel and a
    // room make every event's signal its own.
    if (!m_pResampler || !m_propagation.IsDry() || m_pRoom || key.empty()) {
        return;
    }
    m_pShared = &shared;
    m_sharedKey = key + '\n' + std::to_string(m_pInput->Rate()) + '>' +
                  std::to_string(m_outputRate) + '/' + std::to_string(m_blockFrames);
}

bool AmbisonicsExport::Resample(uint64_t from, uint32_t count) {
    if (m_pReplay) {
        if (m_replayPiece < m_pReplay->pieces.size()) {
            const size_t n = m_pReplay->pieces[m_replayPiece++];
            const auto at = m_pReplay->samples.begin() + static_cast<ptrdiff_t>(m_replayAt);
            m_pending.insert(m_pending.end(), at, at + static_cast<ptrdiff_t>(n));
            m_replayAt += n;
        }
        return true;
    }
    if (m_bDirectFromRoom) {
        return ReadFromRoom(
            from + count >= m_propagation.HeardFrames()
                ? m_outputFrames
                : ImportResampler::MapPosition(from + count, m_pInput->Rate(), m_outputRate));
    }
    m_block.resize(size_t{count} * m_sources);
    m_propagation.Hear(m_read, m_sources, from, count, m_block.data());
    m_wide.assign(m_block.begin(), m_block.end());
    m_resampled.clear();
    if (!m_pResampler->Process(m_wide.data(), count, m_resampled)) {
        m_resampleError = m_pResampler->GetError();
        return false;
    }
    AppendResampled();
    return true;
}

bool AmbisonicsExport::FinishResampling() {
    if (m_pReplay) {
        return Resample(0, 0);
    }
    if (m_bDirectFromRoom) {
        return ReadFromRoom(m_outputFrames);
    }
    m_resampled.clear();
    if (!m_pResampler->Finish(m_resampled)) {
        m_resampleError = m_pResampler->GetError();
        return false;
    }
    AppendResampled();
    if (m_pRecord) {
        m_pShared->Keep(m_sharedKey, std::move(*m_pRecord));
        m_pRecord.reset();
    }
    return true;
}

void AmbisonicsExport::AppendResampled() {
    m_pending.insert(m_pending.end(), m_resampled.begin(), m_resampled.end());
    if (!m_pRecord) {
        return;
    }
    if ((m_pRecord->samples.size() + m_resampled.size()) * sizeof(float) >
        m_pShared->BudgetBytes()) {
        m_pRecord.reset();  // never kept: no need to hold it
        return;
    }
    m_pRecord->samples.insert(m_pRecord->samples.end(),
                              m_pending.end() - static_cast<ptrdiff_t>(m_resampled.size()),
                              m_pending.end());
    m_pRecord->pieces.push_back(m_resampled.size());
}

bool AmbisonicsExport::ReadFromRoom(uint64_t until) {
    if (until <= m_directNext) {
        return true;
    }
    const size_t at = m_pending.size();
    m_pending.resize(at + (until - m_directNext));
    if (!m_pRoomSource->Read(m_directNext, static_cast<uint32_t>(until - m_directNext),
                             m_pending.data() + at)) {
        m_resampleError = m_pRoomSource->GetError();
        return false;
    }
    m_directNext = until;
    return true;
}

bool AmbisonicsExport::AddRoom(uint64_t until) {
    if (until <= m_roomNext) {
        return true;
    }
    const auto count = static_cast<uint32_t>(until - m_roomNext);
    const size_t at = m_roomPending.size();
    m_roomPending.resize(at + size_t{count} * m_channels, 0.0f);
    const uint64_t heard = (m_pRoomStage ? *m_pRoomStage : m_propagation).HeardFrames();
    if (m_roomNext < heard) {
        m_pRoom->AddTo(m_roomNext,
                       static_cast<uint32_t>(std::min<uint64_t>(count, heard - m_roomNext)),
                       m_roomPending.data() + at);
    }
    m_roomNext = until;
    if (m_pRoomSource && !m_pRoomSource->GetError().empty()) {
        m_resampleError = m_pRoomSource->GetError();
        return false;
    }
    return true;
}

AmbisonicsExport::Outcome AmbisonicsExport::Render(CSoundFile& output,
                                                   ProgressIndicator& progress) {
    BlockWriter writer(output, static_cast<uint32_t>(m_channels) * kBlockFrames * 4u);
    writer.MeasureWith(m_pLoudness);
    if (m_pRoom) {
        const Outcome outcome = RenderInRoom(writer, progress);
        if (outcome != Outcome::Finished) {
            return outcome;
        }
        writer.Drain();
        return writer.GetStatus().bFailed ? Outcome::WriteFailed : Outcome::Finished;
    }
    Bound();
    const Outcome outcome = Run(&writer, progress);
    if (outcome != Outcome::Finished) {
        return outcome;
    }
    writer.Drain();
    return writer.GetStatus().bFailed ? Outcome::WriteFailed : Outcome::Finished;
}

AmbisonicsExport::Outcome AmbisonicsExport::RenderInRoom(BlockWriter& writer,
                                                         ProgressIndicator& progress) {
    const std::unique_ptr<SpillFile> spill = SpillFile::Open(m_spillFolder);
    if (!spill) {
        return Outcome::WriteFailed;
    }
    Start();
    const uint64_t frames = m_propagation.HeardFrames();
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));
    double peak = 0.0;
    Outcome outcome = Outcome::Finished;
    bool bGoing = true;
    while (bGoing) {
        m_added.clear();
        bGoing = Step(nullptr, outcome);
        if (outcome != Outcome::Finished) {
            return outcome;
        }
        peak =
            std::max(peak, static_cast<double>(TpdfDither::Peak(m_added.data(), m_added.size())));
        if (!spill->Append(m_added.data(), m_added.size() * sizeof(float))) {
            return Outcome::WriteFailed;
        }
        // The first half of the way: the second writes what this one found.
        progress.SetPos(
            static_cast<int>(std::min(m_nextRead, frames) * 50 / std::max<uint64_t>(frames, 1)));
        progress.SetStatus(FramesText(std::min(m_nextRead, frames), frames));
        if (progress.CheckCancelButton()) {
            return Outcome::Cancelled;
        }
    }
    m_loudest = peak;
    const float limit = TpdfDither::PeakLimit(m_options.format);
    m_gain = peak > limit ? static_cast<float>(limit / peak) : 1.0f;
    if (!spill->Rewind()) {
        return Outcome::WriteFailed;
    }
    m_dither = TpdfDither();
    const uint64_t total = spill->Size() / sizeof(float) / static_cast<size_t>(m_channels);
    for (uint64_t done = 0; done < total;) {
        m_mixFrames = static_cast<uint32_t>(std::min<uint64_t>(kBlockFrames, total - done));
        m_mix.resize(size_t{kBlockFrames} * m_channels);
        if (!spill->Read(m_mix.data(), size_t{m_mixFrames} * m_channels * sizeof(float)) ||
            !Flush(&writer)) {
            return Outcome::WriteFailed;
        }
        done += kBlockFrames;
        progress.SetPos(
            static_cast<int>(50 + std::min(done, total) * 50 / std::max<uint64_t>(total, 1)));
        if (progress.CheckCancelButton()) {
            return Outcome::Cancelled;
        }
    }
    return Outcome::Finished;
}

AmbisonicsExport::Outcome AmbisonicsExport::AddNext(float* out, uint64_t frames, float gain) {
    if (!m_bStarted) {
        Start();
        m_bStarted = true;
    }
    const auto channels = static_cast<size_t>(m_channels);
    while (frames > 0) {
        if (m_addedAt == m_added.size()) {
            m_added.clear();
            m_addedAt = 0;
            Outcome outcome = Outcome::Finished;
            if (m_bOver || !Step(nullptr, outcome)) {
                if (outcome != Outcome::Finished) {
                    return outcome;
                }
                if (m_added.empty()) {
                    return Outcome::Finished;  // past the end: nothing to add
                }
            }
            continue;
        }
        const size_t count =
            std::min<size_t>(static_cast<size_t>(frames) * channels, m_added.size() - m_addedAt);
        float* to = out;
        const float* from = m_added.data() + m_addedAt;
        size_t i = 0;
#if defined(__SSE2__)
        // Four at a time, each rounded as the loop below rounds it: the same sums.
        const __m128 scale = _mm_set1_ps(gain);
        for (; i + 4 <= count; i += 4) {
            _mm_storeu_ps(to + i, _mm_add_ps(_mm_loadu_ps(to + i),
                                             _mm_mul_ps(_mm_loadu_ps(from + i), scale)));
        }
#endif
        for (; i < count; ++i) {
            to[i] += from[i] * gain;
        }
        if (m_pRoom) {
            m_addedPeak = std::max(m_addedPeak, static_cast<double>(TpdfDither::Peak(from, count)));
        }
        m_addedAt += count;
        out += count;
        frames -= count / channels;
    }
    return Outcome::Finished;
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

void AmbisonicsExport::Start() {
    m_roomPending.clear();
    m_pReplay.reset();
    m_pRecord.reset();
    m_replayPiece = 0;
    m_replayAt = 0;
    if (m_pShared) {
        m_pReplay = m_pShared->Find(m_sharedKey);
        if (!m_pReplay) {
            m_pRecord = std::make_unique<ResampledSources::Stream>();
        }
    }
    m_roomNext = 0;
    m_directNext = 0;
    if (m_pRoomStage) {
        m_pRoomStage->Invalidate();
    }
    m_done = 0;
    m_mixFrames = 0;
    m_nextRead = 0;
    m_bOver = false;
    m_pending.clear();
    m_dither = TpdfDither();
    m_propagation.Invalidate();
    const size_t gains = static_cast<size_t>(m_channels) * m_sources;
    m_from.assign(gains, 0.0f);
    m_to.assign(gains, 0.0f);
    m_mix.assign(size_t{m_blockFrames} * m_channels, 0.0f);
    GainsAt(0, m_from.data());
}

bool AmbisonicsExport::Step(BlockWriter* writer, Outcome& outcome) {
    outcome = Outcome::Finished;
    if (m_bOver) {
        return false;
    }
    if (m_pResampler && !m_pResampler->IsOk()) {
        m_resampleError = m_pResampler->GetError();
        outcome = Outcome::ResampleFailed;
        m_bOver = true;
        return false;
    }
    const uint64_t frames = m_propagation.HeardFrames();
    if (m_nextRead < frames) {
        const uint64_t from = m_nextRead;
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(m_blockFrames, frames - from));
        if (m_pResampler) {
            if (!Resample(from, count)) {
                outcome = Outcome::ResampleFailed;
                m_bOver = true;
                return false;
            }
        } else {
            m_block.resize(size_t{count} * m_sources);
            m_propagation.Hear(m_read, m_sources, from, count, m_block.data());
            m_pending.insert(m_pending.end(), m_block.begin(), m_block.end());
        }
        // The room as far as the sound at the output's rate has come.
        if (m_pRoom && !AddRoom(m_done + m_pending.size() / m_sources)) {
            outcome = Outcome::ResampleFailed;
            m_bOver = true;
            return false;
        }
        // Whole runs only, until the last: a run's gains are taken at its edges.
        size_t ready = m_pending.size() / m_sources;
        if (m_pRoom) {
            ready = std::min(ready, m_roomPending.size() / static_cast<size_t>(m_channels));
        }
        if (!Encode(ready - ready % kRunFrames, writer)) {
            outcome = Outcome::WriteFailed;
            m_bOver = true;
            return false;
        }
        m_nextRead = from + count;
        return true;
    }
    m_bOver = true;
    if (m_pResampler) {
        if (!FinishResampling()) {
            outcome = Outcome::ResampleFailed;
            return false;
        }
    }
    const size_t rest = std::min<uint64_t>(m_pending.size() / m_sources, m_outputFrames - m_done);
    if (m_pRoom && !AddRoom(m_done + rest)) {
        outcome = Outcome::ResampleFailed;
        return false;
    }
    if (!Encode(rest, writer) || (m_mixFrames > 0 && !Flush(writer))) {
        outcome = Outcome::WriteFailed;
    }
    return false;
}

AmbisonicsExport::Outcome AmbisonicsExport::Run(BlockWriter* writer, ProgressIndicator& progress) {
    Start();
    const uint64_t frames = m_propagation.HeardFrames();
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.SetStatus(FramesText(0, frames));
    Outcome outcome = Outcome::Finished;
    while (Step(writer, outcome)) {
        progress.SetPos(static_cast<int>(m_nextRead * 100 / frames));
        progress.SetStatus(FramesText(m_nextRead, frames));
        if (progress.CheckCancelButton()) {
            return Outcome::Cancelled;
        }
    }
    return outcome;
}

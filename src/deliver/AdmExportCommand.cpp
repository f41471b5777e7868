#include "deliver/AdmExportCommand.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudnessTarget.h"
#include "deliver/RoomBus.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/StatusLines.h"
#include "formats/AdmMetadata.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/ProgressIndicator.h"
#include "platform/UserPrompts.h"
#include "render/AmbisonicsEncoder.h"
#include "render/TpdfDither.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "scene/Scene.h"
#include "trajectory/AdmTrajectory.h"

namespace {

// Samples go to the file in blocks this large: few enough calls to cost nothing beside the
// copy, small enough for Cancel to answer at once.
constexpr uint32_t kBlockBytes = 4u << 20;

// The file's samples: the sound's own, or the format asked for. The frame's size follows from
// the samples, never from a header that may say otherwise.
PcmFormat OutputFormat(const PcmFormat& source, std::optional<SampleFormat> sampleFormat) {
    PcmFormat format = source;
    if (sampleFormat) {
        format.formatTag = IsFloatFormat(*sampleFormat) ? kFormatTagFloat : kFormatTagPcm;
        format.bitsPerSample = static_cast<uint16_t>(SampleFormatBits(*sampleFormat));
    }
    format.blockAlign = static_cast<uint16_t>(format.channels * format.bitsPerSample / 8);
    format.avgBytesPerSec = format.sampleRate * format.blockAlign;
    return format;
}

// The sound's samples in the output's format, times level: as stored where it is the sound's
// own at unity, else through floats, dithered only where the output is coarser than the source
// or turned, so a finer format holds the sound's samples exactly.
// The sound as it arrives travels in the objects' samples (delayed and filtered by the stage,
// without the distance's gain, which a renderer of the file gives from the places); dry, they are
// the sound's own.
//
// In a room, the room follows the objects' channels as AmbiX of an order: levelled to the
// direct sound as the objects carry it, at the source's own level whatever its distance, as an
// object's renderer gives it (the distance of an object places it, never levels it).
class SampleConverter {
  public:
    SampleConverter(RenderInput& input, Propagation& stage, const PcmFormat& output, float level,
                    int hoaOrder)
        : m_input(input),
          m_stage(stage),
          m_bSame(output.formatTag == input.Format().formatTag &&
                  output.bitsPerSample == input.Format().bitsPerSample && level == 1.0f &&
                  stage.IsDry()),
          m_target(AdmExportCommand::TargetOf(output)),
          m_bDither(AdmExportCommand::NeedsDither(input.Format(), output, level) ||
                    (!stage.IsDry() && output.formatTag != kFormatTagFloat)),
          m_level(level),
          m_read([this](uint32_t first, uint32_t count, float* out) {
              m_input.Read(first, count, out);
          }) {
        if (hoaOrder > 0 && stage.HasRoom()) {
            m_pRoom = std::make_unique<RoomBus>(stage, m_read, input.Channels(),
                                                RoomBus::Form::Ambisonics, hoaOrder);
            m_pRoom->ShareWork(true);
        }
    }

    // frames from first, converted; valid until the next call.
    const uint8_t* Convert(uint32_t first, uint32_t frames) {
        if (m_bSame) {
            return m_input.ReadStored(first, frames);
        }
        const auto direct = static_cast<size_t>(m_input.Channels());
        m_floats.resize(size_t{frames} * direct);
        m_stage.Hear(m_read, m_input.Channels(), first, frames, m_floats.data());
        if (m_pRoom) {
            AddRoom(first, frames);
        }
        const size_t count = m_floats.size();
        m_out.resize(count * static_cast<size_t>(SampleFormatBits(m_target) / 8));
        m_dither.QuantizeTo(m_floats.data(), count, m_level, m_target, m_out.data(), m_bDither);
        return m_out.data();
    }

  private:
    // The direct channels in m_floats become the file's frames: each followed by the room's.
    void AddRoom(uint32_t first, uint32_t frames) {
        const auto direct = static_cast<size_t>(m_input.Channels());
        const auto room = static_cast<size_t>(m_pRoom->Channels());
        m_room.assign(size_t{frames} * room, 0.0f);
        m_pRoom->AddTo(first, frames, m_room.data());
        // Over by the direct sound's gain, stepped in a line across runs of the bus's grid.
        for (uint32_t at = 0; at < frames;) {
            const uint64_t heard = uint64_t{first} + at;
            const uint64_t cell = heard - heard % RoomBus::kRunFrames;
            const uint32_t run = static_cast<uint32_t>(
                std::min<uint64_t>(cell + RoomBus::kRunFrames - heard, frames - at));
            const double from = Inverse(cell);
            const double step = (Inverse(cell + RoomBus::kRunFrames) - from) / RoomBus::kRunFrames;
            for (uint32_t i = 0; i < run; ++i) {
                const auto scale =
                    static_cast<float>(from + step * static_cast<double>(heard - cell + i));
                float* frame = m_room.data() + size_t{at + i} * room;
                for (size_t c = 0; c < room; ++c) {
                    frame[c] *= scale;
                }
            }
            at += run;
        }
        std::vector<float>& out = m_mixed;
        out.resize(size_t{frames} * (direct + room));
        for (uint32_t i = 0; i < frames; ++i) {
            std::copy_n(m_floats.data() + size_t{i} * direct, direct,
                        out.data() + size_t{i} * (direct + room));
            std::copy_n(m_room.data() + size_t{i} * room, room,
                        out.data() + size_t{i} * (direct + room) + direct);
        }
        m_floats.swap(out);
    }
    // One over the direct sound's gain at a heard frame.
    double Inverse(uint64_t heard) {
        const std::optional<Arrival> arrival = m_stage.At(heard);
        return arrival && arrival->gain > 1e-9 ? 1.0 / arrival->gain : 1.0;
    }

    RenderInput& m_input;
    Propagation& m_stage;
    bool m_bSame;
    SampleFormat m_target;
    bool m_bDither;
    float m_level;
    Propagation::Reader m_read;
    TpdfDither m_dither;
    std::vector<float> m_floats;
    std::vector<uint8_t> m_out;
    std::unique_ptr<RoomBus> m_pRoom;
    std::vector<float> m_room, m_mixed;
};

}  // namespace

AdmExportCommand::AdmExportCommand(const CTesselDoc& document)
    : m_document(document), m_host(document.GetHost()) {}

bool AdmExportCommand::Run() {
    SaveNameResult result;
    std::optional<SampleFormat> format;
    std::optional<double> loudness;
    if (!ExportTarget::AskNameAndFormat(m_host, "Export ADM BW64 File As...", m_document.GetTitle(),
                                        "adm", "AdmSampleFormat", "AdmLoudness", result, format,
                                        loudness, kAdmExportNote)) {
        return false;
    }
    return LoudnessTarget::Run(loudness, m_host, result.fullPath,
                               [&](const std::string& path, float level) {
                                   SetLevel(level);
                                   return RenderTo(path, format);
                               });
}

bool AdmExportCommand::RenderTo(const std::string& path, std::optional<SampleFormat> sampleFormat) {
    UserPrompts& prompts = m_host.Prompts();
    const PcmFormat& source = m_document.GetFormat();
    const uint32_t frameCount = m_document.GetFrameCount();
    const PcmFormat format = OutputFormat(source, sampleFormat);

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    if (m_document.GetPanPoints().IsEmpty()) {
        ExportTarget::RefuseWithoutPoints(prompts);
        return false;
    }
    if (ExportTarget::RefuseOutsideRoom(m_document, prompts)) {
        return false;
    }
    // Every byte written is one the sound holds: a frame stride that disagrees with the
    // samples would copy past them.
    const bool bStride = source.blockAlign == source.channels * (source.bitsPerSample / 8u) &&
                         uint64_t{frameCount} * source.blockAlign <= m_document.GetDataBytes();
    if (format.channels < 1 || format.channels > 2 || format.sampleRate == 0 || !bStride) {
        prompts.Message("Unsupported sample format!");
        return false;
    }
    const std::unique_ptr<RenderInput> input = RenderInput::OfDocument(m_document);
    Propagation stage(
        m_document.GetPanPoints(), frameCount,
        {format.sampleRate, TrajectoryCursor::Mode::AllAround, SceneSpace::Of(m_document)});
    // With Doppler the objects last until the last sound has arrived; the places stay the
    // trajectory's.
    const auto heardFrames =
        static_cast<uint32_t>(std::min<uint64_t>(stage.HeardFrames(), UINT32_MAX));
    // A room becomes an object of its own beside the direct sound's.
    const int hoaOrder = stage.HasRoom() ? m_roomOrder : 0;
    const AdmHoaObject room{m_document.GetTitle() + " room", hoaOrder};
    const HeadTurn& head = m_document.GetHeadTurn();
    const std::vector<uint8_t> axml = BuildAxmlChunk(
        AdmTrajectory::ChannelBlocks(m_document.GetPanPoints(), heardFrames, format.channels, head),
        m_document.GetTitle(), format.sampleRate, format.bitsPerSample, heardFrames, nullptr,
        hoaOrder > 0 ? &room : nullptr, AdmTrajectory::HeadNote(head));
    PcmFormat written = format;
    written.channels = static_cast<uint16_t>(
        format.channels + (hoaOrder > 0 ? AmbisonicsEncoder::ChannelCount(hoaOrder) : 0));
    written.blockAlign = static_cast<uint16_t>(written.channels * written.bitsPerSample / 8);
    written.avgBytesPerSec = written.sampleRate * written.blockAlign;
    SampleConverter converter(*input, stage, written, m_level, hoaOrder);
    return WriteFile(
        m_host, path, written, axml, heardFrames,
        [&converter](uint32_t first, uint32_t frames) { return converter.Convert(first, frames); },
        format.channels);
}

bool AdmExportCommand::WriteFile(DocumentHost& host, const std::string& path,
                                 const PcmFormat& format, const std::vector<uint8_t>& axml,
                                 uint32_t frameCount, const BlockSource& convert,
                                 std::optional<uint16_t> objectChannels) {
    UserPrompts& prompts = host.Prompts();
    // Tracks past the objects' carry AmbiX: their order follows from how many there are.
    const uint16_t objects = objectChannels.value_or(format.channels);
    const auto hoaOrder = static_cast<int>(std::lround(std::sqrt(format.channels - objects))) - 1;
    const std::vector<uint8_t> chna = BuildChnaChunk(objects, std::max(hoaOrder, 0));
    const std::optional<size_t> loudnessAt = AdmLoudnessRoomAt(axml);

    ExportTarget output(path, kSoundTypeWave);
    CWaveFile* pWave = nullptr;
    output.SetWaveSetup([&](CWaveFile& wave) {
        // Past 4 GiB the form is RF64 rather than BW64: sox and libsndfile read that id only.
        wave.ReserveLargeHeader();
        wave.AddLeadingChunk(kChnaChunkId, chna);
        wave.AddLeadingChunk(kAxmlChunkId, axml);
        pWave = &wave;
    });
    // A wider format may take the data past 4 GiB: the file is then RF64.
    const uint64_t dataBytes = uint64_t{frameCount} * format.blockAlign;
    const uint32_t blockAlign = std::max<uint32_t>(format.blockAlign, 1u);
    const uint32_t blockBytes = kBlockBytes / blockAlign * blockAlign;
    bool bFailed = true;
    bool bCancelled = false;
    // The programme's loudness: every object, and of the AmbiX only W, its omnidirectional part.
    std::vector<LoudnessWeight> weights = ExportLoudness::UnitWeights(format.channels);
    for (size_t c = objects + 1u; c < weights.size(); ++c) {
        weights[c] = LoudnessWeight::LeftOut;
    }
    ExportLoudness loudness(format, weights);
    try {
        if (CSoundFile* writer = output.Begin(
                format, static_cast<uint32_t>(std::min<uint64_t>(dataBytes, UINT32_MAX)))) {
            const std::unique_ptr<ProgressIndicator> progress = prompts.OpenProgressDialog();
            progress->SetRange(0, 100);
            progress->SetStatus("Writing ADM file...");
            bFailed = false;
            const uint64_t dataStart = writer->GetFile()->GetPosition();
            for (uint64_t done = 0; done < dataBytes && !bFailed;) {
                const auto count =
                    static_cast<uint32_t>(std::min<uint64_t>(blockBytes, dataBytes - done));
                const uint32_t frames = count / blockAlign;
                const uint8_t* block = convert(static_cast<uint32_t>(done / blockAlign), frames);
                bFailed = block == nullptr || !writer->WriteSamples(block, count);
                done += count;
                progress->SetPos(static_cast<int>(done * 100 / dataBytes));
                if (done < dataBytes && progress->CheckCancelButton()) {
                    bCancelled = true;
                    break;
                }
            }
            if (!bFailed && !bCancelled && loudness.IsMeasuring()) {
                loudness.MeasureWritten(writer->GetFile()->GetFilePath(), dataStart, dataBytes);
            }
        }
        if (!bFailed && !bCancelled && pWave != nullptr && loudnessAt) {
            // The programme's loudness goes into the room the metadata kept for it.
            const ExportLoudness::Result measured = loudness.Finish();
            bFailed = !pWave->PatchLeadingChunk(
                kAxmlChunkId, *loudnessAt, AdmLoudnessText({measured.lufs, measured.truePeak}));
        }
    } catch (const CFileException&) {
        bFailed = true;
    }
    if (bCancelled) {
        output.Discard(prompts);
        return false;
    }
    const bool bWritten = output.Finish(bFailed, prompts);
    if (bWritten) {
        prompts.ShowStatus(StatusLines::Written("Exported", path) + loudness.Announce(host, path));
    }
    host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

bool AdmExportCommand::NeedsDither(const PcmFormat& source, const PcmFormat& output, float level) {
    return output.formatTag != kFormatTagFloat &&
           (source.formatTag == kFormatTagFloat || source.bitsPerSample > output.bitsPerSample ||
            level != 1.0f);
}

SampleFormat AdmExportCommand::TargetOf(const PcmFormat& output) {
    return output.formatTag == kFormatTagFloat ? SampleFormat::F32
           : output.bitsPerSample == 24        ? SampleFormat::S24
                                               : SampleFormat::S16;
}

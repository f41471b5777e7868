#include "document/AdmExportCommand.h"

#include <algorithm>
#include <memory>

#include "document/AdmTrajectory.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/ExportTarget.h"
#include "document/StatusLines.h"
#include "formats/AdmMetadata.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/ProgressIndicator.h"
#include "platform/UserPrompts.h"

namespace {

// Samples go to the file in blocks this large: few enough calls to cost nothing beside the
// copy, small enough for Cancel to answer at once.
constexpr uint32_t kBlockBytes = 4u << 20;

}  // namespace

AdmExportCommand::AdmExportCommand(const CTesselDoc& document)
    : m_document(document), m_host(document.GetHost()) {}

std::string AdmExportCommand::SampleFormatName(unsigned bits, bool bFloat) {
    if (bFloat) {
        return "f" + std::to_string(bits);
    }
    return (bits == 8 ? "u" : "s") + std::to_string(bits);
}

bool AdmExportCommand::Run() {
    SaveNameResult result;
    if (!ExportTarget::AskName(m_host, "Export ADM BW64 File As...", m_document.GetTitle(), "adm",
                               result)) {
        return false;
    }
    return RenderTo(result.fullPath);
}

bool AdmExportCommand::RenderTo(const std::string& path,
                                const std::optional<std::string>& sampleFormat) {
    UserPrompts& prompts = m_host.Prompts();
    const PcmFormat& format = m_document.GetFormat();
    const uint32_t frameCount = m_document.GetFrameCount();

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    const std::string own =
        SampleFormatName(format.bitsPerSample, format.formatTag == kFormatTagFloat);
    if (sampleFormat && *sampleFormat != own) {
        prompts.Message("An ADM file keeps the sound's own samples (" + own + "), not " +
                        *sampleFormat + ".");
        return false;
    }
    if (m_document.GetPanPoints().IsEmpty()) {
        prompts.Message("No Pan Events to track!");
        return false;
    }
    if (format.channels < 1 || format.channels > 2 || format.sampleRate == 0) {
        prompts.Message("Unsupported sample format!");
        return false;
    }
    std::vector<std::vector<AdmBlock>> blocks;
    for (const std::vector<AdmPlace>& places :
         AdmTrajectory::ChannelPlaces(m_document.GetPanPoints(), format.channels)) {
        blocks.push_back(AdmBlocksOf(places, frameCount));
    }
    std::vector<uint8_t> chna = BuildChnaChunk(format.channels);
    std::vector<uint8_t> axml = BuildAxmlChunk(blocks, m_document.GetTitle(), format.sampleRate,
                                               format.bitsPerSample, frameCount);

    ExportTarget output(path, kSoundTypeWave);
    output.SetWaveSetup([&](CWaveFile& wave) {
        // Past 4 GiB the form is RF64 rather than BW64: sox and libsndfile read that id only.
        wave.ReserveLargeHeader();
        wave.AddLeadingChunk(kChnaChunkId, std::move(chna));
        wave.AddLeadingChunk(kAxmlChunkId, std::move(axml));
    });
    const uint8_t* samples = m_document.GetSamples();
    const uint32_t dataBytes = m_document.GetDataBytes();
    const uint32_t blockAlign = std::max<uint32_t>(format.blockAlign, 1u);
    const uint32_t blockBytes = kBlockBytes / blockAlign * blockAlign;
    bool bFailed = true;
    bool bCancelled = false;
    try {
        if (CSoundFile* writer = output.Begin(format, dataBytes)) {
            const std::unique_ptr<ProgressIndicator> progress = prompts.OpenProgressDialog();
            progress->SetRange(0, 100);
            progress->SetStatus("Writing ADM file...");
            bFailed = false;
            for (uint32_t done = 0; done < dataBytes && !bFailed;) {
                const uint32_t count = std::min(blockBytes, dataBytes - done);
                bFailed = !writer->WriteSamples(samples + done, count);
                done += count;
                progress->SetPos(static_cast<int>(uint64_t{done} * 100 / dataBytes));
                if (done < dataBytes && progress->CheckCancelButton()) {
                    bCancelled = true;
                    break;
                }
            }
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
        prompts.ShowStatus(StatusLines::Written("Exported", path));
    }
    m_host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

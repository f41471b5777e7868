#include "deliver/LoudspeakerExportCommand.h"

#include <memory>
#include <vector>

#include "deliver/BinauralExportCommand.h"
#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/StatusLines.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/UserPrompts.h"
#include "render/LoudnessMeter.h"
#include "render/SpeakerLayout.h"

LoudspeakerExportCommand::LoudspeakerExportCommand(const CTesselDoc& document)
    : m_document(document), m_host(document.GetHost()) {}

std::string LoudspeakerExportCommand::UnknownLayoutText(const std::string& name) {
    std::string text = "Unknown loudspeaker layout '" + name + "'; the layouts are";
    const char* separator = " ";
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        text += separator;
        text += layout.Name();
        separator = ", ";
    }
    return text + ".";
}

bool LoudspeakerExportCommand::Run() {
    SaveNameRequest::Choice layouts{"Layout:", {}, 1, "LoudspeakerLayout"};
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        layouts.options.push_back(std::string(layout.Name()) + " (" +
                                  std::to_string(layout.ChannelCount()) + " channels)");
    }
    SaveNameRequest request;
    request.choices = {layouts,
                       ExportTarget::SampleFormatChoice("LoudspeakerSampleFormat"),
                       {"Sample rate:", {"The sound's own", "48000 Hz"}, 0, "LoudspeakerRate"}};
    SaveNameResult result;
    if (!ExportTarget::AskName(m_host, "Export Loudspeakers File As...", m_document.GetTitle(),
                               "speakers", result, request.choices)) {
        return false;
    }
    AmbisonicsExport::Options options;
    options.pLayout = &SpeakerLayout::All()[static_cast<size_t>(result.Chosen(request, 0))];
    options.format = SampleFormatFromIndex(result.Chosen(request, 1)).value_or(SampleFormat::S16);
    options.rate = result.Chosen(request, 2) == 1 ? 48000 : 0;
    return RenderTo(result.fullPath, result.filterIndex - 1, options);
}

bool LoudspeakerExportCommand::RenderTo(const std::string& path, int typeId,
                                        const AmbisonicsExport::Options& options) {
    UserPrompts& prompts = m_host.Prompts();

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    AmbisonicsExport exporter(RenderInput::OfDocument(m_document), m_document.GetPanPoints(),
                              options);
    if (!exporter.StartTrajectory()) {
        prompts.Message("No Pan Events to track!");
        return false;
    }
    // A WAV file past 4 GiB becomes RF64; an AIFF file cannot pass it.
    const std::optional<PcmFormat> format = exporter.OutputFormat(typeId == kSoundTypeWave);
    if (!format) {
        prompts.Message("The loudspeaker file would be too large for an AIFF file; WAV takes it.");
        return false;
    }

    ExportTarget output(path, typeId);
    const uint32_t mask = options.pLayout->ChannelMask();
    const PcmFormat head = *format;
    output.SetWaveSetup([head, mask](CWaveFile& wave) {
        wave.KeepFormatChunk(CWaveFile::ExtensibleFormatChunk(head, mask));
    });
    std::unique_ptr<ProgressIndicator> progress;
    AmbisonicsExport::Outcome outcome = AmbisonicsExport::Outcome::WriteFailed;
    ExportLoudness loudness(*format, LoudnessMeter::WeightsFor(*options.pLayout));
    exporter.MeasureWith(&loudness);
    try {
        if (CSoundFile* writer = output.Begin(*format, exporter.OutputDataBytes())) {
            progress = prompts.OpenProgressDialog("Creating loudspeaker file...");
            outcome = exporter.Render(*writer, *progress);
        }
    } catch (const CFileException&) {
        outcome = AmbisonicsExport::Outcome::WriteFailed;
    }
    if (outcome == AmbisonicsExport::Outcome::Cancelled) {
        output.Discard(prompts);
        return false;
    }
    bool bWritten = false;
    if (outcome == AmbisonicsExport::Outcome::ResampleFailed) {
        prompts.Message("The sound could not be resampled: " + exporter.ResampleError());
    } else {
        bWritten = output.Finish(outcome != AmbisonicsExport::Outcome::Finished, prompts);
    }
    if (bWritten) {
        prompts.ShowStatus(StatusLines::Written("Exported", path) +
                           loudness.Announce(m_host, path));
    }
    progress.reset();
    if (bWritten && exporter.ScaleDownDb() > 0.0) {
        prompts.Message(BinauralExportCommand::ScaledDownText(exporter.ScaleDownDb()),
                        UserPrompts::Icon::Information);
    }
    m_host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

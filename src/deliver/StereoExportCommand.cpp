#include "deliver/StereoExportCommand.h"

#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudnessTarget.h"
#include "deliver/StereoExport.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/StatusLines.h"
#include "formats/CSoundFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/UserPrompts.h"
#include "scene/Scene.h"

bool StereoExportCommand::Run() {
    SaveNameResult result;
    std::optional<SampleFormat> format;
    std::optional<double> loudness;
    DocumentHost& host = m_document.GetHost();
    if (!ExportTarget::AskNameAndFormat(host, "Export Stereo File As...", m_document.GetTitle(),
                                        "stereo", "StereoSampleFormat", "StereoLoudness", result,
                                        format, loudness)) {
        return false;
    }
    return LoudnessTarget::Run(loudness, host, result.fullPath,
                               [&](const std::string& path, float level) {
                                   SetLevel(level);
                                   return RenderTo(path, result.filterIndex - 1, format);
                               });
}

namespace {

// The sample format that holds a sound's own samples, where there is one.
std::optional<SampleFormat> OwnSampleFormat(const PcmFormat& format) {
    if (format.formatTag == kFormatTagFloat) {
        return format.bitsPerSample == 32 ? std::optional(SampleFormat::F32) : std::nullopt;
    }
    if (format.bitsPerSample == 16 || format.bitsPerSample == 24) {
        return format.bitsPerSample == 16 ? SampleFormat::S16 : SampleFormat::S24;
    }
    return std::nullopt;
}

}  // namespace

bool StereoExportCommand::RenderTo(const std::string& path, int typeId,
                                   std::optional<SampleFormat> sampleFormat) {
    DocumentHost& host = m_document.GetHost();
    UserPrompts& prompts = host.Prompts();
    const PcmFormat& sourceFormat = m_document.GetFormat();
    if (m_level != 1.0f && !sampleFormat) {
        sampleFormat = OwnSampleFormat(sourceFormat);
        if (!sampleFormat) {
            prompts.Message(
                "A loudness target needs 16- or 24-bit or float samples: choose the sample "
                "format, as this sound's own cannot be turned up or down.");
            return false;
        }
    }

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    StereoExport exporter(RenderInput::OfDocument(m_document), m_document.GetPanPoints(),
                          SceneSpace::Of(m_document));
    exporter.ShareWork(true);
    const uint32_t frameCount = exporter.OutputFrames();
    if (!exporter.SelectRate()) {
        prompts.Message("Unsupported sample rate!");
        return false;
    }
    if (!exporter.StartTrajectory()) {
        ExportTarget::RefuseWithoutPoints(prompts);
        return false;
    }
    if (ExportTarget::RefuseOutsideRoom(m_document, prompts)) {
        return false;
    }
    // A WAV file past 4 GiB becomes RF64; an AIFF file cannot pass it.
    const std::optional<PcmFormat> format = StereoExport::OutputFormatFor(
        sourceFormat, frameCount, sampleFormat, typeId == kSoundTypeWave);
    if (!format && StereoExport::OutputFormatFor(sourceFormat, frameCount, sampleFormat, true)) {
        prompts.Message("The stereo file would be too large for an AIFF file; WAV takes it.");
        return false;
    }
    if (sampleFormat) {
        exporter.SetSampleFormat(*sampleFormat);
        exporter.SetLevel(m_level);
    }

    // The output is written beside its name and put in place only when complete: a cancelled
    // or failed export leaves no half-made file, and an older file of that name survives.
    ExportTarget output(path, typeId);
    std::unique_ptr<ProgressIndicator> progress;
    StereoExport::Outcome outcome = StereoExport::Outcome::WriteFailed;
    std::unique_ptr<ExportLoudness> loudness;
    try {
        if (CSoundFile* writer =
                format ? output.Begin(*format, exporter.OutputDataBytes()) : nullptr) {
            loudness = std::make_unique<ExportLoudness>(
                *format, ExportLoudness::UnitWeights(format->channels));
            exporter.MeasureWith(loudness.get());
            progress = prompts.OpenProgressDialog();
            outcome = exporter.Render(*writer, *progress);
        }
    } catch (const CFileException&) {
        outcome = StereoExport::Outcome::WriteFailed;
    }
    if (outcome == StereoExport::Outcome::Cancelled) {
        output.Discard(prompts);
        return false;
    }
    const bool bWritten = output.Finish(outcome == StereoExport::Outcome::WriteFailed, prompts);
    if (bWritten) {
        std::string line = StatusLines::Written("Exported", path);
        if (exporter.IsFoldingPlaces()) {
            line += " " + StatusLines::FoldedOntoTheFront();
        }
        line += loudness->Announce(host, path);
        prompts.ShowStatus(line);
    }
    host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

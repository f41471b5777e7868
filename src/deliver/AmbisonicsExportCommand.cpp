#include "deliver/AmbisonicsExportCommand.h"

#include <memory>

#include "deliver/BinauralExportCommand.h"
#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudnessTarget.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/StatusLines.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/UserPrompts.h"
#include "scene/Scene.h"

namespace {

// The loudness of an AmbiX file is its W channel's, the sound as an omnidirectional
// microphone at the listener would take it.
std::vector<LoudnessWeight> AmbisonicsWeights(int channels) {
    std::vector<LoudnessWeight> weights(static_cast<size_t>(channels), LoudnessWeight::LeftOut);
    weights[0] = LoudnessWeight::Unit;
    return weights;
}

}  // namespace

AmbisonicsExportCommand::AmbisonicsExportCommand(const CTesselDoc& document)
    : m_document(document), m_host(document.GetHost()) {}

bool AmbisonicsExportCommand::Run() {
    SaveNameRequest request;
    request.choices = {
        {"Order:",
         {"First order (4 channels)", "Second order (9 channels)", "Third order (16 channels)"},
         0,
         "AmbisonicsOrder"},
        ExportTarget::SampleFormatChoice("AmbisonicsSampleFormat"),
        {"Sample rate:", {"The sound's own", "48000 Hz (360-degree video)"}, 0, "AmbisonicsRate"},
        ExportTarget::LoudnessChoice("AmbisonicsLoudness")};
    SaveNameResult result;
    if (!ExportTarget::AskName(m_host, "Export Ambisonics File As...", m_document.GetTitle(),
                               "ambix", result, request.choices)) {
        return false;
    }
    AmbisonicsExport::Options options;
    options.order = result.Chosen(request, 0) + 1;
    options.format = SampleFormatFromIndex(result.Chosen(request, 1)).value_or(SampleFormat::S16);
    options.rate = result.Chosen(request, 2) == 1 ? 48000 : 0;
    return LoudnessTarget::Run(ExportTarget::ChosenLoudness(request, result, 3), m_host,
                               result.fullPath, [&](const std::string& path, float level) {
                                   options.level = level;
                                   return RenderTo(path, result.filterIndex - 1, options);
                               });
}

bool AmbisonicsExportCommand::RenderTo(const std::string& path, int typeId,
                                       const AmbisonicsExport::Options& options) {
    return RenderExport(m_document, path, typeId, options, "Ambisonics",
                        AmbisonicsWeights((options.order + 1) * (options.order + 1)), nullptr);
}

bool AmbisonicsExportCommand::RenderExport(
    const CTesselDoc& document, const std::string& path, int typeId,
    const AmbisonicsExport::Options& options, const std::string& kind,
    const std::vector<LoudnessWeight>& weights,
    const std::function<void(CWaveFile&, const PcmFormat&)>& waveSetup) {
    DocumentHost& host = document.GetHost();
    UserPrompts& prompts = host.Prompts();

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    AmbisonicsExport exporter(RenderInput::OfDocument(document), document.GetPanPoints(), options,
                              SceneSpace::Of(document));
    exporter.ShareWork(true);
    if (!exporter.StartTrajectory()) {
        ExportTarget::RefuseWithoutPoints(prompts);
        return false;
    }
    if (ExportTarget::RefuseOutsideRoom(document, prompts)) {
        return false;
    }
    // A WAV file past 4 GiB becomes RF64; an AIFF file cannot pass it.
    const std::optional<PcmFormat> format = exporter.OutputFormat(typeId == kSoundTypeWave);
    if (!format) {
        prompts.Message("The " + kind + " file would be too large for an AIFF file; WAV takes it.");
        return false;
    }

    ExportTarget output(path, typeId);
    if (waveSetup) {
        output.SetWaveSetup(
            [&waveSetup, head = *format](CWaveFile& wave) { waveSetup(wave, head); });
    }
    std::unique_ptr<ProgressIndicator> progress;
    AmbisonicsExport::Outcome outcome = AmbisonicsExport::Outcome::WriteFailed;
    ExportLoudness loudness(*format, weights);
    exporter.MeasureWith(&loudness);
    try {
        if (CSoundFile* writer = output.Begin(*format, exporter.OutputDataBytes())) {
            progress = prompts.OpenProgressDialog("Creating " + kind + " file...");
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
        prompts.ShowStatus(StatusLines::Written("Exported", path) + loudness.Announce(host, path));
    }
    progress.reset();
    // A level turns the whole file after the scaling, so the scaling alone says nothing.
    if (bWritten && exporter.ScaleDownDb() > 0.0 && options.level == 1.0f) {
        prompts.Message(BinauralExportCommand::ScaledDownText(exporter.ScaleDownDb()),
                        UserPrompts::Icon::Information);
    }
    host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

#include "deliver/BinauralExportCommand.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "deliver/BinauralExport.h"
#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudnessTarget.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/StatusLines.h"
#include "formats/CSoundFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/UserPrompts.h"
#include "scene/RenderInput.h"
#include "scene/Scene.h"

std::string BinauralExportCommand::ScaledDownText(double db) {
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.1f", std::ceil(db * 10.0 - 1e-9) / 10.0);
    return std::string("The mix would have gone past full scale, so it was scaled down by ") +
           amount + " dB.";
}

BinauralExportCommand::BinauralExportCommand(const CTesselDoc& document)
    : m_document(document), m_host(document.GetHost()) {}

std::string BinauralExportCommand::SetNote() const {
    const std::unique_ptr<BinauralRenderer> renderer = m_host.MakeBinauralRenderer();
    if (!renderer) {
        return {};
    }
    const std::string set = renderer->ChosenSet();
    return "Binaural set: " + (set.empty() ? "the mixer's set that fits the sound" : set) +
           " (File > Preferences, Binaural export, chooses another).";
}

bool BinauralExportCommand::Run() {
    SaveNameRequest request;
    request.choices = {ExportTarget::SampleFormatChoice("BinauralSampleFormat"),
                       ExportTarget::LoudnessChoice("BinauralLoudness")};
    SaveNameResult result;
    if (!ExportTarget::AskName(m_host, "Export Binaural File As...", m_document.GetTitle(),
                               "binaural", result, request.choices, SetNote())) {
        return false;
    }
    const SampleFormat format =
        SampleFormatFromIndex(result.Chosen(request, 0)).value_or(SampleFormat::S16);
    return LoudnessTarget::Run(ExportTarget::ChosenLoudness(request, result, 1), m_host,
                               result.fullPath, [&](const std::string& path, float level) {
                                   SetLevel(level);
                                   return RenderTo(path, result.filterIndex - 1, format);
                               });
}

bool BinauralExportCommand::RenderTo(const std::string& path, int typeId,
                                     SampleFormat sampleFormat) {
    UserPrompts& prompts = m_host.Prompts();

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    const std::unique_ptr<BinauralRenderer> renderer = m_host.MakeBinauralRenderer();
    if (!renderer) {
        prompts.Message("This build has no mixer library, so it cannot make binaural files.");
        return false;
    }
    BinauralExport exporter(RenderInput::OfDocument(m_document), m_document.GetPanPoints(),
                            *renderer, sampleFormat, SceneSpace::Of(m_document));
    if (!exporter.StartTrajectory()) {
        ExportTarget::RefuseWithoutPoints(prompts);
        return false;
    }
    if (ExportTarget::RefuseOutsideRoom(m_document, prompts)) {
        return false;
    }
    if (const std::string error = exporter.OpenMixer(); !error.empty()) {
        prompts.Message(error);
        return false;
    }
    // A WAV file past 4 GiB becomes RF64; an AIFF file cannot pass it.
    const std::optional<PcmFormat> format = exporter.OutputFormat(typeId == kSoundTypeWave);
    if (!format) {
        prompts.Message(exporter.OutputFormat(true)
                            ? "The binaural file would be too large for an AIFF file; WAV takes it."
                            : "The binaural file would be too large for a sound file.");
        return false;
    }

    ExportTarget output(path, typeId);
    exporter.KeepMixIn(PathNames::DirectoryOf(path));
    exporter.SetLevel(m_level);
    std::unique_ptr<ProgressIndicator> progress;
    BinauralExport::Outcome outcome = BinauralExport::Outcome::WriteFailed;
    std::unique_ptr<ExportLoudness> loudness;
    try {
        progress = prompts.OpenProgressDialog("Creating binaural file...");
        // A mix found above full scale is rendered once more, scaled down, into a new file.
        for (int pass = 0; pass < 2; ++pass) {
            CSoundFile* writer = output.Begin(*format, exporter.OutputDataBytes());
            if (writer == nullptr) {
                outcome = BinauralExport::Outcome::WriteFailed;
                break;
            }
            loudness = std::make_unique<ExportLoudness>(
                *format, ExportLoudness::UnitWeights(format->channels));
            exporter.MeasureWith(loudness.get());
            outcome = exporter.Render(*writer, *progress);
            if (outcome != BinauralExport::Outcome::NeedsScaling) {
                break;
            }
        }
    } catch (const CFileException&) {
        outcome = BinauralExport::Outcome::WriteFailed;
    }

    if (outcome == BinauralExport::Outcome::Cancelled) {
        output.Discard(prompts);
        return false;
    }
    bool bWritten = false;
    if (outcome == BinauralExport::Outcome::MixerFailed) {
        prompts.Message(exporter.MixerError());
    } else {
        bWritten = output.Finish(outcome != BinauralExport::Outcome::Finished, prompts);
    }
    if (bWritten) {
        prompts.ShowStatus(StatusLines::Written("Exported", path) + " Binaural set: " +
                           renderer->HrtfName() + "." + loudness->Announce(m_host, path));
    }
    progress.reset();
    // A level turns the whole file after the scaling, so the scaling alone says nothing.
    if (bWritten && exporter.ScaleDownDb() > 0.0 && m_level == 1.0f) {
        prompts.Message(ScaledDownText(exporter.ScaleDownDb()), UserPrompts::Icon::Information);
    }
    m_host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

#include "document/BinauralExportCommand.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "document/BinauralExport.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "formats/CSoundFile.h"
#include "platform/CFileException.h"
#include "platform/SafeFileWriter.h"
#include "platform/UserPrompts.h"

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string BinauralExportCommand::ScaledDownText(double db) {
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.1f", std::ceil(db * 10.0 - 1e-9) / 10.0);
    return std::string("The mix would have gone past full scale, so it was scaled down by ") +
           amount + " dB.";
}

bool BinauralExportCommand::Run() {
    UserPrompts& prompts = m_host.Prompts();
    SaveNameRequest request;
    request.title = "Export Binaural File As...";
    request.filters = {{"Windows Wave", "*.WAV"}, {"Macintosh AIFF", "*.AIF"}};
    request.startFolder = m_host.GetExportFolder();
    SaveNameResult result;
    if (!m_host.AskSaveName(request, result)) {
        return false;
    }
    const std::string& path = result.fullPath;

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    const std::unique_ptr<BinauralRenderer> renderer = m_host.MakeBinauralRenderer();
    if (!renderer) {
        prompts.Message("This build has no mixer library, so it cannot make binaural files.");
        return false;
    }
    BinauralExport exporter({m_document.GetSamples(), m_document.GetFormat(),
                             m_document.GetFrameCount(), &m_document.GetPanPoints()},
                            *renderer);
    if (!exporter.StartTrajectory()) {
        prompts.Message("No Pan Events to track!");
        return false;
    }
    if (const std::string error = exporter.OpenMixer(); !error.empty()) {
        prompts.Message(error);
        return false;
    }
    const std::optional<PcmFormat> format = exporter.OutputFormat();
    if (!format) {
        prompts.Message("The binaural file would be too large for a sound file.");
        return false;
    }

    SafeFileWriter output(path);
    std::unique_ptr<CSoundFile> writer;
    std::unique_ptr<ProgressIndicator> progress;
    BinauralExport::Outcome outcome = BinauralExport::Outcome::WriteFailed;
    try {
        progress = prompts.OpenProgressDialog("Creating binaural file...");
        // A mix found above full scale is rendered once more, scaled down, into a new file.
        for (int pass = 0; pass < 2; ++pass) {
            writer.reset();
            writer = CreateSoundFileByName(output.Begin(), SoundTypeName(result.filterIndex - 1));
            if (!writer || !writer->CreateHeader(*format, exporter.OutputDataBytes())) {
                outcome = BinauralExport::Outcome::WriteFailed;
                break;
            }
            outcome = exporter.Render(*writer, *progress);
            if (outcome != BinauralExport::Outcome::NeedsScaling) {
                break;
            }
        }
    } catch (const CFileException&) {
        outcome = BinauralExport::Outcome::WriteFailed;
    }

    bool bWritten = false;
    if (outcome == BinauralExport::Outcome::Cancelled) {
        writer.reset();
        const std::string partial = output.GetTempPath();
        output.Abort();
        if (!partial.empty() && ::access(partial.c_str(), F_OK) == 0) {
            prompts.Message("Error removing output file.");
        }
        return false;
    }
    if (outcome == BinauralExport::Outcome::MixerFailed) {
        prompts.Message(exporter.MixerError());
    } else if (outcome != BinauralExport::Outcome::Finished) {
        prompts.Message("Error writing wave data!");
    } else if (!writer->CloseSamples()) {
        prompts.Message("Error closing wave data!");
    } else if (!writer->CloseFile()) {
        prompts.Message("Error closing wave file!");
    } else {
        try {
            writer.reset();
            output.Commit();
            bWritten = true;
        } catch (const CFileException&) {
            prompts.Message("Error closing wave file!");
        }
    }
    writer.reset();
    output.Abort();
    progress.reset();
    if (bWritten && exporter.ScaleDownDb() > 0.0) {
        prompts.Message(ScaledDownText(exporter.ScaleDownDb()), UserPrompts::Icon::Information);
    }
    m_host.SetExportFolder(FolderOf(path));
    return bWritten;
}

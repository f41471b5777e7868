#include "document/SoundImport.h"

#include <cctype>

#include "document/CProcessingDialog.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/DocumentOpen.h"
#include "platform/UserPrompts.h"

namespace {

using Status = SoundImporter::Status;

const char* const kNoMemory = "Error allocating memory for waveform!\n";

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChannelWord(int channels) {
    return channels == 1   ? "mono"
           : channels == 2 ? "stereo"
                           : std::to_string(channels) + " channels";
}

// Why import refuses a file, as one line; "" when it does not.
std::string Reason(Status status, const SoundImporter& importer) {
    switch (status) {
        case Status::Ok:
            return {};
        case Status::Unreadable:
            if (!importer.GetExplanation().empty()) {
                std::string reason = importer.GetExplanation() + ".";
                reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
                return reason + "\nlibsndfile reports: " + importer.GetError();
            }
            return "libsndfile reports: " + importer.GetError();
        case Status::TooManyChannels:
            return "It has " + std::to_string(importer.GetChannels()) +
                   " channels; Sonomap takes mono or stereo sounds only.";
        case Status::Empty:
            return "It holds no sample frames.";
        case Status::TooLong:
            return "At " + std::to_string(importer.GetFrames()) +
                   " frames it is too long for a WAV or AIFF file.";
        case Status::OutOfMemory:
            return kNoMemory;
        case Status::ReadFailed:
            return "libsndfile reports: " + importer.GetError();
        case Status::AdmRefused:
            return "Its ADM metadata is not one trajectory Sonomap can take: " +
                   importer.GetError() + ".";
    }
    return {};
}

}  // namespace

std::string SoundImport::ImportedTitle(const std::string& path) {
    std::string name = FileName(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name + " (imported)";
}

std::string SoundImport::FailureText(Status status, const SoundImporter& importer,
                                     const std::string& path) {
    switch (status) {
        case Status::Ok:
            return {};
        case Status::OutOfMemory:
            return kNoMemory;
        case Status::ReadFailed:
            return "Error importing " + FileName(path) + "!\n" + Reason(status, importer);
        default:
            return "Can't import " + FileName(path) + "!\n" + Reason(status, importer);
    }
}

bool SoundImport::ImportInto(CTesselDoc& doc, const std::string& path,
                             const ImportOptions& options) {
    UserPrompts& prompts = m_host.Prompts();
    SoundImporter importer(path, options);
    ImportedSound sound;
    Status status;
    {
        CProcessingDialog window(prompts);
        window.SetStatusText("Importing Waveform...");
        status = importer.Import(sound);
        if (status == Status::Ok) {
            if (!DocumentOpen(doc).LoadImported(sound, ImportedTitle(path), path, window)) {
                return false;
            }
        }
    }
    if (status != Status::Ok) {
        prompts.Message(FailureText(status, importer, path), UserPrompts::Icon::None,
                        status == Status::OutOfMemory ? 101 : 0);
        return false;
    }
    if (sound.clippedSamples != 0) {
        prompts.Message(std::to_string(sound.clippedSamples) + " samples of " + FileName(path) +
                            " lay beyond full scale and were clipped.",
                        UserPrompts::Icon::Exclamation);
    }
    return true;
}

bool SoundImport::AskToImport(const std::string& path, const std::string& refusal, unsigned helpId,
                              const std::string& informative) {
    UserPrompts& prompts = m_host.Prompts();
    SoundImporter importer(path, ImportOptions{});
    const Status status = importer.Examine();
    if (status == Status::Unreadable) {
        // What libsndfile cannot read either keeps the refusal as it was, with the file's own
        // fault under it when its sizes tell one.
        prompts.Message(importer.GetExplanation().empty()
                            ? refusal
                            : refusal + "\n\n" + Reason(status, importer),
                        UserPrompts::Icon::None, helpId, informative);
        return false;
    }
    if (status != Status::Ok) {
        prompts.Message(refusal + "\n\n" + Reason(status, importer), UserPrompts::Icon::None,
                        helpId, informative);
        return false;
    }
    std::string offer = refusal + "\n\nSonomap can import it instead (" +
                        importer.GetDescription() + ", " + ChannelWord(importer.GetChannels()) +
                        ", " + std::to_string(importer.GetSampleRate()) + " Hz) as a new " +
                        std::to_string(importer.TargetBits()) + "-bit " +
                        (importer.TargetIsFloat() ? "float " : "") + "document";
    if (importer.GetImportRate() != importer.GetSampleRate()) {
        offer += " at " + std::to_string(importer.GetImportRate()) + " Hz";
    }
    offer += ".\nImport it?";
    UserPrompts::Box box;
    box.text = offer;
    box.informative = informative;
    box.caption = UserPrompts::kAppCaption;
    box.buttons = UserPrompts::Buttons::YesNo;
    box.icon = UserPrompts::Icon::Question;
    box.helpId = helpId;
    box.defaultAnswer = UserPrompts::Answer::No;
    return prompts.ShowMessage(box) == UserPrompts::Answer::Yes;
}

#include "deliver/ExportTarget.h"

#include <unistd.h>

#include <algorithm>
#include <iterator>

#include "deliver/LoudnessTarget.h"

#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "platform/UserPrompts.h"
#include "platform/WriteFailure.h"
#include "scene/Scene.h"

ExportTarget::ExportTarget(const std::string& path, int typeId)
    : m_path(path), m_typeName(SoundTypeName(typeId)), m_output(path) {}

ExportTarget::~ExportTarget() {
    // The sound file closes its file before the temp file goes.
    m_pWriter.reset();
    m_output.Abort();
}

CSoundFile* ExportTarget::Begin(const PcmFormat& format, uint32_t dataBytes) {
    m_pWriter.reset();
    m_beginError = 0;
    try {
        m_pWriter = CreateSoundFileByName(m_output.Begin(), m_typeName);
    } catch (const CFileException& e) {
        m_pWriter.reset();
        m_beginError = e.GetError();
    }
    if (auto* wave = dynamic_cast<CWaveFile*>(m_pWriter.get())) {
        // An export past 4 GiB becomes RF64 rather than failing.
        wave->AllowLargeForm();
        if (m_waveSetup) {
            m_waveSetup(*wave);
        }
    }
    if (m_pWriter && !m_pWriter->CreateHeader(format, dataBytes)) {
        m_beginError = m_pWriter->GetFileError();
        m_pWriter.reset();
    }
    return m_pWriter.get();
}

void ExportTarget::Discard(UserPrompts& prompts) {
    m_pWriter.reset();
    const std::string partial = m_output.GetTempPath();
    m_output.Abort();
    if (!partial.empty() && ::access(partial.c_str(), F_OK) == 0) {
        prompts.Message("Error removing output file.");
    }
}

bool ExportTarget::Finish(bool bWriteFailed, UserPrompts& prompts) {
    bool bWritten = false;
    // The texts stay as they always were; the line under them says where and why.
    const auto fail = [&](const char* text, int error) {
        prompts.Message(text, UserPrompts::Icon::None, 0, WriteFailure::Reason(error, m_path));
    };
    if (bWriteFailed || !m_pWriter) {
        fail("Error writing wave data!", m_pWriter ? m_pWriter->GetFileError() : m_beginError);
    } else if (!m_pWriter->CloseSamples()) {
        fail("Error closing wave data!", m_pWriter->GetFileError());
    } else if (!m_pWriter->CloseFile()) {
        fail("Error closing wave file!", m_pWriter->GetFileError());
    } else {
        try {
            m_pWriter.reset();
            m_output.Commit();
            bWritten = true;
        } catch (const CFileException& e) {
            fail("Error closing wave file!", e.GetError());
        }
    }
    m_pWriter.reset();
    m_output.Abort();
    return bWritten;
}

bool ExportTarget::RefuseOutsideRoom(const CTesselDoc& document, UserPrompts& prompts) {
    const std::string why = SceneSpace::Of(document).Refusal(
        document.GetPanPoints(), document.GetFrameCount(), document.GetFormat().sampleRate);
    if (!why.empty()) {
        prompts.Message(why);
    }
    return !why.empty();
}

void ExportTarget::RefuseWithoutPoints(UserPrompts& prompts) {
    // The editor plays such a sound straight ahead; an export needs the path drawn.
    prompts.Message("No Pan Events to track!", UserPrompts::Icon::None, 0,
                    "The sound has no trajectory, so it is not rendered. Add points with Edit: "
                    "Pan Points in the editor, or with sonomap-cli set-points FILE --points "
                    "\"0:0\" (straight ahead) or --generate.");
}

bool ExportTarget::FitsPlainForm(uint64_t dataBytes) {
    const uint64_t limit = CWaveFile::PlainFormLimit();
    return dataBytes <= limit - std::min<uint64_t>(limit, 4096);
}

std::string ExportTarget::ProposedName(const std::string& title, const std::string& kind) {
    std::string name = title;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name + "-" + kind + ".wav";
}

bool ExportTarget::AskName(DocumentHost& host, const std::string& dialogTitle,
                           const std::string& documentTitle, const std::string& kind,
                           SaveNameResult& result,
                           const std::vector<SaveNameRequest::Choice>& choices,
                           const std::string& note) {
    SaveNameRequest request;
    request.title = dialogTitle;
    request.reason = note;
    request.filters = kSoundFileFilters;
    request.startFolder = host.GetExportFolder();
    request.proposedName = ProposedName(documentTitle, kind);
    request.choices = choices;
    return host.AskSaveName(request, result);
}

SaveNameRequest::Choice ExportTarget::SampleFormatChoice(const std::string& key) {
    return {"Sample format:",
            {"16-bit integer (dithered)", "24-bit integer (dithered)", "32-bit float"},
            0,
            key};
}

SaveNameRequest::Choice ExportTarget::LoudnessChoice(const std::string& key) {
    SaveNameRequest::Choice choice{
        "Loudness:",
        {"None (as rendered)", "-23 LUFS (EBU R 128)", "-24 LUFS (ATSC A/85)",
         "-16 LUFS (streaming)", "-14 LUFS (streaming)", "Other:"},
        0,
        key};
    choice.number = SaveNameRequest::Choice::Number{LoudnessTarget::kLowest,
                                                    LoudnessTarget::kHighest, -23.0, "LUFS"};
    return choice;
}

std::optional<double> ExportTarget::ChosenLoudness(const SaveNameRequest& request,
                                                   const SaveNameResult& result, size_t index) {
    static constexpr double kTargets[] = {-23.0, -24.0, -16.0, -14.0};
    const int chosen = result.Chosen(request, index);
    if (chosen == 0) {
        return std::nullopt;
    }
    if (chosen <= static_cast<int>(std::size(kTargets))) {
        return kTargets[chosen - 1];
    }
    return result.Number(request, index);
}

bool ExportTarget::AskNameAndFormat(DocumentHost& host, const std::string& dialogTitle,
                                    const std::string& documentTitle, const std::string& kind,
                                    const std::string& key, const std::string& loudnessKey,
                                    SaveNameResult& result, std::optional<SampleFormat>& format,
                                    std::optional<double>& loudness, const std::string& note) {
    SaveNameRequest request;
    request.choices = {SampleFormatChoice(key), LoudnessChoice(loudnessKey)};
    request.choices[0].options.insert(request.choices[0].options.begin(),
                                      "As the sound (no dither)");
    if (!AskName(host, dialogTitle, documentTitle, kind, result, request.choices, note)) {
        return false;
    }
    const int chosen = result.Chosen(request, 0);
    format = chosen == 0 ? std::nullopt : SampleFormatFromIndex(chosen - 1);
    loudness = ChosenLoudness(request, result, 1);
    return true;
}

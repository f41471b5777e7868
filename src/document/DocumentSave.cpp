#include "document/DocumentSave.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "document/AcousticsChunk.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/DocumentOpen.h"
#include "document/HelpIds.h"
#include "document/StatusLines.h"
#include "document/TrajectorySpan.h"
#include "formats/CSoundFile.h"
#include "formats/PanChunk.h"
#include "formats/PlaceChunk.h"
#include "formats/SpaceChunk.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/SafeFileWriter.h"
#include "platform/UserPrompts.h"
#include "platform/WriteFailure.h"
#include "trajectory/PlaceThinning.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryChunks.h"

namespace {

using Icon = UserPrompts::Icon;

// 70001 as "70,001".
std::string Thousands(size_t count) {
    std::string digits = std::to_string(count);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

const char* const kTypeConversion =
    "Due to file type conversion, unrecognized chunks will NOT be translated to the new output "
    "file!";

}  // namespace

DocumentSave::DocumentSave(CTesselDoc& document) : m_doc(document), m_host(document.GetHost()) {}

bool DocumentSave::Failed(const std::string& text, const CSoundFile* writer) {
    // The line under the text names the folder and why it took no more (full, read-only).
    const int error = writer != nullptr ? writer->GetFileError() : 0;
    m_host.Prompts().Message(
        text, Icon::None, HelpId::kFileError,
        error != 0 && !m_writingPath.empty() ? WriteFailure::Reason(error, m_writingPath) : "");
    return false;
}

bool DocumentSave::WriteSound(CFile& file) {
    std::unique_ptr<CSoundFile> writer = CreateSoundFileByName(file, m_doc.GetFileType());
    if (!writer) {
        return Failed("Error creating file!");
    }
    writer->KeepFormatChunk(m_doc.GetStoredFormatChunk());
    if (!writer->CreateHeader(m_doc.GetFormat(), m_doc.GetDataBytes())) {
        return Failed("Error creating file header!", writer.get());
    }
    if (!writer->WriteSamples(m_doc.GetSamples(), m_doc.GetDataBytes())) {
        return Failed("Error saving samples!", writer.get());
    }
    if (!writer->CloseSamples()) {
        return Failed("Error closing samples section!", writer.get());
    }
    const PanPointList& panPoints = m_doc.GetPanPoints();
    const bool bPlaces = !IsFrontal(panPoints);
    const std::vector<PanPoint> points = panPoints.Values();
    if (!points.empty()) {
        // More than 65535 points have no chunk: the save fails rather than drop any.
        std::optional<PanChunkBytes> chunk =
            BuildPanChunk(TrajectoryChunks::PansOf(points), m_doc.GetFrameCount(),
                          m_doc.GetChunkFlag(), m_doc.GetChunkValue());
        if (!chunk || !writer->WritePanChunk(*chunk)) {
            if (points.size() > kPanChunkMaxPoints) {
                m_host.Prompts().Message(
                    "Error saving achunk!", Icon::None, HelpId::kFileError,
                    "A sound file holds at most 65,535 pan points, and this trajectory has " +
                        Thousands(points.size()) +
                        ". Thin it to fewer: Save offers to, and sonomap-cli set-points takes "
                        "--thin DEGREES.");
                return false;
            }
            return Failed("Error saving achunk!", writer.get());
        }
    }
    if (bPlaces) {
        std::optional<std::vector<uint8_t>> chunk = BuildPlaceChunk(
            TrajectoryChunks::PlacesOf(points), m_doc.GetFrameCount(), writer->IsBigEndian());
        if (!chunk || !writer->WriteWholeChunk(kPlaceChunkId, *chunk)) {
            return Failed("Error saving achunk!", writer.get());
        }
    }
    const bool bSpace = !m_doc.GetAcoustics().IsDry();
    if (bSpace && !writer->WriteWholeChunk(
                      kSpaceChunkId, BuildSpaceChunk(AcousticsChunk::Encode(m_doc.GetAcoustics()),
                                                     writer->IsBigEndian()))) {
        return Failed("Error saving the space chunk!", writer.get());
    }
    const UnrecognizedChunkBlock* unrecognized = m_doc.GetUnrecognized();
    // A chunk of another version of the places or the space gives way to the one just written.
    std::unique_ptr<UnrecognizedChunkBlock> without;
    if (unrecognized != nullptr && bPlaces && unrecognized->Holds(kPlaceChunkId)) {
        without = unrecognized->Without(kPlaceChunkId);
        unrecognized = without.get();
    }
    std::unique_ptr<UnrecognizedChunkBlock> withoutSpace;
    if (unrecognized != nullptr && bSpace && unrecognized->Holds(kSpaceChunkId)) {
        withoutSpace = unrecognized->Without(kSpaceChunkId);
        unrecognized = withoutSpace.get();
    }
    if (unrecognized != nullptr) {
        writer->WriteUnrecognizedChunks(*unrecognized);
        if (!writer->IsOk()) {
            Failed("Error saving unrecognized chunks!", writer.get());
        }
    }
    if (!writer->CloseFile()) {
        return Failed("Error closing wave file!", writer.get());
    }
    return true;
}

void DocumentSave::OfferThinning() {
    const std::vector<PanPoint> points = m_doc.GetPanPoints().Values();
    if (points.size() <= kPanChunkMaxPoints) {
        return;
    }
    for (const double degrees : kThinningSteps) {
        std::vector<PanPoint> kept = PlaceThinning::Thin(points, degrees);
        if (kept.size() > kPanChunkMaxPoints) {
            continue;
        }
        char tolerance[16];
        std::snprintf(tolerance, sizeof tolerance, "%g", degrees);
        UserPrompts::Box box;
        box.text = "This trajectory has " + Thousands(points.size()) +
                   " pan points, more than the 65,535 a sound file holds. Thin it to " +
                   Thousands(kept.size()) + " points that keep within " + tolerance +
                   (degrees == 1.0 ? " degree" : " degrees") + " of it, and save?";
        box.informative = "Undo takes the thinning back.";
        box.caption = UserPrompts::kAppCaption;
        box.buttons = UserPrompts::Buttons::YesNo;
        box.icon = Icon::Question;
        box.defaultAnswer = UserPrompts::Answer::No;
        if (m_host.Prompts().ShowMessage(box) == UserPrompts::Answer::Yes) {
            TrajectorySpan::Replace(m_doc, points.front().position, points.back().position, kept);
        }
        return;
    }
}

bool DocumentSave::WriteTo(const std::string& path) {
    OfferThinning();
    // A failed save changes no file, so the document stays exactly as saved or unsaved.
    SafeFileWriter output(path);
    m_writingPath = path;
    try {
        CFile& file = output.Begin();
        if (!WriteSound(file)) {
            return false;
        }
        output.Commit();
    } catch (const CFileException& e) {
        DocumentOpen::ShowFileError(m_host, e.GetError(), path, true);
        return false;
    }
    m_doc.MarkSaved();
    m_host.Prompts().ShowStatus(StatusLines::Written("Saved", path));
    // The folder the user saved into: the name given, not the temp file nor a link's target.
    m_host.SetSaveFolder(PathNames::FolderOf(path));
    return true;
}

bool DocumentSave::SaveWithName(const std::string& path, bool replace) {
    std::string name = path;
    if (name.empty()) {
        name = m_doc.GetPathName();
        if (name.empty() && replace) {
            name = m_doc.GetTitle();
            const size_t cut = name.find_first_of(" #%;/\\");
            if (cut != std::string::npos) {
                name.resize(cut);
            }
            name += ".wav";
        }
    }
    if (path.empty() && !PromptSaveName(name, "Save As")) {
        return false;
    }
    // A failed save leaves every existing file as it was, so there is nothing to delete.
    if (!WriteTo(name)) {
        return false;
    }
    if (replace) {
        m_doc.SetPathName(name);
        // Saved under a name of its own, it no longer holds its source open.
        m_doc.SetImportSource(std::string());
        m_doc.SetDiskStamp(FileStamp::Of(name));
    }
    return true;
}

void DocumentSave::TakeFileType(int filterIndex) {
    const std::string chosenType = SoundTypeName(filterIndex - 1);
    if (chosenType != m_doc.GetFileType() && m_doc.GetUnrecognized() != nullptr) {
        m_host.Prompts().Message(kTypeConversion, Icon::Exclamation, HelpId::kTypeConversion);
        m_doc.SetUnrecognized(nullptr);
    }
    m_doc.SetFileType(chosenType);
}

bool DocumentSave::PromptSaveName(std::string& name, const std::string& title) {
    SaveNameRequest request;
    request.title = title;
    request.filters = kSoundFileFilters;
    request.filterIndex = SoundTypeId(m_doc.GetFileType()) + 1;
    request.proposedName = PathNames::FileName(name);
    request.startFolder = m_unwritableFolder.empty() ? m_host.GetSaveFolder() : m_unwritableFolder;
    request.reason = m_unwritableReason;
    request.bOwnDocument = true;
    request.ownDocumentPath = m_doc.GetPathName();

    SaveNameResult result;
    if (!m_host.AskSaveName(request, result)) {
        return false;
    }
    TakeFileType(result.filterIndex);
    name = result.fullPath;
    return true;
}

bool DocumentSave::SaveAsChosen(const SaveNameResult& chosen) {
    TakeFileType(chosen.filterIndex);
    return SaveWithName(chosen.fullPath, true);
}

std::string DocumentSave::WhyNotWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), W_OK) != 0) {
        std::string why = std::strerror(errno);
        if (!why.empty()) {
            why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
        }
        return why;
    }
    // Even where the owner could write it anyway (root), a file marked read-only stays so.
    return (st.st_mode & 0222) == 0 ? "the file is read-only" : std::string();
}

bool DocumentSave::Save() {
    const std::string& path = m_doc.GetPathName();
    if (path.empty()) {
        return SaveWithName(std::string(), true);
    }
    const std::string why = WhyNotWritable(path);
    if (why.empty()) {
        return AskBeforeOverwritingChanges() && SaveWithName(path, true);
    }
    // Save As, where the file is and saying why: a silent jump to another folder led users
    // to replace a different file of the same name.
    m_unwritableFolder = PathNames::FolderOf(path);
    m_unwritableReason = PathNames::FileName(path) + " cannot be written: " + why;
    const bool bSaved = SaveWithName(std::string(), true);
    m_unwritableFolder.clear();
    m_unwritableReason.clear();
    return bSaved;
}

bool DocumentSave::AskBeforeOverwritingChanges() {
    if (!m_doc.HasChangedOnDisk()) {
        return true;
    }
    UserPrompts::Box box;
    box.text = PathNames::FileName(m_doc.GetPathName()) +
               " has changed on disk since Sonomap opened or last saved it: another program has "
               "written it.\n\nSave anyway and replace those changes? (Save As keeps both.)";
    box.informative = m_doc.GetPathName();
    box.caption = UserPrompts::kAppCaption;
    box.buttons = UserPrompts::Buttons::YesNo;
    box.icon = Icon::Exclamation;
    box.defaultAnswer = UserPrompts::Answer::No;
    return m_host.Prompts().ShowMessage(box) == UserPrompts::Answer::Yes;
}

bool DocumentSave::SaveModified() {
    if (!m_doc.IsModified()) {
        return true;
    }
    UserPrompts::Box box;
    box.text = "Save changes to " + m_doc.GetTitle() + "?";
    box.caption = UserPrompts::kAppCaption;
    box.buttons = UserPrompts::Buttons::YesNoCancel;
    box.icon = Icon::Exclamation;
    box.defaultAnswer = UserPrompts::Answer::Yes;
    switch (m_host.Prompts().ShowMessage(box)) {
        case UserPrompts::Answer::Yes:
            return Save();
        case UserPrompts::Answer::No:
            return true;
        default:
            return false;
    }
}

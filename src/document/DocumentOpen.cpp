#include "document/DocumentOpen.h"

#include <algorithm>
#include <cerrno>

#include "document/AcousticsChunk.h"
#include "document/CProcessingDialog.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/HelpIds.h"
#include "document/SoundImport.h"
#include "document/StatusLines.h"
#include "formats/CSoundFile.h"
#include "formats/OpenRefusal.h"
#include "formats/PanChunk.h"
#include "formats/PlaceChunk.h"
#include "formats/SpaceChunk.h"
#include "peaks/MasterOverview.h"
#include "peaks/PeakSummary.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/RegularFile.h"
#include "platform/UserPrompts.h"
#include "platform/WriteFailure.h"
#include "render/SpatialFilter.h"
#include "trajectory/AdmTrajectory.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryChunks.h"

namespace {

using Icon = UserPrompts::Icon;

const char* const kNotASoundFile =
    "Error loading wave information... is this a valid '.wav' or '.aif' file?";
const char* const kBadFormat =
    "Invalid file format!\nFile must be mono or stereo, 8 or 16 bit, and the sample rate must be "
    "in the range 8k - 48k.";
// The same refusal for the depths added later, whose headline must not contradict them.
const char* const kBadDeepFormat =
    "Invalid file format!\nFile must be mono or stereo, 8, 16, 24 or 32 bit or 32-bit float, "
    "and the sample rate must be in the range 6k - 48k.";
const char* const kLongerFile =
    "This file has been modified outside of Sonomap.\n\nIt is longer than it was when the "
    "AmbrelChunk was created.";
const char* const kShorterFile =
    "This file has been modified outside of Sonomap.\n\nIt is shorter than it was when the "
    "AmbrelChunk was created.\nAny pan points which fall beyond the end of the file will be "
    "removed!";

std::string Substitute(std::string text, const std::string& value) {
    const size_t at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

const char* BadFormatText(const PcmFormat& format) {
    return IsDeepFormat(format) ? kBadDeepFormat : kBadFormat;
}

bool IsEditable(const PcmFormat& format) {
    SpatialFilter rateCheck;
    const bool bWidth = IsDeepFormat(format)
                            ? IsKeptDeepFormat(format)
                            : format.bitsPerSample == 8 || format.bitsPerSample == 16;
    // Frames are counted, played and copied by this stride: one that lies reads past the
    // samples.
    const bool bStride = format.blockAlign == format.channels * (format.bitsPerSample / 8u);
    return bWidth && bStride && (format.channels == 1 || format.channels == 2) &&
           rateCheck.SelectRate(static_cast<int32_t>(format.sampleRate)) !=
               SpatialFilter::kUnsupportedRate;
}

}  // namespace

DocumentOpen::DocumentOpen(CTesselDoc& document) : m_doc(document), m_host(document.GetHost()) {}

bool DocumentOpen::Open(const std::string& path) {
    UserPrompts& prompts = m_host.Prompts();
    try {
        CFile file(path, CFile::Mode::Read);
        // Of the file as read, so a change during the open still counts as one.
        m_doc.SetDiskStamp(FileStamp::OfDescriptor(file.GetDescriptor()));
        if (file.GetLength() == 0) {
            prompts.Message(kNotASoundFile, Icon::None, HelpId::kNotASoundFile,
                            OpenRefusal::Line(path, OpenRefusal::WhyNotASound(file)));
            return false;
        }
        m_doc.SetModifiedFlag(true);  // dirty while loading, as the platform does
        if (!Load(file)) {
            return false;
        }
    } catch (const CFileException& e) {
        ShowFileError(m_host, e.GetError(), path, false);
        return false;
    }
    // An imported sound stays untitled: saving it must never write over its source.
    if (m_doc.GetImportSource().empty()) {
        m_doc.SetPathName(path);
    } else {
        m_doc.SetDiskStamp(std::nullopt);
    }
    return true;
}

bool DocumentOpen::Abort(const std::string& text, unsigned helpId, const std::string& informative) {
    m_host.Prompts().Message(text, Icon::None, helpId, informative);
    return false;
}

bool DocumentOpen::Refuse(const CFile& file, const std::string& text, unsigned helpId,
                          const std::string& informative) {
    if (!m_host.OffersImport()) {
        return Abort(text, helpId, informative);
    }
    SoundImport import(m_host);
    return import.AskToImport(file.GetFilePath(), text, helpId, informative) &&
           import.ImportInto(m_doc, file.GetFilePath());
}

bool DocumentOpen::LoadImported(ImportedSound& sound, const std::string& title,
                                const std::string& sourcePath, CProcessingDialog& status) {
    if (sound.dataBytes == 0 || !sound.samples || !IsEditable(sound.format)) {
        return Abort(
            BadFormatText(sound.format), HelpId::kBadFormat,
            OpenRefusal::Line(sourcePath, sound.dataBytes == 0
                                              ? std::string("it holds no samples")
                                              : OpenRefusal::WhyNotEditable(sound.format)));
    }
    std::vector<PanPoint> admPoints;
    if (!sound.admChannels.empty()) {
        admPoints = AdmTrajectory::PointsOf(sound.admChannels);
        // Points past the sound's end are never heard.
        const uint32_t frames = sound.dataBytes / std::max<uint32_t>(sound.format.blockAlign, 1u);
        std::erase_if(admPoints, [&](const PanPoint& point) { return point.position > frames; });
        if (admPoints.size() > kPlaceChunkMaxPoints) {
            return Abort("Can't import " + PathNames::FileName(sourcePath) +
                             "!\nIts ADM metadata is not one trajectory Sonomap can take: it "
                             "moves through " +
                             std::to_string(admPoints.size()) +
                             " places after thinning to within " + "0.5 degrees, more than the " +
                             std::to_string(kPlaceChunkMaxPoints) + " a trajectory holds.",
                         0, "");
        }
    }
    m_doc.SetSound(sound.format, std::move(sound.samples), sound.dataBytes);

    status.SetStatusText("Creating Waveform Overview...");
    if (m_host.ShowsViews()) {
        m_doc.SetPeakSummary(PeakSummary::Build(m_doc.GetSampleData()));
        m_doc.SetOverview(BuildMasterOverview(m_doc.GetSampleData(), m_host.Prompts()));
    }
    if (!sound.admChannels.empty()) {
        m_doc.LoadTrajectory(admPoints);
    } else if (sound.panChunk) {
        status.SetStatusText("Parseing AmbrelChunk...");
        ParsePanChunk(*sound.panChunk);
        if (m_pans) {
            DecodeTrajectory(sound.placeChunk, sound.bPlaceChunkBigEndian, sourcePath);
            m_doc.LoadTrajectory(m_loaded);
        }
    }
    m_doc.SetUnrecognized(nullptr);
    m_doc.SetFileType(SoundTypeName(kSoundTypeWave));
    m_doc.SetImportSource(sourcePath);
    m_doc.SetTitle(title);
    m_doc.SetModifiedFlag(true);
    m_doc.ForgetSaved();  // no file holds it yet
    m_host.SetOpenFolder(PathNames::FolderOf(sourcePath));
    return true;
}

bool DocumentOpen::Load(CFile& file) {
    UserPrompts& prompts = m_host.Prompts();
    m_doc.SetModifiedFlag(false);
    std::unique_ptr<CSoundFile> reader = OpenSoundFile(file);
    PcmFormat format{};
    const uint32_t dataBytes = reader ? reader->ReadFormat(format) : 0;
    const std::string& path = file.GetFilePath();
    if (!reader || dataBytes == 0) {
        reader.reset();
        return Refuse(file, kNotASoundFile, HelpId::kNotASoundFile,
                      OpenRefusal::Line(path, OpenRefusal::WhyNotASound(file)));
    }
    if (!IsEditable(format)) {
        reader.reset();
        return Refuse(file, BadFormatText(format), HelpId::kBadFormat,
                      OpenRefusal::Line(path, OpenRefusal::WhyNotEditable(format)));
    }

    CProcessingDialog status(prompts);
    status.SetStatusText("Loading Waveform...");
    SampleBuffer samples = SampleBuffer::Allocate(dataBytes);
    if (!samples) {
        return Abort(
            "Error allocating memory for waveform!\n", HelpId::kOutOfMemory,
            OpenRefusal::Line(path, "no memory could be had for its " +
                                        StatusLines::Grouped(dataBytes) + " bytes of samples"));
    }
    // The views' summary takes in each stretch of the read while it is still in the cache.
    uint8_t* const bytes = samples.data();
    std::unique_ptr<PeakSummary> summary =
        m_host.ShowsViews() ? PeakSummary::Create(CTesselDoc::Describe(format, bytes, dataBytes))
                            : nullptr;
    CSoundFile::ReadyFn onReady;
    if (summary) {
        onReady = [&](uint32_t ready) { summary->Add(bytes, ready); };
    }
    if (!reader->ReadAllSamples(bytes, dataBytes, onReady)) {
        return Abort("Error loading sound data!\n", HelpId::kFileError,
                     OpenRefusal::Line(path, "reading its samples failed"));
    }
    if (reader->GetDeclaredDataBytes() > dataBytes) {
        prompts.ShowStatus(
            StatusLines::ShortOfData(path, reader->GetDeclaredDataBytes(), dataBytes, format));
    }
    m_doc.SetSound(format, std::move(samples), dataBytes);
    m_doc.SetStoredFormatChunk(reader->GetStoredFormatChunk());
    m_doc.SetPeakSummary(std::move(summary));

    status.SetStatusText("Creating Waveform Overview...");
    if (m_host.ShowsViews()) {
        m_doc.SetOverview(BuildMasterOverview(m_doc.GetSampleData(), prompts));
    }

    if (reader->HasPanChunk()) {
        status.SetStatusText("Parseing AmbrelChunk...");
        std::optional<PanChunkBytes> chunk = reader->ReadPanChunk();
        if (!chunk) {
            prompts.Message("Error reading AmbrelChunk!", Icon::None, HelpId::kFileError);
        } else {
            ParsePanChunk(*chunk);
        }
    }

    reader->ScanChunks();
    TakePlaceChunk(*reader, path);
    TakeSpaceChunk(*reader, path);
    m_doc.LoadTrajectory(m_loaded);
    m_doc.SetUnrecognized(reader->CollectUnrecognizedChunks());

    m_doc.SetFileType(reader->GetTypeName(-1));
    if (m_doc.IsModified()) {
        m_doc.ForgetSaved();  // the trajectory already differs from the file's
    }
    m_host.SetOpenFolder(PathNames::FolderOf(path));
    return true;
}

void DocumentOpen::ParsePanChunk(const std::vector<uint8_t>& bytes) {
    UserPrompts& prompts = m_host.Prompts();
    const std::optional<PanChunkContents> chunk = ::ParsePanChunk(bytes);
    if (!chunk) {
        prompts.Message("Error reading AmbrelChunk!", Icon::None, HelpId::kFileError);
        return;
    }
    if (chunk->version != kPanChunkVersion) {
        prompts.Message("Bad AmbrelChunk version!", Icon::None, HelpId::kBadPanChunkVersion);
        return;
    }
    const uint32_t frameCount = m_doc.GetFrameCount();
    if (chunk->frameCount != frameCount) {
        prompts.Message(chunk->frameCount < frameCount ? kLongerFile : kShorterFile,
                        Icon::Exclamation, HelpId::kModifiedOutside);
        m_doc.SetModifiedFlag(true);
    }
    m_pans = *chunk;
    m_doc.SetCarriedFields(chunk->carriedFlag == 1, chunk->carriedValue);
}

bool DocumentOpen::DecodeTrajectory(const std::optional<std::vector<uint8_t>>& placeBytes,
                                    bool bBigEndian, const std::string& path) {
    using Places = TrajectoryChunks::Places;
    // Places with no pans beside them stand for nothing this file holds.
    const TrajectoryChunks::Read read = TrajectoryChunks::Decode(
        m_pans.value_or(PanChunkContents{}), placeBytes, bBigEndian, m_doc.GetFrameCount());
    m_loaded = read.points;
    UserPrompts& prompts = m_host.Prompts();
    switch (read.places) {
        case Places::Damaged:
            prompts.ShowStatus(StatusLines::PlacesSetAside(path, "was damaged"));
            break;
        case Places::Unmatched:
            prompts.ShowStatus(StatusLines::PlacesSetAside(
                path, m_pans ? "no longer matched its pan points" : "had no pan points beside it"));
            break;
        case Places::OtherVersion:
            prompts.ShowStatus(StatusLines::PlacesOfAnotherVersion(path));
            break;
        case Places::None:
        case Places::Taken:
            break;
    }
    if (read.bClamped) {
        prompts.ShowStatus(read.places == Places::Taken ? StatusLines::PlacesClamped(path)
                                                        : StatusLines::PansClamped(path));
    }
    return read.places != Places::None && read.places != Places::OtherVersion;
}

void DocumentOpen::TakePlaceChunk(CSoundFile& reader, const std::string& path) {
    const auto& chunks = reader.GetChunks();
    const auto found = std::find_if(chunks.begin(), chunks.end(), [](const ChunkEntry& chunk) {
        return chunk.Id() == kPlaceChunkId;
    });
    std::optional<std::vector<uint8_t>> bytes;
    if (found != chunks.end()) {
        try {
            bytes = reader.ReadChunkData(*found, kPlaceChunkMaxBytes);
        } catch (const CFileException&) {
            reader.TreatAsKnown(kPlaceChunkId);
            m_host.Prompts().ShowStatus(StatusLines::PlacesSetAside(path, "could not be read"));
            DecodeTrajectory(std::nullopt, false, path);
            return;
        }
    }
    if (DecodeTrajectory(bytes, reader.IsBigEndian(), path)) {
        reader.TreatAsKnown(kPlaceChunkId);
    }
}

void DocumentOpen::TakeSpaceChunk(CSoundFile& reader, const std::string& path) {
    const auto& chunks = reader.GetChunks();
    const auto found = std::find_if(chunks.begin(), chunks.end(), [](const ChunkEntry& chunk) {
        return chunk.Id() == kSpaceChunkId;
    });
    if (found == chunks.end()) {
        return;
    }
    UserPrompts& prompts = m_host.Prompts();
    std::optional<SpaceChunkContents> contents;
    try {
        contents = ParseSpaceChunk(reader.ReadChunkData(*found, kSpaceChunkMaxBytes),
                                   reader.IsBigEndian());
    } catch (const CFileException&) {
        reader.TreatAsKnown(kSpaceChunkId);
        prompts.ShowStatus(StatusLines::SpaceSetAside(path, "could not be read"));
        return;
    }
    if (contents && contents->version != kSpaceChunkVersion) {
        prompts.ShowStatus(StatusLines::SpaceOfAnotherVersion(path));
        return;  // carried over as it stands
    }
    reader.TreatAsKnown(kSpaceChunkId);
    std::string why = "was damaged";
    const std::optional<Acoustics> acoustics =
        contents ? AcousticsChunk::Decode(*contents, why) : std::nullopt;
    if (!acoustics) {
        prompts.ShowStatus(StatusLines::SpaceSetAside(
            path, contents ? "holds a room Sonomap cannot render (" + why + ")" : why));
        m_doc.SetModifiedFlag(true);  // saving drops it
        return;
    }
    m_doc.LoadAcoustics(*acoustics);
}

void DocumentOpen::ShowFileError(DocumentHost& host, int error, const std::string& path,
                                 bool bWriting) {
    std::string text;
    if (error == EACCES || error == EPERM || error == EROFS) {
        text = Substitute("Access to %1 was denied.", path);
    } else if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
        text = Substitute("There is not enough room on the disk to save %1.", path);
    } else if (error == ENOENT && !bWriting) {
        text = Substitute("%1 was not found.", path);
    } else {
        text = Substitute(bWriting ? "An unexpected error occurred while writing %1."
                                   : "An unexpected error occurred while reading %1.",
                          path);
    }
    // Writing, the line under it names the folder and says why (missing, read-only, full);
    // reading, what the path is when it is no regular file.
    std::string informative;
    if (bWriting) {
        informative = WriteFailure::Reason(error, path);
    } else if (error == ENODEV || error == EISDIR) {
        informative = RegularFile::WhyNotOutput(path);
        informative += informative.empty() ? "" : ".";
    }
    host.Prompts().Message(text, Icon::Exclamation, 0, informative);
}

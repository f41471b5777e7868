#include "document/CTesselDoc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <vector>

#include "document/BinauralExportCommand.h"
#include "document/CProcessingDialog.h"
#include "document/DocumentHost.h"
#include "document/ExportTarget.h"
#include "document/HelpIds.h"
#include "document/SoundImport.h"
#include "document/StatusLines.h"
#include "document/StereoExport.h"
#include "formats/CSoundFile.h"
#include "formats/OpenRefusal.h"
#include "formats/PanChunk.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/SafeFileWriter.h"
#include "platform/UserPrompts.h"
#include "render/SpatialFilter.h"
#include "views/peaks/MasterOverview.h"
#include "views/peaks/PeakSummary.h"

namespace {

using Icon = UserPrompts::Icon;

const char* const kNotASoundFile =
    "Error loading wave information... is this a valid '.wav' or '.aif' file?";
const char* const kBadFormat =
    "Invalid file format!\nFile must be mono or stereo, 8 or 16 bit, and the sample rate must be "
    "in the range 8k - 48k.";
const char* const kLongerFile =
    "This file has been modified outside of Sonomap.\n\nIt is longer than it was when the "
    "AmbrelChunk was created.";
const char* const kShorterFile =
    "This file has been modified outside of Sonomap.\n\nIt is shorter than it was when the "
    "AmbrelChunk was created.\nAny pan points which fall beyond the end of the file will be "
    "removed!";
const char* const kTypeConversion =
    "Due to file type conversion, unrecognized chunks will NOT be translated to the new output "
    "file!";

std::string Substitute(std::string text, const std::string& value) {
    const size_t at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

}  // namespace

CTesselDoc::CTesselDoc(DocumentHost& host) : m_host(host) {}

CTesselDoc::~CTesselDoc() {
    if (m_host.GetPlayingDocument() == this) {
        m_host.MixerStopChannel(m_host.GetMixerSession(), 0);
        m_host.ClearPlaying();
    }
    FreeMixerWave();
}

bool CTesselDoc::OnOpenDocument(const std::string& path) {
    UserPrompts& prompts = m_host.Prompts();
    try {
        CFile file(path, CFile::Mode::Read);
        if (file.GetLength() == 0) {
            prompts.Message(kNotASoundFile, Icon::None, HelpId::kNotASoundFile,
                            OpenRefusal::Line(path, OpenRefusal::WhyNotASound(file)));
            return false;
        }
        SetModifiedFlag(true);  // dirty while loading, as the platform does
        if (!LoadSound(file)) {
            return false;
        }
    } catch (const CFileException& e) {
        ShowFileError(e.GetError(), path, false);
        return false;
    }
    // An imported sound stays untitled: saving it must never write over its source.
    if (m_importSource.empty()) {
        SetPathName(path);
    }
    return true;
}

bool CTesselDoc::AbortOpen(const std::string& text, unsigned helpId,
                           const std::string& informative) {
    m_host.Prompts().Message(text, Icon::None, helpId, informative);
    return false;
}

bool CTesselDoc::RefuseOpen(const CFile& file, const std::string& text, unsigned helpId,
                            const std::string& informative) {
    if (!m_host.OffersImport()) {
        return AbortOpen(text, helpId, informative);
    }
    SoundImport import(m_host);
    return import.AskToImport(file.GetFilePath(), text, helpId, informative) &&
           import.ImportInto(*this, file.GetFilePath());
}

bool CTesselDoc::CheckFormat() const {
    SpatialFilter rateCheck;
    return (m_format.bitsPerSample == 8 || m_format.bitsPerSample == 16) &&
           (m_format.channels == 1 || m_format.channels == 2) &&
           rateCheck.SelectRate(static_cast<int32_t>(m_format.sampleRate)) !=
               SpatialFilter::kUnsupportedRate;
}

bool CTesselDoc::LoadImported(ImportedSound& sound, const std::string& title,
                              const std::string& sourcePath, CProcessingDialog& status) {
    m_format = sound.format;
    m_dataBytes = sound.dataBytes;
    if (m_dataBytes == 0 || !sound.samples || !CheckFormat()) {
        return AbortOpen(kBadFormat, HelpId::kBadFormat,
                         OpenRefusal::Line(
                             sourcePath, m_dataBytes == 0 ? std::string("it holds no samples")
                                                          : OpenRefusal::WhyNotEditable(m_format)));
    }
    m_frameCount = m_dataBytes / (m_format.bitsPerSample / 8u) / m_format.channels;
    m_pSamples = std::move(sound.samples);

    status.SetStatusText("Creating Waveform Overview...");
    m_pOverview.reset();
    if (m_host.ShowsViews()) {
        m_pPeakSummary = PeakSummary::Build(GetSampleData());
        m_pOverview = BuildMasterOverview(GetSampleData(), m_host.Prompts());
    }
    if (sound.panChunk) {
        status.SetStatusText("Parseing AmbrelChunk...");
        ParsePanChunk(*sound.panChunk);
    }
    m_pUnrecognized.reset();
    m_fileType = SoundTypeName(kSoundTypeWave);
    m_importSource = sourcePath;
    SetTitle(title);
    SetModifiedFlag(true);
    m_undoHistory.ForgetSaved();  // no file holds it yet
    m_host.SetOpenFolder(PathNames::FolderOf(sourcePath));
    return true;
}

bool CTesselDoc::LoadSound(CFile& file) {
    UserPrompts& prompts = m_host.Prompts();
    SetModifiedFlag(false);
    std::unique_ptr<CSoundFile> reader = OpenSoundFile(file);
    m_dataBytes = reader ? reader->ReadFormat(m_format) : 0;
    const std::string& path = file.GetFilePath();
    if (!reader || m_dataBytes == 0) {
        reader.reset();
        return RefuseOpen(file, kNotASoundFile, HelpId::kNotASoundFile,
                          OpenRefusal::Line(path, OpenRefusal::WhyNotASound(file)));
    }
    if (!CheckFormat()) {
        reader.reset();
        return RefuseOpen(file, kBadFormat, HelpId::kBadFormat,
                          OpenRefusal::Line(path, OpenRefusal::WhyNotEditable(m_format)));
    }

    CProcessingDialog status(prompts);
    status.SetStatusText("Loading Waveform...");
    m_frameCount = m_dataBytes / (m_format.bitsPerSample / 8u) / m_format.channels;
    m_pSamples = SampleBuffer::Allocate(m_dataBytes);
    if (!m_pSamples) {
        return AbortOpen(
            "Error allocating memory for waveform!\n", HelpId::kOutOfMemory,
            OpenRefusal::Line(path, "no memory could be had for its " +
                                        StatusLines::Grouped(m_dataBytes) + " bytes of samples"));
    }
    // The views' summary takes in each stretch of the read while it is still in the cache.
    std::unique_ptr<PeakSummary> summary =
        m_host.ShowsViews() ? PeakSummary::Create(GetSampleData()) : nullptr;
    CSoundFile::ReadyFn onReady;
    if (summary) {
        onReady = [&](uint32_t ready) { summary->Add(m_pSamples.data(), ready); };
    }
    if (!reader->ReadAllSamples(m_pSamples.data(), m_dataBytes, onReady)) {
        m_pSamples.reset();
        return AbortOpen("Error loading sound data!\n", HelpId::kFileError,
                         OpenRefusal::Line(path, "reading its samples failed"));
    }
    if (reader->GetDeclaredDataBytes() > m_dataBytes) {
        prompts.ShowStatus(
            StatusLines::ShortOfData(path, reader->GetDeclaredDataBytes(), m_dataBytes, m_format));
    }
    m_pPeakSummary = std::move(summary);

    status.SetStatusText("Creating Waveform Overview...");
    m_pOverview.reset();
    if (m_host.ShowsViews()) {
        m_pOverview = BuildMasterOverview(GetSampleData(), prompts);
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
    m_pUnrecognized = reader->CollectUnrecognizedChunks();

    m_fileType = reader->GetTypeName(-1);
    if (IsModified()) {
        m_undoHistory.ForgetSaved();  // the trajectory already differs from the file's
    }
    m_host.SetOpenFolder(PathNames::FolderOf(path));
    return true;
}

void CTesselDoc::ParsePanChunk(const std::vector<uint8_t>& bytes) {
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
    if (chunk->frameCount != m_frameCount) {
        prompts.Message(chunk->frameCount < m_frameCount ? kLongerFile : kShorterFile,
                        Icon::Exclamation, HelpId::kModifiedOutside);
        SetModifiedFlag(true);
    }
    std::vector<PanPoint> kept;
    kept.reserve(chunk->points.size());
    for (const PanChunkPoint& point : chunk->points) {
        if (point.position <= m_frameCount) {
            kept.push_back({point.position, point.pan});
        }
    }
    m_panPoints.AddPoints(kept);
    m_chunkFlag = chunk->carriedFlag == 1;
    m_chunkValue = chunk->carriedValue;
}

bool CTesselDoc::SaveFailed(const std::string& text) {
    m_host.Prompts().Message(text, Icon::None, HelpId::kFileError);
    return false;
}

bool CTesselDoc::SaveSound(CFile& file) {
    std::unique_ptr<CSoundFile> writer = CreateSoundFileByName(file, m_fileType);
    if (!writer) {
        return SaveFailed("Error creating file!");
    }
    if (!writer->CreateHeader(m_format, m_dataBytes)) {
        return SaveFailed("Error creating file header!");
    }
    if (!writer->WriteSamples(m_pSamples.data(), m_dataBytes)) {
        return SaveFailed("Error saving samples!");
    }
    if (!writer->CloseSamples()) {
        return SaveFailed("Error closing samples section!");
    }
    if (!m_panPoints.IsEmpty()) {
        std::vector<PanChunkPoint> points;
        points.reserve(m_panPoints.GetCount());
        for (const PanPoint* p = m_panPoints.NextPoint(nullptr); p; p = m_panPoints.NextPoint(p)) {
            points.push_back({p->position, p->pan});
        }
        // More than 65535 points have no chunk: the save fails rather than drop any.
        std::optional<PanChunkBytes> chunk =
            BuildPanChunk(points, m_frameCount, m_chunkFlag, m_chunkValue);
        if (!chunk || !writer->WritePanChunk(*chunk)) {
            return SaveFailed("Error saving achunk!");
        }
    }
    if (m_pUnrecognized) {
        writer->WriteUnrecognizedChunks(*m_pUnrecognized);
        if (!writer->IsOk()) {
            m_host.Prompts().Message("Error saving unrecognized chunks!", Icon::None,
                                     HelpId::kFileError);
        }
    }
    if (!writer->CloseFile()) {
        return SaveFailed("Error closing wave file!");
    }
    SetModifiedFlag(false);
    return true;
}

void CTesselDoc::ShowFileError(int error, const std::string& path, bool bWriting) {
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
    m_host.Prompts().Message(text, Icon::Exclamation);
}

bool CTesselDoc::OnSaveDocument(const std::string& path) {
    // A failed save changes no file, so the document is exactly as saved or unsaved as before.
    const bool bWasModified = IsModified();
    SafeFileWriter output(path);
    try {
        CFile& file = output.Begin();
        if (!SaveSound(file)) {
            SetModifiedFlag(bWasModified);
            return false;
        }
        output.Commit();
    } catch (const CFileException& e) {
        SetModifiedFlag(bWasModified);
        ShowFileError(e.GetError(), path, true);
        return false;
    }
    m_undoHistory.MarkSaved();
    m_host.Prompts().ShowStatus(StatusLines::Written("Saved", path));
    // The folder the user saved into: the name given, not the temp file nor a link's target.
    m_host.SetSaveFolder(PathNames::FolderOf(path));
    return true;
}

bool CTesselDoc::DoSave(const std::string& path, bool replace) {
    std::string name = path;
    if (name.empty()) {
        name = GetPathName();
        if (name.empty() && replace) {
            name = GetTitle();
            const size_t cut = name.find_first_of(" #%;/\\");
            if (cut != std::string::npos) {
                name.resize(cut);
            }
            name += ".wav";
        }
    }
    if (path.empty() && !PromptSaveName(name, "Save As", false)) {
        return false;
    }
    // A failed save leaves every existing file as it was, so there is nothing to delete.
    if (!OnSaveDocument(name)) {
        return false;
    }
    if (replace) {
        SetPathName(name);
    }
    return true;
}

bool CTesselDoc::PromptSaveName(std::string& name, const std::string& title, bool bOpenDialog) {
    SaveNameRequest request;
    request.title = title;
    request.filters = kSoundFileFilters;
    request.filterIndex = SoundTypeId(m_fileType) + 1;
    request.proposedName = PathNames::FileName(name);
    request.startFolder = m_host.GetSaveFolder();
    request.bOwnDocument = !bOpenDialog;
    request.ownDocumentPath = GetPathName();

    SaveNameResult result;
    if (!m_host.AskSaveName(request, result)) {
        return false;
    }
    const std::string chosenType = SoundTypeName(result.filterIndex - 1);
    if (chosenType != m_fileType && m_pUnrecognized) {
        m_host.Prompts().Message(kTypeConversion, Icon::Exclamation, HelpId::kTypeConversion);
        m_pUnrecognized.reset();
    }
    m_fileType = chosenType;
    name = result.fullPath;
    return true;
}

bool CTesselDoc::FileSave() {
    const std::string& path = GetPathName();
    struct stat st {};
    const bool bWritable = !path.empty() && ::stat(path.c_str(), &st) == 0 &&
                           (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
    return DoSave(bWritable ? path : std::string(), true);
}

bool CTesselDoc::SaveModified() {
    if (!IsModified()) {
        return true;
    }
    UserPrompts::Box box;
    box.text = Substitute("Save changes to %1?", GetTitle());
    box.caption = UserPrompts::kAppCaption;
    box.buttons = UserPrompts::Buttons::YesNoCancel;
    box.icon = Icon::Exclamation;
    box.defaultAnswer = UserPrompts::Answer::Yes;
    switch (m_host.Prompts().ShowMessage(box)) {
        case UserPrompts::Answer::Yes:
            return FileSave();
        case UserPrompts::Answer::No:
            return true;
        default:
            return false;
    }
}

std::string CTesselDoc::WhyNoExport() const {
    if (CanExport()) {
        return {};
    }
    if (m_format.channels != 1) {
        return "Export follows the pan points, and this stereo sound has none: Sonomap draws "
               "trajectories on mono sounds, so a stereo file exports only with points its file "
               "brought along.";
    }
    return "Export follows the pan points, and this sound has none yet: choose Edit: Pan "
           "Points and click in the waveform to add one.";
}

std::string CTesselDoc::ExportName(const std::string& kind) const {
    std::string name = GetTitle();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name + "-" + kind + ".wav";
}

bool CTesselDoc::AskExportName(const std::string& title, const std::string& kind,
                               SaveNameResult& result) const {
    SaveNameRequest request;
    request.title = title;
    request.filters = kSoundFileFilters;
    request.startFolder = m_host.GetExportFolder();
    request.proposedName = ExportName(kind);
    return m_host.AskSaveName(request, result);
}

bool CTesselDoc::ExportStereoFile() {
    UserPrompts& prompts = m_host.Prompts();
    SaveNameResult result;
    if (!AskExportName("Export Stereo File As...", "stereo", result)) {
        return false;
    }
    const std::string& path = result.fullPath;

    // Every check runs before the output exists, so a refusal leaves nothing behind.
    StereoExport exporter({m_pSamples.data(), m_format, m_frameCount, &m_panPoints});
    if (!exporter.SelectRate()) {
        prompts.Message("Unsupported sample rate!");
        return false;
    }
    if (!exporter.StartTrajectory()) {
        prompts.Message("No Pan Events to track!");
        return false;
    }
    const std::optional<PcmFormat> format = StereoExport::OutputFormat(m_format, m_frameCount);

    // The output is written beside its name and put in place only when complete: a cancelled
    // or failed export leaves no half-made file, and an older file of that name survives.
    ExportTarget output(path, result.filterIndex - 1);
    std::unique_ptr<ProgressIndicator> progress;
    StereoExport::Outcome outcome = StereoExport::Outcome::WriteFailed;
    try {
        if (CSoundFile* writer =
                format ? output.Begin(*format, exporter.OutputDataBytes()) : nullptr) {
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
        prompts.ShowStatus(StatusLines::Written("Exported", path));
    }
    m_host.SetExportFolder(PathNames::FolderOf(path));
    return bWritten;
}

bool CTesselDoc::ExportBinauralFile() {
    return BinauralExportCommand(*this, m_host).Run();
}

void CTesselDoc::OpenMixerWave(uint32_t start, int64_t end) {
    FreeMixerWave();
    m_host.OpenMixerSession(m_format.sampleRate);
    const AmbrelWaveMixSession session = m_host.GetMixerSession();
    if (session == 0) {
        return;
    }
    const uint32_t last = end < 0 || end > m_frameCount ? m_frameCount : static_cast<uint32_t>(end);
    const uint32_t first = start > last ? last : start;
    const uint64_t frameBytes = uint64_t{m_format.channels} * (m_format.bitsPerSample / 8u);

    MixerPcmFormat format{};
    format.formatTag = m_format.formatTag;
    format.channels = m_format.channels;
    format.sampleRate = m_format.sampleRate;
    format.avgBytesPerSec = m_format.avgBytesPerSec;
    format.blockAlign = m_format.blockAlign;
    format.bitsPerSample = m_format.bitsPerSample;
    MixerWaveSource source{};
    source.format = &format;
    source.data = m_pSamples.data() + first * frameBytes;
    source.byteCount = static_cast<uint32_t>((last - first) * frameBytes);
    source.reserved = 0;

    m_hWave = m_host.MixerOpenWave(session, source);
    if (m_hWave == 0) {
        m_host.ReportMixerError(m_host.MixerGetLastError());
        m_pPanSegment.reset();
        return;
    }
    if (ComputePanSegment(first)) {
        m_pPanSegment->playOffset = first;
    }
    m_playStart = first;
}

void CTesselDoc::FreeMixerWave() {
    if (m_hWave == 0) {
        return;
    }
    const int code = m_host.MixerFreeWave(m_host.GetMixerSession(), m_hWave);
    if (code != 0) {
        m_host.ReportMixerError(code);
    }
    m_hWave = 0;
}

SampleData CTesselDoc::GetSampleData() const {
    SampleData data;
    data.samples = m_pSamples.data();
    data.dataBytes = m_pSamples ? m_dataBytes : 0;
    data.frameCount = m_pSamples ? m_frameCount : 0;
    data.channels = m_format.channels;
    data.bitsPerSample = m_format.bitsPerSample;
    data.sampleRate = m_format.sampleRate;
    data.summary = m_pSamples ? m_pPeakSummary.get() : nullptr;
    return data;
}

int CTesselDoc::GetSample8(uint32_t frame, int channel) const {
    return ::GetSample8(GetSampleData(), frame, channel);
}

int CTesselDoc::GetSample16(uint32_t frame, int channel) const {
    return ::GetSample16(GetSampleData(), frame, channel);
}

PanPoint* CTesselDoc::PointAtOrBefore(uint32_t position) const {
    return m_panPoints.PointAtOrBefore(position);
}

PanPoint* CTesselDoc::NextPoint(const PanPoint* point) const {
    return m_panPoints.NextPoint(point);
}

PanPoint* CTesselDoc::AddPoint(uint32_t position, int32_t pan) {
    return m_panPoints.AddPoint(position, pan);
}

PanPoint* CTesselDoc::FindInRange(uint32_t posLo, uint32_t posHi, int32_t panLo,
                                  int32_t panHi) const {
    return m_panPoints.FindInRange(posLo, posHi, panLo, panHi);
}

bool CTesselDoc::RemovePoint(const PanPoint* point) {
    if (!m_panPoints.RemovePoint(point)) {
        return false;
    }
    SetModifiedFlag(true);
    return true;
}

bool CTesselDoc::CopyTransformed(const PanPointList& source, const PanPoint* start, int32_t count,
                                 float scale, int32_t offset, bool addOffset, uint32_t limit) {
    return m_panPoints.CopyTransformed(source, start, count, scale, offset, addOffset, limit,
                                       m_host.Prompts());
}

bool CTesselDoc::ComputePanSegment(uint32_t position) {
    return ::ComputePanSegment(m_panPoints, m_frameCount, position, m_pPanSegment);
}

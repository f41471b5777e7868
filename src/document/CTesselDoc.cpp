#include "document/CTesselDoc.h"

#include "document/DocumentHost.h"
#include "document/DocumentListener.h"
#include "document/TrajectoryRecorder.h"
#include "peaks/PeakSummary.h"
#include "trajectory/SoundPlace.h"

CTesselDoc::CTesselDoc(DocumentHost& host) : m_host(host) {}

CTesselDoc::~CTesselDoc() {
    m_listeners.Tell([this](DocumentListener& listener) { listener.OnDocumentClosing(*this); });
}

void CTesselDoc::AddListener(DocumentListener* listener) {
    m_listeners.Add(listener);
}

void CTesselDoc::RemoveListener(DocumentListener* listener) {
    m_listeners.Remove(listener);
}

TrajectoryControl& CTesselDoc::Recording() {
    if (!m_pRecorder) {
        m_pRecorder = std::make_unique<TrajectoryRecorder>(*this);
    }
    return m_pRecorder->Control();
}

bool CTesselDoc::IsRecording() const {
    return m_pRecorder && m_pRecorder->Control().IsInPass();
}

void CTesselDoc::OnModifiedChanged() {
    m_listeners.Tell([this](DocumentListener& listener) { listener.OnModifiedChanged(*this); });
}

void CTesselDoc::TrajectoryChanged() {
    m_listeners.Tell([this](DocumentListener& listener) { listener.OnTrajectoryChanged(*this); });
}

void CTesselDoc::SetSound(const PcmFormat& format, SampleBuffer samples, uint32_t dataBytes) {
    m_pPeakSummary.reset();
    m_pOverview.reset();
    m_format = format;
    m_storedFormatChunk.clear();
    m_dataBytes = dataBytes;
    m_frameCount = Describe(format, nullptr, dataBytes).frameCount;
    m_pSamples = samples ? std::make_shared<const SampleBuffer>(std::move(samples)) : nullptr;
}

void CTesselDoc::SetPeakSummary(std::unique_ptr<PeakSummary> summary) {
    m_pPeakSummary = std::move(summary);
}

SampleData CTesselDoc::Describe(const PcmFormat& format, const uint8_t* samples,
                                uint32_t dataBytes) {
    SampleData data;
    data.samples = samples;
    data.dataBytes = dataBytes;
    const uint32_t frameBytes = (format.bitsPerSample / 8u) * format.channels;
    data.frameCount = frameBytes != 0 ? dataBytes / frameBytes : 0;
    data.channels = format.channels;
    data.bitsPerSample = format.bitsPerSample;
    data.bFloat = format.formatTag == kFormatTagFloat;
    data.sampleRate = format.sampleRate;
    return data;
}

bool CTesselDoc::HasChangedOnDisk() const {
    return !GetPathName().empty() && m_diskStamp && FileStamp::Of(GetPathName()) != m_diskStamp;
}

void CTesselDoc::SetCarriedFields(bool bFlag, uint16_t value) {
    m_chunkFlag = bFlag;
    m_chunkValue = value;
}

void CTesselDoc::LoadTrajectory(const std::vector<PanPoint>& points) {
    m_panPoints.AddPoints(points);
    TrajectoryChanged();
}

void CTesselDoc::FollowHistory() {
    SetModifiedFlag(!m_undoHistory.IsAtSaved() || m_acoustics != m_savedAcoustics);
}

void CTesselDoc::LoadAcoustics(const Acoustics& acoustics) {
    m_acoustics = acoustics;
    m_savedAcoustics = acoustics;
    m_listeners.Tell([this](DocumentListener& listener) { listener.OnAcousticsChanged(*this); });
}

void CTesselDoc::SetAcoustics(const Acoustics& acoustics) {
    if (acoustics == m_acoustics) {
        return;
    }
    m_acoustics = acoustics;
    FollowHistory();
    m_listeners.Tell([this](DocumentListener& listener) { listener.OnAcousticsChanged(*this); });
}

void CTesselDoc::BeginEdit(const PanPoint* point, UndoKind kind, int32_t count) {
    if (m_groupDepth == 0) {
        m_undoHistory.Open(point, count, kind);
    }
}

void CTesselDoc::EndEdit() {
    if (m_groupDepth == 0) {
        m_undoHistory.Close();
        FollowHistory();
    }
    TrajectoryChanged();
}

void CTesselDoc::BeginGroup(UndoKind kind, int32_t count) {
    if (m_groupDepth++ == 0) {
        m_undoHistory.Open(nullptr, count, kind);
    }
}

void CTesselDoc::DiscardGroup() {
    if (m_groupDepth > 0 && --m_groupDepth == 0) {
        m_undoHistory.Discard();
        FollowHistory();
        TrajectoryChanged();
    }
}

void CTesselDoc::EndGroup() {
    if (m_groupDepth > 0 && --m_groupDepth == 0) {
        m_undoHistory.Close();
        FollowHistory();
        TrajectoryChanged();
    }
}

void CTesselDoc::DropUnchangedEdit() {
    m_undoHistory.DropUnchangedStep();
    FollowHistory();
}

bool CTesselDoc::Undo() {
    const bool bOk = m_undoHistory.Undo();
    FollowHistory();
    TrajectoryChanged();
    return bOk;
}

bool CTesselDoc::Redo() {
    const bool bOk = m_undoHistory.Redo();
    FollowHistory();
    TrajectoryChanged();
    return bOk;
}

void CTesselDoc::MarkSaved() {
    m_undoHistory.MarkSaved();
    m_savedAcoustics = m_acoustics;
    SetModifiedFlag(false);
}

std::string CTesselDoc::WhyNoExport() const {
    if (CanExport()) {
        return {};
    }
    return "Export follows the pan points, and this sound has none yet: choose Edit: Pan "
           "Points and click in the waveform to add one.";
}

SampleData CTesselDoc::GetSampleData() const {
    SampleData data = Describe(m_format, GetSamples(), m_pSamples ? m_dataBytes : 0);
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
    return AddPoint(PanPoint(position, pan));
}

PanPoint* CTesselDoc::AddPoint(const PanPoint& value) {
    PanPoint* point = m_panPoints.AddPoint(value);
    if (point != nullptr) {
        TrajectoryChanged();
    }
    return point;
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
    TrajectoryChanged();
    return true;
}

bool CTesselDoc::CopyTransformed(const PanPointList& source, const PanPoint* start, int32_t count,
                                 float scale, int32_t offset, bool addOffset, uint32_t limit) {
    const bool bOk = m_panPoints.CopyTransformed(source, start, count, scale, offset, addOffset,
                                                 limit, m_host.Prompts());
    TrajectoryChanged();
    return bOk;
}

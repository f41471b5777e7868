#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/Acoustics.h"
#include "document/UndoHistory.h"
#include "formats/PcmFormat.h"
#include "formats/UnrecognizedChunkBlock.h"
#include "geometry/HeadTurn.h"
#include "peaks/SampleData.h"
#include "platform/CDocument.h"
#include "platform/FileStamp.h"
#include "platform/ListenerList.h"
#include "platform/MonoBitmap.h"
#include "platform/SampleBuffer.h"
#include "trajectory/PanPointList.h"

class DocumentHost;
class DocumentListener;
class PeakSummary;
class TrajectoryControl;
class TrajectoryRecorder;

// One open sound as data: all its samples in memory, its format, its pan trajectory and undo
// history, the chunks of its file that no format writes itself, its master overview and
// whether it differs from what was saved. It shows no dialog and knows no mixer: the open,
// save and export flows (DocumentOpen, DocumentSave, StereoExportCommand,
// BinauralExportCommand) work on it, and playback reads it. Every change of the trajectory
// and of the modified mark is told to its listeners.
// Positions and counts of frames are sample frames; sizes of sample data are bytes.
// The host (the application) must outlive every document.
class CTesselDoc : public CDocument {
  public:
    explicit CTesselDoc(DocumentHost& host);
    ~CTesselDoc() override;

    // ---- The sound, as the open and import flows fill it ----
    // Takes the samples, dataBytes of them, in format; the frame count follows. The peak
    // summary and the overview go with the old samples. Samples never change once taken: a
    // reader that shares them (ShareSamples) keeps the old ones alive and whole after this.
    void SetSound(const PcmFormat& format, SampleBuffer samples, uint32_t dataBytes);
    // How a buffer of dataBytes in format reads (the document's own view of its samples).
    static SampleData Describe(const PcmFormat& format, const uint8_t* samples, uint32_t dataBytes);
    void SetPeakSummary(std::unique_ptr<PeakSummary> summary);
    void SetOverview(std::unique_ptr<MonoBitmap> overview) { m_pOverview = std::move(overview); }
    // The type a save writes ("WAVE", "AIFF", as the sound files name them).
    void SetFileType(const std::string& type) { m_fileType = type; }
    // The format chunk the sound's file was read with (CSoundFile::GetStoredFormatChunk), for
    // a save of the same format to write back; empty for none. SetSound drops it.
    void SetStoredFormatChunk(std::vector<uint8_t> chunk) {
        m_storedFormatChunk = std::move(chunk);
    }
    // The two fields the pan chunk carries through unchanged.
    void SetCarriedFields(bool bFlag, uint16_t value);
    void SetUnrecognized(std::unique_ptr<UnrecognizedChunkBlock> chunks) {
        m_pUnrecognized = std::move(chunks);
    }
    void SetImportSource(const std::string& path) { m_importSource = path; }
    // The file an imported document was made from; empty for a document opened natively.
    const std::string& GetImportSource() const { return m_importSource; }
    // The file at the document's path as the open or the last save left it; none for a
    // document with no file of its own.
    void SetDiskStamp(const std::optional<FileStamp>& stamp) { m_diskStamp = stamp; }
    const std::optional<FileStamp>& GetDiskStamp() const { return m_diskStamp; }
    // Whether another program has written, replaced or removed the file since.
    bool HasChangedOnDisk() const;
    // The trajectory a file brought: added as it stands, no step of the history.
    void LoadTrajectory(const std::vector<PanPoint>& points);
    // The space a file brought: as it was saved.
    void LoadAcoustics(const Acoustics& acoustics);

    // ---- The space the sound is heard in ----
    // What every preview and export of the document renders it with. A change is kept with
    // the document (the modified mark shows it until saved, or until it is changed back) and
    // told to the listeners; it is no step of the trajectory's undo history.
    const Acoustics& GetAcoustics() const { return m_acoustics; }
    void SetAcoustics(const Acoustics& acoustics);
    // A fixed orientation of the listener's head for what this document renders while it is
    // set (a command line's --head): never saved, no change of the document, told to no one.
    const HeadTurn& GetHeadTurn() const { return m_headTurn; }
    void SetHeadTurn(const HeadTurn& head) { m_headTurn = head; }

    // ---- Trajectory edits ----
    // Every edit of the points is one step of the undo history: BeginEdit opens it before the
    // edit changes the list (Add: after the point was added; Delete: before it is removed,
    // count points from point on; Modify and Paste: before), EndEdit closes it once the edit is
    // over (a drag: at the release). Between the two, a group (BeginGroup/EndGroup) makes all
    // its edits one step. The modified mark follows the history, and every change is told.
    void BeginEdit(const PanPoint* point, UndoKind kind, int32_t count = 1);
    void EndEdit();
    // Opens one step that every edit until EndGroup joins (a recording pass, a generated
    // shape, a replaced trajectory). Groups do not nest: an inner one joins the outer.
    void BeginGroup(UndoKind kind, int32_t count = 0);
    void EndGroup();
    // Closes the group and takes back all it did, leaving no step (a preview cancelled).
    void DiscardGroup();
    bool IsInGroup() const { return m_groupDepth > 0; }
    // A press that moved nothing leaves no step behind.
    void DropUnchangedEdit();
    // Takes back the most recent step, or does the last undone one again. False when there is
    // none, or memory for a point could not be had (the list is then short of it).
    bool Undo();
    bool Redo();
    // Points changed in place (a drag's move, a typed value): tells the listeners.
    void TrajectoryChanged();
    // The document as it is now is what its file holds (after a save).
    void MarkSaved();
    // No state of the history is what the file holds (the file differed at open, or there
    // is no file yet).
    void ForgetSaved() { m_undoHistory.ForgetSaved(); }

    PanPoint* PointAtOrBefore(uint32_t position) const;
    PanPoint* NextPoint(const PanPoint* point) const;
    PanPoint* AddPoint(uint32_t position, int32_t pan);
    PanPoint* AddPoint(const PanPoint& value);
    PanPoint* FindInRange(uint32_t posLo, uint32_t posHi, int32_t panLo, int32_t panHi) const;
    // Also marks the document modified when the point was removed.
    bool RemovePoint(const PanPoint* point);
    // PanPointList::CopyTransformed into the document's list; failures are shown to the user.
    bool CopyTransformed(const PanPointList& source, const PanPoint* start, int32_t count,
                         float scale, int32_t offset, bool addOffset, uint32_t limit);

    void AddListener(DocumentListener* listener);
    void RemoveListener(DocumentListener* listener);

    // Record Trajectory on this document: the control its feeders and the playback drive; a
    // pass writes into the points as one step. Made at the first call, on the interface thread.
    TrajectoryControl& Recording();
    // A recording pass is writing the points.
    bool IsRecording() const;

    // ---- Reading ----
    int GetSample8(uint32_t frame, int channel) const;
    int GetSample16(uint32_t frame, int channel) const;
    SampleData GetSampleData() const;

    // Command states: Save only while modified, Export only with at least one pan point.
    bool CanSave() const { return IsModified(); }
    bool CanExport() const { return !m_panPoints.IsEmpty(); }
    // Why Export is greyed, in words; "" while it is not.
    std::string WhyNoExport() const;

    const PcmFormat& GetFormat() const { return m_format; }
    uint32_t GetDataBytes() const { return m_dataBytes; }
    uint32_t GetFrameCount() const { return m_frameCount; }
    const uint8_t* GetSamples() const { return m_pSamples ? m_pSamples->data() : nullptr; }
    // The samples for a reader on another thread (the mixer's feeder): they live, unchanged,
    // as long as it holds them, whatever the document does meanwhile.
    std::shared_ptr<const SampleBuffer> ShareSamples() const { return m_pSamples; }
    bool HasSamples() const { return static_cast<bool>(m_pSamples); }
    const std::string& GetFileType() const { return m_fileType; }
    const std::vector<uint8_t>& GetStoredFormatChunk() const { return m_storedFormatChunk; }
    bool GetChunkFlag() const { return m_chunkFlag; }
    uint16_t GetChunkValue() const { return m_chunkValue; }
    const UnrecognizedChunkBlock* GetUnrecognized() const { return m_pUnrecognized.get(); }
    // None when the host shows no views.
    const MonoBitmap* GetOverview() const { return m_pOverview.get(); }
    const PanPointList& GetPanPoints() const { return m_panPoints; }
    // The undo history of the pan point edits; it goes with the document.
    const UndoHistory& GetUndoHistory() const { return m_undoHistory; }
    DocumentHost& GetHost() const { return m_host; }

  protected:
    void OnModifiedChanged() override;

  private:
    // The modified mark from the history: modified unless back in the state last saved.
    void FollowHistory();

    DocumentHost& m_host;

    bool m_chunkFlag = false;
    uint16_t m_chunkValue = 0;
    std::unique_ptr<UnrecognizedChunkBlock> m_pUnrecognized;
    std::string m_fileType;
    std::vector<uint8_t> m_storedFormatChunk;
    std::unique_ptr<MonoBitmap> m_pOverview;
    std::shared_ptr<const SampleBuffer> m_pSamples;  // never written once taken
    std::unique_ptr<PeakSummary> m_pPeakSummary;     // for the views' peak images; may be none
    uint32_t m_dataBytes = 0;
    PcmFormat m_format{};
    uint32_t m_frameCount = 0;
    PanPointList m_panPoints;
    UndoHistory m_undoHistory{m_panPoints};
    int m_groupDepth = 0;
    std::string m_importSource;
    std::optional<FileStamp> m_diskStamp;
    ListenerList<DocumentListener> m_listeners;
    Acoustics m_acoustics;
    Acoustics m_savedAcoustics;  // as the file holds them
    HeadTurn m_headTurn;
    // Last, so it goes first: it writes into the points above.
    std::unique_ptr<TrajectoryRecorder> m_pRecorder;
};

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/PanPointList.h"
#include "document/PanSegment.h"
#include "document/UndoHistory.h"
#include "formats/PcmFormat.h"
#include "formats/UnrecognizedChunkBlock.h"
#include "platform/CDocument.h"
#include "platform/MonoBitmap.h"
#include "platform/SampleBuffer.h"
#include "trevant/trevant.h"
#include "views/peaks/SampleData.h"

class CFile;
class CProcessingDialog;
class DocumentHost;
struct ImportedSound;
struct SaveNameResult;

// One open sound: all its samples in memory (the in-memory convention of the sound files),
// its format, its pan trajectory, the chunks of its file that no format writes itself, its
// master overview and the mixer wave made from it. A document exists only by opening a file.
// Positions and counts of frames are sample frames; sizes of sample data are bytes.
// The host (the application) must outlive every document.
class CTesselDoc : public CDocument {
  public:
    explicit CTesselDoc(DocumentHost& host);
    ~CTesselDoc() override;

    // The platform's open: reads path into this empty document. False when the open was
    // refused; the reason has been shown.
    bool OnOpenDocument(const std::string& path);
    // Fills the document from a file open for reading; false when the open is aborted.
    bool LoadSound(CFile& file);
    // Fills a new document from an imported sound (its samples move into the document): an
    // untitled document named title that has never been saved, so it counts as modified and
    // its first save asks for a name. False when the sound fails the format check (shown).
    bool LoadImported(ImportedSound& sound, const std::string& title, const std::string& sourcePath,
                      CProcessingDialog& status);
    // The file an imported document was made from; empty for a document opened natively.
    const std::string& GetImportSource() const { return m_importSource; }
    // Writes the document into an open, empty file; false when the save failed.
    bool SaveSound(CFile& file);
    // The platform's save: writes beside path and replaces it only when all went well.
    bool OnSaveDocument(const std::string& path);
    // Save (path given) or Save As (empty path). replace: the document takes the new name.
    bool DoSave(const std::string& path, bool replace);
    // Asks for a save name; on OK writes the chosen full path into name and switches the
    // file type (dropping the unrecognised chunks on a change of type).
    bool PromptSaveName(std::string& name, const std::string& title, bool bOpenDialog);
    // The Save command: to the document's path, or through Save As when that file is
    // missing or read-only.
    bool FileSave();
    bool FileSaveAs() { return DoSave("", true); }
    // Before closing: asks "Save changes to ...?" for a modified document. True when it may
    // close.
    bool SaveModified();

    // Export Stereo File: asks for a name and renders the sound along its trajectory into a
    // new two-channel WAV or AIFF file, with progress and Cancel. Every outcome is shown to
    // the user; a cancelled or failed export leaves no output file. True when the file was
    // written in full.
    bool ExportStereoFile();
    // Export Binaural File: the same, rendered through the host's 3-D mixer with HRTF into a
    // 16-bit two-channel file (BinauralExportCommand).
    bool ExportBinauralFile();
    // The name an export dialog proposes: "take-stereo.wav" for take.wav and kind "stereo".
    std::string ExportName(const std::string& kind) const;
    // Asks for an export's file in the export folder, proposing ExportName(kind).
    bool AskExportName(const std::string& title, const std::string& kind,
                       SaveNameResult& result) const;

    // Hands frames [start, end) to the mixer (end -1: to the end of the sound).
    void OpenMixerWave(uint32_t start, int64_t end);
    void FreeMixerWave();

    int GetSample8(uint32_t frame, int channel) const;
    int GetSample16(uint32_t frame, int channel) const;
    SampleData GetSampleData() const;

    PanPoint* PointAtOrBefore(uint32_t position) const;
    PanPoint* NextPoint(const PanPoint* point) const;
    PanPoint* AddPoint(uint32_t position, int32_t pan);
    PanPoint* FindInRange(uint32_t posLo, uint32_t posHi, int32_t panLo, int32_t panHi) const;
    // Also marks the document modified when the point was removed.
    bool RemovePoint(const PanPoint* point);
    bool ComputePanSegment(uint32_t position);
    // PanPointList::CopyTransformed into the document's list; failures are shown to the user.
    bool CopyTransformed(const PanPointList& source, const PanPoint* start, int32_t count,
                         float scale, int32_t offset, bool addOffset, uint32_t limit);

    // Command states: Save only while modified, Export only with at least one pan point.
    bool CanSave() const { return IsModified(); }
    bool CanExport() const { return !m_panPoints.IsEmpty(); }
    // Why Export is greyed, in words; "" while it is not.
    std::string WhyNoExport() const;

    const PcmFormat& GetFormat() const { return m_format; }
    uint32_t GetDataBytes() const { return m_dataBytes; }
    uint32_t GetFrameCount() const { return m_frameCount; }
    const uint8_t* GetSamples() const { return m_pSamples.data(); }
    const std::string& GetFileType() const { return m_fileType; }
    bool GetChunkFlag() const { return m_chunkFlag; }
    uint16_t GetChunkValue() const { return m_chunkValue; }
    const UnrecognizedChunkBlock* GetUnrecognized() const { return m_pUnrecognized.get(); }
    // None when the host shows no views.
    const MonoBitmap* GetOverview() const { return m_pOverview.get(); }
    const PanPointList& GetPanPoints() const { return m_panPoints; }
    // The undo history of the pan point edits; it goes with the document.
    UndoHistory& GetUndoHistory() { return m_undoHistory; }
    const UndoHistory& GetUndoHistory() const { return m_undoHistory; }
    PanSegment* GetPanSegment() const { return m_pPanSegment.get(); }
    AmbrelWaveMixWave GetWave() const { return m_hWave; }
    uint32_t GetPlayStart() const { return m_playStart; }
    bool IsPlaying() const { return m_bPlaying; }
    void SetPlaying(bool bPlaying) { m_bPlaying = bPlaying; }
    DocumentHost& GetHost() const { return m_host; }

  private:
    // The open ends with the message text and, under it, the line that names the file and
    // says why.
    bool AbortOpen(const std::string& text, unsigned helpId, const std::string& informative);
    // The native open refuses file: where the host offers import, one box asks whether to
    // import it instead. True when the document then holds the imported sound.
    bool RefuseOpen(const CFile& file, const std::string& text, unsigned helpId,
                    const std::string& informative);
    bool CheckFormat() const;
    void ParsePanChunk(const std::vector<uint8_t>& chunk);
    bool SaveFailed(const std::string& text);
    void ShowFileError(int error, const std::string& path, bool bWriting);

    DocumentHost& m_host;

    bool m_chunkFlag = false;
    uint16_t m_chunkValue = 0;
    std::unique_ptr<UnrecognizedChunkBlock> m_pUnrecognized;
    std::string m_fileType;
    uint32_t m_playStart = 0;
    std::unique_ptr<MonoBitmap> m_pOverview;
    bool m_bPlaying = false;
    SampleBuffer m_pSamples;
    std::unique_ptr<PeakSummary> m_pPeakSummary;  // for the views' peak images; may be none
    uint32_t m_dataBytes = 0;
    PcmFormat m_format{};
    uint32_t m_frameCount = 0;
    PanPointList m_panPoints;
    UndoHistory m_undoHistory{m_panPoints};
    AmbrelWaveMixWave m_hWave = 0;
    std::unique_ptr<PanSegment> m_pPanSegment;
    std::string m_importSource;
};

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/PanChunk.h"
#include "trajectory/PanPoint.h"

class CSoundFile;
class CFile;
class CProcessingDialog;
class CTesselDoc;
class DocumentHost;
struct ImportedSound;

// Opening a sound as the user meets it: reads a file into an empty document with the
// "Processing..." status, and shows every refusal, failure and warning through the host's
// prompts (where the host offers import, a file the native open refuses is offered for
// import). The document and its host outlive the flow.
class DocumentOpen {
  public:
    explicit DocumentOpen(CTesselDoc& document);

    // Reads path into the document. False when the open was refused; the reason has been
    // shown. The document takes the path unless it became an import.
    bool Open(const std::string& path);
    // Fills the document from a file open for reading; false when the open is aborted.
    bool Load(CFile& file);
    // Fills the document from an imported sound (its samples move into the document): an
    // untitled document named title that has never been saved, so it counts as modified and
    // its first save asks for a name. False when the sound fails the format check (shown).
    bool LoadImported(ImportedSound& sound, const std::string& title, const std::string& sourcePath,
                      CProcessingDialog& status);

    // "Access to ... was denied." and the other file errors of open and save, in one box.
    static void ShowFileError(DocumentHost& host, int error, const std::string& path,
                              bool bWriting);

  private:
    // The open ends with the message text and, under it, the line that names the file and
    // says why.
    bool Abort(const std::string& text, unsigned helpId, const std::string& informative);
    // The native open refuses file: where the host offers import, one box asks whether to
    // import it instead. True when the document then holds the imported sound.
    bool Refuse(const CFile& file, const std::string& text, unsigned helpId,
                const std::string& informative);
    // Checks an "achk" chunk (its version, its frame count) with the messages the open shows,
    // and keeps it for DecodeTrajectory.
    void ParsePanChunk(const std::vector<uint8_t>& chunk);
    // The trajectory of the kept "achk" and, when there is one, its "ach3" (data in file
    // order): the places where they match, else the pans, with a status line saying what was
    // set aside or brought into range. True when the "ach3" was read (it is not carried over).
    bool DecodeTrajectory(const std::optional<std::vector<uint8_t>>& placeBytes, bool bBigEndian,
                          const std::string& path);
    // The "ach3" of an opened file, if any, for DecodeTrajectory.
    // The space the file keeps ("spce"), when Sonomap reads its version and its values serve.
    void TakeSpaceChunk(CSoundFile& reader, const std::string& path);
    void TakePlaceChunk(CSoundFile& reader, const std::string& path);

    // The "achk" chunk as stored, kept for the "ach3" chunk to match.
    std::optional<PanChunkContents> m_pans;
    // The trajectory the file gives, loaded into the document once both chunks are read.
    std::vector<PanPoint> m_loaded;
    CTesselDoc& m_doc;
    DocumentHost& m_host;
};

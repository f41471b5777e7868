#pragma once

#include <string>

class CFile;
class CSoundFile;
class CTesselDoc;
class DocumentHost;
struct SaveNameResult;

// Saving as the user meets it: Save, Save As with its dialog, the question before closing, and
// every message of a failed save. A save writes beside the file and replaces it only when all
// went well, so a failed save changes no file. The document and its host outlive the flow.
class DocumentSave {
  public:
    // The tolerances, in degrees, a trajectory too long for a file is offered thinning to.
    static constexpr double kThinningSteps[] = {0.5, 1.0, 2.0, 5.0};

    explicit DocumentSave(CTesselDoc& document);

    // The Save command: to the document's path, or through Save As when that file is missing
    // or read-only. When another program has written the file since it was opened or last
    // saved, asks first (No is the default and saves nothing).
    bool Save();
    bool SaveAs() { return SaveWithName("", true); }
    // Before closing: asks "Save changes to ...?" for a modified document. True when it may
    // close.
    bool SaveModified();
    // Save As to a name already chosen (the command line's, checked as the dialog checks):
    // switches the file type as the dialog's filter would, writes, and takes the name.
    bool SaveAsChosen(const SaveNameResult& chosen);

    // Save (path given) or Save As (empty path: asks). replace: the document takes the name.
    bool SaveWithName(const std::string& path, bool replace);
    // Writes beside path and replaces it only when all went well; false when the save failed
    // (shown).
    bool WriteTo(const std::string& path);
    // Writes the document into an open, empty file; false when the save failed (shown).
    bool WriteSound(CFile& file);

  private:
    // Asks for a save name; on OK writes the chosen full path into name and switches the
    // file type (dropping the unrecognised chunks on a change of type).
    bool PromptSaveName(std::string& name, const std::string& title);
    // Why the file at path cannot be replaced in place, in words; empty when it can.
    static std::string WhyNotWritable(const std::string& path);
    // True when the file is as the document last saw it, or the user chose to replace it.
    bool AskBeforeOverwritingChanges();
    void TakeFileType(int filterIndex);
    // More points than a file holds: offers to thin them to the fewest within the smallest of
    // kThinningSteps that fits, as one undo step. Answered No (the default), nothing changes.
    void OfferThinning();
    // Shows a failed step's text; writer, when given, says why under it.
    bool Failed(const std::string& text, const CSoundFile* writer = nullptr);

    CTesselDoc& m_doc;
    DocumentHost& m_host;
    // Set by a Save that cannot write its file: the dialog starts in that file's folder and
    // says why.
    std::string m_unwritableFolder;
    std::string m_unwritableReason;
    std::string m_writingPath;  // the file WriteTo is writing, for the words of a failure
};

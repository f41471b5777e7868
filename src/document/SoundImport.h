#pragma once

#include <string>

#include "formats/SoundImporter.h"

class CTesselDoc;
class DocumentHost;

// Import as the user meets it: a file the native open refuses but libsndfile reads becomes a
// new, untitled document, "name (imported)", that has never been saved, so its first save
// asks for a name and the source file is never written. Every refusal and failure is shown
// through the host's prompts. The host must outlive this object.
class SoundImport {
  public:
    explicit SoundImport(DocumentHost& host) : m_host(host) {}

    // Fills doc, an empty document, from the file at path. False when the import was refused
    // or failed; the reason has been shown.
    bool ImportInto(CTesselDoc& doc, const std::string& path, const ImportOptions& options = {});

    // Shows the native open's refusal of path (text and help id as that open shows them) as
    // the one box of the refusal. When the file can be imported, the box asks whether to, and
    // true means Yes. When libsndfile reads it but import would refuse it too, the box says
    // why on a line of its own. Otherwise it is the refusal as it stands. informative, the
    // native open's line naming the file and why, goes under the text of every such box.
    bool AskToImport(const std::string& path, const std::string& refusal, unsigned helpId,
                     const std::string& informative = {});

    // "take (imported)" for .../take.flac.
    static std::string ImportedTitle(const std::string& path);
    // The message for a refused or failed import of path ("" for Ok).
    static std::string FailureText(SoundImporter::Status status, const SoundImporter& importer,
                                   const std::string& path);

  private:
    DocumentHost& m_host;
};

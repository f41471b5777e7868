#pragma once

#include <string>

#include "deliver/AmbisonicsExport.h"

class CTesselDoc;
class DocumentHost;

// Export Ambisonics as the user runs it: the save dialog, the checks, the render with progress
// and Cancel into a file written beside its name, and every message. A cancelled or failed
// export leaves no output file and keeps an older file of that name. The document and its
// host outlive the command.
class AmbisonicsExportCommand {
  public:
    explicit AmbisonicsExportCommand(const CTesselDoc& document);

    // Asks for the name, the order, the sample format and the rate, then RenderTo. True when
    // the file was written in full.
    bool Run();
    // Renders into path, typeId 0 WAV or 1 AIFF, with no dialog (the command line's render).
    bool RenderTo(const std::string& path, int typeId, const AmbisonicsExport::Options& options);

  private:
    const CTesselDoc& m_document;
    DocumentHost& m_host;
};

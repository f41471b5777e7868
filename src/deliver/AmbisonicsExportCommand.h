#pragma once

#include <functional>
#include <string>
#include <vector>

#include "deliver/AmbisonicsExport.h"
#include "render/LoudnessMeter.h"

class CTesselDoc;
class CWaveFile;
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

    // The checks, the render and the messages of an export on AmbisonicsExport's loop (AmbiX
    // or loudspeakers): kind names the file in the messages ("Ambisonics", "loudspeaker"),
    // weights measure its loudness, waveSetup (when set) shapes a WAV file's header for
    // its format.
    static bool RenderExport(const CTesselDoc& document, const std::string& path, int typeId,
                             const AmbisonicsExport::Options& options, const std::string& kind,
                             const std::vector<LoudnessWeight>& weights,
                             const std::function<void(CWaveFile&, const PcmFormat&)>& waveSetup);

  private:
    const CTesselDoc& m_document;
    DocumentHost& m_host;
};

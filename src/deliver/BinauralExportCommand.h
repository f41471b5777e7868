#pragma once

#include <string>

#include "render/SampleFormat.h"

class CTesselDoc;
class DocumentHost;

// Export Binaural File as the user runs it: the save dialog, the checks, the render with
// progress and Cancel into a file written beside its name, and every message. As with the
// stereo export, a cancelled or failed export leaves no output file and keeps an older file
// of that name. The document and its host outlive the command.
class BinauralExportCommand {
  public:
    explicit BinauralExportCommand(const CTesselDoc& document);

    // Asks for the name, then RenderTo. True when the file was written in full.
    // Offers the sample format beside the name.
    bool Run();
    // Renders into path, typeId 0 WAV or 1 AIFF, with no dialog (the command line's render).
    bool RenderTo(const std::string& path, int typeId,
                  SampleFormat sampleFormat = SampleFormat::S16);

    // "... scaled down by 3.1 dB.": the amount rounded up to a tenth, so a scaled mix never
    // reads 0.0.
    static std::string ScaledDownText(double db);

    // Before RenderTo: every output sample times gain (a loudness target's).
    void SetLevel(float gain) { m_level = gain; }

  private:
    // What the dialog says of the set the export will use; "" without a renderer.
    std::string SetNote() const;

    const CTesselDoc& m_document;
    DocumentHost& m_host;
    float m_level = 1.0f;
};

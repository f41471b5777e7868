#pragma once

#include <optional>
#include <string>

#include "render/SampleFormat.h"

class CTesselDoc;

// Export Stereo File as the user runs it: the save dialog, the checks, the render through the
// spatial filter with progress and Cancel into a file written beside its name, and every
// message. A cancelled or failed export leaves no output file and keeps an older file of that
// name. The document and its host outlive the command.
class StereoExportCommand {
  public:
    explicit StereoExportCommand(const CTesselDoc& document) : m_document(document) {}

    // Asks for the name, then RenderTo. True when the file was written in full.
    // Offers the sample format beside the name: the source's own width (undithered) first.
    bool Run();
    // Renders into path, typeId 0 WAV or 1 AIFF, with no dialog (the command line's render).
    bool RenderTo(const std::string& path, int typeId,
                  std::optional<SampleFormat> sampleFormat = std::nullopt);

    // Before RenderTo: every output sample times gain (a loudness target's). The output then
    // needs a sample format: without one, the sound's own where it is 16 or 24 bits or floats;
    // RenderTo refuses the others.
    void SetLevel(float gain) { m_level = gain; }

  private:
    const CTesselDoc& m_document;
    float m_level = 1.0f;
};

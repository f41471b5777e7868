#pragma once

#include <string>

#include "deliver/AmbisonicsExport.h"

class CTesselDoc;
class CWaveFile;
class DocumentHost;
class SpeakerLayout;
struct PcmFormat;

// Export Loudspeakers as the user runs it: the save dialog with the layout, the sample format
// and the rate, the render with progress and Cancel into a file written beside its name, and
// every message. A WAV file is WAVE_FORMAT_EXTENSIBLE with the layout's channel mask (0 where
// the layout does not map onto the mask's speakers). A cancelled or failed export leaves no
// output file and keeps an older file of that name. The document and its host outlive the
// command.
class LoudspeakerExportCommand {
  public:
    explicit LoudspeakerExportCommand(const CTesselDoc& document);

    // Asks for the name and the options, then RenderTo. True when the file was written in full.
    bool Run();
    // Renders into path, typeId 0 WAV or 1 AIFF, with no dialog (the command line's render).
    // options.pLayout must be set.
    bool RenderTo(const std::string& path, int typeId, const AmbisonicsExport::Options& options);

    // "Unknown loudspeaker layout 'x'; the layouts are 0+2+0 (2.0), 0+5+0 (5.1), ...", or for a
    // name people use that BS.2051 has no layout for, the nearest ones.
    static std::string UnknownLayoutText(const std::string& name);
    // Gives a WAV writer of layout's feeds in format its header, WAVE_FORMAT_EXTENSIBLE with
    // the layout's channel mask, and its channels in the mask's order (the feeds come in
    // BS.2051's). Before the writer's header is written.
    static void ShapeWaveHeader(CWaveFile& wave, const PcmFormat& format,
                                const SpeakerLayout& layout);

  private:
    const CTesselDoc& m_document;
    DocumentHost& m_host;
};

#pragma once

#include <optional>
#include <string>

class CTesselDoc;
class DocumentHost;

// Export ADM BW64 as the user runs it: the sound's samples as they are, with a "chna" and an
// "axml" chunk that carry its trajectory as one object per channel, written as a WAV file (as
// RF64 with "ds64" once it passes the plain form's size), with progress and Cancel, beside its
// name; as with the other exports, a cancelled or failed export leaves no output file and
// keeps an older file of that name. The document and its host outlive the command.
class AdmExportCommand {
  public:
    explicit AdmExportCommand(const CTesselDoc& document);

    // Asks for the name, then RenderTo. True when the file was written in full.
    bool Run();
    // Writes path with no dialog (the command line's render). sampleFormat, when given, names
    // the sample format asked for ("s16", "s24", "f32"); only the document's own is written.
    bool RenderTo(const std::string& path, const std::optional<std::string>& sampleFormat = {});

    // The name of the document's own sample format, as sampleFormat names it ("u8" for 8 bits,
    // "s32" for 32-bit integers).
    static std::string SampleFormatName(unsigned bits, bool bFloat);

  private:
    const CTesselDoc& m_document;
    DocumentHost& m_host;
};

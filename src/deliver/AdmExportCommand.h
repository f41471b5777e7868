#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "formats/PcmFormat.h"
#include "render/SampleFormat.h"

class CTesselDoc;
class DocumentHost;

// Export ADM BW64 as the user runs it: the sound's samples as they are (or in the format asked),
// with a "chna" and an "axml" chunk that carry its trajectory as one object per channel, written as
// a WAV file (as RF64 with "ds64" once it passes the plain form's size), with progress and Cancel,
// beside its name; as with the other exports, a cancelled or failed export leaves no output file
// and keeps an older file of that name. The document and its host outlive the command.
// What the name dialog says a renderer of the file will do with it.
inline constexpr const char* kAdmExportNote =
    "Each channel becomes an object that follows the trajectory. A renderer places distance "
    "1 m on its loudspeakers' circle; nearer than 1 m sounds inside the loudspeakers, spread "
    "wider. A room goes beside them as an object of type HOA (third-order AmbiX).";

class AdmExportCommand {
  public:
    explicit AdmExportCommand(const CTesselDoc& document);

    // Asks for the name, then RenderTo. True when the file was written in full.
    bool Run();
    // Writes path with no dialog (the command line's render): the sound's own samples, or
    // sampleFormat's, dithered where that is coarser than the sound.
    bool RenderTo(const std::string& path, std::optional<SampleFormat> sampleFormat = {});
    // Before RenderTo: every sample times gain (a loudness target's), dithered again where the
    // output is integers.
    void SetLevel(float gain) { m_level = gain; }
    // The AmbiX order of the room's object, when the document has a room.
    void SetRoomOrder(int order) { m_roomOrder = order; }
    static constexpr int kDefaultRoomOrder = 3;

    // frames frames of the output from frame first, as the file stores them; valid until the
    // next call. Null when they could not be made: the file is then not written.
    using BlockSource = std::function<const uint8_t*(uint32_t first, uint32_t frames)>;
    // Writes an ADM file of format at path: the chna chunk for its channels, axml (as
    // BuildAxmlChunk made it) with the programme's loudness measured from the samples written,
    // and frameCount frames from convert, with progress and Cancel. objectChannels: how many of
    // the tracks carry objects (all when not given); the rest carry a HOA object's AmbiX. As
    // RenderTo, a cancelled or failed write leaves no file; true when it was written in full.
    static bool WriteFile(DocumentHost& host, const std::string& path, const PcmFormat& format,
                          const std::vector<uint8_t>& axml, uint32_t frameCount,
                          const BlockSource& convert,
                          std::optional<uint16_t> objectChannels = std::nullopt);
    // Whether samples of source written as output times level are dithered: only where the
    // output is integers coarser than the source, or the samples are scaled, so a finer format
    // holds the source exactly.
    static bool NeedsDither(const PcmFormat& source, const PcmFormat& output, float level);
    // The sample format of an output of 16, 24 or 32 bits.
    static SampleFormat TargetOf(const PcmFormat& output);

  private:
    const CTesselDoc& m_document;
    DocumentHost& m_host;
    float m_level = 1.0f;
    int m_roomOrder = kDefaultRoomOrder;
};

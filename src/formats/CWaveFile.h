#pragma once

#include <string>
#include <utility>
#include <vector>

#include "formats/CSoundFile.h"

// RIFF WAVE files of uncompressed PCM or IEEE float. Little-endian like memory, so samples, the
// format and the pan chunk pass through unconverted, every bit of a deep sample included
// whatever the extensible form's valid bits say. Float files are written with an 18-byte
// "fmt ", every other file with the plain 16 bytes, unless the writer keeps a deep file's own
// "fmt " chunk. Writes "fmt ", "data", "achk", then the carried-over chunks, whatever order the
// file that was read had.
//
// A written form that grows past PlainFormLimit() bytes becomes an RF64 form (or another id of
// that layout, such as BW64): form and data sizes read 0xFFFFFFFF and a "ds64" chunk right
// after the form type holds them in 64 bits. Its room is a "JUNK" chunk kept from the start
// when the writer asks for it; otherwise the form's chunks move up to make room when the file
// is closed, so a form within the limit is written as it always was, byte for byte.
class CWaveFile : public CSoundFile {
  public:
    static constexpr uint64_t kPlainFormLimit = 0xFFFFFFFFu;
    // The bytes of the "ds64" chunk's data written here: three 64-bit sizes and an empty table.
    static constexpr uint32_t kDs64Bytes = 28;
    // The limit in force: kPlainFormLimit unless a test lowered it, so the large form can be
    // checked without writing gigabytes. 0 restores kPlainFormLimit.
    static uint64_t PlainFormLimit();
    static void SetPlainFormLimit(uint64_t bytes);

    explicit CWaveFile(const std::string& path);
    explicit CWaveFile(CFile& file);

    void RegisterKnownIds() override;
    bool WritePanChunk(PanChunkBytes& chunk) override;
    bool CloseSamples() override;
    bool ReadSamples(void* buffer, uint32_t offset, uint32_t count,
                     const ReadyFn& onReady = {}) override;
    bool CloseFile() override;
    bool WriteSamples(const void* buffer, uint32_t count) override;
    bool CreateHeader(const PcmFormat& format, uint32_t dataBytes) override;
    std::optional<PanChunkBytes> ReadPanChunk() override;
    bool HasPanChunk() override;
    // Accepts a non-empty "data" chunk and a "fmt " chunk of 16 or 18 bytes with format tag 1
    // (any width), or tag 3 at 32 bits; or of WAVE_FORMAT_EXTENSIBLE (40 bytes or more, as its
    // extra size says) with a PCM sub-format of 24 or 32 bits or a float one of 32, which reads
    // as the plain tag with the slot's width.
    uint32_t ReadFormat(PcmFormat& format) override;

    // Before CreateHeader: the id the form takes past the limit ("RF64" unless set), room for
    // "ds64" kept from the start whatever the size, and whole chunks written between "fmt "
    // and "data".
    // The large form is written only when allowed (the exports allow it); otherwise a form
    // past 32 bits fails as it always has, so a saved document stays one Sonomap opens.
    void AllowLargeForm() { m_bLargeAllowed = true; }
    void SetLargeFormId(uint32_t id) { m_largeFormId = id; }
    void ReserveLargeHeader() { m_bReserveLarge = true; }
    void AddLeadingChunk(uint32_t id, std::vector<uint8_t> data);
    // While the samples are being written: overwrites bytes of a leading chunk's data from
    // offset, for what is known only once the samples are (a measure of them). False, with
    // nothing written, when no such chunk was written or the bytes would pass its end; the
    // status after it otherwise.
    bool PatchLeadingChunk(uint32_t id, size_t offset, const std::vector<uint8_t>& bytes);

    // Before the samples: file channel i holds channel order[i] of each frame handed to
    // WriteSamples, which then takes whole frames only (a loudspeaker layout's channels in its
    // mask's order). Empty, or a count other than the format's channels: as handed.
    void SetChannelOrder(std::vector<uint16_t> order) { m_channelOrder = std::move(order); }

    std::vector<uint8_t> GetStoredFormatChunk() const override;
    void KeepFormatChunk(std::vector<uint8_t> bytes) override;
    // The 40 bytes of a WAVE_FORMAT_EXTENSIBLE "fmt " chunk's data for format (plain tag 1
    // or 3, which becomes the sub-format), all bits valid, with channelMask.
    static std::vector<uint8_t> ExtensibleFormatChunk(const PcmFormat& format,
                                                      uint32_t channelMask);
    // Whether a "fmt " chunk's data says format: tag (or extensible sub-format), channels,
    // rate, frame size and width.
    static bool DescribesFormat(const std::vector<uint8_t>& chunk, const PcmFormat& format);

  protected:
    uint64_t MaxFormBytes() const override;

  private:
    // The "fmt " chunk's fields from the file's position; none when refused.
    std::optional<PcmFormat> ReadPlainFormat();
    std::optional<PcmFormat> ReadExtensibleFormat(uint32_t fmtSize);

    // Turns the closed plain form into the large one; the status after it.
    void WriteLargeForm();
    // Moves everything after the form type up by the "ds64" chunk's bytes.
    void MakeRoomForDs64();

    // A "fmt " chunk longer than this is not kept: no form of it needs so many bytes.
    static constexpr uint32_t kMaxKeptFormatBytes = 1024;

    std::vector<uint8_t> m_formatChunk;      // the deep file's "fmt " data as read
    std::vector<uint8_t> m_keptFormatChunk;  // to write instead of the writer's own
    uint32_t m_largeFormId = ChunkId("RF64");
    bool m_bLargeAllowed = false;
    bool m_bReserveLarge = false;
    bool m_bRoomReserved = false;  // the "JUNK" chunk after the form type is written
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> m_leadingChunks;
    std::vector<uint64_t> m_leadingChunkPos;  // of each leading chunk's data, once written
    std::vector<uint16_t> m_channelOrder;
    std::vector<uint8_t> m_reordered;  // the frames of one WriteSamples in the file's order
    int64_t m_dataSizePos = 0;         // of the "data" chunk's size field
    uint64_t m_dataBytes = 0;          // written into "data", known once it is closed
};

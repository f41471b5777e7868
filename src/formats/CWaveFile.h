#pragma once

#include <string>

#include "formats/CSoundFile.h"

// RIFF WAVE files of uncompressed PCM or IEEE float. Little-endian like memory, so samples, the
// format and the pan chunk pass through unconverted; samples whose valid bits fill less than
// their slot read with the bits below them cleared. Float files are written with an 18-byte
// "fmt ", every other file with the plain 16 bytes. Writes "fmt ", "data", "achk", then the
// carried-over chunks, whatever order the file that was read had.
class CWaveFile : public CSoundFile {
  public:
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

  protected:
    void ConvertRead(uint8_t* bytes, uint32_t count) override;

  private:
    // The "fmt " chunk's fields from the file's position; none when refused.
    std::optional<PcmFormat> ReadPlainFormat();
    std::optional<PcmFormat> ReadExtensibleFormat(uint32_t fmtSize);

    uint16_t m_validBits = 0;  // of each sample's bits, those that carry sound
};

#pragma once

#include <string>

#include "formats/CSoundFile.h"

// RIFF WAVE files of uncompressed PCM. Little-endian like memory, so samples, the format and
// the pan chunk pass through unconverted. Writes "fmt ", "data", "achk", then the carried-over
// chunks, whatever order the file that was read had.
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
    // Accepts a "fmt " chunk of 16 or 18 bytes with format tag 1 and a non-empty "data" chunk.
    uint32_t ReadFormat(PcmFormat& format) override;
};

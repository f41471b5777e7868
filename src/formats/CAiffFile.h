#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/CSoundFile.h"

// FORM AIFF files of uncompressed PCM, big-endian. Samples in the file are 8-bit signed or
// 16-, 24- or 32-bit signed big-endian and are converted to and from the in-memory form on every
// read and write, as is the pan chunk. FORM AIFC files open at 24 or 32 bits (compression
// "NONE" or "twos", "sowt" little-endian) and as 32-bit floats ("fl32"). Writes "COMM", "SSND",
// "achk", then the carried-over chunks; floats go into AIFF-C with "FVER" first, integers of
// every width into plain AIFF.
class CAiffFile : public CSoundFile {
  public:
    explicit CAiffFile(const std::string& path);
    explicit CAiffFile(CFile& file);

    void RegisterKnownIds() override;
    bool WritePanChunk(PanChunkBytes& chunk) override;
    bool CloseSamples() override;
    bool ReadSamples(void* buffer, uint32_t offset, uint32_t count,
                     const ReadyFn& onReady = {}) override;
    bool CloseFile() override;
    bool WriteSamples(const void* buffer, uint32_t count) override;
    // "COMM" gets frames = dataBytes / channels / (bits / 8), 0 when either divisor is 0.
    bool CreateHeader(const PcmFormat& format, uint32_t dataBytes) override;
    std::optional<PanChunkBytes> ReadPanChunk() override;
    bool HasPanChunk() override;
    // Accepts FORM AIFF with a "COMM" chunk of exactly 18 bytes, or FORM AIFC at the widths
    // above with a "COMM" of at least 22, and an "SSND" chunk with sample bytes: they
    // begin "offset" bytes after its offset and block-size fields, so the data size (bytes) is
    // the chunk size - 8 - offset; 0 when that leaves none. The block size is ignored.
    // A rate that is not finite or lies outside 0 .. 2^31-1 reads as 0; others truncate.
    uint32_t ReadFormat(PcmFormat& format) override;

  protected:
    // Big-endian 16-bit words swapped, signed 8-bit samples made unsigned.
    void ConvertRead(uint8_t* bytes, uint32_t count) override;

  private:
    enum class SampleOrder { BigInteger, LittleInteger, BigFloat };
    static std::optional<SampleOrder> CompressionOrder(uint32_t compression);
    // Between the file's order and memory's: the same exchange serves both ways.
    void ConvertSamples(uint8_t* bytes, uint32_t count);

    // Reads the offset and block-size fields at the file's position, which must be the first
    // data byte of "SSND"; the offset, or none when the file ends first.
    std::optional<uint32_t> ReadSsndOffset();

    uint32_t m_aiffType = ChunkId("AIFF");  // the form type, "AIFF" or "AIFC"
    SampleOrder m_order = SampleOrder::BigInteger;
};

// IEEE 754 80-bit extended, big-endian, as AIFF stores the sample rate (Hz).
using Extended80 = std::array<uint8_t, 10>;
// Exponent 0x7FFF (infinity or not a number) reads as +/- infinity.
double ExtendedToDouble(const Extended80& bytes);
Extended80 DoubleToExtended(double value);

#include "formats/CAiffFile.h"
#include "platform/ByteOrder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/CFileException.h"

namespace {

constexpr uint32_t kForm = ChunkId("FORM");
constexpr uint32_t kAiff = ChunkId("AIFF");
constexpr uint32_t kAifc = ChunkId("AIFC");
constexpr uint32_t kFver = ChunkId("FVER");
constexpr uint32_t kComm = ChunkId("COMM");
// AIFF-C: the plain 18 bytes, then the compression type and its name (a Pascal string).
constexpr uint32_t kCommCompressedBytes = 22;
constexpr uint32_t kAifcVersion1 = 0xA2805140;
constexpr uint32_t kNone = ChunkId("NONE");
constexpr uint32_t kTwos = ChunkId("twos");
constexpr uint32_t kSowt = ChunkId("sowt");
constexpr uint32_t kFl32 = ChunkId("fl32");
constexpr uint32_t kFl32Upper = ChunkId("FL32");
constexpr char kFloatName[] = "32-bit floating point";
constexpr uint32_t kSsnd = ChunkId("SSND");
constexpr uint32_t kCommBytes = 18;
constexpr uint32_t kSsndHeaderBytes = 8;  // offset, then block size (ignored)

// 8-bit: signed in the file, unsigned in memory; the same flip converts both ways.
void FlipSignBits(void* buffer, uint32_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        bytes[i] ^= 0x80u;
    }
}

// Reverses the bytes of each width-byte sample; 3 and 4 are the widths deep samples take.
void ReverseSamples(uint8_t* bytes, uint32_t count, uint32_t width) {
    for (uint32_t at = 0; at + width <= count; at += width) {
        std::reverse(bytes + at, bytes + at + width);
    }
}

}  // namespace

double ExtendedToDouble(const Extended80& bytes) {
    const int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
    const uint32_t hi = ByteOrder::LoadU32(bytes.data() + 2, true);
    const uint32_t lo = ByteOrder::LoadU32(bytes.data() + 6, true);
    double value;
    if (exponent == 0 && hi == 0 && lo == 0) {
        value = 0.0;
    } else if (exponent == 0x7FFF) {
        value = HUGE_VAL;
    } else {
        value = std::ldexp(static_cast<double>(hi), exponent - 16383 - 31) +
                std::ldexp(static_cast<double>(lo), exponent - 16383 - 63);
    }
    return (bytes[0] & 0x80) != 0 ? -value : value;
}

Extended80 DoubleToExtended(double value) {
    uint16_t exponentField = 0;
    uint32_t hi = 0;
    uint32_t lo = 0;
    uint16_t sign = 0;
    if (value < 0) {
        sign = 0x8000;
        value = -value;
    }
    if (value != 0) {
        int e;
        double m = std::frexp(value, &e);
        if (e > 16384 || !(m < 1)) {
            exponentField = sign | 0x7FFF;
        } else {
            e += 16382;
            if (e < 0) {
                m = std::ldexp(m, e);
                e = 0;
            }
            exponentField = static_cast<uint16_t>(sign | e);
            m = std::ldexp(m, 32);
            const double hiPart = std::floor(m);
            hi = static_cast<uint32_t>(hiPart);
            m = std::ldexp(m - hiPart, 32);
            lo = static_cast<uint32_t>(std::floor(m));
        }
    } else {
        exponentField = sign;
    }
    Extended80 bytes{};
    ByteOrder::StoreU16(bytes.data(), exponentField, true);
    ByteOrder::StoreU32(bytes.data() + 2, hi, true);
    ByteOrder::StoreU32(bytes.data() + 6, lo, true);
    return bytes;
}

CAiffFile::CAiffFile(const std::string& path) : CSoundFile(path) {
    m_typeName = "AIFF";
    m_bBigEndian = true;
    RegisterKnownIds();
}

CAiffFile::CAiffFile(CFile& file) : CSoundFile(file) {
    m_typeName = "AIFF";
    m_bBigEndian = true;
    RegisterKnownIds();
}

void CAiffFile::RegisterKnownIds() {
    m_knownIds.push_back(kComm);
    m_knownIds.push_back(kSsnd);
    m_knownIds.push_back(kPanChunkId);
}

uint32_t CAiffFile::ReadFormat(PcmFormat& format) {
    try {
        uint8_t comm[kCommCompressedBytes];
        if (FindForm(kForm, kAiff) != 0) {
            m_aiffType = kAiff;
            if (FindChunk(kComm) != kCommBytes || m_pFile->Read(comm, kCommBytes) < kCommBytes) {
                m_bOk = false;
                return 0;
            }
            m_order = SampleOrder::BigInteger;
        } else if (FindForm(kForm, kAifc) != 0) {
            m_aiffType = kAifc;
            const uint32_t commSize = FindChunk(kComm);
            if (commSize < kCommCompressedBytes ||
                m_pFile->Read(comm, kCommCompressedBytes) < kCommCompressedBytes) {
                m_bOk = false;
                return 0;
            }
            const std::optional<SampleOrder> order =
                CompressionOrder(ByteOrder::LoadU32(comm + kCommBytes, true));
            if (!order) {
                m_bOk = false;
                return 0;
            }
            m_order = *order;
            // The form's version stamp is written anew with the form.
            m_knownIds.push_back(kFver);
        } else {
            m_bOk = false;
            return 0;
        }
        const uint16_t channels = ByteOrder::LoadU16(comm, true);
        const uint16_t bits = ByteOrder::LoadU16(comm + 6, true);
        Extended80 rateBytes;
        std::memcpy(rateBytes.data(), comm + 8, rateBytes.size());
        const double rate = ExtendedToDouble(rateBytes);
        // Converting a value outside the target's range would be undefined; such a rate
        // reads as 0 and fails every later check of the rate.
        const uint32_t sampleRate = std::isfinite(rate) && rate >= 0.0 && rate <= 2147483647.0
                                        ? static_cast<uint32_t>(rate)
                                        : 0;
        const uint32_t bytesPerSample = bits / 8u;
        m_format.formatTag = m_order == SampleOrder::BigFloat ? kFormatTagFloat : kFormatTagPcm;
        m_format.channels = channels;
        m_format.sampleRate = sampleRate;
        m_format.blockAlign = static_cast<uint16_t>(bytesPerSample * channels);
        m_format.avgBytesPerSec =
            static_cast<uint32_t>(uint64_t{sampleRate} * bytesPerSample * channels);
        m_format.bitsPerSample = bits;
        // AIFF-C opens only at the deep widths; 8 and 16 bits stay with the import.
        if (m_aiffType == kAifc && !IsKeptDeepFormat(m_format)) {
            m_bOk = false;
            return 0;
        }
        format = m_format;
        if (FindForm(kForm, m_aiffType) == 0) {
            m_bOk = false;
            return 0;
        }
        const uint32_t ssndSize = FindChunk(kSsnd);
        if (ssndSize <= kSsndHeaderBytes) {
            return 0;
        }
        const std::optional<uint32_t> offset = ReadSsndOffset();
        // An offset that leaves no sample bytes is a chunk without samples.
        if (!offset || uint64_t{kSsndHeaderBytes} + *offset >= ssndSize) {
            return 0;
        }
        m_declaredDataBytes = ssndSize - kSsndHeaderBytes - *offset;
        return CapToFile(m_declaredDataBytes, *offset);
    } catch (const CFileException&) {
        m_bOk = false;
        return 0;
    }
}

std::optional<CAiffFile::SampleOrder> CAiffFile::CompressionOrder(uint32_t compression) {
    if (compression == kNone || compression == kTwos) {
        return SampleOrder::BigInteger;
    }
    if (compression == kSowt) {
        return SampleOrder::LittleInteger;
    }
    if (compression == kFl32 || compression == kFl32Upper) {
        return SampleOrder::BigFloat;
    }
    return std::nullopt;
}

bool CAiffFile::ReadSamples(void* buffer, uint32_t offset, uint32_t count, const ReadyFn& onReady) {
    if (FindForm(kForm, m_aiffType) == 0 || FindChunk(kSsnd) == 0) {
        m_bOk = false;
        return false;
    }
    try {
        const uint32_t dataOffset = ReadSsndOffset().value_or(0);
        m_pFile->Seek(int64_t{offset} + dataOffset, CFile::SeekFrom::Current);
        ReadStretches(static_cast<uint8_t*>(buffer), count, onReady);
    } catch (const CFileException&) {
        m_bOk = false;
        return false;
    }
    return true;
}

void CAiffFile::ConvertRead(uint8_t* bytes, uint32_t count) {
    ConvertSamples(bytes, count);
}

void CAiffFile::ConvertSamples(uint8_t* bytes, uint32_t count) {
    if (IsDeepFormat(m_format)) {
        if (m_order != SampleOrder::LittleInteger) {
            ReverseSamples(bytes, count, m_format.bitsPerSample / 8u);
        }
    } else if (m_format.bitsPerSample == 16) {
        SwapWords(bytes, count);
    } else {
        FlipSignBits(bytes, count);
    }
}

std::optional<uint32_t> CAiffFile::ReadSsndOffset() {
    uint8_t header[kSsndHeaderBytes];
    if (m_pFile->Read(header, kSsndHeaderBytes) < kSsndHeaderBytes) {
        return std::nullopt;
    }
    return ByteOrder::LoadU32(header, true);
}

bool CAiffFile::HasPanChunk() {
    return HasPanChunkIn(kForm, m_aiffType);
}

std::optional<PanChunkBytes> CAiffFile::ReadPanChunk() {
    std::optional<PanChunkBytes> chunk = ReadPanChunkIn(kForm, m_aiffType);
    if (chunk) {
        PanChunkFromBigEndian(chunk->data(), chunk->size());
    }
    return chunk;
}

bool CAiffFile::CreateHeader(const PcmFormat& format, uint32_t dataBytes) {
    if (!StartWriting()) {
        return false;
    }
    // Floats need AIFF-C; integers of every width stay plain AIFF, big-endian.
    const bool bFloat = format.formatTag == kFormatTagFloat;
    m_aiffType = bFloat ? kAifc : kAiff;
    m_order = bFloat ? SampleOrder::BigFloat : SampleOrder::BigInteger;
    CreateForm(kForm, m_aiffType);
    if (bFloat) {
        uint8_t version[4];
        ByteOrder::StoreU32(version, kAifcVersion1, true);
        CreateChunk(kFver, version, sizeof version);
        CloseChunk();
    }
    const uint32_t bytesPerSample = format.bitsPerSample / 8u;
    const uint32_t frames = format.channels != 0 && bytesPerSample != 0
                                ? dataBytes / format.channels / bytesPerSample
                                : 0;
    // The name's length byte and text fill an even count, so it needs no pad byte.
    static_assert((1 + sizeof kFloatName - 1) % 2 == 0);
    uint8_t comm[kCommCompressedBytes + sizeof kFloatName];
    ByteOrder::StoreU16(comm, format.channels, true);
    ByteOrder::StoreU32(comm + 2, frames, true);
    ByteOrder::StoreU16(comm + 6, format.bitsPerSample, true);
    const Extended80 rate = DoubleToExtended(format.sampleRate);
    std::memcpy(comm + 8, rate.data(), rate.size());
    uint32_t commBytes = kCommBytes;
    if (bFloat) {
        ByteOrder::StoreU32(comm + kCommBytes, kFl32, true);
        comm[kCommCompressedBytes] = static_cast<uint8_t>(sizeof kFloatName - 1);
        std::memcpy(comm + kCommCompressedBytes + 1, kFloatName, sizeof kFloatName - 1);
        commBytes = kCommCompressedBytes + sizeof kFloatName;
    }
    CreateChunk(kComm, comm, commBytes);
    CloseChunk();
    const uint8_t ssndHeader[kSsndHeaderBytes] = {};
    CreateChunk(kSsnd, ssndHeader, kSsndHeaderBytes);  // stays open for the samples
    m_format = format;
    return m_bOk;
}

bool CAiffFile::WriteSamples(const void* buffer, uint32_t count) {
    if (m_pFile == nullptr) {
        return false;
    }
    // Converted through a copy a stretch at a time: the caller's samples may be playing.
    // Whole frames to a stretch, so no sample is split.
    const uint32_t frameBytes =
        IsDeepFormat(m_format) ? std::max<uint32_t>(m_format.blockAlign, 1) : 2;
    const uint32_t stretchBytes = (1u << 16) - (1u << 16) % frameBytes;
    std::vector<uint8_t> stretch(std::min(count, stretchBytes));
    const auto* from = static_cast<const uint8_t*>(buffer);
    for (uint32_t done = 0; done < count && m_bOk;) {
        const uint32_t n = std::min(count - done, stretchBytes);
        std::memcpy(stretch.data(), from + done, n);
        ConvertSamples(stretch.data(), n);
        Write(stretch.data(), n);
        done += n;
    }
    return m_bOk;
}

bool CAiffFile::CloseSamples() {
    CloseChunk();
    return m_bOk;
}

bool CAiffFile::WritePanChunk(PanChunkBytes& chunk) {
    const std::optional<uint32_t> size = PanChunkWriteSize(chunk);
    if (!size) {
        return false;
    }
    PanChunkToBigEndian(chunk.data(), *size);
    CreateChunk(kPanChunkId, chunk.data(), *size);
    PanChunkFromBigEndian(chunk.data(), *size);
    if (!m_bOk) {
        return false;
    }
    CloseChunk();
    return m_bOk;
}

bool CAiffFile::CloseFile() {
    CloseForm();
    return m_bOk;
}

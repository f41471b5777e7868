#include "formats/CWaveFile.h"
#include "platform/ByteOrder.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/CFileException.h"

namespace {

constexpr uint32_t kRiff = ChunkId("RIFF");
constexpr uint32_t kWave = ChunkId("WAVE");
constexpr uint32_t kFmt = ChunkId("fmt ");
constexpr uint32_t kData = ChunkId("data");
constexpr uint16_t kTagExtensible = 0xFFFE;
// The WAVE_FORMAT_EXTENSIBLE form: the plain 16 bytes, the extra size, valid bits, channel mask
// and the sub-format GUID.
constexpr uint32_t kExtensibleBytes = 40;
constexpr uint32_t kJunk = ChunkId("JUNK");
constexpr uint32_t kDs64 = ChunkId("ds64");
constexpr int64_t kFormTypeEnd = 12;

std::atomic<uint64_t> g_plainFormLimit{CWaveFile::kPlainFormLimit};

// The sub-format GUID's bytes after the tag, the same for every tag of the old kind.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

uint64_t CWaveFile::PlainFormLimit() {
    return g_plainFormLimit.load();
}

void CWaveFile::SetPlainFormLimit(uint64_t bytes) {
    g_plainFormLimit = bytes == 0 ? kPlainFormLimit : std::min(bytes, kPlainFormLimit);
}

CWaveFile::CWaveFile(const std::string& path) : CSoundFile(path) {
    m_typeName = "WAVE";
    m_bBigEndian = false;
    RegisterKnownIds();
}

CWaveFile::CWaveFile(CFile& file) : CSoundFile(file) {
    m_typeName = "WAVE";
    m_bBigEndian = false;
    RegisterKnownIds();
}

void CWaveFile::RegisterKnownIds() {
    m_knownIds.push_back(kFmt);
    m_knownIds.push_back(kData);
    m_knownIds.push_back(kPanChunkId);
}

uint32_t CWaveFile::ReadFormat(PcmFormat& format) {
    try {
        if (FindForm(kRiff, kWave) == 0) {
            m_bOk = false;
            return 0;
        }
        const uint32_t fmtSize = FindChunk(kFmt);
        const uint64_t fmtStart = m_pFile->GetPosition();
        std::optional<PcmFormat> read;
        if (fmtSize == 16 || fmtSize == 18) {
            read = ReadPlainFormat();
        } else if (fmtSize >= kExtensibleBytes) {
            read = ReadExtensibleFormat(fmtSize);
        }
        if (!read) {
            m_bOk = false;
            return 0;
        }
        m_format = *read;
        m_formatChunk.clear();
        if (IsDeepFormat(m_format) && fmtSize <= kMaxKeptFormatBytes) {
            m_formatChunk.resize(fmtSize);
            m_pFile->Seek(static_cast<int64_t>(fmtStart), CFile::SeekFrom::Begin);
            m_formatChunk.resize(m_pFile->Read(m_formatChunk.data(), fmtSize));
        }
        format = m_format;
        if (FindForm(kRiff, kWave) == 0) {
            m_bOk = false;
            return 0;
        }
        const uint32_t dataSize = FindChunk(kData);
        if (dataSize == 0) {
            return 0;
        }
        m_declaredDataBytes = dataSize;
        // Never more than the file holds: the caller sizes its buffer from this.
        return CapToFile(dataSize, 0);
    } catch (const CFileException&) {
        m_bOk = false;
        return 0;
    }
}

std::optional<PcmFormat> CWaveFile::ReadPlainFormat() {
    PcmFormat read{};
    if (m_pFile->Read(&read, sizeof read) < sizeof read) {
        return std::nullopt;
    }
    // Floats come only at their own depth; every other tag stays with the import.
    if (read.formatTag == kFormatTagFloat ? !IsKeptDeepFormat(read)
                                          : read.formatTag != kFormatTagPcm) {
        return std::nullopt;
    }
    return read;
}

std::optional<PcmFormat> CWaveFile::ReadExtensibleFormat(uint32_t fmtSize) {
    uint8_t bytes[kExtensibleBytes];
    if (m_pFile->Read(bytes, kExtensibleBytes) < kExtensibleBytes) {
        return std::nullopt;
    }
    PcmFormat read{};
    std::memcpy(&read, bytes, sizeof read);
    uint16_t extraBytes, subTag;
    std::memcpy(&extraBytes, bytes + 16, 2);
    std::memcpy(&subTag, bytes + 24, 2);
    if (read.formatTag != kTagExtensible || extraBytes < kExtensibleBytes - 18 ||
        uint32_t{extraBytes} + 18 > fmtSize ||
        std::memcmp(bytes + 26, kGuidTail, sizeof kGuidTail) != 0) {
        return std::nullopt;
    }
    read.formatTag = subTag;
    // Only the deep samples open from this form; 8 and 16 bits stay with the import. The valid
    // bits are not applied: a count that lies would cost the samples, and the bits under an
    // honest one are zeros anyway.
    if (!IsKeptDeepFormat(read)) {
        return std::nullopt;
    }
    return read;
}

std::vector<uint8_t> CWaveFile::GetStoredFormatChunk() const {
    return m_formatChunk;
}

void CWaveFile::KeepFormatChunk(std::vector<uint8_t> bytes) {
    m_keptFormatChunk = std::move(bytes);
}

std::vector<uint8_t> CWaveFile::ExtensibleFormatChunk(const PcmFormat& format,
                                                      uint32_t channelMask) {
    std::vector<uint8_t> fmt(kExtensibleBytes, 0);
    PcmFormat head = format;
    head.formatTag = kTagExtensible;
    std::memcpy(fmt.data(), &head, sizeof head);
    const uint16_t extraBytes = kExtensibleBytes - 18;
    std::memcpy(fmt.data() + 16, &extraBytes, 2);
    std::memcpy(fmt.data() + 18, &format.bitsPerSample, 2);
    ByteOrder::StoreU32(fmt.data() + 20, channelMask, false);
    std::memcpy(fmt.data() + 24, &format.formatTag, 2);
    std::memcpy(fmt.data() + 26, kGuidTail, sizeof kGuidTail);
    return fmt;
}

bool CWaveFile::DescribesFormat(const std::vector<uint8_t>& chunk, const PcmFormat& format) {
    if (chunk.size() < sizeof(PcmFormat)) {
        return false;
    }
    PcmFormat head{};
    std::memcpy(&head, chunk.data(), sizeof head);
    uint16_t tag = head.formatTag;
    if (tag == kTagExtensible) {
        if (chunk.size() < kExtensibleBytes) {
            return false;
        }
        std::memcpy(&tag, chunk.data() + 24, 2);
    }
    return tag == format.formatTag && head.channels == format.channels &&
           head.sampleRate == format.sampleRate && head.blockAlign == format.blockAlign &&
           head.bitsPerSample == format.bitsPerSample;
}

bool CWaveFile::ReadSamples(void* buffer, uint32_t offset, uint32_t count, const ReadyFn& onReady) {
    if (FindForm(kRiff, kWave) == 0 || FindChunk(kData) == 0) {
        m_bOk = false;
        return false;
    }
    try {
        m_pFile->Seek(offset, CFile::SeekFrom::Current);
        ReadStretches(static_cast<uint8_t*>(buffer), count, onReady);
        return true;
    } catch (const CFileException&) {
        m_bOk = false;
        return false;
    }
}

bool CWaveFile::HasPanChunk() {
    return HasPanChunkIn(kRiff, kWave);
}

std::optional<PanChunkBytes> CWaveFile::ReadPanChunk() {
    return ReadPanChunkIn(kRiff, kWave);
}

void CWaveFile::AddLeadingChunk(uint32_t id, std::vector<uint8_t> data) {
    m_leadingChunks.emplace_back(id, std::move(data));
}

bool CWaveFile::PatchLeadingChunk(uint32_t id, size_t offset, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < m_leadingChunkPos.size(); ++i) {
        const std::vector<uint8_t>& data = m_leadingChunks[i].second;
        if (m_leadingChunks[i].first != id || offset > data.size() ||
            bytes.size() > data.size() - offset || m_pFile == nullptr) {
            continue;
        }
        const uint64_t back = m_pFile->GetPosition();
        try {
            m_pFile->Seek(static_cast<int64_t>(m_leadingChunkPos[i] + offset),
                          CFile::SeekFrom::Begin);
            m_pFile->Write(bytes.data(), bytes.size());
            m_pFile->Seek(static_cast<int64_t>(back), CFile::SeekFrom::Begin);
        } catch (const CFileException&) {
            m_bOk = false;
        }
        return m_bOk;
    }
    return false;
}

uint64_t CWaveFile::MaxFormBytes() const {
    // A 64-bit size in "ds64" describes any file the platform can hold.
    return m_bLargeAllowed ? uint64_t{1} << 62 : CSoundFile::MaxFormBytes();
}

bool CWaveFile::CreateHeader(const PcmFormat& format, uint32_t) {
    if (!StartWriting()) {
        return false;
    }
    CreateForm(kRiff, kWave);
    m_bRoomReserved = m_bLargeAllowed && m_bReserveLarge;
    if (m_bRoomReserved) {
        const std::vector<uint8_t> room(kDs64Bytes, 0);
        WriteWholeChunk(kJunk, room);
    }
    if (DescribesFormat(m_keptFormatChunk, format)) {
        // The file's own: its valid bits, channel mask and any extra field stay as they were.
        CreateChunk(kFmt, m_keptFormatChunk.data(),
                    static_cast<uint32_t>(m_keptFormatChunk.size()));
    } else if (format.channels > 2) {
        // Readers take more than two channels only in the extensible form; the mask stays 0,
        // as the channels are no loudspeakers (Ambisonics).
        const std::vector<uint8_t> fmt = ExtensibleFormatChunk(format, 0);
        CreateChunk(kFmt, fmt.data(), static_cast<uint32_t>(fmt.size()));
    } else if (format.formatTag == kFormatTagFloat) {
        // Floats carry the extra-size field, 0, as readers of the float tag expect.
        uint8_t fmt[sizeof format + 2] = {};
        std::memcpy(fmt, &format, sizeof format);
        CreateChunk(kFmt, fmt, sizeof fmt);
    } else {
        CreateChunk(kFmt, &format, sizeof format);
    }
    CloseChunk();
    m_leadingChunkPos.clear();
    for (const auto& [id, data] : m_leadingChunks) {
        m_leadingChunkPos.push_back(m_pFile->GetPosition() + 8);
        WriteWholeChunk(id, data);
    }
    CreateChunk(kData, nullptr, 0);  // stays open; its size is patched on close
    m_dataSizePos = m_chunkSizePos;
    m_format = format;
    return m_bOk;
}

bool CWaveFile::WriteSamples(const void* buffer, uint32_t count) {
    if (m_pFile == nullptr) {
        return false;
    }
    const size_t channels = m_channelOrder.size();
    if (channels == 0 || channels != m_format.channels) {
        Write(buffer, count);
        return m_bOk;
    }
    const size_t frameBytes = m_format.blockAlign;
    const size_t sampleBytes = frameBytes / channels;
    if (sampleBytes == 0 || count % frameBytes != 0) {
        m_bOk = false;
        return false;
    }
    m_reordered.resize(count);
    const auto* from = static_cast<const uint8_t*>(buffer);
    for (size_t frame = 0; frame < count; frame += frameBytes) {
        for (size_t c = 0; c < channels; ++c) {
            std::memcpy(m_reordered.data() + frame + c * sampleBytes,
                        from + frame + m_channelOrder[c] * sampleBytes, sampleBytes);
        }
    }
    Write(m_reordered.data(), count);
    return m_bOk;
}

bool CWaveFile::CloseSamples() {
    m_dataBytes = m_chunkSize;
    CloseChunk();
    return m_bOk;
}

bool CWaveFile::WritePanChunk(PanChunkBytes& chunk) {
    const std::optional<uint32_t> size = PanChunkWriteSize(chunk);
    if (!size) {
        return false;
    }
    CreateChunk(kPanChunkId, chunk.data(), *size);
    if (!m_bOk) {
        return false;
    }
    CloseChunk();
    return m_bOk;
}

bool CWaveFile::CloseFile() {
    if (m_bLargeAllowed && m_bOk && m_pFile != nullptr && m_formSize > PlainFormLimit()) {
        WriteLargeForm();
    } else {
        CloseForm();
    }
    return m_bOk;
}

void CWaveFile::MakeRoomForDs64() {
    constexpr uint64_t kShift = 8 + kDs64Bytes;
    std::vector<uint8_t> buffer(std::min<uint64_t>(m_formSize, 4u << 20));
    // From the end backwards, so no byte is overwritten before it has moved.
    uint64_t end = m_pFile->GetLength();
    while (end > kFormTypeEnd) {
        const uint64_t count = std::min<uint64_t>(buffer.size(), end - kFormTypeEnd);
        const uint64_t from = end - count;
        m_pFile->Seek(static_cast<int64_t>(from), CFile::SeekFrom::Begin);
        if (m_pFile->Read(buffer.data(), count) != count) {
            m_bOk = false;
            return;
        }
        m_pFile->Seek(static_cast<int64_t>(from + kShift), CFile::SeekFrom::Begin);
        m_pFile->Write(buffer.data(), count);
        end = from;
    }
    m_formSize += kShift;
    m_dataSizePos += static_cast<int64_t>(kShift);
}

void CWaveFile::WriteLargeForm() {
    try {
        if (!m_bRoomReserved) {
            MakeRoomForDs64();
            if (!m_bOk) {
                return;
            }
        }
        const uint32_t blockAlign = std::max<uint32_t>(m_format.blockAlign, 1u);
        uint8_t ds64[8 + kDs64Bytes] = {};
        ByteOrder::StoreU32(ds64, kDs64, true);
        ByteOrder::StoreU32(ds64 + 4, kDs64Bytes, false);
        ByteOrder::StoreU64(ds64 + 8, m_formSize, false);
        ByteOrder::StoreU64(ds64 + 16, m_dataBytes, false);
        ByteOrder::StoreU64(ds64 + 24, m_dataBytes / blockAlign, false);
        m_pFile->Seek(kFormTypeEnd, CFile::SeekFrom::Begin);
        m_pFile->Write(ds64, sizeof ds64);
        uint8_t head[8];
        ByteOrder::StoreU32(head, m_largeFormId, true);
        ByteOrder::StoreU32(head + 4, 0xFFFFFFFFu, false);
        m_pFile->Seek(0, CFile::SeekFrom::Begin);
        m_pFile->Write(head, sizeof head);
        m_pFile->Seek(m_dataSizePos, CFile::SeekFrom::Begin);
        m_pFile->Write(head + 4, 4);
        m_pFile->Seek(static_cast<int64_t>(m_pFile->GetLength()), CFile::SeekFrom::Begin);
    } catch (const CFileException& e) {
        m_bOk = false;
        m_fileError = e.GetError();
    }
}

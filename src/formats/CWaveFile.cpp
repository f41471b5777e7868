#include "formats/CWaveFile.h"

#include "platform/CFileException.h"

namespace {

constexpr uint32_t kRiff = ChunkId("RIFF");
constexpr uint32_t kWave = ChunkId("WAVE");
constexpr uint32_t kFmt = ChunkId("fmt ");
constexpr uint32_t kData = ChunkId("data");

}  // namespace

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
        if (fmtSize != 16 && fmtSize != 18) {
            m_bOk = false;
            return 0;
        }
        PcmFormat read{};
        if (m_pFile->Read(&read, sizeof read) < sizeof read || read.formatTag != 1) {
            m_bOk = false;
            return 0;
        }
        m_format = read;
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

bool CWaveFile::CreateHeader(const PcmFormat& format, uint32_t) {
    if (!StartWriting()) {
        return false;
    }
    CreateForm(kRiff, kWave);
    CreateChunk(kFmt, &format, sizeof format);
    CloseChunk();
    CreateChunk(kData, nullptr, 0);  // stays open; its size is patched on close
    m_format = format;
    return m_bOk;
}

bool CWaveFile::WriteSamples(const void* buffer, uint32_t count) {
    if (m_pFile == nullptr) {
        return false;
    }
    Write(buffer, count);
    return m_bOk;
}

bool CWaveFile::CloseSamples() {
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
    CloseForm();
    return m_bOk;
}

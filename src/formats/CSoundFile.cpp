#include "formats/CSoundFile.h"

#include <algorithm>
#include <cstring>

#include "formats/CAiffFile.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"

CSoundFile::CSoundFile(const std::string& path) : CChunkFile(path), m_typeName("unknown") {}

CSoundFile::CSoundFile(CFile& file) : CChunkFile(file), m_typeName("unknown") {}

bool CSoundFile::WritePanChunk(PanChunkBytes&) {
    return false;
}

bool CSoundFile::CloseSamples() {
    return false;
}

std::string CSoundFile::GetTypeName(int typeId) const {
    if (typeId == kSoundTypeWave || typeId == kSoundTypeAiff) {
        return SoundTypeName(typeId);
    }
    return m_typeName;
}

namespace {

// Small enough to stay in the cache between the read and what follows it.
constexpr uint32_t kReadStretchBytes = 1u << 20;

}  // namespace

bool CSoundFile::ReadSamples(void*, uint32_t, uint32_t, const ReadyFn&) {
    return false;
}

void CSoundFile::ReadStretches(uint8_t* buffer, uint32_t count, const ReadyFn& onReady) {
    bool bEnded = false;
    // Whole frames to a stretch, so a conversion never splits a 3-byte sample.
    const uint32_t frameBytes =
        IsDeepFormat(m_format) ? std::max<uint32_t>(m_format.blockAlign, 1) : 1;
    const uint32_t stretchBytes = std::max(kReadStretchBytes - kReadStretchBytes % frameBytes, 1u);
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, stretchBytes);
        const size_t got = bEnded ? 0 : m_pFile->Read(buffer + done, n);
        if (got < n) {
            std::memset(buffer + done + got, 0, n - got);
            bEnded = true;
        }
        ConvertRead(buffer + done, n);
        done += n;
        if (onReady) {
            onReady(done);
        }
    }
}

void CSoundFile::ConvertRead(uint8_t*, uint32_t) {}

bool CSoundFile::CloseFile() {
    return false;
}

bool CSoundFile::WriteSamples(const void*, uint32_t) {
    return false;
}

bool CSoundFile::CreateHeader(const PcmFormat&, uint32_t) {
    return false;
}

std::optional<PanChunkBytes> CSoundFile::ReadPanChunk() {
    return std::nullopt;
}

bool CSoundFile::ReadAllSamples(void* buffer, uint32_t count, const ReadyFn& onReady) {
    return ReadSamples(buffer, 0, count, onReady);
}

bool CSoundFile::HasPanChunk() {
    return false;
}

uint32_t CSoundFile::ReadFormat(PcmFormat&) {
    return 0;
}

uint32_t CSoundFile::CapToFile(uint32_t wanted, uint64_t skip) {
    const uint64_t length = m_pFile->GetLength();
    const uint64_t start = m_pFile->GetPosition() + skip;
    const uint64_t available = start < length ? length - start : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(wanted, available));
}

bool CSoundFile::HasPanChunkIn(uint32_t formId, uint32_t formType) {
    if (FindForm(formId, formType) == 0) {
        m_bOk = false;
        return false;
    }
    return FindChunk(kPanChunkId) >= kPanChunkMinBytes;
}

std::optional<PanChunkBytes> CSoundFile::ReadPanChunkIn(uint32_t formId, uint32_t formType) {
    if (FindForm(formId, formType) == 0) {
        m_bOk = false;
        return std::nullopt;
    }
    const uint32_t size = FindChunk(kPanChunkId);
    if (size < kPanChunkMinBytes) {
        return std::nullopt;
    }
    // Declared bytes past the cap or past the end of the file stay zero.
    PanChunkBytes chunk(std::min<size_t>(size, kPanChunkMaxBytes), 0);
    m_pFile->Read(chunk.data(), chunk.size());
    return chunk;
}

bool CSoundFile::StartWriting() {
    try {
        Truncate();
    } catch (const CFileException& e) {
        m_bOk = false;
        m_fileError = e.GetError();
    }
    return m_bOk;
}

std::optional<uint32_t> CSoundFile::PanChunkWriteSize(const PanChunkBytes& chunk) {
    const size_t size = PanChunkSize(PanChunkPointCount(chunk));
    if (chunk.size() < kPanChunkHeaderBytes || chunk.size() < size) {
        m_bOk = false;
        return std::nullopt;
    }
    return static_cast<uint32_t>(size);
}

std::unique_ptr<CSoundFile> OpenSoundFile(CFile& file) {
    PcmFormat scratch{};
    std::unique_ptr<CSoundFile> sound = std::make_unique<CWaveFile>(file);
    if (sound->ReadFormat(scratch) != 0) {
        return sound;
    }
    sound = std::make_unique<CAiffFile>(file);
    if (sound->ReadFormat(scratch) != 0) {
        return sound;
    }
    return nullptr;
}

std::unique_ptr<CSoundFile> CreateSoundFileByName(CFile& file, const std::string& typeName) {
    switch (SoundTypeId(typeName)) {
        case kSoundTypeWave:
            return std::make_unique<CWaveFile>(file);
        case kSoundTypeAiff:
            return std::make_unique<CAiffFile>(file);
        default:
            return nullptr;
    }
}

std::unique_ptr<CSoundFile> CreateSoundFileByType(int typeId, const std::string& path) {
    switch (typeId) {
        case kSoundTypeWave:
            return std::make_unique<CWaveFile>(path);
        case kSoundTypeAiff:
            return std::make_unique<CAiffFile>(path);
        default:
            return nullptr;
    }
}

std::string SoundTypeName(int typeId) {
    switch (typeId) {
        case kSoundTypeWave:
            return "WAVE";
        case kSoundTypeAiff:
            return "AIFF";
        default:
            return "unknown";
    }
}

int SoundTypeId(const std::string& typeName) {
    if (typeName == "WAVE") {
        return kSoundTypeWave;
    }
    if (typeName == "AIFF") {
        return kSoundTypeAiff;
    }
    return -1;
}

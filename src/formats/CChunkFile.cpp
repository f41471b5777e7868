#include "formats/CChunkFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/CFileException.h"

namespace {

constexpr uint64_t kMaxSize32 = std::numeric_limits<uint32_t>::max();

}  // namespace

CChunkFile::CChunkFile(const std::string& path) : m_pPath(path) {}

CChunkFile::CChunkFile(CFile& file) : m_pFile(&file) {}

CChunkFile::~CChunkFile() = default;

void CChunkFile::SwapLong(uint32_t& value) {
    value = __builtin_bswap32(value);
}

uint32_t CChunkFile::SizeFromFile(uint32_t value) const {
    if (m_bBigEndian) {
        SwapLong(value);
    }
    return value;
}

uint32_t CChunkFile::SizeToFile(uint32_t value) const {
    return SizeFromFile(value);
}

bool CChunkFile::IsKnownId(uint32_t id) const {
    return std::find(m_knownIds.begin(), m_knownIds.end(), id) != m_knownIds.end();
}

void CChunkFile::WriteId(uint32_t id) {
    SwapLong(id);  // first character first in the file
    m_pFile->Write(&id, 4);
}

uint64_t CChunkFile::MaxFormBytes() const {
    return kMaxSize32;
}

void CChunkFile::WriteSize(uint32_t size) {
    const uint32_t stored = SizeToFile(size);
    m_pFile->Write(&stored, 4);
}

void CChunkFile::EnsureOpen() {
    if (m_pFile != nullptr) {
        return;
    }
    try {
        m_ownedFile =
            std::make_unique<CFile>(m_pPath.value_or(std::string()), CFile::Mode::ReadWriteCreate);
        m_pFile = m_ownedFile.get();
    } catch (const CFileException& e) {
        m_bOk = false;
        m_fileError = e.GetError();
    }
}

template <CChunkFile::OnFileError Policy, typename Body>
auto CChunkFile::Guarded(Body body) -> decltype(body()) {
    using Result = decltype(body());
    EnsureOpen();
    if (!m_bOk) {
        return Result();
    }
    if constexpr (Policy == OnFileError::Throw) {
        return body();
    } else {
        try {
            return body();
        } catch (const CFileException& e) {
            if constexpr (Policy == OnFileError::FailStatus) {
                m_bOk = false;
                m_fileError = e.GetError();
            }
            return Result();
        }
    }
}

const ChunkIndex& CChunkFile::IndexFrom(uint64_t start) {
    const uint64_t length = m_pFile->GetLength();
    std::optional<ChunkIndex>& kept = start == 0 ? m_topLevel : m_subChunks;
    if (!kept || kept->Start() != start || kept->SourceLength() != length) {
        kept = ChunkIndex::OfFile(*m_pFile, start, m_bBigEndian);
    }
    return *kept;
}

uint32_t CChunkFile::FindForm(uint32_t id, uint32_t formType) {
    return Guarded<OnFileError::KeepStatus>([&]() -> uint32_t {
        const ChunkEntry* form = IndexFrom(0).Find(id);
        if (form == nullptr) {
            return 0;
        }
        m_pFile->Seek(static_cast<int64_t>(form->dataOffset), CFile::SeekFrom::Begin);
        uint32_t type;
        if (m_pFile->Read(&type, 4) < 4) {
            return 0;
        }
        SwapLong(type);
        if (type != formType) {
            return 0;
        }
        m_formId = id;
        m_formType = formType;
        m_formSize = form->size;
        return form->size;
    });
}

void CChunkFile::CreateForm(uint32_t id, uint32_t formType) {
    Guarded<OnFileError::FailStatus>([&] {
        WriteId(id);
        m_formSizePos = static_cast<int64_t>(m_pFile->GetPosition());
        WriteSize(0);
        WriteId(formType);
        m_formSize = 4;
        m_bOk = true;
    });
}

void CChunkFile::CloseForm() {
    Guarded<OnFileError::FailStatus>([&] {
        const uint64_t here = m_pFile->GetPosition();
        m_pFile->Seek(m_formSizePos, CFile::SeekFrom::Begin);
        WriteSize(static_cast<uint32_t>(std::min(m_formSize, kMaxSize32)));
        m_pFile->Seek(static_cast<int64_t>(here), CFile::SeekFrom::Begin);
    });
}

uint32_t CChunkFile::FindChunk(uint32_t id) {
    return Guarded<OnFileError::KeepStatus>([&]() -> uint32_t {
        const ChunkIndex& index = IndexFrom(m_pFile->GetPosition());
        if (const ChunkEntry* chunk = index.Find(id)) {
            m_pFile->Seek(static_cast<int64_t>(chunk->dataOffset), CFile::SeekFrom::Begin);
            return chunk->size;
        }
        // A chunk claiming at least the whole file ends the walk, as its last entry, and the
        // search without blame; any other miss ran into the end of the file.
        const std::vector<ChunkEntry>& chunks = index.Entries();
        const bool bClaimsTheFile =
            !chunks.empty() &&
            uint64_t{chunks.back().size} + (chunks.back().size & 1u) >= index.SourceLength();
        if (!bClaimsTheFile) {
            m_bOk = false;
        }
        return 0;
    });
}

void CChunkFile::CreateChunk(uint32_t id, const void* data, uint32_t size) {
    Guarded<OnFileError::FailStatus>([&] {
        const uint64_t grown = m_formSize + 8 + (data != nullptr ? size : 0);
        if (grown > MaxFormBytes()) {
            m_bOk = false;  // the form's 32-bit size could not describe it
            return;
        }
        WriteId(id);
        m_chunkSizePos = static_cast<int64_t>(m_pFile->GetPosition());
        WriteSize(size);
        m_chunkSize = 0;
        m_formSize += 8;
        if (data != nullptr) {
            m_pFile->Write(data, size);
            m_chunkSize += size;
            m_formSize += size;
        }
    });
}

void CChunkFile::CloseChunk() {
    Guarded<OnFileError::FailStatus>([&] {
        if ((m_chunkSize & 1u) != 0) {
            if (m_formSize >= MaxFormBytes()) {
                m_bOk = false;
                return;
            }
            const uint8_t pad = 0;
            m_pFile->Write(&pad, 1);
            m_formSize += 1;
        }
        const uint64_t here = m_pFile->GetPosition();
        m_pFile->Seek(m_chunkSizePos, CFile::SeekFrom::Begin);
        WriteSize(static_cast<uint32_t>(std::min(m_chunkSize, kMaxSize32)));
        m_pFile->Seek(static_cast<int64_t>(here), CFile::SeekFrom::Begin);
    });
}

uint32_t CChunkFile::Read(void* buffer, uint32_t count) {
    return Guarded<OnFileError::Throw>([&] {
        m_pFile->Read(buffer, count);
        return count;
    });
}

uint32_t CChunkFile::Write(const void* buffer, uint32_t count) {
    return Guarded<OnFileError::FailStatus>([&]() -> uint32_t {
        if (m_formSize + count > MaxFormBytes()) {
            m_bOk = false;
            return 0;
        }
        m_pFile->Write(buffer, count);
        m_chunkSize += count;
        m_formSize += count;
        return count;
    });
}

void CChunkFile::SwapWords(void* buffer, uint32_t byteCount) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    const size_t words = byteCount / 2;
    for (size_t i = 0; i < words; ++i) {
        uint16_t word;
        std::memcpy(&word, bytes + 2 * i, 2);
        word = __builtin_bswap16(word);
        std::memcpy(bytes + 2 * i, &word, 2);
    }
}

void CChunkFile::Truncate() {
    if (m_pFile == nullptr) {
        EnsureOpen();
        if (!m_bOk) {
            return;
        }
    }
    m_topLevel.reset();
    m_subChunks.reset();
    m_pFile->Seek(0, CFile::SeekFrom::Begin);
    m_pFile->SetLength(0);
}

uint32_t CChunkFile::ScanChunks() {
    m_bOk = true;
    return Guarded<OnFileError::Throw>([&]() -> uint32_t {
        m_chunks.clear();
        if (m_formId == 0) {
            return 0;  // no form has been found yet
        }
        const uint32_t formSize = FindForm(m_formId, m_formType);
        if (formSize == 0) {
            return 0;
        }
        // The declared end, counted from the start of the file wherever the form stands.
        const uint64_t formEnd = uint64_t{formSize} + 8;
        for (const ChunkEntry& entry : IndexFrom(m_pFile->GetPosition()).Entries()) {
            if (entry.dataOffset > kMaxSize32) {
                break;  // the directory has always stopped where 32-bit positions end
            }
            m_chunks.push_back(entry);
            if (entry.End() >= formEnd) {
                break;
            }
        }
        return static_cast<uint32_t>(m_chunks.size());
    });
}

std::unique_ptr<UnrecognizedChunkBlock> CChunkFile::CollectUnrecognizedChunks() {
    m_bOk = true;
    return Guarded<OnFileError::Throw>([&]() -> std::unique_ptr<UnrecognizedChunkBlock> {
        if (m_chunks.empty()) {
            ScanChunks();
            if (m_chunks.empty()) {
                return nullptr;
            }
        }
        // A chunk whose data runs past the end of the file is dropped on its own; the whole
        // chunks around it still come. Sums in 64 bits, so they stay below the file's length.
        auto isCarried = [this](const ChunkEntry& entry) {
            return !IsKnownId(entry.Id()) && entry.IsWhole();
        };
        uint64_t total = 0;
        for (const ChunkEntry& entry : m_chunks) {
            if (isCarried(entry)) {
                total += 8 + uint64_t{entry.size} + (entry.size & 1u);
            }
        }
        if (total == 0 || total > kMaxSize32 - 4) {
            return nullptr;
        }
        auto block =
            std::make_unique<UnrecognizedChunkBlock>(static_cast<uint32_t>(total), m_bBigEndian);
        uint8_t* out = block->GetChunkBytes();
        for (const ChunkEntry& entry : m_chunks) {
            if (!m_bOk) {
                break;
            }
            if (!isCarried(entry)) {
                continue;
            }
            std::memcpy(out, entry.id.data(), 4);
            const uint32_t stored = SizeToFile(entry.size);
            std::memcpy(out + 4, &stored, 4);
            out += 8;
            m_pFile->Seek(static_cast<int64_t>(entry.dataOffset), CFile::SeekFrom::Begin);
            if (m_pFile->Read(out, entry.size) == entry.size) {
                out += entry.size;
            } else {
                m_bOk = false;
            }
            out += entry.size & 1u;
        }
        if (!m_bOk) {
            return nullptr;
        }
        return block;
    });
}

void CChunkFile::WriteUnrecognizedChunks(const UnrecognizedChunkBlock& block) {
    m_bOk = true;
    Guarded<OnFileError::FailStatus>([&] {
        const uint32_t length = block.GetLength();
        if (m_formSize + length > MaxFormBytes()) {
            m_bOk = false;
            return;
        }
        m_pFile->Write(block.GetChunkBytes(), length);
        m_formSize += length;
    });
}

std::vector<uint8_t> CChunkFile::ReadChunkData(const ChunkEntry& chunk, size_t maxBytes) {
    std::vector<uint8_t> data(std::min<size_t>(chunk.size, maxBytes), 0);
    const size_t held = std::min<size_t>(chunk.heldBytes, data.size());
    Guarded<OnFileError::Throw>([&] {
        m_pFile->Seek(static_cast<int64_t>(chunk.dataOffset), CFile::SeekFrom::Begin);
        return m_pFile->Read(data.data(), held);
    });
    return data;
}

bool CChunkFile::WriteWholeChunk(uint32_t id, const std::vector<uint8_t>& data) {
    if (data.size() > kMaxSize32) {
        m_bOk = false;
        return false;
    }
    CreateChunk(id, data.data(), static_cast<uint32_t>(data.size()));
    if (m_bOk) {
        CloseChunk();
    }
    return m_bOk;
}

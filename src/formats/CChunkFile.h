#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/ChunkIndex.h"
#include "formats/UnrecognizedChunkBlock.h"
#include "platform/CFile.h"

// One entry of the chunk directory of a form.
using ChunkEntry = ChunkIndex::Entry;

// Reads and writes RIFF (little-endian) and IFF (big-endian) files: one top-level form holding a
// form type and a run of sub-chunks, each with an 8-byte header and a pad byte after odd data.
// Ids always stand first character first in the file; only sizes follow m_bBigEndian.
// Positions and sizes are bytes.
//
// Look-ups (FindForm, FindChunk, ScanChunks) answer from a ChunkIndex: the top-level chunks and
// the chunks from where a look-up starts are each walked once and kept while the file keeps its
// length; Truncate, which starts every write, drops them.
//
// Status: m_bOk starts true. After any failure every later operation fails (0, none, no effect)
// until ScanChunks, CollectUnrecognizedChunks or WriteUnrecognizedChunks runs.
// File errors are caught (and turned into a failed status) by FindForm, FindChunk, CreateForm,
// CloseForm, CreateChunk, CloseChunk, Write and WriteUnrecognizedChunks. Read, ScanChunks,
// CollectUnrecognizedChunks and Truncate let CFileException through.
//
// An object either reads (look-ups, each starting again with FindForm) or writes one file
// (Truncate, CreateForm, {CreateChunk, Write..., CloseChunk}..., [WriteUnrecognizedChunks],
// CloseForm); never both.
class CChunkFile {
  public:
    // Owns the file: opens it read/write (created when missing, not truncated) on first use.
    explicit CChunkFile(const std::string& path);
    // Uses an open file it never closes; the file must outlive this object.
    explicit CChunkFile(CFile& file);
    virtual ~CChunkFile();
    CChunkFile(const CChunkFile&) = delete;
    CChunkFile& operator=(const CChunkFile&) = delete;

    // Size of the first top-level chunk with this id if its form type matches; the file then
    // stands after the form type. 0 when not found. Never changes the status.
    virtual uint32_t FindForm(uint32_t id, uint32_t formType);
    virtual void CreateForm(uint32_t id, uint32_t formType);
    // Patches the form size. Adds no pad byte.
    virtual void CloseForm();
    // Searches forward from the current position, to the end of the file (not of the form);
    // returns the chunk's declared size (not checked against the file) with the file at its
    // first data byte. 0 when not found: running into the end of the file also fails the
    // status, while a chunk whose size alone is at least the file's length ends the search
    // and leaves the status as it was. A chunk of size 0 reads as absent.
    virtual uint32_t FindChunk(uint32_t id);
    // Opens a sub-chunk; data may be null. With data, size bytes are written.
    virtual void CreateChunk(uint32_t id, const void* data, uint32_t size);
    // Pads an odd chunk and patches its size with the bytes really written.
    virtual void CloseChunk();
    // Reads up to count bytes; a short read leaves the rest of the buffer as it was.
    // Returns count. Throws CFileException.
    virtual uint32_t Read(void* buffer, uint32_t count);
    // Returns count, or 0 on failure.
    virtual uint32_t Write(const void* buffer, uint32_t count);
    // Exchanges the bytes of each 16-bit word of the first byteCount bytes (rounded down to
    // even). Uses no state.
    virtual void SwapWords(void* buffer, uint32_t byteCount);

    void EnsureOpen();
    // Empties the file. Throws CFileException.
    void Truncate();
    // Rebuilds the chunk directory of the form last found by FindForm: its chunks up to and
    // including the first that reaches the form's declared end (its size + 8, counted from the
    // start of the file); returns the number of entries. Throws CFileException.
    uint32_t ScanChunks();
    // Every chunk of the directory whose id the format does not write itself, in file order.
    // A chunk whose data runs past the end of the file is left out; the others still come.
    // None when there is nothing to collect or a read fails. Throws CFileException.
    std::unique_ptr<UnrecognizedChunkBlock> CollectUnrecognizedChunks();
    // Appends the block's chunks as they are (sizes keep the byte order they were collected in).
    void WriteUnrecognizedChunks(const UnrecognizedChunkBlock& block);

    // The data of a chunk ScanChunks found, capped at maxBytes; declared bytes past the end of
    // the file read as zeros. Throws CFileException when the read fails.
    std::vector<uint8_t> ReadChunkData(const ChunkEntry& chunk, size_t maxBytes);
    // Writes one whole chunk at the file's position; the status after it.
    bool WriteWholeChunk(uint32_t id, const std::vector<uint8_t>& data);
    // Counts id among the format's own from now on, so it is not carried over.
    void TreatAsKnown(uint32_t id) { m_knownIds.push_back(id); }
    bool IsBigEndian() const { return m_bBigEndian; }

    bool IsOk() const { return m_bOk; }
    // The errno of the last file error that failed the status (0 when none did, or the failure
    // was not a system error), so a message can say why.
    int GetFileError() const { return m_fileError; }
    CFile* GetFile() const { return m_pFile; }
    const std::vector<ChunkEntry>& GetChunks() const { return m_chunks; }

    // Reverses the four bytes of value.
    static void SwapLong(uint32_t& value);

  protected:
    // Sizes in the machine's order from and to the file's order.
    uint32_t SizeFromFile(uint32_t value) const;
    uint32_t SizeToFile(uint32_t value) const;
    bool IsKnownId(uint32_t id) const;
    // The most bytes the form being written may grow to: what its 32-bit size field holds,
    // unless the format has a wider place for its sizes. A size past 32 bits is written as
    // 0xFFFFFFFF and is the format's to record elsewhere.
    virtual uint64_t MaxFormBytes() const;
    void WriteId(uint32_t id);
    void WriteSize(uint32_t size);

    std::vector<ChunkEntry> m_chunks;
    std::vector<uint32_t> m_knownIds;
    bool m_bOk = true;
    int m_fileError = 0;
    bool m_bBigEndian = false;
    uint32_t m_formId = 0;
    uint32_t m_formType = 0;
    int64_t m_formSizePos = 0;
    uint64_t m_formSize = 0;
    int64_t m_chunkSizePos = 0;
    uint64_t m_chunkSize = 0;
    CFile* m_pFile = nullptr;
    std::optional<std::string> m_pPath;

  private:
    // What an operation does with a CFileException raised inside it.
    enum class OnFileError {
        FailStatus,  // caught; the status fails
        KeepStatus,  // caught; the status stays
        Throw,       // let through to the caller
    };
    // The frame of every operation: EnsureOpen, then body unless the status has failed. A
    // failed status or a caught file error gives the value-initialised result (0, none).
    template <OnFileError Policy, typename Body>
    auto Guarded(Body body) -> decltype(body());

    // The index of the chunks from start on, walked again only when it is missing or the
    // file's length has changed. Throws CFileException.
    const ChunkIndex& IndexFrom(uint64_t start);

    std::unique_ptr<CFile> m_ownedFile;
    std::optional<ChunkIndex> m_topLevel;   // from the start of the file
    std::optional<ChunkIndex> m_subChunks;  // from where the last look-up inside a form started
};

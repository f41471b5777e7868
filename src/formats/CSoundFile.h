#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/CChunkFile.h"
#include "formats/PanChunk.h"
#include "formats/PcmFormat.h"

// The one interface through which sound files are read and written, whatever their format.
// Samples in memory are always interleaved little-endian frames as PcmFormat.h describes them;
// the concrete class converts on the way in and out. Counts and offsets
// of sample data are bytes.
//
// Reading: ReadFormat first, then ReadAllSamples, HasPanChunk, ReadPanChunk (only after
// HasPanChunk said yes), then ScanChunks and CollectUnrecognizedChunks: a look-up that misses
// leaves the status failed and only ScanChunks clears it.
// Writing: CreateHeader, WriteSamples, CloseSamples, [WritePanChunk],
// [WriteUnrecognizedChunks], CloseFile. Each returns the status after it, so the first failure
// fails every later step.
// No operation shows a message; failures are false / 0 / none.
class CSoundFile : public CChunkFile {
  public:
    explicit CSoundFile(const std::string& path);
    explicit CSoundFile(CFile& file);

    // Told, after each stretch of a sample read, that the first readyBytes bytes of the buffer
    // hold their final in-memory form; the count grows to the count read.
    using ReadyFn = std::function<void(uint32_t readyBytes)>;

    // Appends the format's own three chunk ids to m_knownIds.
    virtual void RegisterKnownIds() = 0;
    // Writes the pan chunk (memory order) as one whole chunk of 32 + 6 * N bytes, N taken
    // from the chunk. Fails when the bytes are fewer than that. The buffer is unchanged after.
    virtual bool WritePanChunk(PanChunkBytes& chunk);
    // Closes the sample-data chunk: pad byte and size patch.
    virtual bool CloseSamples();
    // 0: "WAVE", 1: "AIFF", anything else (callers pass -1): this object's own type name.
    virtual std::string GetTypeName(int typeId) const;
    // Reads count bytes of sample data starting offset bytes into it. Bytes past the end of the
    // file come back as zeros (before the format's conversion).
    virtual bool ReadSamples(void* buffer, uint32_t offset, uint32_t count,
                             const ReadyFn& onReady = {});
    virtual bool CloseFile();
    // Appends count bytes of samples. The caller's buffer is converted in place for the file
    // and converted back before return, so it holds exactly what it held before.
    virtual bool WriteSamples(const void* buffer, uint32_t count);
    // Empties the file and writes the form, the format chunk and the open sample-data chunk;
    // keeps format. dataBytes is the total sample byte count that will follow.
    virtual bool CreateHeader(const PcmFormat& format, uint32_t dataBytes);
    // The pan chunk in a new zero-filled buffer, fields in the machine's order, owned by the
    // caller. Its size is the chunk's declared size capped at kPanChunkMaxBytes; declared bytes
    // past the end of the file read as zeros. None when there is no chunk of at least 38 bytes.
    // Throws CFileException when the read fails.
    virtual std::optional<PanChunkBytes> ReadPanChunk();
    // ReadSamples(buffer, 0, count): all samples in one call into one caller-owned buffer.
    virtual bool ReadAllSamples(void* buffer, uint32_t count, const ReadyFn& onReady = {});
    // Whether the form holds a pan chunk of at least 38 bytes.
    virtual bool HasPanChunk();
    // Fills format and m_format. Returns the bytes of sample data, capped at what the file
    // really holds after the data start, so it can size the caller's buffer. 0 when the file is
    // not of this format or holds no sample data.
    virtual uint32_t ReadFormat(PcmFormat& format);

    // The format chunk of a deep sound as the last ReadFormat found it, byte for byte (an
    // extensible form's valid bits and channel mask included); empty for any other sound and
    // for a format that keeps none.
    virtual std::vector<uint8_t> GetStoredFormatChunk() const { return {}; }
    // Before CreateHeader: writes bytes as the format chunk when they describe the format
    // written, so a saved file keeps the chunk it was read with; otherwise, and for a format
    // that keeps none, the writer's own.
    virtual void KeepFormatChunk(std::vector<uint8_t>) {}

    const PcmFormat& GetFormat() const { return m_format; }
    // The bytes of sample data the file's header announces, as the last ReadFormat found
    // them; ReadFormat's result is this capped at what the file holds.
    uint32_t GetDeclaredDataBytes() const { return m_declaredDataBytes; }

  protected:
    // Reads count bytes from the file's position into buffer a stretch at a time, zeros where
    // the file ends early, converts each stretch with ConvertRead while it is still in the
    // cache, and tells onReady. Throws CFileException when a read fails.
    void ReadStretches(uint8_t* buffer, uint32_t count, const ReadyFn& onReady);
    // Turns bytes just read from the file into the in-memory form; count is whole frames except
    // for a read's last stretch. The default leaves them as they are.
    virtual void ConvertRead(uint8_t* bytes, uint32_t count);

    // wanted, capped at the bytes the file holds from skip bytes after its current position.
    uint32_t CapToFile(uint32_t wanted, uint64_t skip);

    // Steps both formats share; formId and formType name the format's own form.
    bool HasPanChunkIn(uint32_t formId, uint32_t formType);
    // The pan chunk's bytes as the file holds them (no byte-order conversion).
    std::optional<PanChunkBytes> ReadPanChunkIn(uint32_t formId, uint32_t formType);
    // Empties the file before a write; a file error becomes a failed status.
    bool StartWriting();
    // Bytes of the chunk to write, 32 + 6 * its count; none (status failed) when the buffer
    // holds fewer.
    std::optional<uint32_t> PanChunkWriteSize(const PanChunkBytes& chunk);

    std::string m_typeName;
    PcmFormat m_format{};
    uint32_t m_declaredDataBytes = 0;
};

// The pan chunk's id, one of the own ids of both formats.
constexpr uint32_t kPanChunkId = ChunkId("achk");

// The type ids: 0 = WAV ("WAVE"), 1 = AIFF ("AIFF").
constexpr int kSoundTypeWave = 0;
constexpr int kSoundTypeAiff = 1;

// Probes an open file as WAV, then as AIFF. The object reads through file and does not own it.
// None when neither format accepts it.
std::unique_ptr<CSoundFile> OpenSoundFile(CFile& file);
// "WAVE" or "AIFF" (exact case): a writer on the open file, which it does not own. Else none.
std::unique_ptr<CSoundFile> CreateSoundFileByName(CFile& file, const std::string& typeName);
// 0 or 1: a writer that owns the file at path and opens it on first use. Else none.
std::unique_ptr<CSoundFile> CreateSoundFileByType(int typeId, const std::string& path);
// 0 "WAVE", 1 "AIFF", anything else "unknown".
std::string SoundTypeName(int typeId);
// "WAVE" 0, "AIFF" 1 (exact case), anything else -1.
int SoundTypeId(const std::string& typeName);

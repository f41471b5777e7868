#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class FlushBehind;

// A POSIX file. Positions and lengths are bytes. Every failure throws CFileException; a
// default-constructed object holds no file until Open succeeds. Closed on destruction.
class CFile {
  public:
    enum class Mode {
        Read,             // existing file, read only; ENODEV for a device, a FIFO or a socket,
                          // without waiting on any of them
        ReadWriteCreate,  // read and write; created when missing, never truncated
    };
    enum class SeekFrom { Begin, Current };

    CFile();
    CFile(const std::string& path, Mode mode);  // throws CFileException
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    void Open(const std::string& path, Mode mode);  // throws; closes any file held before
    void Close();                                   // never throws
    bool IsOpen() const { return m_fd >= 0; }

    // Returns the new position. A position before the start throws.
    uint64_t Seek(int64_t offset, SeekFrom from);
    uint64_t GetPosition() const;
    // Reads up to count bytes; returns how many arrived (fewer only at the end of the file).
    size_t Read(void* buffer, size_t count);
    // Writes all count bytes or throws: a short write (a full disk) is an error.
    void Write(const void* buffer, size_t count);
    uint64_t GetLength() const;
    void SetLength(uint64_t length);
    // Pushes the file's data to the disk (fsync); also throws for a write-behind sync that
    // failed.
    void Flush();
    // From now on, each time stride more bytes have been written, syncs the file on a thread
    // of its own (FlushBehind) while the writing goes on, so that a Flush at the end finds
    // little left to do. 0, the default, leaves write-back to the kernel. Kept until Open or
    // Close.
    void SetWriteBehind(uint64_t stride);

    const std::string& GetFilePath() const { return m_path; }
    int GetDescriptor() const { return m_fd; }

  private:
    [[noreturn]] void Fail(int error, const char* what) const;

    int m_fd = -1;
    std::string m_path;
    std::unique_ptr<FlushBehind> m_pFlushBehind;
};

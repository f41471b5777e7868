#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file without a name, for work that must be read back once (a mix kept for its scaled
// second pass): it is unlinked as soon as it is made, so a crash or a kill leaves nothing on
// disk. Written in order, then read from the start in order. Owns its descriptor.
class SpillFile {
  public:
    // In folder, or the system's temporary folder when folder refuses it; none when neither
    // takes one.
    static std::unique_ptr<SpillFile> Open(const std::string& folder);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // False when the bytes could not all be written (a full disk); the file is then unusable.
    bool Append(const void* bytes, size_t count);
    // Reading starts again from the first byte.
    bool Rewind();
    // False when fewer than count bytes remain or the read fails.
    bool Read(void* bytes, size_t count);
    uint64_t Size() const { return m_size; }

  private:
    explicit SpillFile(int fd) : m_fd(fd) {}

    int m_fd;
    uint64_t m_size = 0;
};

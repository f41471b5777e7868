#pragma once

#include <cstddef>
#include <cstdint>

// Memory for all the samples of a sound: one block of bytes, owned, not zero-filled by
// contract. Blocks of a few megabytes and more ask the kernel for transparent huge pages,
// so reading an hour-long file and the first pass over it fault in 2 MB at a time instead
// of 4 KB; on machines without them it is ordinary memory.
class SampleBuffer {
  public:
    SampleBuffer() = default;
    ~SampleBuffer();
    SampleBuffer(SampleBuffer&& other) noexcept;
    SampleBuffer& operator=(SampleBuffer&& other) noexcept;
    SampleBuffer(const SampleBuffer&) = delete;
    SampleBuffer& operator=(const SampleBuffer&) = delete;

    // Bytes, or an empty buffer when memory cannot be had.
    static SampleBuffer Allocate(size_t bytes);

    uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }
    void reset();

  private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    bool m_bMapped = false;
};

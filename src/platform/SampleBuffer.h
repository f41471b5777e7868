#pragma once

#include <cstddef>
#include <cstdint>

// Memory for all the samples of a sound: one block of bytes, owned, not zero-filled by
// contract. Blocks of a few megabytes and more are mapped pages of their own, given back to
// the system whole when freed. They are ordinary pages, not huge ones: on a virtual machine
// that hands free memory back to its host, a fresh 2 MB page costs the host's fault on top
// of the zero-fill, and a read into huge pages measured five times slower than into ordinary
// ones after the machine had been idle a few seconds.
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

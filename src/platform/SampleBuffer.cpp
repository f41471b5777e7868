#include "platform/SampleBuffer.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
}  // namespace

SampleBuffer::~SampleBuffer() {
    reset();
}

SampleBuffer::SampleBuffer(SampleBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_bMapped(std::exchange(other.m_bMapped, false)) {}

SampleBuffer& SampleBuffer::operator=(SampleBuffer&& other) noexcept {
    if (this != &other) {
        reset();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_bMapped = std::exchange(other.m_bMapped, false);
    }
    return *this;
}

SampleBuffer SampleBuffer::Allocate(size_t bytes) {
    SampleBuffer buffer;
    if (bytes >= kHugePage) {
        void* block =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) {
            return buffer;
        }
        buffer.m_data = static_cast<uint8_t*>(block);
        buffer.m_bMapped = true;
    } else {
        buffer.m_data = new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes];
        if (buffer.m_data == nullptr) {
            return buffer;
        }
    }
    buffer.m_size = bytes;
    return buffer;
}

void SampleBuffer::reset() {
    if (m_bMapped) {
        ::munmap(m_data, m_size);
    } else {
        delete[] m_data;
    }
    m_data = nullptr;
    m_size = 0;
    m_bMapped = false;
}

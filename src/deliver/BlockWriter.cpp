#include "deliver/BlockWriter.h"

#include <utility>

#include "deliver/ExportLoudness.h"
#include "formats/CSoundFile.h"

namespace {

// A sleeping writer wakes when this many blocks wait, not for each one: waking a thread costs
// more than writing a block to the page cache.
constexpr size_t kWakeBatch = 4;
static_assert(kWakeBatch <= BlockWriter::kBuffers);

}  // namespace

BlockWriter::BlockWriter(CSoundFile& output, uint32_t blockBytes)
    : m_output(output),
      m_buffers(kBuffers, std::vector<uint8_t>(blockBytes, 0)),
      m_bytes(kBuffers, 0),
      m_thread(&BlockWriter::Serve, this) {}

BlockWriter::~BlockWriter() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

uint8_t* BlockWriter::NextBuffer() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_queued - m_written < kBuffers ? m_buffers[m_queued % kBuffers].data() : nullptr;
}

void BlockWriter::Queue(uint32_t bytes) {
    bool bWake;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bytes[m_queued % kBuffers] = bytes;
        ++m_queued;
        bWake = !m_bWriting && HasWork();
    }
    if (bWake) {
        m_changed.notify_all();
    }
}

void BlockWriter::AwaitWrite() {
    std::unique_lock<std::mutex> lock(m_mutex);
    const size_t written = m_written;
    m_changed.wait(lock,
                   [&] { return m_written != written || m_bFailed || m_written == m_queued; });
}

void BlockWriter::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bDraining = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_bFailed || m_written == m_queued; });
}

BlockWriter::Status BlockWriter::GetStatus() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_error) {
        std::rethrow_exception(std::exchange(m_error, nullptr));
    }
    return {m_written, m_bFailed};
}

bool BlockWriter::HasWork() const {
    const size_t waiting = m_queued - m_written;
    return !m_bFailed && waiting > 0 && (waiting >= kWakeBatch || m_bDraining);
}

void BlockWriter::Serve() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_bWriting = false;
        m_changed.wait(lock, [this] { return m_bStop || HasWork(); });
        if (m_bStop) {
            return;  // what is still queued is dropped
        }
        m_bWriting = true;
        // Once awake, write until nothing is queued.
        while (!m_bStop && !m_bFailed && m_written < m_queued) {
            const size_t slot = m_written % kBuffers;
            lock.unlock();
            bool bOk = false;
            std::exception_ptr error;
            try {
                bOk = m_output.WriteSamples(m_buffers[slot].data(), m_bytes[slot]);
                if (bOk && m_pLoudness != nullptr) {
                    m_pLoudness->Add(m_buffers[slot].data(), m_bytes[slot]);
                }
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (bOk) {
                ++m_written;
            } else {
                m_bFailed = true;
                m_error = error;
            }
            m_changed.notify_all();  // cheap while the caller does not wait
        }
    }
}

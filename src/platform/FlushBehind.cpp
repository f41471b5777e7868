#include "platform/FlushBehind.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

FlushBehind::FlushBehind(int fd, uint64_t stride) : m_fd(fd), m_stride(stride) {}

FlushBehind::~FlushBehind() {
    Stop();
}

bool FlushBehind::Due() const {
    return !m_bStop && m_written - m_synced >= m_stride;
}

void FlushBehind::Wrote(uint64_t bytes) {
    bool bWake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_written += bytes;
        if (!m_bSyncing && Due()) {
            if (!m_thread.joinable()) {
                try {
                    m_thread = std::thread(&FlushBehind::Serve, this);
                } catch (const std::system_error&) {
                    // No thread to be had: the sync at the end does all the work, as it would
                    // without this object.
                    m_bStop = true;
                    return;
                }
            }
            bWake = true;
        }
    }
    if (bWake) {
        m_work.notify_one();
    }
}

int FlushBehind::Settle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_bSyncing && !Due(); });
    return std::exchange(m_error, 0);
}

uint64_t FlushBehind::SyncedBytes() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_synced;
}

void FlushBehind::Stop() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_work.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void FlushBehind::Serve() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_work.wait(lock, [this] { return m_bStop || Due(); });
        if (m_bStop) {
            return;
        }
        const uint64_t target = m_written;
        m_bSyncing = true;
        lock.unlock();
        const int error = ::fdatasync(m_fd) == 0 ? 0 : errno;
        lock.lock();
        m_bSyncing = false;
        m_synced = target;
        if (m_error == 0) {
            m_error = error;
        }
        m_idle.notify_all();
    }
}

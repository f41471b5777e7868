#include "platform/HelperThread.h"

#include <atomic>

namespace {

std::atomic<int> s_allowed{-1};  // -1: as the cores say

}  // namespace

HelperThread::HelperThread() : m_thread([this] { Serve(); }) {}

HelperThread::~HelperThread() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void HelperThread::Serve() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || m_pTask != nullptr; });
        if (m_pTask == nullptr) {
            return;
        }
        const std::function<void()>* task = m_pTask;
        lock.unlock();
        std::exception_ptr error;
        try {
            (*task)();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_error = error;
        m_pTask = nullptr;
        m_bBusy = false;
        m_done.notify_one();
    }
}

void HelperThread::Both(const std::function<void()>& there, const std::function<void()>& here) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pTask = &there;
        m_bBusy = true;
        m_error = nullptr;
    }
    m_wake.notify_one();
    std::exception_ptr error;
    try {
        here();
    } catch (...) {
        error = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return !m_bBusy; });
    if (m_error) {
        std::rethrow_exception(m_error);
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

bool HelperThread::Allowed() {
    const int allowed = s_allowed.load(std::memory_order_relaxed);
    if (allowed >= 0) {
        return allowed != 0;
    }
    return std::thread::hardware_concurrency() > 1;
}

void HelperThread::Allow(bool bAllowed) {
    s_allowed.store(bAllowed ? 1 : 0, std::memory_order_relaxed);
}

#include "platform/HelperThread.h"

#include <atomic>
#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

std::atomic<int> s_allowed{-1};  // -1: as the cores say

// Longer than a render's own work between two hand-overs, short against a person's wait.
constexpr std::chrono::microseconds kSpin{200};

// Until flag reads as wanted or kSpin has passed; whether it did.
bool SpinFor(const std::atomic<bool>& flag, bool wanted) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (int turn = 0;; ++turn) {
        if (flag.load(std::memory_order_acquire) == wanted) {
            return true;
        }
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
        if (turn % 16 == 15 && std::chrono::steady_clock::now() >= until) {
            return false;
        }
    }
}

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
        lock.unlock();
        SpinFor(m_bPosted, true);
        lock.lock();
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
        m_bPosted.store(false, std::memory_order_relaxed);
        m_bBusy.store(false, std::memory_order_release);
        m_done.notify_one();
    }
}

void HelperThread::Both(const std::function<void()>& there, const std::function<void()>& here) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pTask = &there;
        m_bBusy.store(true, std::memory_order_relaxed);
        m_bPosted.store(true, std::memory_order_release);
        m_error = nullptr;
    }
    m_wake.notify_one();
    std::exception_ptr error;
    try {
        here();
    } catch (...) {
        error = std::current_exception();
    }
    SpinFor(m_bBusy, false);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return !m_bBusy.load(std::memory_order_relaxed); });
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

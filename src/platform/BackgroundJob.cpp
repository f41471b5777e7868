#include "platform/BackgroundJob.h"

#include <utility>

BackgroundJob::~BackgroundJob() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_bRunning; });
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundJob::Start(std::function<bool()> job) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_job = std::move(job);
        m_bRunning = true;
        m_bResult = true;
        m_error = nullptr;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread(&BackgroundJob::Serve, this);
    }
    m_changed.notify_all();
}

bool BackgroundJob::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_bRunning; });
    if (m_error) {
        std::exception_ptr error = std::exchange(m_error, nullptr);
        std::rethrow_exception(error);
    }
    return m_bResult;
}

void BackgroundJob::Serve() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_bStop || (m_bRunning && m_job); });
        if (m_bStop) {
            return;
        }
        std::function<bool()> job = std::move(m_job);
        m_job = nullptr;
        lock.unlock();
        bool bResult = false;
        std::exception_ptr error;
        try {
            bResult = job();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_bResult = bResult;
        m_error = error;
        m_bRunning = false;
        m_changed.notify_all();
    }
}

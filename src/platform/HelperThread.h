#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// A second thread that takes half of a piece of work: Both runs one task on it while the
// caller runs the other, and returns when both are done. A task that throws has its exception
// thrown again from Both, the helper's first. Used by one caller thread at a time. Each side
// waits for the other spinning a short while before it sleeps: a render hands over work many
// times a second, and a sleeping thread is slow to wake (most of all in a virtual machine).
class HelperThread {
  public:
    HelperThread();
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    void Both(const std::function<void()>& there, const std::function<void()>& here);

    // Whether renders may take a helper: while one render has the machine to itself. On by
    // default where there is more than one core; a caller running renders side by side turns
    // it off.
    static bool Allowed();
    static void Allow(bool bAllowed);

  private:
    void Serve();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void()>* m_pTask = nullptr;
    std::atomic<bool> m_bPosted{false};  // a task waits for the helper
    std::atomic<bool> m_bBusy{false};    // the helper has not finished its task
    bool m_bStop = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};

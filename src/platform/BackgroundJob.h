#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// Runs one job at a time on a thread of its own, so that the caller can go on with the next
// piece of work meanwhile: the export renders a block while the one before goes to the disk.
// The thread starts with the first job and ends with the object. Used from one thread only;
// whatever a job touches must be left alone by the caller until Wait returns.
class BackgroundJob {
  public:
    BackgroundJob() = default;
    ~BackgroundJob();  // waits for the job in hand, then ends the thread
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Hands job over; a job before it must have been waited for.
    void Start(std::function<bool()> job);
    // Waits for the job in hand and returns its result; true when there is none. An exception
    // the job threw is thrown here instead.
    bool Wait();

  private:
    void Serve();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<bool()> m_job;
    bool m_bRunning = false;  // a job is handed over and not yet done
    bool m_bResult = true;
    std::exception_ptr m_error;
    bool m_bStop = false;
    std::thread m_thread;
};

#pragma once

#include <mutex>
#include <string>

// The temp files this process is writing right now (SafeFileWriter's), so that a signal that
// ends the process can take them along instead of leaving hidden files beside the user's.
// One list for the process; every change happens under its lock, and the cleanup takes the
// same lock, so a file is either listed or not there at all when it runs.
class TempFileRegistry {
  public:
    // One change of the list: the cleanup waits while it lives, so a file made and listed
    // (or renamed and delisted) inside it is never half-way for the cleanup.
    class Change {
      public:
        Change();
        void Add(const std::string& path);
        void Remove(const std::string& path);

      private:
        std::lock_guard<std::mutex> m_lock;
    };

    // From now on SIGINT, SIGHUP and SIGTERM (those not ignored) remove every listed file and
    // then end the process as the signal would have. The signals are blocked in the calling thread
    // and in every thread it starts later, and one thread of their own waits for them, so no
    // cleanup runs inside a signal handler. Call once, before any other thread starts.
    static void RemoveOnTerminatingSignals();
};

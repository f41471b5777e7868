#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "document/RecoveryJournal.h"

// Writes and removes recovery journals on a thread of its own, so the thread that edits only
// hands over a copy. For each path only the latest request counts: a journal that a newer
// one replaces before its turn is never written. Writes follow a request within a quarter
// second, well inside the second a journal may lag its edit. The destructor carries out what
// is pending and joins.
class JournalWriter {
  public:
    // Told, on the writer's thread, why a journal could not be written or removed.
    using FailureSink = std::function<void(const std::string& reason)>;

    explicit JournalWriter(FailureSink onFailure = {});
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void Write(const std::string& path, RecoveryJournal journal);
    void Remove(const std::string& path);
    // Returns once every request made before has been carried out.
    void Flush();

  private:
    void Run();

    FailureSink m_onFailure;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    // A journal to write, or none to remove the file.
    std::map<std::string, std::optional<RecoveryJournal>> m_pending;
    bool m_bBusy = false;
    bool m_bFlushing = false;
    bool m_bStop = false;
    std::thread m_thread;
};
